// SPDX-License-Identifier: MIT
#include "runtime/dyn.h"

#include <cmath>
#include <cstdio>
#include <new>
#include <ostream>
#include <string>

#include "runtime/array.h"
#include "runtime/typed_array.h"

namespace kit {

Dyn status;

namespace {

// The reasons of the "Dyn error, " reports.
constexpr const char* reason_not_implemented = "not yet implemented";
constexpr const char* reason_cannot_apply = "this method can't apply to the data";

void report_mismatch(char code, std::uint32_t current) {
  std::printf("Dyn error code %c, type mismatch, current #%u\n", code, current);
}

void report(const char* reason) { std::printf("Dyn error, %s\n", reason); }

const Dyn& shared_nil() {
  static const Dyn nil;
  return nil;
}

bool is_numeric_tag(std::uint32_t t) {
  return t == tag::integer || t == tag::number || t == tag::int64;
}

bool is_reference_tag(std::uint32_t t) {
  return t == tag::reference || t == tag::reference_alt || t == tag::object;
}

// Doubles outside a type's range have no value there: saturate, and read
// not-a-number as 0, instead of invoking undefined behaviour.
std::int64_t truncate_int64(double d) {
  if (!(d == d)) return 0;
  if (d >= 9.2233720368547758e18) return INT64_MAX;
  if (d <= -9.2233720368547758e18) return INT64_MIN;
  return static_cast<std::int64_t>(d);
}

int truncate_int(double d) {
  if (!(d == d)) return 0;
  if (d >= 2147483647.0) return INT32_MAX;
  if (d <= -2147483648.0) return INT32_MIN;
  return static_cast<int>(d);
}

int sign(double d) { return d < 0 ? -1 : (d > 0 ? 1 : 0); }

double apply(char op, double a, double b) {
  switch (op) {
    case '+': case '>': return a + b;
    case '-': case '<': return a - b;
    case '*': case 'S': return a * b;
    case '/': case 'D': return a / b;
    default: return std::fmod(a, b);
  }
}

// The truth a left operand has when compared with a boolean.
bool truth_against_boolean(const Dyn& a) {
  if (a.type() == tag::boolean) return a.to_bool();
  if (a.type() == tag::text) return a.text()->truth();
  if (a.type() == tag::array) return a.array()->size() != 0;
  return a.to_number() != 0;
}

// How a left operand stands against a right one that is not an array:
// whether they are equal, and their order when they have one (0 otherwise).
struct Relation {
  bool equal = false;
  int order = 0;
};

Relation relate(const Dyn& a, const Dyn& b) {
  const std::uint32_t left = a.type();
  const std::uint32_t right = b.type();
  const bool left_numeric = is_numeric_tag(left) || (left == tag::text && a.text()->is_number());
  if (is_numeric_tag(right)) {
    if (!left_numeric) return {};
    const double x = a.to_number(), y = b.to_number();
    return {x == y, sign(x - y)};
  }
  if (right == tag::boolean) {
    const int x = truth_against_boolean(a), y = b.to_bool();
    return {x == y, x - y};
  }
  if (right == tag::text) {
    const Text& t = *b.text();
    if (t.is_number() && left_numeric) {
      const double x = a.to_number(), y = t.to_real();
      return {x == y, sign(x - y)};
    }
    if (left != tag::text) return {};
    const int c = a.text()->compare(t);
    return {c == 0, c};
  }
  if (right == tag::reference || right == tag::reference_alt) {
    return {is_reference_tag(left) && a.pointer() == b.pointer(), 0};
  }
  return {};
}

// Array order compares values as a copy of each holds them, and the copy of
// a typed array is an alias of it (tag 50), which equals a reference to it.
const Dyn& as_copied(const Dyn& value, Dyn& alias) {
  if (value.type() != tag::typed_array && value.type() != tag::typed_numbers) return value;
  alias = value;
  return alias;
}

}  // namespace

// ---- construction and copying ----

Dyn::Dyn(bool b) noexcept : type_(tag::boolean), held_(Held::boolean) { payload_.boolean = b; }

Dyn::Dyn(const char* s) : Dyn(Text(s)) {}

Dyn::Dyn(const Text& t) : type_(tag::text), held_(Held::text) { new (&payload_.text) Text(t); }

Dyn::Dyn(Text&& t) noexcept : type_(tag::text), held_(Held::text) {
  new (&payload_.text) Text(std::move(t));
}

Dyn::Dyn(const Array& a) : Dyn(Array(a)) {}

Dyn::Dyn(Array&& a) : type_(tag::array), held_(Held::array) {
  new (&payload_.array) std::unique_ptr<Array>(std::make_unique<Array>(std::move(a)));
}

Dyn::Dyn(const Pair& p) : type_(tag::pair), held_(Held::pair) {
  new (&payload_.pair) std::unique_ptr<Pair>(std::make_unique<Pair>(p));
}

Dyn::Dyn(const TypedArray& t) : type_(t.dyn_tag()), held_(Held::typed) {
  new (&payload_.typed) std::shared_ptr<TypedArray>(t.clone());
}

Dyn Dyn::of_integer(double n) {
  Dyn d(n);
  d.type_ = tag::integer;
  return d;
}

Dyn Dyn::of_int64(std::int64_t n) {
  Dyn d;
  d.type_ = tag::int64;
  d.held_ = Held::int64;
  d.payload_.int64 = n;
  return d;
}

Dyn Dyn::of_object(void* pointer, std::uint32_t object_tag) {
  Dyn d;
  d.type_ = (object_tag == tag::reference || object_tag == tag::reference_alt) ? object_tag : tag::object;
  d.held_ = Held::pointer;
  d.payload_.pointer = pointer;
  return d;
}

Dyn Dyn::of_pair(const Text& key, const Dyn& value) { return Dyn(Pair{key, value}); }

Dyn::Dyn(const Dyn& other) : type_(other.type_), held_(other.held_) {
  switch (held_) {
    case Held::number: payload_.number = other.payload_.number; break;
    case Held::int64: payload_.int64 = other.payload_.int64; break;
    case Held::boolean: payload_.boolean = other.payload_.boolean; break;
    case Held::pointer: payload_.pointer = other.payload_.pointer; break;
    case Held::text: new (&payload_.text) Text(other.payload_.text); break;
    case Held::array:
      new (&payload_.array) std::unique_ptr<Array>(std::make_unique<Array>(*other.payload_.array));
      break;
    case Held::pair:
      new (&payload_.pair) std::unique_ptr<Pair>(std::make_unique<Pair>(*other.payload_.pair));
      break;
    case Held::typed:
      // A copy of a typed array is an alias of it.
      new (&payload_.typed) std::shared_ptr<TypedArray>(other.payload_.typed);
      type_ = tag::object;
      break;
  }
}

Dyn::Dyn(Dyn&& other) noexcept : type_(tag::boolean), held_(Held::boolean) { take(other); }

Dyn& Dyn::operator=(const Dyn& other) {
  Dyn copy(other);
  release();
  take(copy);
  return *this;
}

Dyn& Dyn::operator=(Dyn&& other) noexcept {
  if (this == &other) return *this;
  // Take the source out first: it may live inside this Dyn's own payload.
  Dyn taken(std::move(other));
  release();
  take(taken);
  return *this;
}

Dyn::~Dyn() { release(); }

void Dyn::release() noexcept {
  switch (held_) {
    case Held::text: payload_.text.~Text(); break;
    case Held::array: payload_.array.~unique_ptr(); break;
    case Held::pair: payload_.pair.~unique_ptr(); break;
    case Held::typed: payload_.typed.~shared_ptr(); break;
    default: break;
  }
  type_ = tag::boolean;
  held_ = Held::boolean;
  payload_.boolean = false;
}

void Dyn::take(Dyn& other) noexcept {
  type_ = other.type_;
  held_ = other.held_;
  switch (held_) {
    case Held::number: payload_.number = other.payload_.number; break;
    case Held::int64: payload_.int64 = other.payload_.int64; break;
    case Held::boolean: payload_.boolean = other.payload_.boolean; break;
    case Held::pointer: payload_.pointer = other.payload_.pointer; break;
    case Held::text:
      new (&payload_.text) Text(std::move(other.payload_.text));
      other.payload_.text.~Text();
      break;
    // The emptied owners need no destructor: they no longer own anything.
    case Held::array: new (&payload_.array) std::unique_ptr<Array>(other.payload_.array.release()); break;
    case Held::pair: new (&payload_.pair) std::unique_ptr<Pair>(other.payload_.pair.release()); break;
    case Held::typed:
      new (&payload_.typed) std::shared_ptr<TypedArray>(std::move(other.payload_.typed));
      break;
  }
  other.type_ = tag::boolean;
  other.held_ = Held::boolean;
  other.payload_.boolean = false;
}

void Dyn::swap(Dyn& other) noexcept {
  Dyn held(std::move(other));
  other.take(*this);
  take(held);
}

void Dyn::set_number(double n) noexcept {
  const std::uint32_t kept = type_;
  release();
  type_ = kept;
  held_ = Held::number;
  payload_.number = n;
}

// ---- payload access ----

const Text* Dyn::text() const { return held_ == Held::text ? &payload_.text : nullptr; }
Text* Dyn::text() { return held_ == Held::text ? &payload_.text : nullptr; }
const Array* Dyn::array() const { return held_ == Held::array ? payload_.array.get() : nullptr; }
Array* Dyn::array() { return held_ == Held::array ? payload_.array.get() : nullptr; }
const Pair* Dyn::pair() const { return held_ == Held::pair ? payload_.pair.get() : nullptr; }
Pair* Dyn::pair() { return held_ == Held::pair ? payload_.pair.get() : nullptr; }
TypedArray* Dyn::typed_array() const { return held_ == Held::typed ? payload_.typed.get() : nullptr; }

void* Dyn::pointer() const {
  if (!is_reference_tag(type_)) return nullptr;
  if (held_ == Held::pointer) return payload_.pointer;
  return typed_array();
}

bool Dyn::holds_number() const { return is_numeric_tag(type_); }

double Dyn::number_value() const {
  if (held_ == Held::number) return payload_.number;
  if (held_ == Held::int64) return static_cast<double>(payload_.int64);
  return 0;
}

void Dyn::make_number_from_boolean() {
  if (type_ != tag::boolean) return;
  const bool b = payload_.boolean;
  type_ = tag::number;
  set_number(b ? 1.0 : 0.0);
}

// ---- conversions ----

bool Dyn::to_bool() const {
  if (type_ == tag::boolean) return payload_.boolean;
  if (holds_number()) return number_value() != 0;
  if (type_ == tag::text) return text()->compare_nocase("true") == 0;
  return false;
}

double Dyn::to_number() const {
  if (holds_number()) return number_value();
  if (type_ == tag::text) return text()->to_real();
  return 0;
}

int Dyn::to_int() const {
  if (type_ == tag::int64) {
    const std::int64_t i = payload_.int64;
    return i > INT32_MAX ? INT32_MAX : (i < INT32_MIN ? INT32_MIN : static_cast<int>(i));
  }
  if (holds_number()) return truncate_int(number_value());
  if (type_ == tag::text) return truncate_int(text()->to_real());
  return 0;
}

std::int64_t Dyn::to_int64() const {
  if (type_ == tag::int64) return payload_.int64;
  if (holds_number()) return truncate_int64(number_value());
  if (type_ == tag::text) return truncate_int64(text()->to_real());
  if (type_ == tag::boolean) return payload_.boolean ? 1 : 0;
  return 0;
}

Text Dyn::to_chars() const {
  switch (type_) {
    case tag::integer:
    case tag::number: return Text(payload_.number);
    case tag::int64: return Text(std::to_string(payload_.int64));
    case tag::boolean: return Text(payload_.boolean ? "true" : "false");
    case tag::text: return *text();
    case tag::array: return array()->to_text();
    case tag::pair: return pair()->value.to_chars();
    case tag::object: return Text("Object");
    default: return Text("false");
  }
}

Text Dyn::to_text() const {
  if (type_ == tag::boolean && !payload_.boolean) return Text();
  return to_chars();
}

Array Dyn::to_array() const {
  if (const Array* a = array()) return *a;
  return Array();
}

Array to_array(const Dyn& d) { return d.to_array(); }

int Dyn::size() const {
  switch (type_) {
    case tag::integer: return 32;
    case tag::number:
    case tag::int64: return 64;
    case tag::boolean:
    case tag::pair: return 1;
    case tag::text: return text()->length();
    case tag::array: return array()->size();
    case tag::typed_array:
    case tag::typed_numbers: return typed_array()->size();
    default:
      report(reason_not_implemented);
      return 0;
  }
}

bool Dyn::is_number() const {
  if (holds_number()) return true;
  return type_ == tag::text && text()->is_number();
}

bool Dyn::is_nil() const {
  switch (type_) {
    case tag::integer:
    case tag::number: return payload_.number == -1;
    case tag::int64: return payload_.int64 == 0;
    case tag::boolean: return !payload_.boolean;
    case tag::text: return text()->is_empty();
    case tag::array: return array()->size() == 0;
    case tag::pair: return pair() == nullptr;
    case tag::reference:
    case tag::reference_alt:
    case tag::object: return pointer() == nullptr;
    default: return true;
  }
}

void Dyn::print() const {
  if (const Array* a = array()) {
    a->dump(0);
  } else if (type_ == tag::typed_array || type_ == tag::typed_numbers) {
    typed_array()->dump(0);
  } else {
    const Text t = to_chars();
    std::fwrite(t.view().data(), 1, t.view().size(), stdout);
    std::fputc('\n', stdout);
  }
}

Text Dyn::trim() const { return type_ == tag::text ? text()->trim() : Text(); }
Text Dyn::ltrim() const { return type_ == tag::text ? text()->ltrim() : Text(); }
Text Dyn::rtrim() const { return type_ == tag::text ? text()->rtrim() : Text(); }
Text Dyn::lower() const { return type_ == tag::text ? text()->lower() : Text(); }
Text Dyn::upper() const { return type_ == tag::text ? text()->upper() : Text(); }
Text Dyn::capitalize() const { return type_ == tag::text ? text()->capitalize() : Text(); }

// ---- arithmetic ----

Dyn Dyn::with_number(char code, double right) {
  make_number_from_boolean();
  if (!holds_number()) {
    report_mismatch(code, type_);
    return Dyn(0);
  }
  return Dyn(apply(code, number_value(), right));
}

Dyn Dyn::operator+(const Dyn& right) {
  if (Array* a = array()) {
    if (const Array* b = right.array()) return Dyn(*a + *b);
    a->push(right);
    return *this;
  }
  make_number_from_boolean();
  // A text on both sides joins them, as a string on the right does.
  if (type_ == tag::text && right.type_ == tag::text) return Dyn(*text() + *right.text());
  switch (right.type_) {
    case tag::integer:
    case tag::number:
    case tag::int64: return with_number('+', right.number_value());
    case tag::boolean:
      if (!right.payload_.boolean) return *this;
      return with_number('+', 1);
    case tag::text: return with_number('+', right.text()->to_real());
    case tag::array:
      report_mismatch('+', type_);
      return Dyn(Array());
    default:
      report_mismatch('+', type_);
      return Dyn(0);
  }
}

Dyn Dyn::operator+(const char* right) {
  if (type_ != tag::text) {
    report_mismatch('+', type_);
    return Dyn("");
  }
  return Dyn(*text() + right);
}

Dyn Dyn::operator-(const Dyn& right) {
  make_number_from_boolean();
  switch (right.type_) {
    case tag::integer:
    case tag::number:
    case tag::int64: return with_number('-', right.number_value());
    case tag::boolean:
      if (!right.payload_.boolean) return *this;
      return with_number('-', 1);
    case tag::text: return with_number('-', right.text()->to_real());
    case tag::array:
      if (const Array* a = array()) return Dyn(a->difference(*right.array()));
      report_mismatch('-', type_);
      return Dyn(Array());
    default:
      report_mismatch('-', type_);
      return Dyn(0);
  }
}

namespace {

// The right operand of `*`, `/` and `%`: a number, or a boolean as 1 or 0.
bool factor_of(const Dyn& right, double& value) {
  if (right.type() == tag::boolean) {
    value = right.to_bool() ? 1 : 0;
    return true;
  }
  if (is_numeric_tag(right.type())) {
    value = right.to_number();
    return true;
  }
  return false;
}

}  // namespace

Dyn Dyn::operator*(const Dyn& right) {
  double value = 0;
  make_number_from_boolean();
  if (!factor_of(right, value)) {
    report_mismatch('*', type_);
    return Dyn(0);
  }
  return with_number('*', value);
}

Dyn Dyn::operator/(const Dyn& right) {
  double value = 0;
  make_number_from_boolean();
  if (!factor_of(right, value)) {
    report_mismatch('/', type_);
    return Dyn(0);
  }
  return with_number('/', value);
}

Dyn Dyn::operator%(const Dyn& right) {
  double value = 0;
  make_number_from_boolean();
  if (!factor_of(right, value)) {
    report_mismatch('%', type_);
    return Dyn(0);
  }
  return with_number('%', value);
}

Dyn& Dyn::assign_number(char code, double right) {
  make_number_from_boolean();
  if (holds_number()) {
    const double result = apply(code, number_value(), right);
    if (type_ == tag::int64) type_ = tag::number;
    set_number(result);
  } else if (type_ == tag::text && text()->is_number()) {
    const double result = apply(code, text()->to_real(), right);
    type_ = tag::number;
    set_number(result);
  } else {
    report_mismatch(code, type_);
  }
  return *this;
}

Dyn& Dyn::keep_number(char code) {
  make_number_from_boolean();
  if (!holds_number() && !(type_ == tag::text && text()->is_number())) report_mismatch(code, type_);
  return *this;
}

namespace {

// What an in-place operator does with a Dyn on its right.
enum class Step { use_value, keep, mismatch };

Step step_of(const Dyn& right, char code, double& value) {
  switch (right.type()) {
    case tag::integer:
    case tag::number:
    case tag::int64:
    case tag::text:
      value = right.to_number();
      return Step::use_value;
    case tag::boolean:
      // True leaves the value alone; false multiplies or divides by 0.
      if (right.to_bool() || code == '>' || code == '<') return Step::keep;
      value = 0;
      return Step::use_value;
    default: return Step::mismatch;
  }
}

}  // namespace

Dyn& Dyn::operator+=(const Dyn& right) {
  if (type_ == tag::text && right.type_ == tag::text) {
    text()->append(*right.text());
    return *this;
  }
  double value = 0;
  switch (step_of(right, '>', value)) {
    case Step::use_value: return assign_number('>', value);
    case Step::keep: return keep_number('>');
    default: report_mismatch('>', type_); return *this;
  }
}

Dyn& Dyn::operator+=(const char* right) {
  if (type_ == tag::text) {
    text()->append(Text(right));
  } else {
    report_mismatch('>', type_);
  }
  return *this;
}

Dyn& Dyn::operator-=(const Dyn& right) {
  double value = 0;
  switch (step_of(right, '<', value)) {
    case Step::use_value: return assign_number('<', value);
    case Step::keep: return keep_number('<');
    default: report_mismatch('<', type_); return *this;
  }
}

Dyn& Dyn::operator*=(const Dyn& right) {
  double value = 0;
  switch (step_of(right, 'S', value)) {
    case Step::use_value: return assign_number('S', value);
    case Step::keep: return keep_number('S');
    default: report_mismatch('S', type_); return *this;
  }
}

Dyn& Dyn::operator/=(const Dyn& right) {
  double value = 0;
  switch (step_of(right, 'D', value)) {
    case Step::use_value: return assign_number('D', value);
    case Step::keep: return keep_number('D');
    default: report_mismatch('D', type_); return *this;
  }
}

Dyn Dyn::operator&(const Dyn& right) const {
  if (!holds_number()) return Dyn(0);
  return Dyn(static_cast<double>(to_int64() & right.to_int64()));
}

Dyn Dyn::operator|(const Dyn& right) const {
  if (!holds_number()) return right;
  return Dyn(static_cast<double>(to_int64() | right.to_int64()));
}

namespace {

// The shift count taken modulo 32, never negative.
unsigned shift_count(int count) { return static_cast<unsigned>(((count % 32) + 32) % 32); }

}  // namespace

Dyn& Dyn::operator<<=(int count) {
  if (type_ != tag::integer) {
    report_mismatch('<', type_);
    return *this;
  }
  const auto bits = static_cast<std::uint32_t>(truncate_int(payload_.number));
  set_number(static_cast<std::int32_t>(bits << shift_count(count)));
  return *this;
}

Dyn& Dyn::operator>>=(int count) {
  if (type_ != tag::integer) {
    report_mismatch('>', type_);
    return *this;
  }
  const std::int32_t v = truncate_int(payload_.number);
  set_number(v >> shift_count(count));
  return *this;
}

// ---- comparison ----

bool operator==(const Dyn& a, const Dyn& b) {
  // Two plain numbers, the common case of sorting and searching.
  if (a.held_ == Dyn::Held::number && b.held_ == Dyn::Held::number) return a.payload_.number == b.payload_.number;
  if (b.type() == tag::array) return a.array() != nullptr && *a.array() == *b.array();
  return relate(a, b).equal;
}

bool operator<(const Dyn& a, const Dyn& b) {
  if (a.held_ == Dyn::Held::number && b.held_ == Dyn::Held::number) return a.payload_.number < b.payload_.number;
  if (b.type() == tag::array) return a.array() != nullptr && *a.array() < *b.array();
  return relate(a, b).order < 0;
}

bool operator>(const Dyn& a, const Dyn& b) {
  if (a.held_ == Dyn::Held::number && b.held_ == Dyn::Held::number) return a.payload_.number > b.payload_.number;
  if (b.type() == tag::array) return a.array() != nullptr && *a.array() > *b.array();
  return relate(a, b).order > 0;
}

Array::Comparison Array::relation(const Array& a, const Array& b) {
  if (a.size() != b.size()) return {false, a.size() < b.size() ? -1 : 1};
  bool keys_equal = true;
  for (std::size_t i = 0; i < a.values_.size(); ++i) {
    Dyn x_alias, y_alias;
    const Dyn& x = as_copied(a.values_[i], x_alias);
    const Dyn& y = as_copied(b.values_[i], y_alias);
    // The first values that differ decide, as Dyn == and < tell them apart.
    if (y.type() == tag::array) {
      if (x.array() == nullptr) return {false, 0};
      const Comparison nested = relation(*x.array(), *y.array());
      if (!nested.equal) return {false, nested.order};
    } else {
      const Relation scalar = relate(x, y);
      if (!scalar.equal) return {false, scalar.order};
    }
    if (keys_equal) {
      const Probe kx = a.probe_at(static_cast<int>(i)), ky = b.probe_at(static_cast<int>(i));
      keys_equal = kx.number == ky.number && kx.text == ky.text;
    }
  }
  return {keys_equal, 0};
}

bool operator<(const Array& a, const Array& b) { return Array::relation(a, b).order < 0; }
bool operator>(const Array& a, const Array& b) { return Array::relation(a, b).order > 0; }

// ---- indexing and array operations ----

Dyn Dyn::operator[](int i) const {
  if (const Array* a = array()) return a->at(i);
  if (const Text* t = text()) return Dyn(t->at(i));
  report_mismatch('[', type_);
  return Dyn();
}

Dyn Dyn::operator[](const char* key) const { return (*this)[Text(key)]; }

Dyn Dyn::operator[](const Text& key) const {
  if (const Array* a = array()) return a->get(key);
  report_mismatch('[', type_);
  return Dyn();
}

Dyn Dyn::operator[](const Dyn& index) const {
  if (is_numeric_tag(index.type_)) return (*this)[index.to_int()];
  if (const Text* key = index.text()) return (*this)[*key];
  report_mismatch('[', type_);
  return Dyn();
}

Dyn Dyn::get(int key) const {
  if (const Array* a = array()) return a->get(key);
  report_mismatch('A', type_);
  return Dyn();
}

void Dyn::set(int key, const Dyn& value) {
  if (Array* a = array()) {
    a->set(key, value);
  } else {
    report_mismatch('A', type_);
  }
}

void Dyn::set(const Text& key, const Dyn& value) {
  if (Array* a = array()) {
    a->set(key, value);
  } else {
    report_mismatch('A', type_);
  }
}

Dyn& Dyn::push(const Dyn& value) {
  if (Array* a = array()) {
    a->push(value);
  } else {
    report_mismatch('U', type_);
  }
  return *this;
}

Dyn Dyn::pop() {
  if (Array* a = array()) return a->pop();
  report_mismatch('O', type_);
  return Dyn();
}

Dyn& Dyn::operator,(const Dyn& value) {
  if (Array* a = array()) {
    a->push(value);
    return *this;
  }
  report_mismatch(',', type_);
  static Dyn scratch;
  scratch = Dyn(Array());
  return scratch;
}

// ---- the walk ----

const Dyn& Dyn::begin() {
  if (Array* a = array()) return a->begin();
  report(reason_cannot_apply);
  return shared_nil();
}

const Dyn& Dyn::next() {
  if (Array* a = array()) return a->next();
  report(reason_cannot_apply);
  return shared_nil();
}

const Dyn& Dyn::previous() {
  if (Array* a = array()) return a->previous();
  report(reason_cannot_apply);
  return shared_nil();
}

const Dyn& Dyn::last() {
  if (Array* a = array()) return a->last();
  report(reason_cannot_apply);
  return shared_nil();
}

const Dyn& Dyn::value() const {
  if (const Array* a = array()) return a->value();
  report(reason_cannot_apply);
  return shared_nil();
}

Text Dyn::key() const {
  if (const Array* a = array()) return a->key();
  report(reason_cannot_apply);
  return Text();
}

int Dyn::index() const {
  if (const Array* a = array()) return a->index();
  report(reason_cannot_apply);
  return -1;
}

void Dyn::rewind() {
  if (Array* a = array()) {
    a->rewind();
  } else {
    report(reason_cannot_apply);
  }
}

std::ostream& operator<<(std::ostream& out, const Dyn& d) { return out << d.to_chars(); }

}  // namespace kit
