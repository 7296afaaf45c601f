// SPDX-License-Identifier: MIT
// Sixteen-byte blocks for the scans that compare sixteen bytes at a time.
// Internal to the runtime library; installed only because text.h's inline
// byte search walks its blocks with it.
#pragma once

// The sixteen-byte paths use SSE2, which every x86-64 processor has; the
// plain paths serve elsewhere, and a build defining KIT_PLAIN_SCANS takes
// them on x86-64 too, so that the tests check both.
#if defined(__SSE2__) && !defined(KIT_PLAIN_SCANS)
#define KIT_SSE2 1
#else
#define KIT_SSE2 0
#endif

#if KIT_SSE2
#include <emmintrin.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace kit::detail {

// The n < 16 bytes at `at` in their places in a block, zero after them,
// read without going past them.
inline __m128i short_block(const char* at, std::size_t n) {
  std::uint64_t low = 0;
  std::uint64_t high = 0;
  if (n >= 8) {
    std::uint64_t tail;
    std::memcpy(&low, at, 8);
    std::memcpy(&tail, at + n - 8, 8);
    // The tail's first 16 - n bytes are the low half's last ones.
    high = n > 8 ? tail >> (8 * (16 - n)) : 0;
  } else if (n >= 4) {
    std::uint32_t head;
    std::uint32_t tail;
    std::memcpy(&head, at, 4);
    std::memcpy(&tail, at + n - 4, 4);
    low = head | (std::uint64_t{tail} >> (8 * (8 - n)) << 32);
  } else {
    for (std::size_t i = 0; i < n; ++i) low |= std::uint64_t{static_cast<unsigned char>(at[i])} << (8 * i);
  }
  return _mm_set_epi64x(static_cast<long long>(high), static_cast<long long>(low));
}

// The first byte in [at, end) whose bit is set in the mask `bits_of` gives
// for its block (one bit a byte, lowest first); `end` when there is none.
// A range shorter than a block is read as one exact block, and the last
// block of a longer one ends with the range: no byte outside it is read.
template <typename BitsOf>
[[gnu::always_inline]] inline const char* first_marked(const char* at, const char* end, BitsOf bits_of) {
  if (end - at < 16) {
    const auto n = static_cast<std::size_t>(end - at);
    const unsigned bits = bits_of(short_block(at, n)) & ((1u << n) - 1);
    return bits != 0 ? at + __builtin_ctz(bits) : end;
  }
  const auto bits_at = [&bits_of](const char* block) {
    return static_cast<unsigned>(bits_of(_mm_loadu_si128(reinterpret_cast<const __m128i*>(block))));
  };
  for (; end - at >= 16; at += 16) {
    if (const unsigned bits = bits_at(at)) return at + __builtin_ctz(bits);
  }
  if (at == end) return end;
  // The bytes of the last block before `at` were seen already.
  const unsigned bits = bits_at(end - 16) >> (16 - (end - at));
  return bits != 0 ? at + __builtin_ctz(bits) : end;
}

}  // namespace kit::detail

#endif
