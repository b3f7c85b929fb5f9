#include "native/ax_output_budget.hpp"

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "native/accessibility_reading.hpp"
#include "wire/json_encoder.hpp"

namespace pellucor {

std::size_t AXOutputBudget::encodedSize(const JSONValue& value) {
  try {
    return json::measuredSize(value);
  } catch (const json::EncodingError&) {
    fail(ax_errors::kEncodingFailed);
  }
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
  const std::size_t added = newMemberSize(key, valueSize);
  // try_emplace leaves `value` alone when the member is already there.
  if (!members_.try_emplace(std::string(key), std::move(value)).second) throw std::logic_error("member added twice");
  size_ += added;
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
