#include "support/fake_accessibility_service.hpp"

namespace pellucor::testing {

using platform::AXResult;
using platform::AXValueData;
using platform::PlatformValue;

PlatformValue axText(std::string text) { return PlatformValue::makeText(std::move(text)); }

PlatformValue axValueOf(AXValueData::Type type, std::vector<double> components, bool extractable) {
  AXValueData data;
  data.type = type;
  for (std::size_t i = 0; i < components.size() && i < 4; ++i) data.components[i] = components[i];
  data.extractable = extractable;
  return PlatformValue::makeAXValue(data);
}

PlatformValue axPoint(double x, double y) { return axValueOf(AXValueData::Type::point, {x, y}); }
PlatformValue axSize(double width, double height) { return axValueOf(AXValueData::Type::size, {width, height}); }

FakeAXElement& FakeAXElement::set(std::string attribute, PlatformValue value) {
  return setAnswer(std::move(attribute), AXResult{platform::ax_status::kSuccess, std::move(value)});
}

FakeAXElement& FakeAXElement::setStatus(std::string attribute, std::int32_t status) {
  return setAnswer(std::move(attribute), AXResult{status, std::nullopt});
}

FakeAXElement& FakeAXElement::setAnswer(std::string attribute, AXResult answer) {
  for (auto& [name, existing] : attributes_) {
    if (name == attribute) {
      existing = std::move(answer);
      return *this;
    }
  }
  attributes_.emplace_back(std::move(attribute), std::move(answer));
  return *this;
}

FakeAXElement& FakeAXElement::setActions(std::vector<std::string> names) {
  std::vector<PlatformValue> list;
  for (auto& name : names) list.push_back(PlatformValue::makeText(std::move(name)));
  return setActionsAnswer(AXResult{platform::ax_status::kSuccess, PlatformValue::makeList(std::move(list))});
}

FakeAXElement& FakeAXElement::setActionsAnswer(AXResult answer) {
  actions_ = std::move(answer);
  return *this;
}

std::shared_ptr<FakeAXElement> FakeAXElement::addChild() {
  children_.push_back(make());
  return children_.back();
}

FakeAXElement& FakeAXElement::adopt(std::shared_ptr<FakeAXElement> child) {
  children_.push_back(std::move(child));
  return *this;
}

AXResult FakeAXElement::attribute(std::string_view name) const {
  for (const auto& [attribute, answer] : attributes_) {
    if (attribute == name) return answer;
  }
  if (name == "AXChildren") {
    std::vector<PlatformValue> list;
    for (const auto& child : children_) list.push_back(PlatformValue::makeElement(child));
    return AXResult{platform::ax_status::kSuccess, PlatformValue::makeList(std::move(list))};
  }
  return AXResult{platform::ax_status::kAttributeUnsupported, std::nullopt};
}

void FakeAccessibilityService::focus(std::int32_t pid, std::shared_ptr<FakeAXElement> window) {
  focusedWindows[pid] = AXResult{platform::ax_status::kSuccess, PlatformValue::makeElement(std::move(window))};
}

platform::PlatformHandle FakeAccessibilityService::createApplicationElement(std::int32_t pid) const {
  return std::make_shared<FakeAXApplication>(pid);
}

AXResult FakeAccessibilityService::copyAttributeValue(const platform::PlatformHandle& element,
                                                      std::string_view attribute) const {
  if (beforeAnswer) beforeAnswer(attribute);
  if (const auto* application = dynamic_cast<const FakeAXApplication*>(element.get())) {
    if (attribute != "AXFocusedWindow") return AXResult{platform::ax_status::kAttributeUnsupported, std::nullopt};
    const auto found = focusedWindows.find(application->pid);
    if (found == focusedWindows.end()) return AXResult{platform::ax_status::kCannotComplete, std::nullopt};
    return found->second;
  }
  if (const auto* fake = dynamic_cast<const FakeAXElement*>(element.get())) return fake->attribute(attribute);
  return AXResult{platform::ax_status::kCannotComplete, std::nullopt};
}

AXResult FakeAccessibilityService::copyActionNames(const platform::PlatformHandle& element) const {
  if (beforeAnswer) beforeAnswer("");
  if (const auto* fake = dynamic_cast<const FakeAXElement*>(element.get())) return fake->actions();
  return AXResult{platform::ax_status::kCannotComplete, std::nullopt};
}

}  // namespace pellucor::testing
