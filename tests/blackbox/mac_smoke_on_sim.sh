#!/bin/bash
# Runs the checks of scripts/mac-smoke against pellucor-sim, with desktops
# that place the helper as the smoke test places the real one on a Mac: an
# ad-hoc signed copy in a temporary directory of its own, and the same copy in
# a stand-in host bundle. The simulated desktop answers as macOS does, so the
# lines the smoke test expects are checked here on every run of the suite.
#
#   tests/blackbox/mac_smoke_on_sim.sh PELLUCOR-SIM
set -euo pipefail
[ $# -eq 1 ] || { echo "usage: $0 PELLUCOR-SIM" >&2; exit 2; }
sim=$1
here=$(cd "$(dirname "$0")" && pwd)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for place in outside nested; do
  cat >"$work/$place" <<WRAPPER
#!/bin/bash
exec "$sim" --desktop "$here/desktops/mac-smoke-$place.json" -- "\$@"
WRAPPER
  chmod +x "$work/$place"
done
"$here/../../scripts/mac-smoke" --check "$work/outside" "$work/nested"
