// SPDX-License-Identifier: MIT
/// @file
/// Unicode for the readers and writers of text: well-formed UTF-8 as the
/// Unicode standard's table of well-formed byte sequences defines it (no
/// overlong forms, no surrogates, nothing above U+10FFFF), UTF-8 from code
/// points, and the Windows-1252 code page.
#pragma once

#include <cstddef>
#include <string_view>

namespace kit {

/// U+FFFD, which stands for what cannot be read or written.
inline constexpr std::string_view replacement_character = "\xEF\xBF\xBD";

/// The most bytes one character takes in UTF-8.
inline constexpr std::size_t max_utf8_bytes = 4;

/// What starts at one byte of UTF-8.
struct Utf8Sequence {
  std::size_t length;  ///< the bytes it takes, at least 1
  bool well_formed;    ///< false: the bytes, a maximal subpart of an ill-formed sequence, stand for one U+FFFD
};

/// The sequence starting at `at`, before `end`. A sequence cut by `end` is
/// ill-formed. An ASCII byte is a well-formed sequence of one.
Utf8Sequence utf8_sequence(const char* at, const char* end);

/// The code point of the well-formed sequence at `at`.
char32_t utf8_code_point(const char* at, std::size_t length);

/// Writes the UTF-8 form of a code point (a scalar value, below 0x110000 and
/// no surrogate); returns the end.
char* put_utf8(char* out, char32_t code_point);

/// The character a Windows-1252 byte stands for. The five bytes the code page
/// leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) stand for the C1 controls
/// of the same numbers, as in Latin-1.
char32_t windows_1252(unsigned char byte);

}  // namespace kit
