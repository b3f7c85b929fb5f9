#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

#include "platform/code_signing.hpp"

namespace pellucor {

// Whether the process `pid` is the genuine host whose bundle identifier is
// `hostBundleID`: its running code is valid and signed with that identifier
// by the helper's own team. Texts any application can claim (its bundle
// identifier, its name, its window title) do not prove this; the signature
// does. Never fails: every doubt is a no.
using HostSignatureCheck = std::function<bool(std::int32_t pid, std::string_view hostBundleID)>;

namespace host_signature {

// The running code is checked as the identity check checks the running code
// of the helper's ancestors: strictly, and with nothing else, since the
// platform refuses any flag but validation flags on running code.
inline constexpr std::uint32_t kRunningValidityFlags = platform::code_signing_flags::kStrictValidate;
// The identifier and the team; the designated requirement is not needed.
inline constexpr std::uint32_t kSigningInformationFlags = platform::code_signing_flags::kSigningInformation;

}  // namespace host_signature

// The check over the platform's code signing, asking afresh at every call,
// in this order, and answering no at the first step that fails:
//   the running code of `pid`;
//   its validity with host_signature::kRunningValidityFlags, the one
//   validity check of a call;
//   its signing information, read from the running code (the platform reads
//   the code's signature on disk for it): a text identifier equal to
//   `hostBundleID` and a non-empty text team;
//   the helper's own team, from its own running code's signing information
//   in the same way, equal to that team.
// The static code is not validated: the identity check has already done it
// for the host that started the helper, and hashing a large host bundle on
// every target validation would cost far more than it proves. The helper's
// own signature is read without validation for the same reason; the identity
// check validated it at the start of the run.
HostSignatureCheck makeHostSignatureCheck(std::shared_ptr<const platform::CodeSigningService> codeSigning);

}  // namespace pellucor
