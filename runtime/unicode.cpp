// SPDX-License-Identifier: MIT
#include "runtime/unicode.h"

namespace kit {

namespace {

// The range the second byte of a sequence must fall in, by its lead byte;
// every later byte is 0x80 to 0xBF. Leads 0xE0, 0xED, 0xF0 and 0xF4 narrow
// it to shut out overlong forms, surrogates and code points past U+10FFFF.
struct Lead {
  std::size_t length;  // 0: no sequence starts with this byte
  unsigned char low;
  unsigned char high;
};

Lead lead_of(unsigned char byte) {
  if (byte >= 0xC2 && byte <= 0xDF) return {2, 0x80, 0xBF};
  if (byte == 0xE0) return {3, 0xA0, 0xBF};
  if (byte == 0xED) return {3, 0x80, 0x9F};
  if (byte >= 0xE1 && byte <= 0xEF) return {3, 0x80, 0xBF};
  if (byte == 0xF0) return {4, 0x90, 0xBF};
  if (byte == 0xF4) return {4, 0x80, 0x8F};
  if (byte >= 0xF1 && byte <= 0xF3) return {4, 0x80, 0xBF};
  return {0, 0, 0};
}

// 0x80 to 0x9F, where the code page differs from Latin-1.
constexpr char16_t windows_1252_high[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

}  // namespace

Utf8Sequence utf8_sequence(const char* at, const char* end) {
  const auto first = static_cast<unsigned char>(*at);
  if (first < 0x80) return {1, true};
  const Lead lead = lead_of(first);
  if (lead.length == 0) return {1, false};
  // Each byte that fits extends the maximal subpart; the first that does
  // not ends it, and is read again as the start of what follows.
  std::size_t length = 1;
  for (; length < lead.length; ++length) {
    if (at + length == end) return {length, false};
    const auto byte = static_cast<unsigned char>(at[length]);
    const unsigned char low = length == 1 ? lead.low : 0x80;
    const unsigned char high = length == 1 ? lead.high : 0xBF;
    if (byte < low || byte > high) return {length, false};
  }
  return {length, true};
}

char32_t utf8_code_point(const char* at, std::size_t length) {
  const auto byte = [at](std::size_t i) { return static_cast<char32_t>(static_cast<unsigned char>(at[i])); };
  switch (length) {
    case 1: return byte(0);
    case 2: return (byte(0) & 0x1F) << 6 | (byte(1) & 0x3F);
    case 3: return (byte(0) & 0x0F) << 12 | (byte(1) & 0x3F) << 6 | (byte(2) & 0x3F);
    default:
      return (byte(0) & 0x07) << 18 | (byte(1) & 0x3F) << 12 | (byte(2) & 0x3F) << 6 |
             (byte(3) & 0x3F);
  }
}

char* put_utf8(char* out, char32_t c) {
  if (c < 0x80) {
    *out++ = static_cast<char>(c);
  } else if (c < 0x800) {
    *out++ = static_cast<char>(0xC0 | (c >> 6));
    *out++ = static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    *out++ = static_cast<char>(0xE0 | (c >> 12));
    *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *out++ = static_cast<char>(0x80 | (c & 0x3F));
  } else {
    *out++ = static_cast<char>(0xF0 | (c >> 18));
    *out++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *out++ = static_cast<char>(0x80 | (c & 0x3F));
  }
  return out;
}

char32_t windows_1252(unsigned char byte) {
  return byte >= 0x80 && byte < 0xA0 ? windows_1252_high[byte - 0x80] : byte;
}

}  // namespace kit
