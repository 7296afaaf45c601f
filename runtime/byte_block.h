// SPDX-License-Identifier: MIT
/// @file
/// Output gathered in memory before it goes out: the converters build their
/// lines and blocks here. Appends are inline, each with one test for room,
/// as a line takes a handful of them.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <string_view>

#include "runtime/text.h"

namespace kit {

/// Bytes gathered in one block of memory that grows as appends need; no
/// operation fails but for running out of memory (std::bad_alloc).
class ByteBlock {
public:
  /// Grows by doubling, to at least `least` bytes the first time.
  explicit ByteBlock(std::size_t least = 256) : least_(least) {}

  /// Room for n more bytes after the end, grown when short: where it starts.
  /// Nothing is added until used() says so.
  char* room(std::size_t n) {
    if (capacity_ - size_ < n) grow(n);
    return bytes_.get() + size_;
  }
  /// The bytes free after the end before the block must grow.
  std::size_t room_left() const { return capacity_ - size_; }
  void used(std::size_t n) { size_ += n; }  ///< the next n bytes of the room are output now

  /// Appends the bytes, growing when short.
  ByteBlock& operator+=(std::string_view bytes) {
    copy_bytes(room(bytes.size()), bytes);
    size_ += bytes.size();
    return *this;
  }
  ByteBlock& operator+=(char c) { return *this += std::string_view(&c, 1); }  ///< appends the byte

  /// The bytes so far; valid until the block next changes.
  std::string_view view() const { return std::string_view(bytes_.get(), size_); }
  std::size_t size() const { return size_; }  ///< the number of bytes so far
  bool empty() const { return size_ == 0; }   ///< whether there are none
  void clear() { size_ = 0; }  ///< the room is kept

private:
  /// Seldom called: out of line, so that the appends stay small.
  [[gnu::noinline]] void grow(std::size_t more) {
    const std::size_t capacity = std::max({least_, 2 * capacity_, size_ + more});
    std::unique_ptr<char[]> bigger(new char[capacity]);
    if (size_ > 0) std::memcpy(bigger.get(), bytes_.get(), size_);
    bytes_ = std::move(bigger);
    capacity_ = capacity;
  }

  std::unique_ptr<char[]> bytes_;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
  std::size_t least_;
};

}  // namespace kit
