// SPDX-License-Identifier: MIT
/// @file
/// Array: an ordered associative array of Dyn values under Text keys.
///
/// Elements keep insertion order. `push` stores a value under the key
/// `next_key` in decimal, so an Array filled by pushing is a 0-based list;
/// text keys make it a dictionary that keeps its order. A key is "numeric"
/// when it is number-like (Text::is_number; "" counts). After any removal or
/// insertion by position and after a merge the Array renumbers: numeric keys
/// become 0, 1, 2... in order and `next_key` follows them; text keys stay.
///
/// Keys are found through a hash index kept beside the ordered keys, so a
/// lookup takes constant average time whatever the size.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string_view>
#include <vector>

#include "runtime/dyn.h"

namespace kit {

/// An ordered associative array of Dyn values under Text keys; see the file
/// comment for the keys and the renumbering.
class Array {
public:
  /// @name Construction
  /// Copies take keys, values and next_key; the cursor is 0.
  ///@{
  Array() = default;                              ///< no elements; next_key and cursor 0
  explicit Array(const char* const* argv);        ///< each string pushed as a text, up to the null
  explicit Array(const Dyn& value);               ///< push(value)
  explicit Array(const TypedArray& typed);        ///< every element pushed as a Dyn
  Array(const Array& other);                      ///< a copy of other
  Array(Array&& other) noexcept;                  ///< takes other's elements and cursor; other left empty
  Array& operator=(const Array& other);           ///< a copy of other
  Array& operator=(Array&& other) noexcept;       ///< takes other's elements and cursor; other left empty
  Array& operator=(const Dyn& value);             ///< an array Dyn's copy, else clear and push
  ~Array();                                       ///< releases the elements
  void clear();                                   ///< no elements; next_key and cursor 0
  ///@}

  /// @name Access
  ///@{
  int size() const { return static_cast<int>(values_.size()); }  ///< the number of elements
  int next_key() const { return next_key_; }      ///< the key the next push takes
  Dyn at(int i) const;                            ///< a copy; nil out of range
  Text key_at(int i) const;                       ///< "" out of range
  /// The value under a key; when absent sets `status` to true and returns
  /// one shared nil.
  const Dyn& get(int key) const;
  const Dyn& get(const Text& key) const;          ///< as get(int), under a text key
  Dyn lookup(const Text& key) const;              ///< a copy; nil when absent, status untouched
  /// The value under a key, appended as nil first when absent (an integer key
  /// k not below next_key then makes next_key k + 1). Valid until the Array
  /// gains or loses elements.
  Dyn& slot(int key);
  /// As slot(int), under a text key; an absent key is appended as given, and
  /// next_key stays.
  Dyn& slot(const Text& key);
  /// Replaces the value under the key, or appends. An absent integer key k is
  /// appended under max(k, next_key), and next_key becomes that key + 1.
  void set(int key, Dyn value);
  /// As set(int), under a text key; an absent key is appended as given, and
  /// next_key stays.
  void set(const Text& key, Dyn value);
  int find_key(const Text& key) const;            ///< first position, byte comparison; -1
  int find(const Dyn& value) const;               ///< first position by Dyn ==; -1
  bool contains(const Dyn& value) const { return find(value) != -1; }  ///< whether find finds the value
  ///@}

  /// @name Adding and removing
  ///@{
  void push(Dyn value);                           ///< a pair is stored as by set
  Dyn pop();                                      ///< the last; nil when empty; next_key kept
  Dyn shift();                                    ///< the first, then renumbers; nil when empty
  /// Before position pos (negative counts from the end; still negative does
  /// nothing); an array value inserts all its elements, keys included. At or
  /// past the end: push (an array value is merged).
  void insert(int pos, const Dyn& value);
  void remove_at(int pos);                        ///< renumbers; nothing outside the elements
  /// Removes first..last inclusive; negative positions count from the end.
  void remove_range(int first, int last);
  Array slice(int first, int last, End bound) const;  ///< clamped as remove_range; renumbered
  /// `count` elements from pos replaced by all of the other's, then renumbers.
  void replace_range(int pos, int count, const Array& other);
  /// Numeric keys appended under fresh keys, text keys replaced or appended.
  void merge(const Array& other);
  /// The elements whose values equal none of the other's.
  Array difference(const Array& other) const;
  ///@}

  /// @name The walk
  /// Begin, then value/next until next gives a nil (Dyn::is_nil). Each value
  /// stays valid until the Array changes.
  ///@{
  const Dyn& begin();                             ///< cursor 0; the first value or nil
  const Dyn& next();                              ///< nil past the end, cursor kept at size
  const Dyn& previous();                          ///< nil below 0, cursor kept at 0
  const Dyn& last();                              ///< nil when empty
  const Dyn& value() const;                       ///< nil out of range
  Text key() const;                               ///< "" out of range
  int index() const;                              ///< the key as a decimal integer; -1 out of range
  void rewind() { cursor_ = 0; }                  ///< the cursor back to 0
  bool at_end() const { return cursor_ >= size(); }  ///< whether the cursor is past the last element
  bool advance() { return ++cursor_ < size(); }   ///< the cursor on by one; whether it is on an element
  ///@}

  /// @name Whole-array operations
  ///@{
  Array reverse() const;                          ///< values from last to first, pushed anew
  Array reverse(bool keys_travel) const;          ///< swaps; keys stay in place unless they travel
  void sort();                                    ///< by Dyn < and >, then renumbers
  void sort_keys();                               ///< by Text comparison of the keys
  double min() const;                             ///< largest finite double when empty
  double max() const;                             ///< 0 when empty or all negative
  double sum() const;                             ///< numbers and parsed texts
  Text join(const Text& separator) const;         ///< the text elements only
  Text to_text() const;                           ///< "(0:a, 1:b)"; "()" when empty
  void dump(int depth = 0) const;                 ///< the printed form on standard output
  /// Replaces the content by the file's lines (terminators kept); a file that
  /// does not open leaves the Array unchanged.
  void load(const Text& path);
  /// One to_chars and `"\n"` per value; false when the file does not open or a
  /// write or the close fails.
  bool save(const Text& path) const;
  ///@}

  /// @name Comparison
  ///@{
  friend bool operator==(const Array& a, const Array& b);  ///< sizes, keys (bytes), values
  friend bool operator!=(const Array& a, const Array& b) { return !(a == b); }  ///< not ==
  friend bool operator<(const Array& a, const Array& b);   ///< shorter first, then values
  friend bool operator>(const Array& a, const Array& b);   ///< longer first, then values
  ///@}

private:
  /// An element's key as stored: 0 and above is an integer key, whose text is
  /// its decimal; below 0 it is text_keys_[-key - 1]. A text that is the
  /// plain decimal of a non-negative int is always stored as that integer, so
  /// every key has one form and a pushed list carries no key texts.
  using Key = std::int32_t;
  /// A key looked for: an integer key, or a text when `number` is below 0.
  struct Probe {
    Key number;
    std::string_view text;
  };
  /// Open-addressed table of element positions, each beside its key's hash;
  /// it holds the first position of each key. Appends are indexed when the
  /// next lookup needs them; reorders rebuild it then.
  struct KeyIndex {
    std::vector<std::uint64_t> slots;             ///< 0 empty, else hash << 32 | (position + 1)
    int covered = 0;                              ///< positions 0..covered-1 are in the table
    int used = 0;                                 ///< occupied slots
  };

  static Probe probe_of(std::string_view key);
  Probe probe_at(int position) const;
  Text key_text(int position) const;
  bool numeric_key(int position) const;
  void append_number(Key key, Dyn&& value);
  void append_text(Text key, Dyn&& value);        ///< the key is not a plain decimal
  void append_probe(const Probe& key, Dyn&& value);
  void splice_elements(int first, int last, Array&& middle);
  void compact_text_keys();
  int locate(const Probe& key) const;
  void catch_up() const;
  void place(int position) const;
  void rehash(std::size_t capacity) const;
  void unindex_last();
  void forget_index();
  void renumber();
  void swap_elements(int i, int j);
  bool any_equal_to(const Dyn& value) const;      ///< value == some element, by a scan
  /// Whether two arrays are equal, keys included, and their order as < and >
  /// take it (0 when equal or not ordered).
  struct Comparison {
    bool equal;
    int order;
  };
  /// Relates a and b in one walk that relates each nested pair once, however
  /// deep the nesting. Defined in dyn.cpp, as it relates values by the Dyn rules.
  static Comparison relation(const Array& a, const Array& b);

  std::vector<Key> keys_;
  std::vector<Text> text_keys_;                   ///< in element order
  std::deque<Dyn> values_;                        ///< grows without moving its values
  int next_key_ = 0;
  int cursor_ = 0;
  mutable KeyIndex index_;
};

/// @name Array operators
/// A copy of the left merged with the right, or with the value pushed; the
/// operands stay unchanged.
///@{
Array operator+(const Array& a, const Array& b);  ///< a copy of a, merged with b (Array::merge)
Array operator+(const Array& a, const Dyn& value);  ///< a copy of a, with the value pushed
inline Array operator-(const Array& a, const Array& b) { return a.difference(b); }  ///< Array::difference
///@}

/// Numbers from a up to b inclusive; from a down to b + 1 when a > b.
Array range(int a, int b);
/// The pieces between separators; no empty last piece; "" gives no pieces.
Array split(const Text& text, const Text& separator);

/// @name for_each
/// Calls fn with the values at each position, while every Array has one.
///@{
void for_each(const std::function<void(const Dyn&)>& fn, const Array& a);  ///< over one array
void for_each(const std::function<void(const Dyn&, const Dyn&)>& fn, const Array& a,
              const Array& b);  ///< over two arrays side by side
void for_each(const std::function<void(const Dyn&, const Dyn&, const Dyn&)>& fn,
              const Array& a, const Array& b, const Array& c);  ///< over three arrays side by side
///@}

/// Writes to_text.
std::ostream& operator<<(std::ostream& out, const Array& a);

}  // namespace kit
