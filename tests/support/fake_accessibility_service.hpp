#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/accessibility.hpp"

namespace pellucor::testing {

// Typed values as the accessibility service hands them out.
platform::PlatformValue axText(std::string text);
platform::PlatformValue axPoint(double x, double y);
platform::PlatformValue axSize(double width, double height);
platform::PlatformValue axValueOf(platform::AXValueData::Type type, std::vector<double> components,
                                  bool extractable = true);

// One element of a fake application. An attribute that was not set answers
// -25205 (unsupported); "AXChildren" answers the list of `children` unless it
// was set explicitly; the action names answer an empty list unless set.
class FakeAXElement final : public platform::PlatformObject {
 public:
  static std::shared_ptr<FakeAXElement> make() { return std::make_shared<FakeAXElement>(); }

  FakeAXElement& set(std::string attribute, platform::PlatformValue value);
  FakeAXElement& setStatus(std::string attribute, std::int32_t status);  // the read fails
  FakeAXElement& setAnswer(std::string attribute, platform::AXResult answer);
  FakeAXElement& setActions(std::vector<std::string> names);
  FakeAXElement& setActionsAnswer(platform::AXResult answer);
  // Appends a new child and returns it.
  std::shared_ptr<FakeAXElement> addChild();
  FakeAXElement& adopt(std::shared_ptr<FakeAXElement> child);

  platform::AXResult attribute(std::string_view name) const;
  platform::AXResult actions() const { return actions_; }
  const std::vector<std::shared_ptr<FakeAXElement>>& children() const { return children_; }

 private:
  // A few entries each, so a plain list searched in order is the fastest
  // lookup; the benchmarks of the tree walk run over this fake.
  std::vector<std::pair<std::string, platform::AXResult>> attributes_;
  platform::AXResult actions_{platform::ax_status::kSuccess, platform::PlatformValue::makeList({})};
  std::vector<std::shared_ptr<FakeAXElement>> children_;
};

// The application element the fake hands out for a process identifier.
class FakeAXApplication final : public platform::PlatformObject {
 public:
  explicit FakeAXApplication(std::int32_t processID) : pid(processID) {}
  std::int32_t pid;
};

// An accessibility service over FakeAXElement trees. A process without a
// focused-window answer answers -25204, as an application that cannot be
// reached does.
class FakeAccessibilityService final : public platform::AccessibilityService {
 public:
  bool trusted = true;
  bool promptAnswer = false;
  std::map<std::int32_t, platform::AXResult> focusedWindows;
  // Called before every attribute or action-name answer with the attribute
  // asked for ("" for action names); lets a test move a clock or count.
  std::function<void(std::string_view attribute)> beforeAnswer;

  void focus(std::int32_t pid, std::shared_ptr<FakeAXElement> window);

  bool isProcessTrusted() const override { return trusted; }
  bool isProcessTrustedWithPrompt() const override { return promptAnswer; }
  platform::PlatformHandle createApplicationElement(std::int32_t pid) const override;
  platform::AXResult copyAttributeValue(const platform::PlatformHandle& element,
                                        std::string_view attribute) const override;
  platform::AXResult copyActionNames(const platform::PlatformHandle& element) const override;
};

}  // namespace pellucor::testing
