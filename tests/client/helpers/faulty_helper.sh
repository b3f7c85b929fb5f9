#!/bin/sh
# Stands in for a helper that answers wrongly in the way MODE names, for the
# plugin window of examples/desktop.json. It echoes the request's identifier
# and nonce unless MODE is about them; "good_key" and "good_capture" answer
# correctly, so that every other mode differs from a sound answer by its one
# fault.
mode=$1

fallback='{"duration_ms":0,"error":{"code":"request_too_large","message":"request exceeds 65536 bytes","retryable":false},"nonce":"","ok":false,"operation":"parse","protocol":"zor-vane.pellucor/v2","request_id":"00000000-0000-4000-8000-000000000000"}'
if [ "$mode" = early_exit ]; then
  # Answers before taking any of its input.
  printf '%s\n' "$fallback"
  exit 64
fi

IFS= read -r line
id=$(printf '%s' "$line" | sed 's/.*"request_id":"\([^"]*\)".*/\1/')
nonce=$(printf '%s' "$line" | sed 's/.*"nonce":"\([^"]*\)".*/\1/')

target='"application_id":"5f2c9a7e41b08d3c6e9f1a24","application_name":"Ledgerline","application_revision":"2024.11.3","bundle_id":"com.brevant.zorvane","pid":5021,"surface":"plugin.application"'
# A 1 by 1 PNG with one byte after its end, so that its Base64 is padded.
png='iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAIAAACQd1PeAAAADElEQVR4nGP4z8AAAAMBAQDJ/pLvAAAAAElFTkSuQmCCCg=='
png_spare_bits='iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAIAAACQd1PeAAAADElEQVR4nGP4z8AAAAMBAQDJ/pLvAAAAAElFTkSuQmCCCh=='
digest='7a5805e670db37190907e0b1e081bf7939f87eb36f167f75dfe6eef07810a89f'
other_digest='b1ff9c8ea3a780bad09b346c423d2d0e46815926879b18e841d928376a946640'

key() {  # request_id nonce
  printf '{"duration_ms":3,"nonce":"%s","ok":true,"operation":"key","protocol":"zor-vane.pellucor/v2","request_id":"%s","result":{"posted":true},"target":{%s}}\n' "$2" "$1" "$target"
}
capture() {  # width base64 digest
  printf '{"duration_ms":9,"nonce":"%s","ok":true,"operation":"capture_target_window","protocol":"zor-vane.pellucor/v2","request_id":"%s","result":{"height":1,"png_base64":"%s","png_sha256":"%s","width":%s,"window_id":8841},"target":{%s,"window_id":8841}}\n' "$nonce" "$id" "$2" "$3" "$1" "$target"
}

case $mode in
  good_key) key "$id" "$nonce" ;;
  wrong_nonce) key "$id" "i_YgZoZv0LYhMVPJaYqWBb_AgLq0fDxmsRLPGaVOy2E" ;;
  wrong_request_id) key "6f1c2b8e-3d4a-4b5c-9e7f-0a1b2c3d4e5f" "$nonce" ;;
  status_disagrees) key "$id" "$nonce"; exit 64 ;;
  two_lines) key "$id" "$nonce"; key "$id" "$nonce" ;;
  too_large) head -c 17000000 /dev/zero | tr '\0' ' ' ;;
  good_capture) capture 1 "$png" "$digest" ;;
  digest_mismatch) capture 1 "$png" "$other_digest" ;;
  spare_bits) capture 1 "$png_spare_bits" "$digest" ;;
  size_mismatch) capture 2 "$png" "$digest" ;;
  *) echo "faulty_helper.sh: unknown mode $mode" >&2; exit 2 ;;
esac
exit 0
