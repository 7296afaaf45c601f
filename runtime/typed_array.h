// SPDX-License-Identifier: MIT
/// @file
/// Typed arrays: growable 0-based sequences of plain values of one kind.
///
/// Writing or taking a slot at a position at or past the end extends the
/// array to that position + 1, the new slots 0 (null); reading past the end
/// gives 0. They print like the general Array, with the head "Array of"
/// and the kind's word, and positions in place of keys.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <vector>

#include "runtime/dyn.h"

namespace kit {

/// The kinds; the codes are the ones the runtime has always used for them.
enum class Kind : std::uint32_t {
  integer = 1,   ///< 32-bit signed integers
  number = 2,    ///< doubles
  natural = 3,   ///< unsigned 64-bit integers
  real = 4,      ///< doubles
  text = 16,     ///< texts; a slot may be null and prints "nil"
  object = 50,   ///< pointers to objects owned elsewhere; print "Object"
};

/// The slot of each kind: `SlotOf<K>::type` is what an element of kind K is.
template <Kind K> struct SlotOf;
/// Integer slots: 32-bit signed integers.
template <> struct SlotOf<Kind::integer> { using type = std::int32_t; /**< the slot type */ };
/// Number slots: doubles.
template <> struct SlotOf<Kind::number> { using type = double; /**< the slot type */ };
/// Natural slots: unsigned 64-bit integers.
template <> struct SlotOf<Kind::natural> { using type = std::uint64_t; /**< the slot type */ };
/// Real slots: doubles.
template <> struct SlotOf<Kind::real> { using type = double; /**< the slot type */ };
/// Text slots: a text, or null (std::nullopt).
template <> struct SlotOf<Kind::text> { using type = std::optional<Text>; /**< the slot type */ };
/// Object slots: a pointer to an object owned elsewhere, or null.
template <> struct SlotOf<Kind::object> { using type = void*; /**< the slot type */ };

/// What every typed array offers to the Dyn that holds it.
class TypedArray {
public:
  virtual ~TypedArray() = default;                ///< releases the elements
  virtual Kind kind() const = 0;                  ///< the kind of the elements
  virtual int size() const = 0;                   ///< the number of elements
  virtual Dyn value_at(int i) const = 0;          ///< the element as a Dyn; nil past the end
  virtual void dump(int depth = 0) const = 0;     ///< the printed form on standard output
  virtual std::unique_ptr<TypedArray> clone() const = 0;  ///< a copy, elements included
  /// 61 for the number kinds, 60 for the others.
  std::uint32_t dyn_tag() const;
};

/// A typed array of kind K: a growable 0-based sequence of Slot values.
template <Kind K> class TypedArrayOf final : public TypedArray {
public:
  using Slot = typename SlotOf<K>::type;          ///< the element type, SlotOf<K>::type

  TypedArrayOf() = default;                       ///< no elements
  TypedArrayOf(std::initializer_list<Slot> items) : items_(items) {}  ///< the items in order

  Kind kind() const override { return K; }
  int size() const override { return static_cast<int>(items_.size()); }
  Slot at(int i) const;                           ///< 0 (null) outside the elements
  Slot& slot(int i);                              ///< grows; a negative i gives a spare slot
  void set(int i, Slot value);                    ///< grows; a negative i does nothing
  void push(Slot value);                          ///< appends at position size()
  Slot pop();                                     ///< 0 (null) when empty
  void clear();                                   ///< no elements

  /// -1, 0 or 1: integers and naturals by value, numbers as doubles, texts
  /// by value when both are number-like (truncated), else bytewise (null as
  /// ""), objects by address.
  int compare(int i, int j) const;
  int find(const Slot& value) const;              ///< first position comparing equal; -1
  bool contains(const Slot& value) const { return find(value) != -1; }  ///< whether find finds it
  void sort();                                    ///< ascending by compare
  TypedArrayOf reverse() const;                   ///< a copy, last element first
  double min() const;                             ///< largest finite double when empty
  double max() const;                             ///< 0 when empty or all negative
  double sum() const;                             ///< texts by their parsed value, objects 0
  Text join(const Text& separator) const;         ///< the non-null texts; "" for other kinds

  Dyn value_at(int i) const override;
  void dump(int depth = 0) const override;
  std::unique_ptr<TypedArray> clone() const override;

  /// Whether both hold the same elements in the same order (Slot ==).
  friend bool operator==(const TypedArrayOf& a, const TypedArrayOf& b) {
    return a.items_ == b.items_;
  }
  friend bool operator!=(const TypedArrayOf& a, const TypedArrayOf& b) { return !(a == b); }  ///< not ==

private:
  int compare_slots(const Slot& a, const Slot& b) const;

  std::vector<Slot> items_;
  Slot spare_{};
};

using IntArray = TypedArrayOf<Kind::integer>;    ///< 32-bit signed integers
using NumberArray = TypedArrayOf<Kind::number>;  ///< doubles
using NaturalArray = TypedArrayOf<Kind::natural>;  ///< unsigned 64-bit integers
using RealArray = TypedArrayOf<Kind::real>;      ///< doubles
using TextArray = TypedArrayOf<Kind::text>;      ///< texts, a slot possibly null
using ObjectArray = TypedArrayOf<Kind::object>;  ///< pointers to objects owned elsewhere

extern template class TypedArrayOf<Kind::integer>;
extern template class TypedArrayOf<Kind::number>;
extern template class TypedArrayOf<Kind::natural>;
extern template class TypedArrayOf<Kind::real>;
extern template class TypedArrayOf<Kind::text>;
extern template class TypedArrayOf<Kind::object>;

}  // namespace kit
