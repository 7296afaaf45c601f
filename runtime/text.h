// SPDX-License-Identifier: MIT
/// @file
/// Text: the runtime's byte string with value semantics.
///
/// Positions are 0-based byte indexes and -1 means "not found". Negative slice
/// positions count from the end. No operation fails: out-of-range positions
/// are clamped or give the empty text, as each contract says.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>

#include "runtime/detail/blocks.h"

namespace kit {

/// Whether the end position of `slice` and `splice` is part of the range.
enum class End : bool { exclusive, inclusive };

/// The runtime's byte string with value semantics: positions are 0-based byte
/// indexes, -1 means "not found", and no operation fails.
class Text {
public:
  /// @name Construction
  /// Each numeric form has the text the C formats give.
  ///@{
  Text() = default;                           ///< the empty text
  Text(const char* s);                        ///< copy up to the NUL; null gives ""
  explicit Text(std::string_view bytes) : bytes_(bytes) {}  ///< the bytes as they are
  /// Takes the bytes over.
  explicit Text(std::string&& bytes) noexcept : bytes_(std::move(bytes)) {}
  explicit Text(bool b);                      ///< "1" or ""
  explicit Text(char c);                      ///< the one-byte text
  explicit Text(int n);                       ///< "%d"
  explicit Text(unsigned n);                  ///< "%u"
  explicit Text(std::uint64_t n);             ///< as a double, "%g"
  explicit Text(double d);                    ///< "%g"
  ///@}

  /// Replace the content with what the matching constructor would give.
  template <typename T> void set(const T& value) { *this = Text(value); }

  /// @name Reading
  ///@{
  int length() const { return static_cast<int>(bytes_.size()); }  ///< the number of bytes
  bool is_empty() const { return bytes_.empty(); }  ///< whether the length is 0
  char first_char() const { return bytes_.empty() ? '\0' : bytes_[0]; }  ///< NUL when empty
  int to_int() const;                         ///< as atoi reads it; 0 without digits
  double to_real() const;                     ///< as atof reads it; 0.0 when empty
  std::int64_t to_int64() const;              ///< to_real truncated toward zero
  bool is_number() const;                     ///< digits with at most one inner 'e'; "" counts
  bool truth() const;                         ///< false for "" and number-like zeros
  const char* c_str() const { return bytes_.c_str(); }  ///< valid until the text changes
  std::string_view view() const { return bytes_; }  ///< the bytes; valid until the text changes
  const std::string& str() const { return bytes_; }  ///< the bytes; valid until the text changes
  Text at(int i) const;                       ///< one-byte text; "" past the end
  ///@}

  /// @name Comparison
  /// Same-length number-like texts compare by value, other texts by their bytes.
  ///@{
  int compare(const Text& other) const;        ///< -1, 0 or 1
  int compare_nocase(const Text& other) const; ///< sign only; 0 when equal ignoring case
  ///@}

  /// @name Searching
  /// -1 when absent. `from` is 0 or more (a negative one reads as 0).
  ///@{
  int find(const Text& needle, int from = 0) const;  ///< the first position at or after `from`
  int find_nocase(const Text& needle, int from = 0) const;  ///< as find, ASCII case ignored
  /// Whether needle occurs; true for "".
  bool contains(const Text& needle) const { return find(needle, 0) != -1; }
  ///@}

  /// @name New texts from this one
  ///@{
  Text slice(int start, int end, End bound) const;  ///< clamps; "" when the range is empty
  /// Without space, `\t`, `\n`, `\v` and `\r` at either end (`\f` stays).
  Text trim() const;
  Text ltrim() const;                         ///< as trim, at the start only
  Text rtrim() const;                         ///< as trim, at the end only
  Text lower() const;                         ///< ASCII letters lower-cased
  Text upper() const;                         ///< ASCII letters upper-cased
  Text capitalize() const;                    ///< first byte upper-cased
  Text repeat(int n) const;                   ///< "" when n <= 0
  ///@}

  /// @name Changes in place
  ///@{
  int append(const Text& x);                  ///< returns the new length
  Text& operator+=(const Text& x) { append(x); return *this; }  ///< appends x
  Text& operator+=(char c) { bytes_ += c; return *this; }  ///< appends the byte
  /// Every occurrence of `search`, left to right without overlap, becomes
  /// `replacement`; unchanged when `search` is empty or the result would be empty.
  void replace(const Text& search, const Text& replacement);
  void insert(int pos, const Text& x);         ///< pos clamped to the text
  /// Replaces the bytes from start to end with x: negative positions count
  /// from the end, an end past the text stops at its last byte, and an
  /// exclusive end of 0 stands for the end of the text. An end just before
  /// start inserts x at start; an empty text becomes x. Unchanged when the
  /// end falls before the text or further before start.
  void splice(int start, int end, const Text& x, End bound);
  void set_at(int i, const Text& x);           ///< byte i becomes x's first; past the end appends
  void set_repeat(const Text& x, int n);       ///< becomes x.repeat(n): "" when n <= 0
  ///@}

private:
  std::string bytes_;
};

/// Copies the bytes to `out`; most texts are short, and those are copied in
/// two overlapping pieces rather than through a call.
inline void copy_bytes(char* out, std::string_view bytes) {
  const char* const in = bytes.data();
  const std::size_t n = bytes.size();
  const auto two = [out, in, n](auto piece) {
    std::memcpy(&piece, in, sizeof piece);
    std::memcpy(out, &piece, sizeof piece);
    std::memcpy(&piece, in + n - sizeof piece, sizeof piece);
    std::memcpy(out + n - sizeof piece, &piece, sizeof piece);
  };
  struct Sixteen {
    char bytes[16];
  };
  if (n <= 16) {
    if (n >= 8) {
      two(std::uint64_t{});
    } else if (n >= 4) {
      two(std::uint32_t{});
    } else {
      for (std::size_t i = 0; i < n; ++i) out[i] = in[i];
    }
  } else if (n <= 32) {
    two(Sixteen{});
  } else {
    std::memcpy(out, in, n);
  }
}

/// The first `c` in [at, end); `end` when there is none. Most lines and
/// values are short: sixteen bytes are tested at a time inline, the last
/// block ending with the range, which costs less than a call for each.
inline const char* find_byte(const char* at, const char* end, char c) {
#if KIT_SSE2
  const __m128i wanted = _mm_set1_epi8(c);
  return detail::first_marked(at, end, [wanted](__m128i block) {
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, wanted)));
  });
#else
  while (at != end && *at != c) ++at;
  return at;
#endif
}

/// @name Trimming byte views
/// The trims on plain byte views, for code that scans lines without making
/// texts; whitespace is space, `\t`, `\n`, `\v` and `\r` (not `\f`), as for Text.
/// Inline: the converters trim every line and value.
///@{

/// Whether c is such whitespace.
inline bool is_trim_space(char c) {
  // One bit for each: a compare and a bit test instead of a chain of branches.
  constexpr std::uint64_t spaces = 1ull << ' ' | 1ull << '\t' | 1ull << '\n' | 1ull << '\v' | 1ull << '\r';
  const auto byte = static_cast<unsigned char>(c);
  return byte <= ' ' && ((spaces >> byte) & 1) != 0;
}
/// v without the whitespace at its end.
inline std::string_view rtrim_view(std::string_view v) {
  while (!v.empty() && is_trim_space(v.back())) v.remove_suffix(1);
  return v;
}
/// v without the whitespace at both ends.
inline std::string_view trim_view(std::string_view v) {
  while (!v.empty() && is_trim_space(v.front())) v.remove_prefix(1);
  return rtrim_view(v);
}
///@}

/// true when both have one length and their bytes match with the case of
/// ASCII letters ignored (as the C locale's tolower reads them), else false;
/// unlike Text::compare_nocase, digits get no reading as numbers.
inline bool same_nocase(std::string_view a, std::string_view b) {
  // The two cases of an ASCII letter differ in this bit alone.
  constexpr unsigned char case_bit = 0x20;
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const unsigned char x = static_cast<unsigned char>(a[i]);
    const unsigned char y = static_cast<unsigned char>(b[i]);
    if (x == y) continue;
    const unsigned char lower = static_cast<unsigned char>(x | case_bit);
    if ((x ^ y) != case_bit || lower < 'a' || lower > 'z') return false;
  }
  return true;
}

/// @name Concatenation
/// A new text of a's bytes then b's; a null string reads as "".
///@{
Text operator+(const Text& a, const Text& b);  ///< a's bytes, then b's
Text operator+(const Text& a, const char* b);  ///< a + Text(b)
Text operator+(const char* a, const Text& b);  ///< Text(a) + b
///@}

/// @name Comparison
/// Ordering and equality with texts and character strings, through
/// Text::compare; a null string reads as "".
///@{
bool operator==(const Text& a, const Text& b);  ///< compare gives 0
bool operator!=(const Text& a, const Text& b);  ///< compare gives -1 or 1
bool operator<(const Text& a, const Text& b);   ///< compare gives -1
bool operator<=(const Text& a, const Text& b);  ///< compare gives -1 or 0
bool operator>(const Text& a, const Text& b);   ///< compare gives 1
bool operator>=(const Text& a, const Text& b);  ///< compare gives 0 or 1
inline bool operator==(const Text& a, const char* b) { return a == Text(b); }  ///< a == Text(b)
inline bool operator!=(const Text& a, const char* b) { return a != Text(b); }  ///< a != Text(b)
inline bool operator<(const Text& a, const char* b) { return a < Text(b); }    ///< a < Text(b)
inline bool operator<=(const Text& a, const char* b) { return a <= Text(b); }  ///< a <= Text(b)
inline bool operator>(const Text& a, const char* b) { return a > Text(b); }    ///< a > Text(b)
inline bool operator>=(const Text& a, const char* b) { return a >= Text(b); }  ///< a >= Text(b)
///@}

/// @name Equality with booleans and numbers
/// A text equals a boolean when its truth value does, and a number only when
/// it is number-like with that value.
///@{
inline bool operator==(const Text& a, bool b) { return a.truth() == b; }  ///< a.truth() == b
inline bool operator!=(const Text& a, bool b) { return a.truth() != b; }  ///< a.truth() != b
bool operator==(const Text& a, int n);     ///< number-like with the value n
bool operator==(const Text& a, double d);  ///< number-like with the value d
inline bool operator!=(const Text& a, int n) { return !(a == n); }      ///< !(a == n)
inline bool operator!=(const Text& a, double d) { return !(a == d); }   ///< !(a == d)
///@}

/// 0.0 for the empty string, its atof reading otherwise; null reads as "".
double real_of(const char* s);

/// Writes the bytes and nothing else.
std::ostream& operator<<(std::ostream& out, const Text& t);

/// The hash std::hash<Text> gives, in agreement with ==: a number-like text
/// hashes its value (0.0 for any zero), any other its bytes; never fails.
std::size_t hash_text(const Text& t) noexcept;

}  // namespace kit

/// @cond
template <> struct std::hash<kit::Text> {
  std::size_t operator()(const kit::Text& t) const noexcept { return kit::hash_text(t); }
};
/// @endcond
