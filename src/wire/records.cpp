#include "wire/records.hpp"

#include "text/text_equality.hpp"

namespace pellucor {

using text::textEquals;

bool operator==(const Target& a, const Target& b) {
  return a.pid == b.pid && textEquals(a.bundleID, b.bundleID) &&
         a.frontmostRequired == b.frontmostRequired && a.windowID == b.windowID &&
         textEquals(a.surface, b.surface) && textEquals(a.applicationID, b.applicationID) &&
         textEquals(a.applicationName, b.applicationName) &&
         textEquals(a.applicationRevision, b.applicationRevision);
}

bool operator==(const TargetObservation& a, const TargetObservation& b) {
  return a.pid == b.pid && textEquals(a.bundleID, b.bundleID) && a.windowID == b.windowID &&
         textEquals(a.surface, b.surface) && textEquals(a.applicationID, b.applicationID) &&
         textEquals(a.applicationName, b.applicationName) &&
         textEquals(a.applicationRevision, b.applicationRevision);
}

bool operator==(const Request& a, const Request& b) {
  return textEquals(a.requestID, b.requestID) && textEquals(a.nonce, b.nonce) &&
         a.operation == b.operation && a.target == b.target && a.key == b.key &&
         a.modifiers == b.modifiers;
}

bool operator==(const Response& a, const Response& b) {
  return textEquals(a.protocolVersion, b.protocolVersion) && textEquals(a.requestID, b.requestID) &&
         textEquals(a.nonce, b.nonce) && a.ok == b.ok && textEquals(a.operation, b.operation) &&
         a.target == b.target && a.durationMS == b.durationMS && a.result == b.result &&
         a.error == b.error;
}

}  // namespace pellucor
