// SPDX-License-Identifier: MIT
// Internal to the tree library: how an element's bytes are laid out.
//
// Name, data, then each attribute's name and value, each behind a mark: a
// number in groups of seven bits, low bits first, the high bit set while
// more follow. An even mark 2n says that n bytes of text follow; an odd mark
// 2n+1 stands for word n of the word table of the node table that holds the
// bytes (only bytes a node table holds use words). One block per element,
// without pointers, keeps large trees compact.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "runtime/text.h"
#include "tree/detail/payloads.h"

namespace kit::detail {

inline std::size_t mark_size(std::size_t mark) {
  std::size_t size = 1;
  for (; mark >= 0x80; mark >>= 7) ++size;
  return size;
}

// Writes the mark; returns the end.
inline char* put_mark(char* out, std::size_t mark) {
  if (mark < 0x80) {
    *out = static_cast<char>(mark);
    return out + 1;
  }
  while (mark >= 0x80) {
    *out++ = static_cast<char>((mark & 0x7F) | 0x80);
    mark >>= 7;
  }
  *out++ = static_cast<char>(mark);
  return out;
}

// Reads the mark at `at` and steps past it.
inline std::size_t get_mark(const char* bytes, std::size_t& at) {
  if (static_cast<unsigned char>(bytes[at]) < 0x80) return static_cast<unsigned char>(bytes[at++]);
  std::size_t mark = 0;
  for (unsigned shift = 0;; shift += 7) {
    const auto byte = static_cast<unsigned char>(bytes[at++]);
    mark |= static_cast<std::size_t>(byte & 0x7F) << shift;
    if ((byte & 0x80) == 0) return mark;
  }
}

inline std::size_t text_mark(std::size_t length) { return length << 1; }
inline std::size_t word_mark(std::size_t number) { return (number << 1) | 1; }

// The bytes a text takes written out in full.
inline std::size_t text_size(std::string_view text) {
  return mark_size(text_mark(text.size())) + text.size();
}

// Writes the text in full; returns the end.
inline char* put_text(char* out, std::string_view text) {
  out = put_mark(out, text_mark(text.size()));
  copy_bytes(out, text);
  return out + text.size();
}

// What a node table writes at the start of each chunk it keeps element
// bytes in. A chunk is aligned to a power of two, 2^shift, and the flags
// byte in front of an element's bytes gives the shift (see
// tree/detail/payloads.h), so that the header, and the words the bytes use,
// are found from the bytes alone.
struct ChunkHeader {
  const std::string_view* words;             // the table's words, by number
};

// The word a node table keeps under that number for the bytes of `block`,
// which it holds.
inline std::string_view held_word(const char* block, std::size_t number) {
  const unsigned shift = static_cast<unsigned char>(block[-1]) & ElementBlock::shift_bits;
  const std::uintptr_t start =
      reinterpret_cast<std::uintptr_t>(block - 1) & ~((std::uintptr_t{1} << shift) - 1);
  return reinterpret_cast<const ChunkHeader*>(start)->words[number];
}

// Reads the text at `at`, spelling a word out, and steps past it.
inline std::string_view get_text(const char* block, std::size_t& at) {
  const std::size_t mark = get_mark(block, at);
  if ((mark & 1) != 0) return held_word(block, mark >> 1);
  const std::string_view text(block + at, mark >> 1);
  at += mark >> 1;
  return text;
}

inline void skip_text(const char* block, std::size_t& at) {
  const std::size_t mark = get_mark(block, at);
  if ((mark & 1) == 0) at += mark >> 1;
}

}  // namespace kit::detail
