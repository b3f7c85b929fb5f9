#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace pellucor {

// The two builds of the host that may start the helper: the shipped host
// application, and a development build that runs from a source repository
// and may start the helper through the repository's own interpreter.
enum class IdentityChannel : std::uint8_t { development, production };

// The fixed facts that tie the helper to its place inside the host bundle,
// and three pure decisions over them. Expected layout (any directories may
// precede the host bundle):
//   production:  .../Zorvane.app/Contents/Helpers/Zorvane Pellucor.app
//   development: <repository>/frontend/.desktop-dev/Zorvane Dev.app/Contents/
//                Helpers/Zorvane Pellucor Dev.app, with the interpreter at
//                <repository>/.venv/bin/python
// Every comparison is the system's text equality (canonical equivalence);
// paths are compared as text and component names as whole components. The
// decisions keep no state and never fail; their text arguments must be
// well-formed UTF-8.
class IdentityPolicy {
 public:
  IdentityPolicy() = delete;

  static constexpr std::string_view kHelpersDirectoryName = "Helpers";
  static constexpr std::string_view kContentsDirectoryName = "Contents";
  static constexpr std::string_view kBundleDirectoryExtension = "app";
  static constexpr std::string_view kExecutableDirectory = "/Contents/MacOS/";
  static constexpr std::string_view kHostContentsPrefix = "/Contents/";
  static constexpr std::string_view kDevelopmentHostInRepository = "/frontend/.desktop-dev/Zorvane Dev.app/";
  static constexpr std::string_view kRepositoryInterpreter = "/.venv/bin/python";

  // The fixed names of one channel.
  struct ChannelNames {
    std::string_view helperDisplayName;      // the helper bundle's CFBundleDisplayName
    std::string_view helperBundleDirectory;  // the helper bundle's directory name
    std::string_view hostBundleDirectory;    // the host bundle's directory name
  };
  static ChannelNames names(IdentityChannel channel);

  // The channel a helper bundle identifier belongs to: development for
  // exactly the development identifier, production for any other identifier
  // from which a host's can be derived (host_identity::hostBundleID), nothing
  // otherwise. Which host a production helper belongs to is settled later,
  // by the identifier derived from it.
  static std::optional<IdentityChannel> channel(std::string_view bundleID);

  // Whether the standardised helper bundle location is the fixed nested
  // location of `channel`: <host bundle>/Contents/Helpers/<helper bundle>,
  // with both bundle names the channel's. Nothing above the host bundle is
  // constrained.
  static bool validNestedPath(std::string_view helperPath, IdentityChannel channel);

  // Whether an ancestor process running the executable at `path` may stand
  // between the host and the helper. Allowed are executables under the host
  // bundle's "Contents" directory, the host bundle being taken from the
  // first "/<host bundle name>/" in `helperBundlePath` (used as given, not
  // standardised); in development also the interpreter of the repository
  // that holds "frontend/.desktop-dev/Zorvane Dev.app" of this helper.
  static bool allowedIntermediate(std::string_view path, IdentityChannel channel,
                                  std::string_view helperBundlePath);
};

}  // namespace pellucor
