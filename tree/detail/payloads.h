// Internal to the tree library: the handles through which nodes hold their
// payloads. tree/dom.h includes this header because an Element and a Node
// hold them by value; nothing here is meant for callers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

namespace kit::detail {

// The bytes of one element (see tree/detail/marks.h for their layout) and
// whose they are. An own block was allocated by the element and goes with
// it; its capacity and the attribute cursor sit in front of the bytes. A
// borrowed block belongs to someone else: the shared empty element, or a
// Dom's node table, which keeps it as long as the table lives. An element
// copies borrowed bytes into an own block before it changes them.
class ElementBlock {
public:
  enum class Storage : std::uint32_t { own, borrowed };

  // What an own block keeps in front of its bytes.
  struct OwnHeader {
    std::uint32_t capacity;
    std::uint32_t cursor;                      // byte offset of the cursor attribute
  };
  static constexpr std::size_t own_front = sizeof(OwnHeader);
  // Room an own block keeps after its capacity, so that a short text in it
  // may be read in two whole machine words.
  static constexpr std::size_t read_slack = 16;

  // Attributes are counted in 30 bits, so that an element takes 16 bytes.
  static constexpr std::uint32_t max_attributes = (1u << 30) - 1;

  ElementBlock() noexcept : borrowed_(empty_bytes()), size_(empty_size), count_(0), valid_(0),
                            storage_(static_cast<std::uint32_t>(Storage::borrowed)) {}
  ~ElementBlock() { release(); }
  // Copies are the element's business (borrowed bytes may need spelling
  // out); a move hands the block over and leaves `other` empty.
  ElementBlock(const ElementBlock&) = delete;
  ElementBlock& operator=(const ElementBlock&) = delete;
  ElementBlock(ElementBlock&& other) noexcept : ElementBlock() { take(other); }
  ElementBlock& operator=(ElementBlock&& other) noexcept {
    if (this != &other) {
      release();
      take(other);
    }
    return *this;
  }

  Storage storage() const { return static_cast<Storage>(storage_); }
  bool is_own() const { return storage() == Storage::own; }
  const char* bytes() const { return is_own() ? own_.get() + own_front : borrowed_; }
  char* own_bytes() { return own_.get() + own_front; }  // only for an own block

  // Becomes the owner of a block of own_front + capacity bytes.
  void adopt(std::unique_ptr<char[]> block) {
    release();
    new (&own_) std::unique_ptr<char[]>(std::move(block));
    storage_ = static_cast<std::uint32_t>(Storage::own);
  }
  // Points at bytes someone else keeps; an own block is freed first.
  void borrow(const char* bytes) {
    release();
    borrowed_ = bytes;
  }
  // Back to the shared empty element.
  void clear() {
    borrow(empty_bytes());
    size_ = empty_size;
    count_ = 0;
    valid_ = 0;
  }

  // The bytes in use, the number of attributes and the cursor flag.
  std::uint32_t size_bytes() const { return size_; }
  void set_size(std::uint32_t size) { size_ = size; }
  std::uint32_t count() const { return count_; }
  void set_count(std::uint32_t count) { count_ = count & max_attributes; }
  bool valid() const { return valid_ != 0; }
  void set_valid(bool valid) { valid_ = valid ? 1 : 0; }

  // The shared empty element: an empty name and empty data.
  static const char* empty_bytes() { return empty_block; }
  static constexpr std::uint32_t empty_size = 2;

private:
  static const char empty_block[empty_size];

  void release() {
    if (is_own()) {
      own_.~unique_ptr();
      storage_ = static_cast<std::uint32_t>(Storage::borrowed);
    }
    borrowed_ = nullptr;
  }
  void take(ElementBlock& other) {
    if (other.is_own()) {
      new (&own_) std::unique_ptr<char[]>(std::move(other.own_));
    } else {
      borrowed_ = other.borrowed_;
    }
    size_ = other.size_;
    count_ = other.count_;
    valid_ = other.valid_;
    storage_ = other.storage_;
    other.release();
    other.clear();
  }

  union {
    std::unique_ptr<char[]> own_;              // Storage::own: the whole allocation, header first
    const char* borrowed_;                     // Storage::borrowed
  };
  std::uint32_t size_;
  // The count, the cursor flag and the storage share a word, so that an
  // element takes 16 bytes and a node 32.
  std::uint32_t count_ : 30;
  std::uint32_t valid_ : 1;
  std::uint32_t storage_ : 1;
};

// A script or comment node's payload, kept out of line so that every node
// is the size of an element node (defined with the node table).
struct Extra;

// How a node holds an Extra: one it allocated (own) or one a node table
// made in its chunks (in_table), whose memory the table frees after its
// nodes. Either way the node ends the Extra's life.
class ExtraHandle {
public:
  enum class Storage : unsigned char { own, in_table };

  explicit ExtraHandle(std::unique_ptr<Extra> own) noexcept;
  static ExtraHandle in_table(Extra* extra) noexcept { return ExtraHandle(extra); }
  ExtraHandle(ExtraHandle&& other) noexcept;
  ExtraHandle& operator=(ExtraHandle&&) = delete;
  ExtraHandle(const ExtraHandle&) = delete;
  ExtraHandle& operator=(const ExtraHandle&) = delete;
  ~ExtraHandle();

  Storage storage() const { return storage_; }
  Extra& operator*() const { return *get(); }
  Extra* operator->() const { return get(); }
  Extra* get() const { return storage_ == Storage::own ? own_.get() : in_table_; }

private:
  explicit ExtraHandle(Extra* in_table) noexcept : in_table_(in_table), storage_(Storage::in_table) {}
  union {
    std::unique_ptr<Extra> own_;               // Storage::own
    Extra* in_table_;                          // Storage::in_table
  };
  Storage storage_;
};

}  // namespace kit::detail
