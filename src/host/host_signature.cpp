#include "host/host_signature.hpp"

#include <optional>
#include <string>
#include <utility>

#include "text/text_equality.hpp"

namespace pellucor {
namespace {

using platform::textOf;
using platform::code_signing_status::kSuccess;

// The signing identifier and team of running `code`, when its signing
// information holds both as text and the team is not empty.
struct Signer {
  std::string identifier;
  std::string team;
};

std::optional<Signer> signerOf(const platform::CodeSigningService& codeSigning, const platform::PlatformHandle& code) {
  const platform::SigningInformationResult answer =
      codeSigning.copySigningInformation(code, host_signature::kSigningInformationFlags);
  if (answer.status != kSuccess || !answer.information) return std::nullopt;
  std::optional<std::string> identifier = textOf(answer.information->identifier);
  std::optional<std::string> team = textOf(answer.information->teamIdentifier);
  if (!identifier || !team || team->empty()) return std::nullopt;
  return Signer{std::move(*identifier), std::move(*team)};
}

}  // namespace

HostSignatureCheck makeHostSignatureCheck(std::shared_ptr<const platform::CodeSigningService> codeSigning) {
  return [codeSigning = std::move(codeSigning)](std::int32_t pid, std::string_view hostBundleID) {
    const platform::CodeResult guest = codeSigning->copyGuestWithPid(pid, platform::code_signing_flags::kDefault);
    if (guest.status != kSuccess || !guest.code) return false;
    if (codeSigning->checkValidity(guest.code, host_signature::kRunningValidityFlags) != kSuccess) return false;
    const std::optional<Signer> host = signerOf(*codeSigning, guest.code);
    if (!host || !text::textEquals(host->identifier, hostBundleID)) return false;

    const platform::CodeResult own = codeSigning->copySelf(platform::code_signing_flags::kDefault);
    if (own.status != kSuccess || !own.code) return false;
    const std::optional<Signer> helper = signerOf(*codeSigning, own.code);
    return helper && text::textEquals(host->team, helper->team);
  };
}

}  // namespace pellucor
