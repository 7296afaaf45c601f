// SPDX-License-Identifier: MIT
#include "runtime/typed_array.h"

#include <algorithm>
#include <cfloat>
#include <cinttypes>
#include <cstdio>

#include "runtime/array.h"

namespace kit {

namespace {

// A write past the capacity reserves at least this many slots beyond it.
constexpr int growth_margin = 16;

constexpr const char* dump_level_indent = "     ";
constexpr const char* dump_key_indent = "   ";

template <Kind K> const char* kind_word() {
  switch (K) {
    case Kind::integer: return "int";
    case Kind::number: return "number";
    case Kind::natural: return "natural";
    case Kind::real: return "real";
    case Kind::text: return "text";
    default: return "object";
  }
}

int sign_of(double d) { return d < 0 ? -1 : (d > 0 ? 1 : 0); }

template <typename T> int order_of(const T& a, const T& b) { return a < b ? -1 : (b < a ? 1 : 0); }

// The number an element counts as in min, max and sum.
template <Kind K> double number_of(const typename SlotOf<K>::type& slot) {
  if constexpr (K == Kind::text) {
    return slot ? slot->to_real() : 0.0;
  } else if constexpr (K == Kind::object) {
    return 0.0;
  } else {
    return static_cast<double>(slot);
  }
}

// A Dyn converted into a slot of kind K.
template <Kind K> typename SlotOf<K>::type slot_from(const Dyn& d) {
  if constexpr (K == Kind::integer) {
    return d.to_int();
  } else if constexpr (K == Kind::natural) {
    return static_cast<std::uint64_t>(d.to_int64());
  } else if constexpr (K == Kind::text) {
    return d.to_chars();
  } else if constexpr (K == Kind::object) {
    return d.pointer();
  } else {
    return d.to_number();
  }
}

}  // namespace

std::uint32_t TypedArray::dyn_tag() const {
  const Kind k = kind();
  return (k == Kind::number || k == Kind::natural || k == Kind::real) ? tag::typed_numbers
                                                                         : tag::typed_array;
}

template <Kind K> typename TypedArrayOf<K>::Slot TypedArrayOf<K>::at(int i) const {
  if (i < 0 || i >= size()) return Slot{};
  return items_[static_cast<std::size_t>(i)];
}

template <Kind K> typename TypedArrayOf<K>::Slot& TypedArrayOf<K>::slot(int i) {
  if (i < 0) {
    spare_ = Slot{};
    return spare_;
  }
  const auto position = static_cast<std::size_t>(i);
  if (position >= items_.size()) {
    // Room for the position and a margin, and never less than double, so
    // that filling the array slot by slot stays linear.
    if (position >= items_.capacity()) {
      items_.reserve(std::max(position + growth_margin, 2 * items_.capacity()));
    }
    items_.resize(position + 1);
  }
  return items_[position];
}

template <Kind K> void TypedArrayOf<K>::set(int i, Slot value) {
  if (i >= 0) slot(i) = std::move(value);
}

template <Kind K> void TypedArrayOf<K>::push(Slot value) { slot(size()) = std::move(value); }

template <Kind K> typename TypedArrayOf<K>::Slot TypedArrayOf<K>::pop() {
  if (items_.empty()) return Slot{};
  Slot taken = std::move(items_.back());
  items_.pop_back();
  return taken;
}

template <Kind K> void TypedArrayOf<K>::clear() { items_.clear(); }

template <Kind K> int TypedArrayOf<K>::compare_slots(const Slot& a, const Slot& b) const {
  if constexpr (K == Kind::text) {
    const Text x = a ? *a : Text(), y = b ? *b : Text();
    if (x.is_number() && y.is_number()) return order_of(x.to_int64(), y.to_int64());
    return order_of(x.view(), y.view());
  } else if constexpr (K == Kind::object) {
    return a == b ? 0 : (std::less<void*>()(a, b) ? -1 : 1);
  } else if constexpr (K == Kind::number || K == Kind::real) {
    return sign_of(a - b);
  } else {
    return order_of(a, b);
  }
}

template <Kind K> int TypedArrayOf<K>::compare(int i, int j) const { return compare_slots(at(i), at(j)); }

template <Kind K> int TypedArrayOf<K>::find(const Slot& value) const {
  for (int i = 0; i < size(); ++i) {
    if (compare_slots(items_[static_cast<std::size_t>(i)], value) == 0) return i;
  }
  return -1;
}

template <Kind K> void TypedArrayOf<K>::sort() {
  std::stable_sort(items_.begin(), items_.end(),
                   [this](const Slot& a, const Slot& b) { return compare_slots(a, b) < 0; });
}

template <Kind K> TypedArrayOf<K> TypedArrayOf<K>::reverse() const {
  TypedArrayOf result;
  result.items_.assign(items_.rbegin(), items_.rend());
  return result;
}

template <Kind K> double TypedArrayOf<K>::min() const {
  double result = DBL_MAX;
  for (const Slot& s : items_) result = std::min(result, number_of<K>(s));
  return result;
}

template <Kind K> double TypedArrayOf<K>::max() const {
  double result = 0;
  for (const Slot& s : items_) result = std::max(result, number_of<K>(s));
  return result;
}

template <Kind K> double TypedArrayOf<K>::sum() const {
  double result = 0;
  for (const Slot& s : items_) result += number_of<K>(s);
  return result;
}

template <Kind K> Text TypedArrayOf<K>::join(const Text& separator) const {
  std::string result;
  if constexpr (K == Kind::text) {
    for (const Slot& s : items_) {
      if (!s) continue;
      if (!result.empty()) result += separator.view();
      result += s->view();
    }
  } else {
    (void)separator;
  }
  return Text(std::move(result));
}

template <Kind K> Dyn TypedArrayOf<K>::value_at(int i) const {
  if (i < 0 || i >= size()) return Dyn();
  const Slot& s = items_[static_cast<std::size_t>(i)];
  if constexpr (K == Kind::text) {
    return s ? Dyn(*s) : Dyn();
  } else if constexpr (K == Kind::object) {
    return Dyn::of_object(s);
  } else {
    return Dyn(s);
  }
}

template <Kind K> void TypedArrayOf<K>::dump(int depth) const {
  auto indent = [depth] {
    for (int d = 0; d < depth; ++d) std::fputs(dump_level_indent, stdout);
  };
  std::printf("Array of %s(\n", kind_word<K>());
  for (int i = 0; i < size(); ++i) {
    const Slot& s = items_[static_cast<std::size_t>(i)];
    indent();
    std::printf("%s%d : ", dump_key_indent, i);
    if constexpr (K == Kind::integer) {
      std::printf("%d\n", s);
    } else if constexpr (K == Kind::natural) {
      std::printf("%" PRIu64 "\n", s);
    } else if constexpr (K == Kind::text) {
      if (s) {
        std::fwrite(s->view().data(), 1, s->view().size(), stdout);
        std::fputc('\n', stdout);
      } else {
        std::fputs("nil\n", stdout);
      }
    } else if constexpr (K == Kind::object) {
      std::fputs("Object\n", stdout);
    } else {
      std::printf("%g\n", s);
    }
    std::fflush(stdout);
  }
  indent();
  std::fputs(")\n", stdout);
}

template <Kind K> std::unique_ptr<TypedArray> TypedArrayOf<K>::clone() const {
  return std::make_unique<TypedArrayOf>(*this);
}

template <Kind K> TypedArrayOf<K> Dyn::to_typed_array() const {
  const TypedArray* typed = typed_array();
  if (typed != nullptr && typed->kind() == K) return static_cast<const TypedArrayOf<K>&>(*typed);
  TypedArrayOf<K> result;
  if (typed != nullptr) {
    for (int i = 0; i < typed->size(); ++i) result.push(slot_from<K>(typed->value_at(i)));
  } else if (const Array* a = array()) {
    for (int i = 0; i < a->size(); ++i) result.push(slot_from<K>(a->at(i)));
  } else {
    std::printf("Dyn error, %s\n", "type mismatch");
  }
  return result;
}

template class TypedArrayOf<Kind::integer>;
template class TypedArrayOf<Kind::number>;
template class TypedArrayOf<Kind::natural>;
template class TypedArrayOf<Kind::real>;
template class TypedArrayOf<Kind::text>;
template class TypedArrayOf<Kind::object>;

template IntArray Dyn::to_typed_array<Kind::integer>() const;
template NumberArray Dyn::to_typed_array<Kind::number>() const;
template NaturalArray Dyn::to_typed_array<Kind::natural>() const;
template RealArray Dyn::to_typed_array<Kind::real>() const;
template TextArray Dyn::to_typed_array<Kind::text>() const;
template ObjectArray Dyn::to_typed_array<Kind::object>() const;

}  // namespace kit
