#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "platform/code_signing.hpp"

namespace pellucor::testing {

// The signature of one named piece of code, as the code-signing calls see it.
struct FakeSignature {
  bool valid = true;            // both validity checks pass
  bool staticCodeAvailable = true;
  bool informationAvailable = true;
  std::optional<platform::PlatformValue> identifier;
  std::optional<platform::PlatformValue> teamIdentifier;
  bool hasDesignatedRequirement = true;
};

// A code-signing service that answers from named signatures, records every
// call with its flags, and refuses what the platform refuses: running code
// checked with kCheckAllArchitectures gets kInvalidFlags (static code takes
// it, and kDoNotValidateResources, like any flags), signing information
// leaves out the team without kSigningInformation and the designated
// requirement without kRequirementInformation. Signing information takes
// running code as the platform does, standing for its static code, which
// must then be available.
class FakeCodeSigningService final : public platform::CodeSigningService {
 public:
  struct Call {
    std::string operation;  // the member's name
    std::string code;       // the name of the code it was asked about ("" for copySelf)
    std::uint32_t flags;
    friend bool operator==(const Call&, const Call&) = default;
    friend std::ostream& operator<<(std::ostream& out, const Call& call) {
      return out << call.operation << "(" << call.code << ", " << call.flags << ")";
    }
  };

  void addCode(const std::string& name, FakeSignature signature) { signatures_[name] = std::move(signature); }
  // Signed code named `name` with that identifier and team.
  void addSignedCode(const std::string& name, const std::string& identifier, const std::string& team);
  void setSelf(std::optional<std::string> name) { self_ = std::move(name); }
  void setGuest(std::int32_t pid, const std::string& name) { guests_[pid] = name; }

  const std::vector<Call>& calls() const { return calls_; }
  // Whether any code object this service handed out is still held by anyone.
  bool anyCodeStillHeld() const;

  platform::CodeResult copySelf(std::uint32_t flags) const override;
  platform::CodeResult copyGuestWithPid(std::int32_t pid, std::uint32_t flags) const override;
  std::int32_t checkValidity(const platform::PlatformHandle& code, std::uint32_t flags) const override;
  platform::CodeResult copyStaticCode(const platform::PlatformHandle& code, std::uint32_t flags) const override;
  std::int32_t checkStaticValidity(const platform::PlatformHandle& staticCode, std::uint32_t flags) const override;
  platform::SigningInformationResult copySigningInformation(const platform::PlatformHandle& code,
                                                            std::uint32_t flags) const override;

 private:
  platform::CodeResult handOut(const std::string& name, bool isStatic) const;
  const FakeSignature* signatureOf(const platform::PlatformHandle& code, bool wantStatic) const;
  std::string nameOf(const platform::PlatformHandle& code) const;

  std::map<std::string, FakeSignature> signatures_;
  std::optional<std::string> self_;
  std::map<std::int32_t, std::string> guests_;
  mutable std::vector<Call> calls_;
  mutable std::vector<std::weak_ptr<const platform::PlatformObject>> handedOut_;
};

}  // namespace pellucor::testing
