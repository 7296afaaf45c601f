// SPDX-License-Identifier: MIT
#include "tree/detail/node_table.h"

#include "runtime/detail/blocks.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <stdexcept>
#include <utility>

namespace kit::detail {

// Large trees hold millions of nodes: a node stays within 24 bytes.
static_assert(sizeof(Node) <= 24, "Node grew");

ExtraHandle::ExtraHandle(std::unique_ptr<Extra> own) noexcept : extra_(own.release()) {}

ExtraHandle::Storage ExtraHandle::storage() const {
  return extra_->in_table ? Storage::in_table : Storage::own;
}

void ExtraHandle::Release::operator()(Extra* extra) const noexcept {
  if (extra->in_table) {
    extra->~Extra();  // the table frees the memory itself, after its nodes
  } else {
    std::unique_ptr<Extra>(extra).reset();
  }
}

namespace {

// Word pages: the bytes of many words, which never move.
constexpr std::size_t word_page_bytes = 4096;
constexpr std::size_t first_slots = 64;

}  // namespace

Words::Key Words::key_of(std::string_view text) {
  char padded[2 * 8] = {};
  std::memcpy(padded, text.data(), std::min(text.size(), sizeof padded));
  return key_at(padded, text.size());
}

std::size_t Words::hash_of(const Key& key) {
  // Mixed by multiplication and folded, so that the low bits a slot is
  // picked by depend on every byte.
  constexpr std::uint64_t mix = 0x9E3779B97F4A7C15u;
  std::uint64_t h = (key.head ^ (key.tail * 0xC2B2AE3D27D4EB4Fu)) * mix + key.size;
  h = (h ^ (h >> 32)) * mix;
  return static_cast<std::size_t>(h >> 32);
}

std::size_t Words::find_or_add(const Key& key, const char* text, Slot* recent) {
  if (same(recent[1], key)) {
    std::swap(recent[0], recent[1]);
    return recent[0].number - 1;
  }
  if (words_.size() == max_words) return none;
  Slot found;
  static_cast<Key&>(found) = key;
  const std::size_t mask = names_.slots.empty() ? 0 : names_.slots.size() - 1;
  std::size_t i = hash_of(key) & mask;
  while (!names_.slots.empty() && names_.slots[i].number != 0 && !same(names_.slots[i], key)) {
    i = (i + 1) & mask;
  }
  if (!names_.slots.empty() && names_.slots[i].number != 0) {
    found = names_.slots[i];
  } else {
    found.number = static_cast<std::uint32_t>(add(text, key.size) + 1);
    insert(names_, found);
  }
  recent[1] = recent[0];
  recent[0] = found;
  return found.number - 1;
}

std::size_t Words::add(const char* text, std::size_t size) {
  if (size > page_left_) {
    pages_.emplace_back(new char[word_page_bytes]);
    page_left_ = word_page_bytes;
  }
  char* const bytes = pages_.back().get() + (word_page_bytes - page_left_);
  std::memcpy(bytes, text, size);
  page_left_ -= size;
  words_.emplace_back(bytes, size);
  return words_.size() - 1;
}

void Words::insert(Index& index, const Slot& key) {
  ++index.count;
  // At most half full, so that a search ends soon.
  if (2 * index.count > index.slots.size()) {
    std::vector<Slot> old = std::move(index.slots);
    index.slots.assign(std::max(first_slots, 2 * old.size()), Slot());
    for (const Slot& slot : old) {
      if (slot.number != 0) {
        --index.count;
        insert(index, slot);
      }
    }
  }
  const std::size_t mask = index.slots.size() - 1;
  std::size_t i = hash_of(key) & mask;
  while (index.slots[i].number != 0) i = (i + 1) & mask;
  index.slots[i] = key;
}

NodeTable::NodeTable() : words_(std::make_unique<Words>()) {}

NodeTable::NodeTable(const NodeTable& other) : NodeTable() {
  for (int index = 0; index < other.size_; ++index) push_back(Node(other[index]));
}

NodeTable::~NodeTable() {
  // Comment payloads and element bytes live in the chunks: the nodes, whose
  // payloads end there, go first, whatever the order of the members.
  clear();
}

void NodeTable::clear() {
  std::vector<Block>().swap(blocks_);
  std::vector<Chunk>().swap(chunks_);
  free_ = nullptr;
  left_ = 0;
  free_shift_ = 0;
  next_chunk_shift_ = first_chunk_shift;
  size_ = 0;
  words_ = std::make_unique<Words>();
}

std::size_t NodeTable::capacity(std::size_t block) {
  if (block == 0) return std::size_t{1} << first_shift;
  if (block < doubling_blocks) return std::size_t{1} << (block + first_shift - 1);
  return slab_nodes;
}

namespace {

std::size_t slab_size(std::size_t bytes, std::size_t slab) { return (bytes + slab - 1) & ~(slab - 1); }

}  // namespace

void* NodeTable::slab_allocate(std::size_t bytes) {
  if (bytes < slab_bytes / 2) return ::operator new(bytes);
  // Mapped afresh rather than taken from the heap, which may hand back
  // trimmed memory in small pages: one aligned run, its ends unmapped.
  const std::size_t size = slab_size(bytes, slab_bytes);
  void* const mapped =
      ::mmap(nullptr, size + slab_bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS,
             -1, 0);
  if (mapped == MAP_FAILED) throw std::bad_alloc();
  char* const start = static_cast<char*>(mapped);
  const std::size_t misalign = reinterpret_cast<std::uintptr_t>(start) % slab_bytes;
  const std::size_t head = misalign == 0 ? 0 : slab_bytes - misalign;
  if (head != 0) ::munmap(start, head);
  ::munmap(start + head + size, slab_bytes - head);
#ifdef MADV_HUGEPAGE
  // Only advice: without huge pages the memory works the same.
  ::madvise(start + head, size, MADV_HUGEPAGE);
#endif
  return start + head;
}

void NodeTable::slab_release(void* memory, std::size_t bytes) noexcept {
  if (bytes < slab_bytes / 2) {
    ::operator delete(memory);
  } else {
    ::munmap(memory, slab_size(bytes, slab_bytes));
  }
}

void NodeTable::ChunkRelease::operator()(char* memory) const noexcept {
  if (shift == slab_shift) {
    slab_release(memory, std::max(bytes, slab_bytes / 2));
  } else {
    ::operator delete(memory, std::align_val_t{std::size_t{1} << shift});
  }
}

char* NodeTable::new_chunk(std::size_t bytes, unsigned& shift) {
  // Aligned to a power of two at least as large, so that its header is
  // found from any place in its first 2^shift bytes; from half a huge page
  // on, mapped in huge pages.
  shift = first_chunk_shift;
  while (shift < slab_shift && (std::size_t{1} << shift) < bytes) ++shift;
  char* memory = nullptr;
  if ((std::size_t{1} << shift) >= slab_bytes / 2) {
    shift = slab_shift;
    memory = static_cast<char*>(slab_allocate(std::max(bytes, slab_bytes / 2)));
  } else {
    memory = static_cast<char*>(::operator new(bytes, std::align_val_t{std::size_t{1} << shift}));
  }
  chunks_.emplace_back(memory, ChunkRelease{bytes, shift});
  const ChunkHeader header{words_->numbered()};
  std::memcpy(memory, &header, sizeof header);
  return memory + chunk_header_bytes;
}

char* NodeTable::take(std::size_t bytes, unsigned& shift) {
  const std::size_t chunk_bytes = std::size_t{1} << next_chunk_shift_;
  if (bytes > chunk_bytes / 4) {
    // A large block gets a chunk of its own; the current one stays in use.
    return new_chunk(chunk_header_bytes + bytes, shift);
  }
  if (bytes > left_) {
    free_ = new_chunk(chunk_bytes, free_shift_);
    left_ = chunk_bytes - chunk_header_bytes;
    if (next_chunk_shift_ < slab_shift) ++next_chunk_shift_;
  }
  shift = free_shift_;
  char* const place = free_;
  free_ += bytes;
  left_ -= bytes;
  return place;
}

char* NodeTable::take_aligned(std::size_t bytes) {
  constexpr std::size_t align = alignof(std::max_align_t);
  const std::size_t pad = (align - reinterpret_cast<std::uintptr_t>(free_) % align) % align;
  if (pad + bytes <= left_) {
    free_ += pad;
    left_ -= pad;
  } else {
    left_ = 0;  // the rest of this chunk cannot hold it aligned; a fresh chunk is aligned
  }
  unsigned shift = 0;
  return take(bytes, shift);
}

Node& NodeTable::emplace() {
  if (size_ == max_nodes) throw std::length_error("a tree holds at most 2^30 nodes");
  const std::size_t block = locate(static_cast<unsigned>(size_)).first;
  if (block == blocks_.size()) {
    blocks_.emplace_back();
    blocks_.back().reserve(capacity(block));
  }
  blocks_[block].emplace_back();
  ++size_;
  return blocks_[block].back();
}

void NodeTable::pack(Element& placed, const Element& from) {
  const ElementBlock& source = from.block_;
  const std::uint32_t count = source.count();
  // In front of the bytes: the count, then the flags byte (see
  // tree/detail/payloads.h).
  const std::size_t front = mark_size(count) + 1;
  // Written in full the bytes take at most this much (words only shorten
  // them), and the copy of a short text may store a few bytes past its end.
  const std::size_t most = from.spelt_size() + ElementBlock::read_slack;
  unsigned shift = 0;
  char* const block = take(front + most, shift);
  ElementBlock::put_borrowed_count(block + front - 2, count);
  block[front - 1] = static_cast<char>(shift | (source.valid() ? ElementBlock::valid_flag : 0));
  char* const start = block + front;
  const std::size_t size = source.is_own() ? pack_own(start, source) : pack_any(start, from);
  if (free_ == start + most) {
    // What the words saved goes back to the chunk.
    free_ = start + size;
    left_ += most - size;
  }
  placed.block_.borrow(start);
}

// Name, data, then names and values in turn; only names become words. An
// own block holds only texts in full, with read_slack bytes of room after
// its end: a short text is read, and copied, in whole words.
std::size_t NodeTable::pack_own(char* const start, const ElementBlock& source) {
  Words& words = *words_;
  const char* in = source.bytes();
  const char* const end = in + source.size_bytes();
  char* out = start;
  // A text as it stands: the mark and up to fifteen bytes as two words,
  // without a call, or the mark and the rest.
  const auto copy_text = [&] {
    std::size_t at = 1 + (static_cast<unsigned char>(*in) >> 1);
    if (static_cast<unsigned char>(*in) < 0x20) {
      std::memcpy(out, in, 2 * 8);
    } else {
      at = 0;
      skip_text(in, at);
      std::memcpy(out, in, at);
    }
    in += at;
    out += at;
  };
  // A name: a word's number when the last words found at its place, or the
  // table, have it; else the text as it stands.
  const auto pack_name = [&](Words::Slot* recent) {
    const auto mark = static_cast<unsigned char>(*in);
    const std::size_t size = mark >> 1;
    if (mark >= 0x80 || size - 1 >= Words::max_word_bytes) {
      copy_text();
      return Words::none;
    }
    const std::size_t number = Words::holds(recent[0], in + 1, size)
                                   ? recent[0].number - 1
                                   : words.find_or_add(Words::key_at(in + 1, size), in + 1, recent);
    if (number == Words::none) {
      // The mark and up to sixteen bytes, as two words and a byte.
      std::memcpy(out, in, 1 + 2 * 8);
      out += 1 + size;
    } else {
      out = put_mark(out, word_mark(number));
    }
    in += 1 + size;
    return number;
  };
  // The name's first letter picks its recent words (names compete for one
  // place); the attributes' come with the name's number.
  const std::size_t letter = static_cast<unsigned char>(in[1]);
  const std::size_t name = pack_name(words.recent_row(letter));
  Words::Slot* const row = words.recent_row(name == Words::none ? letter : name + 1);
  copy_text();  // the data
  // The lambdas move `in` on.
  std::size_t place = 2;
  while (in < end) {
    pack_name(row + (place % Words::recent_places) * Words::recent_ways);
    copy_text();  // the value
    place += 2;
  }
  return static_cast<std::size_t>(out - start);
}

std::size_t NodeTable::pack_any(char* const start, const Element& from) {
  const ElementBlock& source = from.block_;
  const char* const bytes = source.bytes();
  char* out = start;
  std::size_t kind = 0;
  const std::size_t segments = 2 + 2 * std::size_t{source.count()};
  for (std::size_t at = 0, segment = 0; segment < segments; ++segment) {
    const std::string_view text = get_text(bytes, at);
    std::size_t number = Words::none;
    if (text.size() - 1 < Words::longest_at(segment)) {
      const std::size_t hint = segment == 0 ? static_cast<unsigned char>(text[0]) : kind;
      number = words_->find_or_add(Words::key_of(text), text.data(), segment, hint);
    }
    if (segment == 0 && number != Words::none) kind = number + 1;
    out = number == Words::none ? put_text(out, text) : put_mark(out, word_mark(number));
  }
  return static_cast<std::size_t>(out - start);
}

void NodeTable::push_back(Node&& node) {
  Node& placed = emplace();
  placed = std::move(node);
  // A borrowed block keeps no cursor: an element whose cursor moved stays as it is.
  if (placed.is_element() && placed.element_.block_.is_own() &&
      placed.element_.cursor() == placed.element_.attributes_start()) {
    pack(placed.element_, placed.element_);
  }
}

void NodeTable::push_back(const Element& element) { pack(emplace().element_, element); }

void NodeTable::push_back(Text&& comment) {
  Node& placed = emplace();
  Extra* const extra = new (take_aligned(sizeof(Extra))) Extra{std::move(comment), nullptr, true};
  placed.hold(ExtraHandle::in_table(extra), NodeKind::comment);
}

void NodeTable::set_data(Element& element, std::string_view data) {
  ElementBlock& block = element.block_;
  const char* const bytes = block.bytes();
  const std::size_t old_size = block.size_bytes();
  // Only the bytes taken last can be rewritten where they lie: elsewhere the
  // old bytes would stay behind in the chunks at every change, so the
  // element takes a block of its own as any changed element does.
  if (block.is_own() || bytes + old_size != free_) {
    element.replace_data(data);
    return;
  }
  if (!data.empty() && data.data() < bytes + old_size && data.data() + data.size() > bytes) {
    set_data(element, std::string(data));  // the element's own bytes are about to move
    return;
  }
  std::size_t data_start = 0;
  skip_text(bytes, data_start);
  std::size_t data_end = data_start;
  skip_text(bytes, data_end);
  const std::size_t attributes = old_size - data_end;
  const std::size_t new_data_end = data_start + text_size(data);
  const std::size_t size = new_data_end + attributes;
  if (size > old_size + left_ || size > Element::max_element_bytes) {
    element.replace_data(data);
    return;
  }
  // The table's own chunk: the bytes are borrowed only from the element's side.
  char* const out = const_cast<char*>(bytes);
  std::memmove(out + new_data_end, out + data_end, attributes);
  put_text(out + data_start, data);
  left_ = left_ + old_size - size;
  free_ = out + size;
}

}  // namespace kit::detail
