#include "wire/json_encoder.hpp"

#include <array>
#include <charconv>
#include <cstdint>

#include "text/utf8.hpp"

namespace pellucor::json {
namespace {

// Bytes that a string byte occupies once escaped, in the response form. Zero
// marks the bytes copied as they are.
constexpr std::array<std::uint8_t, 256> kEscapedWidth = [] {
  std::array<std::uint8_t, 256> widths{};
  for (std::size_t b = 0; b < 0x20; ++b) widths[b] = 6;  // \u00XX
  widths['\b'] = widths['\f'] = widths['\n'] = widths['\r'] = widths['\t'] = 2;
  widths['"'] = widths['\\'] = 2;
  return widths;
}();

constexpr std::string_view kHexDigits = "0123456789abcdef";

// Steps `index` over the multi-byte sequence that starts there, which is
// written as it is; refuses a sequence that is not well-formed UTF-8.
void skipMultiByteSequence(std::string_view text, std::size_t& index) {
  if (!text::nextScalar(text, index)) throw EncodingError("text is not well-formed UTF-8");
}

class EncodingSink {
 public:
  explicit EncodingSink(std::string& out) : out_(out) {}

  void raw(std::string_view bytes) { out_.append(bytes); }
  void integer(std::int64_t value) {
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out_.append(buffer, result.ptr);
  }
  void string(std::string_view text) {
    out_.push_back('"');
    std::size_t runStart = 0;
    for (std::size_t i = 0; i < text.size();) {
      const auto byte = static_cast<unsigned char>(text[i]);
      if (byte >= 0x80) {
        skipMultiByteSequence(text, i);
        continue;
      }
      if (kEscapedWidth[byte] == 0) {
        ++i;
        continue;
      }
      out_.append(text.substr(runStart, i - runStart));
      ++i;
      runStart = i;
      switch (byte) {
        case '"': out_.append("\\\""); break;
        case '\\': out_.append("\\\\"); break;
        case '\b': out_.append("\\b"); break;
        case '\f': out_.append("\\f"); break;
        case '\n': out_.append("\\n"); break;
        case '\r': out_.append("\\r"); break;
        case '\t': out_.append("\\t"); break;
        default: {
          const char escape[6] = {'\\', 'u', '0', '0', kHexDigits[byte >> 4], kHexDigits[byte & 0xF]};
          out_.append(escape, sizeof escape);
        }
      }
    }
    out_.append(text.substr(runStart));
    out_.push_back('"');
  }

 private:
  std::string& out_;
};

class MeasuringSink {
 public:
  void raw(std::string_view bytes) { size_ += bytes.size(); }
  void integer(std::int64_t value) {
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    size_ += static_cast<std::size_t>(result.ptr - buffer);
  }
  void string(std::string_view text) { size_ += measuredStringSize(text); }
  std::size_t size() const { return size_; }

 private:
  std::size_t size_ = 0;
};

template <typename Sink>
void write(Sink& sink, const JSONValue& value) {
  switch (value.kind()) {
    case JSONValue::Kind::string:
      sink.string(value.asString());
      return;
    case JSONValue::Kind::integer:
      sink.integer(value.asInteger());
      return;
    case JSONValue::Kind::boolean:
      sink.raw(value.asBool() ? "true" : "false");
      return;
    case JSONValue::Kind::null:
      sink.raw("null");
      return;
    case JSONValue::Kind::array: {
      sink.raw("[");
      bool first = true;
      for (const auto& element : value.asArray()) {
        if (!first) sink.raw(",");
        first = false;
        write(sink, element);
      }
      sink.raw("]");
      return;
    }
    case JSONValue::Kind::object: {
      sink.raw("{");
      bool first = true;
      for (const auto& [key, member] : value.asObject()) {
        if (!first) sink.raw(",");
        first = false;
        sink.string(key);
        sink.raw(":");
        write(sink, member);
      }
      sink.raw("}");
      return;
    }
  }
}

// Writes the members of a record. Member names are fixed ASCII texts without
// anything to escape, given by the callers in ascending order.
template <typename Sink>
class RecordWriter {
 public:
  explicit RecordWriter(Sink& sink) : sink_(sink) { sink_.raw("{"); }
  void name(std::string_view key) {
    sink_.raw(first_ ? "\"" : ",\"");
    first_ = false;
    sink_.raw(key);
    sink_.raw("\":");
  }
  void close() { sink_.raw("}"); }

 private:
  Sink& sink_;
  bool first_ = true;
};

template <typename Sink>
void write(Sink& sink, const PellucorError& error) {
  RecordWriter<Sink> record(sink);
  record.name("code");
  sink.string(error.code);
  record.name("message");
  sink.string(error.message);
  record.name("retryable");
  sink.raw(error.retryable ? "true" : "false");
  record.close();
}

template <typename Sink>
void write(Sink& sink, const TargetObservation& observation) {
  RecordWriter<Sink> record(sink);
  record.name("application_id");
  sink.string(observation.applicationID);
  record.name("application_name");
  sink.string(observation.applicationName);
  record.name("application_revision");
  sink.string(observation.applicationRevision);
  record.name("bundle_id");
  sink.string(observation.bundleID);
  record.name("pid");
  sink.integer(observation.pid);
  record.name("surface");
  sink.string(observation.surface);
  if (observation.windowID) {
    record.name("window_id");
    sink.integer(*observation.windowID);
  }
  record.close();
}

template <typename Sink>
void write(Sink& sink, const Response& response) {
  RecordWriter<Sink> record(sink);
  record.name("duration_ms");
  sink.integer(response.durationMS);
  if (response.error) {
    record.name("error");
    write(sink, *response.error);
  }
  record.name("nonce");
  sink.string(response.nonce);
  record.name("ok");
  sink.raw(response.ok ? "true" : "false");
  record.name("operation");
  sink.string(response.operation);
  record.name("protocol");
  sink.string(response.protocolVersion);
  record.name("request_id");
  sink.string(response.requestID);
  if (response.result) {
    record.name("result");
    write(sink, *response.result);
  }
  if (response.target) {
    record.name("target");
    write(sink, *response.target);
  }
  record.close();
}

template <typename T>
std::string encodeAny(const T& value) {
  std::string out;
  EncodingSink sink(out);
  write(sink, value);
  return out;
}

template <typename T>
std::size_t measureAny(const T& value) {
  MeasuringSink sink;
  write(sink, value);
  return sink.size();
}

}  // namespace

std::string encode(const JSONValue& value) { return encodeAny(value); }
std::string encode(const Response& response) { return encodeAny(response); }
std::string encode(const TargetObservation& observation) { return encodeAny(observation); }
std::string encode(const PellucorError& error) { return encodeAny(error); }

void appendEncoded(std::string& out, const JSONValue& value) {
  EncodingSink sink(out);
  write(sink, value);
}

std::size_t measuredSize(const JSONValue& value) { return measureAny(value); }
std::size_t measuredSize(const Response& response) { return measureAny(response); }

std::size_t measuredStringSize(std::string_view text) {
  std::size_t size = 2 + text.size();
  for (std::size_t i = 0; i < text.size();) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte >= 0x80) {
      skipMultiByteSequence(text, i);
      continue;
    }
    // An escaped byte adds its escape's width less the byte itself.
    if (kEscapedWidth[byte] != 0) size += kEscapedWidth[byte] - 1u;
    if (byte == '/') ++size;
    ++i;
  }
  return size;
}

}  // namespace pellucor::json
