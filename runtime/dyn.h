// SPDX-License-Identifier: MIT
/// @file
/// Dyn: the runtime's dynamically typed value, and the process-wide status.
///
/// A Dyn is a type tag and a payload. Every operation dispatches on the tag,
/// converts where a rule allows it, and otherwise prints a one-line report on
/// standard output and goes on with a neutral result (0, false, the empty
/// text, nil or an empty array). Nothing throws and nothing ends the process.
///
/// The default value, the boolean false, is also the runtime's nil.
///
/// A Dyn owns its text, array and pair payloads (deep copies, released with
/// the Dyn). A typed array is shared: a copy of a typed-array Dyn becomes an
/// object Dyn (tag 50) that aliases the same typed array and keeps it alive.
/// Object pointers of tags 40, 41 and 50 are never owned.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <type_traits>

#include "runtime/text.h"

namespace kit {

class Array;
class TypedArray;
struct Pair;
enum class Kind : std::uint32_t;
template <Kind K> class TypedArrayOf;

/// Type tags. The numeric values are part of the runtime's printed reports
/// ("current #%u"), so they never change.
namespace tag {
inline constexpr std::uint32_t integer = 1;       ///< a number held as a double; shifts need it
inline constexpr std::uint32_t number = 2;        ///< a double
inline constexpr std::uint32_t int64 = 3;         ///< a 64-bit signed integer
inline constexpr std::uint32_t boolean = 6;       ///< false is also nil
inline constexpr std::uint32_t text = 16;         ///< an owned Text
inline constexpr std::uint32_t array = 32;        ///< an owned Array
inline constexpr std::uint32_t pair = 34;         ///< an owned Pair
inline constexpr std::uint32_t reference = 40;    ///< object reference, not owned
inline constexpr std::uint32_t reference_alt = 41;  ///< second object reference kind, not owned
inline constexpr std::uint32_t object = 50;       ///< object, not owned (or a shared typed array)
inline constexpr std::uint32_t typed_array = 60;  ///< integer, text and object typed arrays
inline constexpr std::uint32_t typed_numbers = 61;  ///< number, natural and real typed arrays
}  // namespace tag

/// A dynamically typed value: a type tag (see kit::tag) and its payload. The
/// default Dyn, false, is nil. An operation that does not apply to the kind
/// held gives a neutral result, most of them after a report on standard output.
class Dyn {
public:
  /// @name Construction
  ///@{
  constexpr Dyn() noexcept : type_(tag::boolean), held_(Held::boolean) {}  ///< nil: false
  Dyn(bool b) noexcept;                           ///< tag 6
  template <typename T,
            std::enable_if_t<std::is_arithmetic_v<T> && !std::is_same_v<T, bool>, int> = 0>
  Dyn(T n) noexcept;                              ///< tag 2; a 64-bit value through its signed value
  Dyn(const char* s);                             ///< tag 16; null gives the empty text
  Dyn(const Text& t);                             ///< tag 16
  Dyn(Text&& t) noexcept;                         ///< tag 16
  Dyn(const Array& a);                            ///< tag 32, a copy
  Dyn(Array&& a);                                 ///< tag 32
  Dyn(const Pair& p);                             ///< tag 34, a copy
  Dyn(const TypedArray& t);                       ///< tag 60 or 61, a copy
  static Dyn of_integer(double n);                ///< tag 1
  static Dyn of_int64(std::int64_t n);            ///< tag 3
  /// Tags 40, 41 or 50 (any other tag gives 50); the pointer is not owned.
  static Dyn of_object(void* pointer, std::uint32_t object_tag = tag::object);
  static Dyn of_pair(const Text& key, const Dyn& value);  ///< tag 34
  ///@}

  /// @name Copying and moving
  /// Copies go by the source's tag: payloads are deep-copied, object pointers
  /// copied, and a typed array becomes a tag 50 alias of the same array.
  /// Moves keep the tag and leave the source nil.
  ///@{
  Dyn(const Dyn& other);                          ///< a copy of other
  Dyn(Dyn&& other) noexcept;                      ///< takes other's tag and payload
  Dyn& operator=(const Dyn& other);               ///< a copy of other; the old payload released
  Dyn& operator=(Dyn&& other) noexcept;           ///< takes other's; the old payload released
  ~Dyn();                                         ///< releases the payload it owns
  void swap(Dyn& other) noexcept;                 ///< exchanges tags and payloads
  ///@}

  /// @name The tag and the payload
  /// The payload in place; null when the Dyn holds another kind.
  ///@{
  std::uint32_t type() const { return type_; }    ///< the type tag, one of kit::tag
  const Text* text() const;                       ///< tag 16
  Text* text();                                   ///< tag 16
  const Array* array() const;                     ///< tag 32
  Array* array();                                 ///< tag 32
  const Pair* pair() const;                       ///< tag 34
  Pair* pair();                                   ///< tag 34
  TypedArray* typed_array() const;                ///< tags 60, 61 and a tag 50 alias
  void* pointer() const;                          ///< tags 40, 41 and 50
  ///@}

  /// @name Conversions
  /// Only size and to_typed_array report anything.
  ///@{
  bool to_bool() const;                           ///< false for kinds without a truth
  double to_number() const;                       ///< 0 for kinds without a value
  int to_int() const;                             ///< truncated; 0 for kinds without a value
  std::int64_t to_int64() const;                  ///< as to_int, and a boolean gives 0 or 1
  Text to_chars() const;                          ///< "%g", "true"/"false", text form...; "false" otherwise
  Text to_text() const;                           ///< "" for false, else to_chars
  Array to_array() const;                         ///< a copy; empty for any other kind
  /// The typed array itself (a copy), or an array converted element by
  /// element; other kinds report "Dyn error, type mismatch" and give empty.
  template <Kind K> TypedArrayOf<K> to_typed_array() const;
  int size() const;                               ///< 0 and a report for kinds without a size
  bool is_number() const;                         ///< a number or a number-like text
  bool is_nil() const;  ///< -1, int64 0, false, "", an empty array, a null pointer, typed arrays
  void print() const;                             ///< dump for arrays, else to_chars and `"\n"`
  ///@}

  /// @name Text operations
  /// On a text Dyn; the empty text for any other kind.
  ///@{
  Text trim() const;                              ///< without leading and trailing white space
  Text ltrim() const;                             ///< without leading white space
  Text rtrim() const;                             ///< without trailing white space
  Text lower() const;                             ///< letters lower-cased
  Text upper() const;                             ///< letters upper-cased
  Text capitalize() const;                        ///< first byte upper-cased
  ///@}

  /// @name Arithmetic
  /// A boolean left operand is first turned into the number 0 or 1 in place,
  /// and `+` onto an array pushes onto that array itself, so these change the
  /// left operand. Mismatches report their code and give 0 (the empty text for
  /// a string `+`, an empty array for an array right).
  ///@{

  /// The sum, a right text read as a number; two texts joined, two arrays
  /// merged into a new one, any other right pushed onto a left array.
  Dyn operator+(const Dyn& right);
  Dyn operator+(const char* right);               ///< concatenation on a text
  /// The difference, a right text read as a number; Array::difference of two
  /// arrays.
  Dyn operator-(const Dyn& right);
  Dyn operator*(const Dyn& right);                ///< the product by a number or a boolean (1 or 0)
  Dyn operator/(const Dyn& right);                ///< the quotient by a number or a boolean (1 or 0)
  Dyn operator%(const Dyn& right);                ///< floating remainder, sign of the left
  /// The sum with a number; the left must be a number.
  template <typename T, std::enable_if_t<std::is_arithmetic_v<T> && !std::is_same_v<T, bool>, int> = 0>
  Dyn operator+(T right) { return with_number('+', static_cast<double>(right)); }
  /// The difference with a number; the left must be a number.
  template <typename T, std::enable_if_t<std::is_arithmetic_v<T> && !std::is_same_v<T, bool>, int> = 0>
  Dyn operator-(T right) { return with_number('-', static_cast<double>(right)); }
  /// The product by a number; the left must be a number.
  template <typename T, std::enable_if_t<std::is_arithmetic_v<T> && !std::is_same_v<T, bool>, int> = 0>
  Dyn operator*(T right) { return with_number('*', static_cast<double>(right)); }
  /// The quotient by a number; the left must be a number.
  template <typename T, std::enable_if_t<std::is_arithmetic_v<T> && !std::is_same_v<T, bool>, int> = 0>
  Dyn operator/(T right) { return with_number('/', static_cast<double>(right)); }
  /// The floating remainder by a number; the left must be a number.
  template <typename T, std::enable_if_t<std::is_arithmetic_v<T> && !std::is_same_v<T, bool>, int> = 0>
  Dyn operator%(T right) { return with_number('%', static_cast<double>(right)); }
  ///@}

  /// @name Arithmetic in place
  /// On a number or a number-like text (which becomes a number); mismatch
  /// codes '>', '<', 'S' and 'D'. A string or text `+=` on a text appends to it.
  ///@{
  Dyn& operator+=(const Dyn& right);              ///< adds; a boolean right adds nothing
  Dyn& operator+=(const char* right);             ///< appends to a text
  Dyn& operator-=(const Dyn& right);              ///< subtracts, as += adds
  Dyn& operator*=(const Dyn& right);              ///< multiplies; a boolean right counts 1 or 0
  Dyn& operator/=(const Dyn& right);              ///< divides; a boolean right counts 1 or 0
  /// Adds a number.
  template <typename T, std::enable_if_t<std::is_arithmetic_v<T> && !std::is_same_v<T, bool>, int> = 0>
  Dyn& operator+=(T right) { return assign_number('>', static_cast<double>(right)); }
  /// Subtracts a number.
  template <typename T, std::enable_if_t<std::is_arithmetic_v<T> && !std::is_same_v<T, bool>, int> = 0>
  Dyn& operator-=(T right) { return assign_number('<', static_cast<double>(right)); }
  /// Multiplies by a number.
  template <typename T, std::enable_if_t<std::is_arithmetic_v<T> && !std::is_same_v<T, bool>, int> = 0>
  Dyn& operator*=(T right) { return assign_number('S', static_cast<double>(right)); }
  /// Divides by a number.
  template <typename T, std::enable_if_t<std::is_arithmetic_v<T> && !std::is_same_v<T, bool>, int> = 0>
  Dyn& operator/=(T right) { return assign_number('D', static_cast<double>(right)); }
  ///@}

  /// @name Bitwise operators
  /// On 64-bit truncations: `&` on a non-number gives 0, `|` the right.
  ///@{
  Dyn operator&(const Dyn& right) const;          ///< bitwise and
  Dyn operator|(const Dyn& right) const;          ///< bitwise or
  ///@}

  /// @name Shifts
  /// Of an integer (tag 1) by the count modulo 32, stored back; any other kind
  /// reports '<' or '>' and stays unchanged.
  ///@{
  Dyn& operator<<=(int count);                    ///< to the left, as a 32-bit integer
  Dyn& operator>>=(int count);                    ///< to the right, the sign kept
  ///@}

  /// @name Comparison
  /// By the right operand's kind; false for kinds that do not compare.
  /// `!=` is the negation of `==`.
  ///@{
  friend bool operator==(const Dyn& a, const Dyn& b);  ///< equal
  friend bool operator!=(const Dyn& a, const Dyn& b) { return !(a == b); }  ///< not equal
  friend bool operator<(const Dyn& a, const Dyn& b);   ///< a ordered before b
  friend bool operator>(const Dyn& a, const Dyn& b);   ///< a ordered after b
  ///@}

  /// @name Indexing
  /// As a copy. A position works on an array or a text; a key on an array
  /// only (nil and `status` set when absent); a Dyn index as a position when
  /// a number, as a key when a text. Else '[' and nil.
  ///@{
  Dyn operator[](int i) const;                    ///< an array's value or a text's byte at position i
  Dyn operator[](const char* key) const;          ///< an array's value under the key
  Dyn operator[](const Text& key) const;          ///< an array's value under the key
  Dyn operator[](const Dyn& index) const;         ///< by position or by key, as the index's kind says
  ///@}

  /// @name Array operations
  /// On an array Dyn; any other kind reports its code and gives nil ('A' for
  /// get and set, 'U' for push, 'O' for pop, ',' for the comma).
  ///@{
  Dyn get(int key) const;                         ///< the value under an integer key
  void set(int key, const Dyn& value);            ///< Array::set under an integer key
  void set(const Text& key, const Dyn& value);    ///< Array::set under a text key
  Dyn& push(const Dyn& value);                    ///< yields this array
  Dyn pop();                                      ///< the last value, removed; nil when empty
  /// The comma form of push: yields this array, or after ',' a shared scratch
  /// value reset to an empty array.
  Dyn& operator,(const Dyn& value);
  ///@}

  /// @name The walk
  /// Forwarded to the array (see Array::begin); any other kind reports
  /// "Dyn error, this method can't apply to the data" and gives nil, "" or -1.
  ///@{
  const Dyn& begin();                             ///< the cursor to 0; the first value
  const Dyn& next();                              ///< the next value; nil past the end
  const Dyn& previous();                          ///< the previous value; nil before the first
  const Dyn& last();                              ///< the cursor to the last value; that value
  const Dyn& value() const;                       ///< the value at the cursor
  Text key() const;                               ///< the key at the cursor
  int index() const;                              ///< the key at the cursor as an integer
  void rewind();                                  ///< the cursor back to 0
  ///@}

private:
  /// What the payload holds: the tag alone does not tell for tag 50, which is
  /// an unowned pointer or a shared typed array.
  enum class Held : std::uint8_t { number, int64, boolean, pointer, text, array, pair, typed };
  /// One member at a time, as `held_` says. A union rather than a variant
  /// keeps a Dyn at 40 bytes, which Arrays of a million values feel.
  union Payload {
    constexpr Payload() noexcept : boolean(false) {}
    ~Payload() {}
    double number;
    std::int64_t int64;
    bool boolean;
    void* pointer;
    Text text;
    std::unique_ptr<Array> array;
    std::unique_ptr<Pair> pair;
    std::shared_ptr<TypedArray> typed;
  };

  template <typename T> static double as_double(T n) {
    if constexpr (std::is_integral_v<T> && std::is_unsigned_v<T> && sizeof(T) == 8) {
      return static_cast<double>(static_cast<std::int64_t>(n));
    } else {
      return static_cast<double>(n);
    }
  }
  Dyn with_number(char code, double right);
  Dyn& assign_number(char code, double right);
  Dyn& keep_number(char code);
  bool holds_number() const;
  double number_value() const;
  void make_number_from_boolean();
  void release() noexcept;                        ///< destroys the payload, leaving nil
  void take(Dyn& other) noexcept;                 ///< moves other's payload in; this one released
  void set_number(double n) noexcept;             ///< the payload becomes n, the tag unchanged

  Payload payload_;
  std::uint32_t type_;
  Held held_;
};

template <typename T, std::enable_if_t<std::is_arithmetic_v<T> && !std::is_same_v<T, bool>, int>>
Dyn::Dyn(T n) noexcept : type_(tag::number), held_(Held::number) {
  payload_.number = as_double(n);
}

/// A key-value item; pushing it onto an Array stores the value under the key.
struct Pair {
  Text key;   ///< the key
  Dyn value;  ///< the value stored under it
};

/// Process-wide flag, false at start: set by a failed Array key lookup and by
/// the programs that want to record an outcome. Nothing in the runtime reads it.
extern Dyn status;

/// @name The conversions as free functions
/// Each gives what the Dyn member of the same name gives.
///@{
inline bool to_bool(const Dyn& d) { return d.to_bool(); }                ///< Dyn::to_bool
inline double to_number(const Dyn& d) { return d.to_number(); }          ///< Dyn::to_number
inline int to_int(const Dyn& d) { return d.to_int(); }                   ///< Dyn::to_int
inline std::int64_t to_int64(const Dyn& d) { return d.to_int64(); }      ///< Dyn::to_int64
inline Text to_chars(const Dyn& d) { return d.to_chars(); }              ///< Dyn::to_chars
inline Text to_text(const Dyn& d) { return d.to_text(); }                ///< Dyn::to_text
Array to_array(const Dyn& d);                                            ///< Dyn::to_array
inline int size(const Dyn& d) { return d.size(); }                       ///< Dyn::size
inline bool is_number(const Dyn& d) { return d.is_number(); }            ///< Dyn::is_number
inline bool is_nil(const Dyn& d) { return d.is_nil(); }                  ///< Dyn::is_nil
inline void print(const Dyn& d) { d.print(); }                           ///< Dyn::print
///@}

/// @name Logical operators
/// On the truth (Dyn::to_bool) of both sides, both always evaluated.
///@{

/// Whether both are true.
inline bool logical_and(const Dyn& a, const Dyn& b) { return a.to_bool() && b.to_bool(); }
/// Whether either is true.
inline bool logical_or(const Dyn& a, const Dyn& b) { return a.to_bool() || b.to_bool(); }
///@}

/// Writes to_chars.
std::ostream& operator<<(std::ostream& out, const Dyn& d);

}  // namespace kit

// Whoever holds a Dyn can also reach the Array it converts to.
#include "runtime/array.h"
