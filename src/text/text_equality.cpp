#include "text/text_equality.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <utility>
#include <vector>

#include <utf8proc.h>

#include "text/canonical_class_table.hpp"
#include "text/utf8.hpp"

namespace pellucor::text {
namespace {

std::string decompose(std::string_view text) {
  utf8proc_uint8_t* raw = nullptr;
  const auto length =
      utf8proc_map(reinterpret_cast<const utf8proc_uint8_t*>(text.data()),
                   static_cast<utf8proc_ssize_t>(text.size()), &raw,
                   static_cast<utf8proc_option_t>(UTF8PROC_STABLE | UTF8PROC_DECOMPOSE));
  const std::unique_ptr<utf8proc_uint8_t, decltype(&std::free)> owner(raw, &std::free);
  if (length < 0) {
    // Callers hold well-formed UTF-8; anything else is a broken invariant, or
    // memory exhaustion inside the library.
    throw std::runtime_error("text could not be decomposed");
  }
  return std::string(reinterpret_cast<const char*>(raw), static_cast<std::size_t>(length));
}

constexpr std::uint64_t kFnvOffset = 14695981039346656037ULL;
constexpr std::uint64_t kFnvPrime = 1099511628211ULL;

// Hangul syllables decompose by arithmetic (Unicode chapter 3.12) into two or
// three conjoining jamo, all starters.
constexpr char32_t kSyllableBase = 0xAC00;
constexpr char32_t kLeadingBase = 0x1100;
constexpr char32_t kVowelBase = 0x1161;
constexpr char32_t kTrailingBase = 0x11A7;
constexpr char32_t kVowelCount = 21;
constexpr char32_t kTrailingCount = 28;
constexpr char32_t kSyllableCount = 11172;

// Feeds the canonical decomposition of a text, in canonical order, to an
// FNV-1a hash taken over its scalars (one step per scalar, not per byte). Marks (non-zero combining class) wait in
// `marks_` until the next starter, and are then put in canonical order by a
// stable sort on their class.
class CanonicalHasher {
 public:
  // ASCII is a starter without a decomposition.
  void ascii(unsigned char value) {
    flushMarks();
    emit(value);
  }

  // A byte that does not decode stands for itself.
  void undecodable(unsigned char value) {
    flushMarks();
    emit(0x110000u + value);
  }

  void scalar(char32_t value) {
    if (value - kSyllableBase < kSyllableCount) {
      const char32_t index = value - kSyllableBase;
      starter(kLeadingBase + index / (kVowelCount * kTrailingCount));
      starter(kVowelBase + index % (kVowelCount * kTrailingCount) / kTrailingCount);
      if (index % kTrailingCount != 0) starter(kTrailingBase + index % kTrailingCount);
      return;
    }
    // Most scalars have no canonical decomposition; the build's table gives
    // their combining class without a call into the library.
    const std::uint8_t entry = canonical_class_table::entry(value);
    if (entry != canonical_class_table::kDecomposes) {
      place(value, entry);
      return;
    }
    // A canonical decomposition: the library gives it in full (recursively),
    // at most four scalars long in every Unicode version so far.
    utf8proc_int32_t parts[16];
    utf8proc_int32_t boundary = 0;
    const auto count = utf8proc_decompose_char(static_cast<utf8proc_int32_t>(value), parts, 16,
                                               UTF8PROC_DECOMPOSE, &boundary);
    if (count <= 0 || count > 16) throw std::runtime_error("text could not be decomposed");
    for (utf8proc_ssize_t i = 0; i < count; ++i) {
      place(static_cast<char32_t>(parts[i]), canonical_class_table::entry(static_cast<char32_t>(parts[i])));
    }
  }

  std::uint64_t finish() {
    flushMarks();
    return hash_;
  }

 private:
  struct Mark {
    std::uint8_t combiningClass;
    char32_t scalar;
  };

  void place(char32_t value, std::uint8_t combiningClass) {
    if (combiningClass == 0) {
      starter(value);
      return;
    }
    // Runs of marks are short in real text; a long run moves to the heap.
    if (markCount_ < fewMarks_.size()) {
      fewMarks_[markCount_++] = Mark{combiningClass, value};
      return;
    }
    if (manyMarks_.empty()) manyMarks_.assign(fewMarks_.begin(), fewMarks_.end());
    manyMarks_.push_back(Mark{combiningClass, value});
  }
  void starter(char32_t value) {
    flushMarks();
    emit(value);
  }
  void flushMarks() {
    if (markCount_ == 0) return;
    const auto byClass = [](const Mark& a, const Mark& b) { return a.combiningClass < b.combiningClass; };
    if (manyMarks_.empty()) {
      // Insertion sort keeps marks of equal class in their order.
      for (std::size_t i = 1; i < markCount_; ++i) {
        const Mark mark = fewMarks_[i];
        std::size_t j = i;
        for (; j > 0 && byClass(mark, fewMarks_[j - 1]); --j) fewMarks_[j] = fewMarks_[j - 1];
        fewMarks_[j] = mark;
      }
      for (std::size_t i = 0; i < markCount_; ++i) emit(fewMarks_[i].scalar);
    } else {
      std::stable_sort(manyMarks_.begin(), manyMarks_.end(), byClass);
      for (const Mark& mark : manyMarks_) emit(mark.scalar);
      manyMarks_.clear();
    }
    markCount_ = 0;
  }
  void emit(char32_t value) noexcept {
    hash_ ^= value;
    hash_ *= kFnvPrime;
  }

  std::uint64_t hash_ = kFnvOffset;
  std::array<Mark, 16> fewMarks_;
  std::size_t markCount_ = 0;
  std::vector<Mark> manyMarks_;
};

// True when `text` is its own canonical decomposition because every scalar in
// it is a starter without a decomposition, as nearly all text is; false also
// for bytes that do not decode.
bool isOwnDecomposition(std::string_view text) noexcept {
  std::size_t i = 0;
  while (i < text.size()) {
    if (static_cast<unsigned char>(text[i]) < 0x80) {
      ++i;
      continue;
    }
    const auto value = nextScalar(text, i);
    if (!value || canonical_class_table::entry(*value) != 0) return false;
  }
  return true;
}

}  // namespace

std::uint64_t canonicalHash(std::string_view text) {
  if (isAscii(text)) {
    // ASCII text is its own canonical decomposition.
    std::uint64_t hash = kFnvOffset;
    for (const char c : text) {
      hash ^= static_cast<unsigned char>(c);
      hash *= kFnvPrime;
    }
    return hash;
  }
  CanonicalHasher hasher;
  std::size_t i = 0;
  while (i < text.size()) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x80) {
      hasher.ascii(byte);
      ++i;
      continue;
    }
    const auto value = nextScalar(text, i);
    if (!value) {
      hasher.undecodable(byte);
      ++i;
      continue;
    }
    hasher.scalar(*value);
  }
  return hasher.finish();
}

bool textEquals(std::string_view a, std::string_view b) {
  if (a == b) return true;
  // Two different ASCII texts can never be equivalent. A single ASCII side is
  // not enough to decide: U+212A decomposes to "K".
  if (isAscii(a) && isAscii(b)) return false;
  // Nor can two different texts that are both their own decomposition.
  if (isOwnDecomposition(a) && isOwnDecomposition(b)) return false;
  return decompose(a) == decompose(b);
}

std::string canonicalKey(std::string_view text) {
  if (isOwnDecomposition(text)) return std::string(text);
  return decompose(text);
}

}  // namespace pellucor::text
