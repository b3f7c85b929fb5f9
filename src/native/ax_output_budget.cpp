#include "native/ax_output_budget.hpp"

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "native/accessibility_reading.hpp"
#include "text/utf8.hpp"
#include "wire/json_encoder.hpp"

namespace pellucor {
namespace {

// Every text of a value must be well-formed UTF-8 for its encoding to be
// JSON at all. Walks with an explicit stack, so that a deeply nested value
// from a substitute reader cannot exhaust the call stack.
bool allTextWellFormed(const JSONValue& root) {
  std::vector<const JSONValue*> pending{&root};
  while (!pending.empty()) {
    const JSONValue* value = pending.back();
    pending.pop_back();
    switch (value->kind()) {
      case JSONValue::Kind::string:
        if (!text::isWellFormedUtf8(value->asString())) return false;
        break;
      case JSONValue::Kind::object:
        for (const auto& [key, member] : value->asObject()) {
          if (!text::isWellFormedUtf8(key)) return false;
          pending.push_back(&member);
        }
        break;
      case JSONValue::Kind::array:
        for (const auto& element : value->asArray()) pending.push_back(&element);
        break;
      case JSONValue::Kind::integer:
      case JSONValue::Kind::boolean:
      case JSONValue::Kind::null:
        break;
    }
  }
  return true;
}

}  // namespace

std::size_t AXOutputBudget::encodedSize(const JSONValue& value) {
  if (!allTextWellFormed(value)) fail(ax_errors::kEncodingFailed);
  return json::measuredSize(value);
}

bool AXOutputBudget::exceeds(std::size_t size) noexcept { return size > ax_limits::kOutputBudgetBytes; }

std::size_t MeasuredObject::newMemberSize(std::string_view key, std::size_t valueSize) const {
  const std::size_t separator = members_.empty() ? 0 : 1;
  return separator + json::measuredStringSize(key) + 1 + valueSize;
}

void MeasuredObject::addMember(std::string_view key, JSONValue value) {
  const std::size_t valueSize = json::measuredSize(value);
  addMember(key, std::move(value), valueSize);
}

void MeasuredObject::addMember(std::string_view key, JSONValue value, std::size_t valueSize) {
  if (members_.find(key) != members_.end()) throw std::logic_error("member added twice");
  size_ += newMemberSize(key, valueSize);
  members_.emplace(std::string(key), std::move(value));
}

void MeasuredObject::appendToArray(std::string_view key, JSONValue element, std::size_t elementSize) {
  const auto found = members_.find(key);
  if (found == members_.end()) {
    size_ += newMemberSize(key, 2 + elementSize);  // "[" element "]"
    // Built by moving, not from an initializer list, which would copy the
    // whole subtree.
    JSONValue::Array array;
    array.push_back(std::move(element));
    members_.emplace(std::string(key), std::move(array));
    return;
  }
  if (!found->second.isArray()) throw std::logic_error("appending to a member that is not an array");
  auto& array = found->second.asArray();
  size_ += (array.empty() ? 0 : 1) + elementSize;
  array.push_back(std::move(element));
}

JSONValue MeasuredObject::release() {
  size_ = 2;
  return JSONValue(std::exchange(members_, {}));
}

}  // namespace pellucor
