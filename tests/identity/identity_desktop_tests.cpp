#include <gtest/gtest.h>

#include <set>
#include <string>
#include <string_view>

#include "identity/security_process_identity_validator.hpp"
#include "platform/platform_error.hpp"
#include "platform/simulated/simulated_desktop.hpp"

namespace pellucor {
namespace {

// One machine, drawn as a desktop file in desktops/, and what the identity
// check must say on it: "accepted", "<code> / <message>" for a refusal, or
// "platform error" when the platform's own failure must come through
// unchanged (and is not a PellucorError).
struct MachineCase {
  std::string_view name;
  std::string_view desktop;
  std::string_view expected;
};

constexpr std::string_view kAccepted = "accepted";
constexpr std::string_view kPlatformError = "platform error";
constexpr std::string_view kNotHelperBundle = "invalid_self_bundle / helper is not running from its fixed app bundle";
constexpr std::string_view kNotNestedPath = "invalid_self_path / helper is not at the fixed nested channel path";
constexpr std::string_view kSymlink = "symlink_path / helper path contains a symbolic link";
constexpr std::string_view kBadSignature =
    "invalid_signature / helper or ancestor signature does not satisfy the channel identity";
constexpr std::string_view kNoAncestor = "invalid_ancestry / exact Zorvane ancestor not found";
constexpr std::string_view kUninspectable = "invalid_ancestry / unable to inspect spawning process";
constexpr std::string_view kNotAppOwned = "invalid_ancestry / production parent is not app-owned";
constexpr std::string_view kOutsideChain =
    "invalid_ancestry / development parent is outside the fixed host/repository chain";

constexpr MachineCase kMachines[] = {
    // Genuine chains.
    {"production host starts the helper directly", "production_host_starts_helper", kAccepted},
    {"development host, repository interpreter, helper", "development_host_interpreter_helper", kAccepted},
    {"development host starts the helper directly", "development_host_starts_helper", kAccepted},
    {"launcher inside the host's Contents", "production_launcher_in_host_contents", kAccepted},
    {"fifteen intermediates, then the host", "fifteen_intermediates", kAccepted},
    {"second executable in Contents/MacOS signed as the host", "second_host_executable_signed_as_host",
     kAccepted},

    // The helper's own bundle.
    {"no bundle identifier", "no_bundle_identifier", kNotHelperBundle},
    {"bundle identifier of no channel", "bundle_identifier_of_no_channel", kNotHelperBundle},
    {"no executable", "no_executable", kNotHelperBundle},
    {"symbolic link that moves the executable", "link_moves_executable", kNotHelperBundle},

    // The helper's place.
    {"display name of the other channel", "display_name_of_other_channel", kNotNestedPath},
    {"display name missing", "display_name_missing", kNotNestedPath},
    {"display name not text", "display_name_not_text", kNotNestedPath},
    {"helper one directory too deep", "helper_one_directory_too_deep", kNotNestedPath},
    {"host marker only inside a longer name", "host_marker_in_longer_name", kNotNestedPath},
    {"host bundle with another identifier", "host_bundle_with_other_identifier", kNotNestedPath},
    {"host bundle without identifier", "host_bundle_without_identifier", kNotNestedPath},
    {"host directory not a bundle", "host_directory_not_a_bundle", kNotNestedPath},

    // Links on the way to the helper bundle.
    {"looping link that leaves the executable in place", "looping_link_keeps_executable_in_place", kSymlink},
    {"unreadable path component", "unreadable_path_component", kPlatformError},

    // Signatures.
    {"helper's own code unavailable", "helper_code_unavailable", kBadSignature},
    {"helper signature invalid", "helper_signature_invalid", kBadSignature},
    {"helper static code unavailable", "helper_static_code_unavailable", kBadSignature},
    {"helper signing information unavailable", "helper_signing_information_unavailable", kBadSignature},
    {"helper signed with another identifier", "helper_signed_with_other_identifier", kBadSignature},
    {"helper signing identifier not text", "helper_identifier_not_text", kBadSignature},
    {"helper signed ad hoc, without team", "helper_ad_hoc_without_team", kBadSignature},
    {"helper team empty", "helper_team_empty", kBadSignature},
    {"helper team not text", "helper_team_not_text", kBadSignature},
    {"helper without designated requirement", "helper_without_designated_requirement", kBadSignature},
    {"host signed by another team", "host_signed_by_other_team", kBadSignature},
    {"host signed ad hoc, without team", "host_ad_hoc_without_team", kBadSignature},
    {"host signed with another identifier", "host_signed_with_other_identifier", kBadSignature},
    {"second executable in Contents/MacOS not signed as the host", "second_host_executable_signed_otherwise",
     kBadSignature},
    {"production intermediate of another team, outside the host",
     "production_intermediate_of_other_team_outside_host", kBadSignature},

    // The ancestry.
    {"parent is init", "parent_is_init", kNoAncestor},
    {"parent pid zero", "parent_pid_zero", kNoAncestor},
    {"intermediate whose parent is init", "intermediate_whose_parent_is_init", kNoAncestor},
    {"sixteen intermediates, then the host", "sixteen_intermediates", kNoAncestor},
    {"parent not in the process table", "parent_not_in_process_table", kUninspectable},
    {"parent's path unavailable", "parent_path_unavailable", kUninspectable},
    {"parent's code unavailable", "parent_code_unavailable", kUninspectable},
    {"parent's process information unavailable", "parent_information_unavailable", kUninspectable},
    {"production intermediate outside the host", "production_intermediate_outside_host", kNotAppOwned},
    {"production intermediate in a longer-named bundle", "production_intermediate_in_longer_named_bundle",
     kNotAppOwned},
    {"development shell outside the chain, signed by the team", "development_shell_outside_chain",
     kOutsideChain},
    {"interpreter of another repository", "development_interpreter_of_other_repository", kOutsideChain},
};

std::string outcomeOn(std::string_view desktop) {
  const auto machine = simulated::SimulatedDesktop::loadFile(std::string(PELLUCOR_IDENTITY_DESKTOPS) + "/" +
                                                             std::string(desktop) + ".json");
  SecurityProcessIdentityValidator validator(machine->services());
  try {
    validator.validateSelfAndAncestry();
    return std::string(kAccepted);
  } catch (const PellucorError& error) {
    return error.code + " / " + error.message;
  } catch (const platform::PlatformError&) {
    return std::string(kPlatformError);
  }
}

TEST(IdentityDesktopTest, EachMachineGetsItsOutcome) {
  for (const MachineCase& machine : kMachines) {
    EXPECT_EQ(outcomeOn(machine.desktop), machine.expected) << machine.name;
  }
}

// Every refusal the check can give stands in the table above, so that a
// change to any of them shows up as a machine that broke.
TEST(IdentityDesktopTest, TableShowsEveryRefusal) {
  std::set<std::string_view> shown;
  for (const MachineCase& machine : kMachines) shown.insert(machine.expected);
  for (const std::string_view refusal : {kNotHelperBundle, kNotNestedPath, kSymlink, kBadSignature, kNoAncestor,
                                         kUninspectable, kNotAppOwned, kOutsideChain, kPlatformError}) {
    EXPECT_TRUE(shown.contains(refusal)) << refusal;
  }
}

}  // namespace
}  // namespace pellucor
