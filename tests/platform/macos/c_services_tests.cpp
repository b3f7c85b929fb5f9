#include <CoreFoundation/CoreFoundation.h>
#include <Security/Security.h>
#include <gtest/gtest.h>
#include <mach-o/dyld.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "platform/macos/accessibility_macos.hpp"
#include "platform/macos/cf_object.hpp"
#include "platform/macos/cf_value.hpp"
#include "platform/macos/clock_macos.hpp"
#include "platform/macos/code_signing_macos.hpp"
#include "platform/macos/file_system_macos.hpp"
#include "platform/macos/keyboard_events_macos.hpp"
#include "platform/macos/main_bundle_macos.hpp"
#include "platform/macos/process_table_macos.hpp"
#include "platform/platform_error.hpp"

// The services against the live system, where no permission is needed.
namespace pellucor::platform::macos {
namespace {

namespace fs = std::filesystem;

constexpr std::int32_t kInvalidObjectRef = -67071;  // errSecCSInvalidObjectRef
constexpr std::int32_t kIllegalArgument = -25201;   // kAXErrorIllegalArgument

std::string launchPath() {
  std::array<char, 4096> buffer{};
  auto size = static_cast<std::uint32_t>(buffer.size());
  if (_NSGetExecutablePath(buffer.data(), &size) != 0) return {};
  return buffer.data();
}

std::string urlPath(CFURLRef url) {
  if (url == nullptr) return {};
  const auto absolute = CFRef<CFURLRef>::adopt(CFURLCopyAbsoluteURL(url));
  const auto path = CFRef<CFStringRef>::adopt(CFURLCopyFileSystemPath(absolute.get(), kCFURLPOSIXPathStyle));
  return utf8String(path.get());
}

TEST(MacClock, UptimeNeverGoesBackwardsAndWallIsCalendarTime) {
  const MacClock clock;
  const std::uint64_t first = clock.uptimeNanoseconds();
  const std::uint64_t second = clock.uptimeNanoseconds();
  EXPECT_LE(first, second);
  const auto system = std::chrono::duration_cast<std::chrono::nanoseconds>(
                          std::chrono::system_clock::now().time_since_epoch())
                          .count();
  EXPECT_LT(std::abs(clock.wallNanoseconds() - system), std::int64_t{60} * 1'000'000'000);
}

TEST(MacProcessTable, AnswersForThisProcess) {
  const MacProcessTable table;
  EXPECT_EQ(table.parentProcessID(), getppid());
  EXPECT_EQ(table.parentOf(getpid()), std::optional<std::int32_t>(getppid()));
  // The kernel's path is the file itself, links resolved.
  EXPECT_EQ(table.executablePath(getpid()), std::optional<std::string>(fs::canonical(launchPath()).string()));
}

TEST(MacProcessTable, NoSuchProcessGivesNothing) {
  const MacProcessTable table;
  EXPECT_EQ(table.executablePath(-1), std::nullopt);
  EXPECT_EQ(table.parentOf(-1), std::nullopt);
}

PlatformHandle staticCodeAt(const char* path) {
  const auto url = CFRef<CFURLRef>::adopt(CFURLCreateFromFileSystemRepresentation(
      kCFAllocatorDefault, reinterpret_cast<const UInt8*>(path), static_cast<CFIndex>(std::strlen(path)), false));
  CFRef<SecStaticCodeRef> code;
  if (SecStaticCodeCreateWithPath(url.get(), kSecCSDefaultFlags, code.out()) != errSecSuccess) return nullptr;
  return handleFor(CFRef<CFTypeRef>::retain(code.get()));
}

struct SigningCase {
  const char* name;
  std::uint32_t flags;
  bool designatedRequirement;
};

constexpr SigningCase kSigningCases[] = {
    {"signing information only", 2, false},
    {"with requirement information", 6, true},
};

TEST(MacCodeSigning, SigningInformationOfASystemBinary) {
  const MacCodeSigning signing;
  const PlatformHandle ls = staticCodeAt("/bin/ls");
  ASSERT_NE(ls, nullptr);
  for (const auto& c : kSigningCases) {
    const SigningInformationResult result = signing.copySigningInformation(ls, c.flags);
    EXPECT_EQ(result.status, 0) << c.name;
    ASSERT_TRUE(result.information.has_value()) << c.name;
    ASSERT_TRUE(result.information->identifier.has_value()) << c.name;
    EXPECT_EQ(result.information->identifier->kind, PlatformValue::Kind::text) << c.name;
    EXPECT_EQ(result.information->identifier->text, "com.apple.ls") << c.name;
    EXPECT_EQ(result.information->hasDesignatedRequirement, c.designatedRequirement) << c.name;
  }
  EXPECT_EQ(signing.checkStaticValidity(ls, 0), 0);
}

TEST(MacCodeSigning, OwnAndGuestCodeComeBack) {
  const MacCodeSigning signing;
  const CodeResult self = signing.copySelf(0);
  EXPECT_EQ(self.status, 0);
  EXPECT_NE(self.code, nullptr);
  const CodeResult onDisk = signing.copyStaticCode(self.code, 0);
  EXPECT_EQ(onDisk.status, 0);
  EXPECT_NE(onDisk.code, nullptr);
  const CodeResult guest = signing.copyGuestWithPid(getpid(), 0);
  EXPECT_EQ(guest.status, 0);
  EXPECT_NE(guest.code, nullptr);
}

TEST(MacCodeSigning, HandleOfTheWrongKindIsAnInvalidObject) {
  const MacCodeSigning signing;
  const PlatformHandle staticCode = staticCodeAt("/bin/ls");
  const PlatformHandle notCode = handleFor(CFRef<CFTypeRef>::retain(CFSTR("not code")));
  for (const PlatformHandle& handle : {PlatformHandle(), notCode}) {
    EXPECT_EQ(signing.checkValidity(handle, 0), kInvalidObjectRef);
    EXPECT_EQ(signing.copyStaticCode(handle, 0).status, kInvalidObjectRef);
    EXPECT_EQ(signing.checkStaticValidity(handle, 0), kInvalidObjectRef);
    EXPECT_EQ(signing.copySigningInformation(handle, 2).status, kInvalidObjectRef);
  }
  // Static code is not running code.
  EXPECT_EQ(signing.checkValidity(staticCode, 0), kInvalidObjectRef);
}

TEST(MacAccessibility, ArgumentsThePlatformCannotTakeAreIllegal) {
  const MacAccessibility accessibility;
  const PlatformHandle element = accessibility.createApplicationElement(getpid());
  ASSERT_NE(element, nullptr);
  const PlatformHandle notElement = handleFor(CFRef<CFTypeRef>::retain(CFSTR("not an element")));
  EXPECT_EQ(accessibility.copyAttributeValue(element, "\xC0\xAF").status, kIllegalArgument);
  EXPECT_FALSE(accessibility.copyAttributeValue(element, "\xC0\xAF").value.has_value());
  EXPECT_EQ(accessibility.copyAttributeValue(nullptr, "AXRole").status, kIllegalArgument);
  EXPECT_EQ(accessibility.copyAttributeValue(notElement, "AXRole").status, kIllegalArgument);
  EXPECT_EQ(accessibility.copyActionNames(notElement).status, kIllegalArgument);
}

TEST(MacKeyboardEvents, CreatesEventsAndLeavesOtherHandlesAlone) {
  const MacKeyboardEvents keyboard;
  EXPECT_NE(keyboard.createKeyboardEvent(0, true), nullptr);
  const PlatformHandle notEvent = handleFor(CFRef<CFTypeRef>::retain(CFSTR("not an event")));
  keyboard.setFlags(notEvent, 0x100000);
  keyboard.post(notEvent, 0);
  keyboard.post(nullptr, 0);
}

class MacFileSystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "pellucor-fs-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    fs::create_directories(root_ / "target" / "sub");
    fs::create_directory_symlink(root_ / "target", root_ / "link");
    fs::create_directories(root_ / "Fake.app" / "Contents");
    std::ofstream(root_ / "Fake.app" / "Contents" / "Info.plist")
        << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
           "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
           "<plist version=\"1.0\"><dict><key>CFBundleIdentifier</key><string>com.example.fake</string>"
           "<key>CFBundlePackageType</key><string>APPL</string></dict></plist>\n";
  }
  void TearDown() override { fs::remove_all(root_); }

  std::string at(const char* relative) const { return (root_ / relative).string(); }

  fs::path root_;
  MacFileSystem files_;
};

TEST_F(MacFileSystemTest, LinkIsALinkAndItsTargetIsNot) {
  EXPECT_EQ(files_.isSymbolicLink(at("link")), std::optional<bool>(true));
  EXPECT_EQ(files_.isSymbolicLink(at("target")), std::optional<bool>(false));
  EXPECT_THROW(files_.isSymbolicLink(at("missing/child")), PlatformError);
}

TEST_F(MacFileSystemTest, ResolvesLinksAndStandardises) {
  const std::string target = files_.resolvingSymlinksInPath(at("target"));
  const char* const paths[] = {"link", "link/", "link/./sub/..", "target/../link", "link/sub/.."};
  for (const char* path : paths) EXPECT_EQ(files_.resolvingSymlinksInPath(at(path)), target) << path;
  EXPECT_EQ(files_.resolvingSymlinksInPath(at("link/sub")), target + "/sub");
}

TEST_F(MacFileSystemTest, OpensBundlesForTheirIdentifier) {
  const auto fake = files_.openBundle(at("Fake.app"));
  ASSERT_TRUE(fake.has_value());
  EXPECT_EQ(fake->identifier, std::optional<std::string>("com.example.fake"));
  const auto plain = files_.openBundle(at("target"));
  EXPECT_FALSE(plain.has_value() && plain->identifier.has_value());
  EXPECT_EQ(files_.openBundle(at("missing")), std::nullopt);
}

struct BundleDirectoryCase {
  const char* name;
  const char* executable;
  const char* bundle;
};

constexpr BundleDirectoryCase kBundleDirectoryCases[] = {
    {"application", "/Applications/A.app/Contents/MacOS/A", "/Applications/A.app"},
    {"nested helper", "/A.app/Contents/Helpers/H.app/Contents/MacOS/H", "/A.app/Contents/Helpers/H.app"},
    {"any support directory name", "/x/B.app/Other/MacOS/B", "/x/B.app"},
    {"executables directory", "/x/B.app/Contents/Executables/MacOS/B", "/x/B.app"},
    {"bare tool: its own directory", "/usr/local/bin/tool", "/usr/local/bin"},
    {"names compared exactly", "/x/B.app/Contents/macos/B", "/x/B.app/Contents/macos"},
    {"tool at the root", "/tool", "/"},
    {"nothing left above MacOS", "/MacOS/tool", ""},
    {"links are not resolved", "/tmp/B.app/Contents/MacOS/B", "/tmp/B.app"},
};

TEST(MacMainBundle, BundleDirectoryOfAnExecutable) {
  for (const auto& c : kBundleDirectoryCases) EXPECT_EQ(bundleDirectoryForExecutable(c.executable), c.bundle) << c.name;
}

TEST(MacMainBundle, AgreesWithCoreFoundationsMainBundleWithoutTheVariable) {
  if (std::getenv("CFProcessPath") != nullptr) GTEST_SKIP() << "CFProcessPath is set";
  const MacMainBundle bundle;
  const CFBundleRef main = CFBundleGetMainBundle();
  ASSERT_NE(main, nullptr);
  const auto bundleURL = CFRef<CFURLRef>::adopt(CFBundleCopyBundleURL(main));
  const auto executableURL = CFRef<CFURLRef>::adopt(CFBundleCopyExecutableURL(main));
  EXPECT_EQ(bundle.bundlePath(), urlPath(bundleURL.get()));
  EXPECT_EQ(bundle.executablePath(), std::optional<std::string>(urlPath(executableURL.get())));
  EXPECT_EQ(bundle.executablePath(), std::optional<std::string>(launchPath()));
  const CFStringRef identifier = CFBundleGetIdentifier(main);
  EXPECT_EQ(bundle.bundleIdentifier(),
            identifier ? std::optional<std::string>(utf8String(identifier)) : std::nullopt);
}

}  // namespace
}  // namespace pellucor::platform::macos
