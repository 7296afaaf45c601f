// SPDX-License-Identifier: MIT
// Internal to the tree library: a Dom's node table, the chunks its element
// bytes and comments live in, and its word table.
//
// The layout, with what each piece measured (varnel on INI text unless
// said; the field's terms in brackets beside the house words):
//
//   node blocks   [Node 24 B][Node 24 B]...   blocks never move, doubling
//                 to 4096 nodes, then 2 MB-aligned blocks of 2^n nodes
//   Node          next | child | parent | last:30 kind:2 | element: 8 B
//                 (a pointer to the element's bytes in a chunk)
//
//   chunk         [ChunkHeader: the words' address][element bytes]...
//   [arena]       aligned to its own size 2^shift, 4 KB doubling to 2 MB;
//                 packing elements end to end halved the memory and saved
//                 a quarter of the user time against one block each (as
//                 measured when chunks came in)
//
//   element       [count, backwards][flags: shift:6 valid:1 own:1]
//     bytes       [mark name][mark data][mark attr name][mark value]...
//                 a mark [varint, low bit a tag] 2n: n bytes of text
//                 follow ("spelt out" [inline]); 2n+1: word n [an
//                 interned string], found through the chunk's header
//
//   words         names of up to 16 bytes, the first 256 met, in one
//   [interning]   open-addressed index: 9 to 15 bytes less a node, at no
//                 cost in time (measured when words came in). Values are never words: the few short ones
//                 that repeat saved 2.3 B a node, not worth a second table
//                 (dropping them took 3.5% fewer instructions as well)
//   recent words  the last two words found at each place, in a row for
//   [a small      each element name (its number, or its first letter):
//    cache]       most lookups end there. One row for all names instead
//                 took 3.0% more instructions with -expand
//
// Blocks and chunks of 2 MB are advised as huge pages (MADV_HUGEPAGE):
// with the host's "madvise" mode, without the advice varnel on 100 MB took
// 1.47 times the CPU time and tree_bench BuildFlat 1.10 times (medians of 9
// interleaved runs).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include "tree/detail/marks.h"
#include "tree/dom.h"

namespace kit::detail {

// A script or comment node's payload.
struct Extra {
  Text comment;
  std::unique_ptr<ScriptBlock> script;       // in script nodes only: comments stay small
  bool in_table = false;                     // made in a table's chunks, which free it
};

// A mask of the first n bytes of a machine word in memory, n below 8.
constexpr std::uint64_t low_bytes(std::size_t n) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  return n == 0 ? 0 : ~std::uint64_t{0} << (64 - 8 * n);
#else
  return (std::uint64_t{1} << (8 * n)) - 1;
#endif
}

// The first n bytes of a machine word in memory, n from 0 to 8.
constexpr std::uint64_t byte_masks[9] = {low_bytes(0), low_bytes(1), low_bytes(2),
                                         low_bytes(3), low_bytes(4), low_bytes(5),
                                         low_bytes(6), low_bytes(7), ~std::uint64_t{0}};

// The texts repeated across a tree (element and attribute names, short
// values), each kept once: an element's bytes then hold a word's number
// instead of its letters. A word's bytes never move while the table lives.
class Words {
public:
  friend class NodeTable;
  // The first words met are kept, up to this many: enough for the names of
  // most documents, and few enough that the table stays in the processor's
  // cache while a large tree is built and written. A number takes at most
  // two bytes of mark, never more than the text it stands for.
  static constexpr std::size_t max_words = 256;
  // Longer texts are seldom repeated names, and a word this short is its
  // own key: two machine words and a length.
  static constexpr std::size_t max_word_bytes = 16;
  static constexpr std::size_t none = SIZE_MAX;

  // A text of up to max_word_bytes as its own key: its bytes zero-padded
  // to two machine words, and its length.
  struct Key {
    std::uint64_t head = 0;
    std::uint64_t tail = 0;
    std::uint32_t size = 0;
  };
  static Key key_of(std::string_view text);
  // The same for a text of 1 to max_word_bytes bytes, reading 16 bytes at
  // `bytes` whatever its length: for callers whose texts have that much
  // room after them.
  static Key key_at(const char* bytes, std::size_t size) {
    Key key;
    std::memcpy(&key.head, bytes, 8);
    std::memcpy(&key.tail, bytes + 8, 8);
    key.head &= byte_masks[size < 8 ? size : 8];
    key.tail &= byte_masks[size < 8 ? 0 : size - 8];
    key.size = static_cast<std::uint32_t>(size);
    return key;
  }
  // The longest text at that place in an element that may be a word: the
  // name, then data, then attribute names and values in turn. Only names
  // are words: values repeat far less, and kept as words the few short
  // ones that do ("true", "false") saved about 2.3 bytes a node of an INI
  // tree, not worth a second table.
  static std::size_t longest_at(std::size_t place) {
    return place == 0 || (place != 1 && (place & 1) == 0) ? max_word_bytes : 0;
  }

  // The number of the word, added if new and there is room; none otherwise.
  // `place` is the text's place in its element and `kind` tells elements
  // apart: the number of the element's name + 1, or its first byte for the
  // name itself. Elements of one name tend to repeat the words at each
  // place: the last two found there are tried first, and once the table is
  // full nothing else is, so that a large tree of unique texts pays little.
  std::size_t find_or_add(const Key& key, const char* text, std::size_t place, std::size_t kind) {
    Slot* const recent = recent_at(place, kind);
    if (same(recent[0], key)) return recent[0].number - 1;
    return find_or_add(key, text, recent);
  }
  std::string_view word(std::size_t number) const { return words_[number]; }
  // Every word by number; the array never moves while the table lives.
  const std::string_view* numbered() const { return words_.data(); }
  Words() { words_.reserve(max_words); }

private:
  struct Slot : Key {
    std::uint32_t number = 0;                // + 1; 0: an empty slot
  };
  // Open addressing, at most half full.
  struct Index {
    std::vector<Slot> slots;
    std::size_t count = 0;
  };
  static bool same(const Key& a, const Key& b) {
    return ((a.head ^ b.head) | (a.tail ^ b.tail) | (a.size ^ b.size)) == 0;
  }
  static std::size_t hash_of(const Key& key);
  Slot* recent_at(std::size_t place, std::size_t kind) {
    return recent_row(kind) + (place % recent_places) * recent_ways;
  }
  Slot* recent_row(std::size_t kind) { return &recent_[(kind % recent_kinds) * recent_places * recent_ways]; }
  // Whether the slot holds the text of `size` bytes (1 to max_word_bytes)
  // at `bytes`, which has 16 bytes of room. (Sixteen bytes compared at once
  // saved 0.2 to 0.4% of varnel's instructions: not worth a second path.)
  static bool holds(const Slot& slot, const char* bytes, std::size_t size) {
    return same(slot, key_at(bytes, size));
  }
  // Past the first recent word: the second, then the index, where a new
  // word is added while there is room; the word found comes first in `recent`.
  std::size_t find_or_add(const Key& key, const char* text, Slot* recent);
  static void insert(Index& index, const Slot& key);
  std::size_t add(const char* text, std::size_t size);  // the new word's number

  static constexpr std::size_t recent_places = 8;
  static constexpr std::size_t recent_kinds = 8;
  static constexpr std::size_t recent_ways = 2;
  Slot recent_[recent_kinds * recent_places * recent_ways];
  std::vector<std::string_view> words_;
  Index names_;
  std::vector<std::unique_ptr<char[]>> pages_;  // the words' bytes
  std::size_t page_left_ = 0;
};

// A Dom's nodes in blocks that never move once made, so that references to
// nodes stay valid as the table grows; element bytes and comment payloads
// packed end to end in chunks the table owns. Blocks double from a small
// first one up to a limit, so a small tree stays small and a large one
// wastes little; past that each block and chunk fills a huge page, so that
// a large tree takes its memory in few page faults.
class NodeTable {
public:
  NodeTable();
  NodeTable(const NodeTable& other);           // deep: words are spelt out anew
  NodeTable& operator=(const NodeTable&) = delete;
  NodeTable(NodeTable&&) = delete;
  NodeTable& operator=(NodeTable&&) = delete;
  ~NodeTable();

  int size() const { return size_; }
  Node& operator[](int index) {
    const auto place = locate(static_cast<unsigned>(index));
    return blocks_[place.first][place.second];
  }
  const Node& operator[](int index) const {
    const auto place = locate(static_cast<unsigned>(index));
    return blocks_[place.first][place.second];
  }

  // A node's last link has 30 bits: past this many nodes the table refuses more.
  static constexpr int max_nodes = 1 << 30;
  void push_back(Node&& node);                 // std::length_error when full
  void push_back(const Element& element);      // a copy in an element node; the same
  void push_back(Text&& comment);              // a comment node; the same
  // Sets the data of an element of this table. One whose bytes were the
  // last taken, as while a loader fills the element it just added, is
  // rewritten in place in the chunks; any other takes a block of its own.
  void set_data(Element& element, std::string_view data);
  void clear();                                // releases every node, chunk and word

private:
  // The size of a huge page: blocks and chunks this large are aligned to it
  // and offered to the system as huge pages.
  static constexpr std::size_t slab_bytes = std::size_t{1} << 21;
  static constexpr unsigned slab_shift = 21;
  static_assert(slab_shift <= ElementBlock::shift_bits, "a chunk's shift fits the flags byte");
  static void* slab_allocate(std::size_t bytes);
  static void slab_release(void* memory, std::size_t bytes) noexcept;
  // Node blocks come from the slabs once they are large.
  template <typename T> struct SlabAllocator {
    using value_type = T;
    SlabAllocator() = default;
    template <typename U> SlabAllocator(const SlabAllocator<U>&) {}
    T* allocate(std::size_t n) { return static_cast<T*>(slab_allocate(n * sizeof(T))); }
    void deallocate(T* p, std::size_t n) noexcept { slab_release(p, n * sizeof(T)); }
    template <typename U> bool operator==(const SlabAllocator<U>&) const { return true; }
    template <typename U> bool operator!=(const SlabAllocator<U>&) const { return false; }
  };
  using Block = std::vector<Node, SlabAllocator<Node>>;

  // A chunk starts with a ChunkHeader (see tree/detail/marks.h).
  static constexpr std::size_t chunk_header_bytes = alignof(std::max_align_t);
  static_assert(sizeof(ChunkHeader) <= chunk_header_bytes, "the header fits its room");
  struct ChunkRelease {
    std::size_t bytes = 0;
    unsigned shift = 0;
    void operator()(char* memory) const noexcept;
  };
  using Chunk = std::unique_ptr<char[], ChunkRelease>;

  Node& emplace();                             // a new empty element node at the end
  // Room in the chunks, and the shift of the chunk it lies in.
  char* take(std::size_t bytes, unsigned& shift);
  char* take_aligned(std::size_t bytes);       // the same, aligned for any object
  // A chunk of at least that many bytes, its header written; the room after
  // the header, and the chunk's shift.
  char* new_chunk(std::size_t bytes, unsigned& shift);
  // Copies the element's bytes into the chunks, with words where they
  // serve, and makes `placed` borrow them; `from` may be `placed`.
  void pack(Element& placed, const Element& from);
  std::size_t pack_own(char* start, const ElementBlock& source);  // the bytes written
  std::size_t pack_any(char* start, const Element& from);

  static constexpr unsigned first_shift = 4;   // the first two blocks hold 16 nodes each
  static constexpr unsigned limit_shift = 12;  // the doubling blocks end at 4096 nodes
  static constexpr unsigned doubling_nodes = 2u << limit_shift;  // all the doubling blocks hold
  static constexpr unsigned doubling_blocks = limit_shift - first_shift + 2;
  // Past the doubling blocks each holds a power of two of nodes, so that an
  // index is found by shifts, in whole huge pages: the fewest that take one.
  static constexpr unsigned slab_nodes = [] {
    unsigned nodes = 1;
    while (nodes * sizeof(Node) < slab_bytes || nodes * sizeof(Node) % slab_bytes != 0) nodes *= 2;
    return nodes;
  }();
  static std::size_t capacity(std::size_t block);
  // The block and the place in it of a node index.
  static std::pair<std::size_t, std::size_t> locate(unsigned index) {
    if (index < (1u << first_shift)) return {0, index};
    if (index < doubling_nodes) {
      const unsigned width = 32 - static_cast<unsigned>(__builtin_clz(index));
      return {width - first_shift, index - (1u << (width - 1))};
    }
    index -= doubling_nodes;
    return {index / slab_nodes + doubling_blocks, index % slab_nodes};
  }

  // Chunks double from a small first one up to a huge page; a chunk never
  // moves or shrinks while the table holds nodes.
  static constexpr unsigned first_chunk_shift = 12;
  std::vector<Block> blocks_;
  std::vector<Chunk> chunks_;
  char* free_ = nullptr;                       // the unused end of the last chunk
  std::size_t left_ = 0;
  unsigned free_shift_ = 0;                    // the shift of the chunk free_ lies in
  unsigned next_chunk_shift_ = first_chunk_shift;
  int size_ = 0;
  // Behind a pointer, so that its address, which the chunks name, stays.
  std::unique_ptr<Words> words_;
};

}  // namespace kit::detail
