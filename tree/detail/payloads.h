// SPDX-License-Identifier: MIT
// Internal to the tree library: the handles through which nodes hold their
// payloads. tree/dom.h includes this header because an Element and a Node
// hold them by value; nothing here is meant for callers.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

namespace kit::detail {

// The bytes of one element (see tree/detail/marks.h for their layout) and
// whose they are, behind one pointer, so that a node takes 24 bytes: what
// else a block records sits in front of its bytes. The byte just in front
// holds flags: own, and whether the attribute cursor is valid. An own block
// was allocated by the element and goes with it; in front of its flags it
// keeps its capacity, the cursor, its size and its attribute count. A
// borrowed block belongs to someone else: the shared empty element, or a
// Dom's node table, which keeps it as long as the table lives; its flags
// byte also gives the shift of the table's chunk it lies in, and in front
// of that byte the attribute count is written as a mark read backwards. An
// element copies borrowed bytes into an own block before it changes them.
class ElementBlock {
public:
  // The flags byte's bits. A chunk's shift is at most that of a huge page
  // (21), so six bits hold it.
  static constexpr unsigned char own_flag = 0x80;
  static constexpr unsigned char valid_flag = 0x40;
  static constexpr unsigned char shift_bits = 0x3F;

  // What an own block keeps first, for the element to manage.
  struct OwnHeader {
    std::uint32_t capacity;
    std::uint32_t cursor;                      // byte offset of the cursor attribute
  };
  // Then the size and the count, then the flags byte.
  static constexpr std::size_t size_at = sizeof(OwnHeader);
  static constexpr std::size_t count_at = size_at + sizeof(std::uint32_t);
  static constexpr std::size_t own_front = count_at + sizeof(std::uint32_t) + 1;
  // Room an own block keeps after its capacity, so that a short text in it
  // may be read in two whole machine words.
  static constexpr std::size_t read_slack = 16;

  // The most attributes an element holds.
  static constexpr std::uint32_t max_attributes = (1u << 30) - 1;

  ElementBlock() noexcept : bytes_(const_cast<char*>(empty_block(false))) {}
  // Copies are the element's business (borrowed bytes may need spelling
  // out); a move hands the block over and leaves `other` empty.
  ElementBlock(const ElementBlock&) = delete;
  ElementBlock& operator=(const ElementBlock&) = delete;
  ElementBlock(ElementBlock&& other) noexcept : bytes_(std::move(other.bytes_)) { other.clear(); }
  ElementBlock& operator=(ElementBlock&& other) noexcept {
    if (this != &other) {
      bytes_ = std::move(other.bytes_);
      other.clear();
    }
    return *this;
  }
  ~ElementBlock() = default;

  bool is_own() const { return (flags() & own_flag) != 0; }
  const char* bytes() const { return bytes_.get(); }
  char* own_bytes() { return bytes_.get(); }  // only for an own block
  // The shared empty element, whichever its cursor flag.
  bool is_empty_block() const {
    return bytes() == empty_block(false) || bytes() == empty_block(true);
  }

  // Becomes the owner of a block of own_front + capacity bytes (and the
  // slack); the count and the cursor flag carry over, and the size too from
  // an own block (a caller spelling out a borrowed one sets it).
  void adopt(std::unique_ptr<char[]> block) {
    const std::uint32_t size = is_own() ? field(size_at) : 0;
    const std::uint32_t count = this->count();
    const unsigned char valid = flags() & valid_flag;
    char* const bytes = block.get() + own_front;
    bytes[-1] = static_cast<char>(own_flag | valid);
    bytes_.reset(block.release() + own_front);
    set_field(size_at, size);
    set_field(count_at, count);
  }
  // Points at bytes someone else keeps, flags and count in front; an own
  // block is freed first.
  void borrow(const char* bytes) { bytes_.reset(const_cast<char*>(bytes)); }
  // Back to the shared empty element.
  void clear() { borrow(empty_block(false)); }

  // The bytes in use (walked through for a borrowed block), the number of
  // attributes and the cursor flag. Size and count change in own blocks only.
  std::uint32_t size_bytes() const { return is_own() ? field(size_at) : walked_size(); }
  void set_size(std::uint32_t size) { set_field(size_at, size); }
  std::uint32_t count() const { return is_own() ? field(count_at) : borrowed_count(bytes()); }
  void set_count(std::uint32_t count) { set_field(count_at, count & max_attributes); }
  bool valid() const { return (flags() & valid_flag) != 0; }
  void set_valid(bool valid) {
    if (is_empty_block()) {
      borrow(empty_block(valid));
    } else {
      const unsigned char kept = flags() & static_cast<unsigned char>(~valid_flag);
      bytes_.get()[-1] = static_cast<char>(kept | (valid ? valid_flag : 0));
    }
  }

  // The count of a borrowed block: a mark ending two bytes in front of its
  // bytes, its groups of seven bits lowest first going backwards. The
  // writer starts at that byte, `at`, and takes as many as mark_size says.
  static void put_borrowed_count(char* at, std::uint32_t count) {
    for (;; --at) {
      *at = static_cast<char>((count & 0x7F) | (count >= 0x80 ? 0x80 : 0));
      count >>= 7;
      if (count == 0) return;
    }
  }
  static std::uint32_t borrowed_count(const char* bytes) {
    const char* at = bytes - 2;
    std::uint32_t count = 0;
    for (unsigned shift = 0;; shift += 7) {
      const auto byte = static_cast<unsigned char>(*at--);
      count |= static_cast<std::uint32_t>(byte & 0x7F) << shift;
      if ((byte & 0x80) == 0) return count;
    }
  }

  // The shared empty element: an empty name and empty data, with the
  // cursor flag clear or set.
  static const char* empty_block(bool valid) { return &empty_blocks[valid ? 1 : 0][own_front]; }

private:
  // Frees an own block, whose allocation starts own_front bytes in front.
  struct Release {
    void operator()(char* bytes) const noexcept {
      if ((static_cast<unsigned char>(bytes[-1]) & own_flag) != 0) release_own(bytes);
    }
  };
  // Out of line: inlined after the flag test, it reads to the compiler as
  // a possible free of the shared empty block, which that test excludes.
  [[gnu::noinline]] static void release_own(char* bytes) noexcept;
  // A front as long as an own block's, ending in a count of 0 and the
  // flags, then an empty name and empty data. Read-only: set_valid moves
  // between the two.
  using EmptyBlock = std::array<char, own_front + 2>;
  static const std::array<EmptyBlock, 2> empty_blocks;
  static constexpr std::array<EmptyBlock, 2> make_empty_blocks() {
    std::array<EmptyBlock, 2> blocks{};
    blocks[1][own_front - 1] = static_cast<char>(valid_flag);
    return blocks;
  }

  unsigned char flags() const { return static_cast<unsigned char>(bytes_.get()[-1]); }
  std::uint32_t field(std::size_t at) const {
    std::uint32_t value;
    std::memcpy(&value, bytes_.get() - own_front + at, sizeof value);
    return value;
  }
  void set_field(std::size_t at, std::uint32_t value) {
    std::memcpy(bytes_.get() - own_front + at, &value, sizeof value);
  }
  std::uint32_t walked_size() const;           // in tree/element.cpp, where the layout is read

  std::unique_ptr<char[], Release> bytes_;
};

// A script or comment node's payload, kept out of line so that every node
// is the size of an element node (defined with the node table).
struct Extra;

// How a node holds an Extra: one it allocated (own) or one a node table
// made in its chunks (in_table, marked so in the Extra), whose memory the
// table frees after its nodes. Either way the node ends the Extra's life.
class ExtraHandle {
public:
  enum class Storage : unsigned char { own, in_table };

  explicit ExtraHandle(std::unique_ptr<Extra> own) noexcept;
  static ExtraHandle in_table(Extra* extra) noexcept { return ExtraHandle(extra); }
  ExtraHandle(ExtraHandle&& other) noexcept = default;
  ExtraHandle& operator=(ExtraHandle&&) = delete;
  ExtraHandle(const ExtraHandle&) = delete;
  ExtraHandle& operator=(const ExtraHandle&) = delete;
  ~ExtraHandle() = default;

  Storage storage() const;
  Extra& operator*() const { return *get(); }
  Extra* operator->() const { return get(); }
  Extra* get() const { return extra_.get(); }

private:
  // Deletes an own Extra; ends the life of one in a table.
  struct Release {
    void operator()(Extra* extra) const noexcept;
  };
  explicit ExtraHandle(Extra* in_table) noexcept : extra_(in_table) {}
  std::unique_ptr<Extra, Release> extra_;
};

}  // namespace kit::detail
