// Sixteen-byte blocks of short texts, for the scans that compare sixteen
// bytes at a time. Private to the library's sources.
#pragma once

#ifdef __SSE2__
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

}  // namespace kit::detail

#endif
