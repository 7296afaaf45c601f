// SPDX-License-Identifier: MIT
/// @file
/// Built-in functions: minimum and maximum, conversions between the scalar
/// kinds, and text functions over NUL-terminated character strings.
///
/// The string functions return owning `Text` values; a null string reads as
/// "". Positions are 0-based byte indexes; positions outside the string are
/// clamped to it.
#pragma once

#include <cstdint>

#include "runtime/text.h"

namespace kit {

class Dyn;

/// @name Alignment modes of pad
///@{
inline constexpr int pad_right = 0;   ///< fill before the text
inline constexpr int pad_left = 1;    ///< fill after the text
inline constexpr int pad_centre = 2;  ///< fill on both sides, the odd byte on the right
///@}

// ---- Minimum and maximum ---------------------------------------------------
// min keeps the first on a tie, max the second.

int min(int a, int b);           ///< a when a <= b, else b
int max(int a, int b);           ///< a when a > b, else b
std::uint64_t min(std::uint64_t a, std::uint64_t b);  ///< a when a <= b, else b
std::uint64_t max(std::uint64_t a, std::uint64_t b);  ///< a when a > b, else b
double min(double a, double b);  ///< a when a <= b, else b
double max(double a, double b);  ///< a when a > b, else b
Text min(const Text& a, const Text& b);  ///< by Text::compare
Text max(const Text& a, const Text& b);  ///< by Text::compare
Dyn min(const Dyn& a, const Dyn& b);     ///< a copy, by Dyn >
Dyn max(const Dyn& a, const Dyn& b);     ///< a copy, by Dyn >

// ---- Conversions -----------------------------------------------------------

/// Truncated toward zero; NaN gives 0 and values beyond the int range the
/// nearest int.
int int_of(double d);
int int_of(const char* s);      ///< atoi; 0 without digits
int int_of(const Text& t);      ///< atoi; 0 without digits
int int_of(const Dyn& d);       ///< Dyn::to_int64, clamped to the int range

std::uint64_t natural(int n);   ///< sign-extended
std::uint64_t natural(bool b);  ///< 0 or 1
std::uint64_t natural(double d);          ///< truncated toward zero (negatives wrap); NaN 0
std::uint64_t natural(const Text& t);     ///< Text::to_int64
std::uint64_t natural(const char* s);     ///< strtod, truncated; 0 without a number
std::uint64_t natural(const Dyn& d);      ///< Dyn::to_int (a boolean gives 0)

double real(int n);             ///< the same value
double real(std::uint64_t n);   ///< the nearest double
double real(double d);          ///< d itself
double real(const Text& t);     ///< strtod reading; 0 without a number
double real(const char* s);     ///< strtod reading; 0 without a number
double real(const Dyn& d);      ///< Dyn::to_number

Text text(int n);               ///< "%d"
Text text(std::uint64_t n);     ///< "%g"
Text text(double d);            ///< "%g"
Text text(const char* s);       ///< a copy; null gives ""
Text text(bool b);              ///< "true" or "false"
Text text(const Dyn& d);        ///< Dyn::to_text ("" for false)

Text chars_of(int n);           ///< "%d"
Text chars_of(double d);        ///< "%g"
Text chars_of(const Dyn& d);    ///< Dyn::to_chars ("false" for false)

/// Lower-case hexadecimal, no prefix; negative numbers as their 32-bit pattern.
Text hex(int n);
/// The largest whole number not above d + 0.5 (2.5 gives 3, -2.5 gives -2).
double nearest(double d);
/// The character of that code's low byte.
char chr(int code);
/// The one-character text of that code's low byte.
Text chr_text(int code);
/// The first byte's code (0 to 255); 0 for the empty or null string.
int ord(const char* s);
/// The first byte's code (0 to 255); 0 for the empty text.
int ord(const Text& t);
/// True when n is not 0.
bool bool_of(int n);
/// Whether the Dyn holds an Array (tag 32).
bool is_array(const Dyn& d);
/// Whether the Dyn holds a typed array of the integer, text or object kinds
/// (tag 60); the number kinds (tag 61) and shared aliases (tag 50) do not count.
bool is_typed_array(const Dyn& d);
/// Seconds since 1970-01-01 UTC.
std::uint64_t time_now();

// ---- Text functions on character strings -----------------------------------

/// The n bytes from start (fewer at the end); "" when n is 0 or less.
Text substring(const char* s, int start, int n);
/// The bytes from start to the end.
Text rest_at(const char* s, int start);
Text lower(const char* s);                 ///< every byte through tolower
Text upper(const char* s);                 ///< every byte through toupper
Text capitalize(const char* s);            ///< the first byte through toupper
/// Every byte above 32 that starts the string or follows a byte of 32 or
/// less goes through toupper.
Text capitalize_words(const char* s);
/// s with the space, tab, line feed, vertical tab and carriage return bytes
/// at its start removed.
Text ltrim(const char* s);
/// s with those bytes (as for ltrim) at its end removed.
Text rtrim(const char* s);
/// rtrim under another name.
inline Text chop(const char* s) { return rtrim(s); }
/// s with those bytes (as for ltrim) at both ends removed.
Text trim(const char* s);
/// -1, 0 or 1 from the first byte pair that differs after tolower.
int compare_nocase(const char* a, const char* b);
/// The first position at or after start where needle occurs; -1 when none.
int find(const char* needle, const char* s, int start);
/// s from the first place where needle occurs, case ignored; "" when absent.
Text rest_from(const char* s, const char* needle);
/// Every non-overlapping occurrence of search replaced; s itself when search
/// is empty or the result would be empty.
Text replace(const char* s, const char* search, const char* replacement);
/// The bytes before first, the insertion, then the bytes after last.
Text replace_span(const char* s, const char* insertion, int first, int last);
/// Each byte found among the first n bytes of from (n the shorter length of
/// from and to) becomes the byte at the same position of to.
Text translate(const char* s, const char* from, const char* to);
/// Non-overlapping occurrences of needle; 0 for an empty needle.
int count_of(const char* s, const char* needle);
/// True when haystack holds needle (case-sensitive); the empty needle always.
bool occurs_in(const char* needle, const char* haystack);
/// s n times in a row; "" when n is 0 or less.
Text repeat(const char* s, int n);
/// The text widened to width with repeats of fill, by the mode (pad_right,
/// pad_left, pad_centre); unchanged when it is already as wide, when fill is
/// empty or the mode unknown.
Text pad(const Text& t, int width, const char* fill, int mode);
/// pad for a character string; null reads as "".
inline Text pad(const char* s, int width, const char* fill, int mode) {
  return pad(Text(s), width, fill, mode);
}

}  // namespace kit
