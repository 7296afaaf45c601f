// SPDX-License-Identifier: MIT
#include "runtime/array.h"

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cstdio>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <unordered_set>
#include <utility>

#include "runtime/typed_array.h"

namespace kit {

namespace {

// The temporary key of an inserted element; renumbering replaces it.
constexpr int insert_key = 65000;

// Lines longer than this arrive in pieces in `load`.
constexpr int load_buffer_size = 65536;

// Smallest index table; the table is kept at most half full.
constexpr std::size_t min_index_capacity = 16;
constexpr std::uint64_t position_mask = 0xffffffffu;

// Five spaces per depth level, then three before each key, in `dump`.
constexpr const char* dump_level_indent = "     ";
constexpr const char* dump_key_indent = "   ";

// The longest plain decimal of an int: "2147483647".
constexpr std::size_t max_int_digits = 10;

const Dyn& shared_nil() {
  static const Dyn nil;
  return nil;
}

// The decimal text of an integer key, without allocating.
class Decimal {
public:
  explicit Decimal(long long n) {
    auto r = std::to_chars(buffer_, buffer_ + sizeof buffer_, n);
    length_ = static_cast<std::size_t>(r.ptr - buffer_);
  }
  std::string_view view() const { return {buffer_, length_}; }
  Text text() const { return Text(view()); }

private:
  char buffer_[24];
  std::size_t length_ = 0;
};

// The int a key text is the plain decimal of (no sign, no leading zero, at
// most INT32_MAX), or -1.
std::int32_t plain_decimal(std::string_view s) {
  if (s.empty() || s.size() > max_int_digits) return -1;
  if (s[0] == '0') return s.size() == 1 ? 0 : -1;
  std::int64_t v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return -1;
    v = v * 10 + (c - '0');
  }
  return v > INT32_MAX ? -1 : static_cast<std::int32_t>(v);
}

std::uint32_t hash_of_text(std::string_view key) {
  const std::size_t h = std::hash<std::string_view>()(key);
  return static_cast<std::uint32_t>(h ^ (static_cast<std::uint64_t>(h) >> 32));
}

std::uint32_t hash_of_number(std::int32_t key) {
  std::uint64_t h = static_cast<std::uint32_t>(key) * 0x9E3779B97F4A7C15ull;
  return static_cast<std::uint32_t>(h >> 32);
}

// The key after k, staying at the largest int rather than overflowing.
std::int32_t after(std::int32_t k) { return k == INT32_MAX ? k : k + 1; }

void write_out(std::string_view bytes) { std::fwrite(bytes.data(), 1, bytes.size(), stdout); }

void write_indent(int depth) {
  for (int i = 0; i < depth; ++i) std::fputs(dump_level_indent, stdout);
}

// Quicksort with the middle element as pivot, partitioning from both ends:
// the order every sort of the runtime has always produced. Ranges wait on
// an explicit stack; a range that keeps splitting badly is finished by
// heapsort, so no input takes quadratic time.
template <typename PivotAt, typename Before, typename After, typename Less, typename Swap>
void quicksort(int count, PivotAt pivot_at, Before before, After after_pivot, Less less, Swap swap) {
  struct Range {
    int first, last, depth;
  };
  int depth_limit = 8;
  for (int n = count; n > 1; n /= 2) depth_limit += 2;
  std::vector<Range> pending{{0, count - 1, 0}};
  while (!pending.empty()) {
    const Range r = pending.back();
    pending.pop_back();
    if (r.first >= r.last) continue;
    if (r.depth > depth_limit) {
      const int n = r.last - r.first + 1;
      auto sift = [&](int root, int end) {
        while (2 * root + 1 < end) {
          int child = 2 * root + 1;
          if (child + 1 < end && less(r.first + child, r.first + child + 1)) ++child;
          if (!less(r.first + root, r.first + child)) return;
          swap(r.first + root, r.first + child);
          root = child;
        }
      };
      for (int i = n / 2 - 1; i >= 0; --i) sift(i, n);
      for (int end = n - 1; end > 0; --end) {
        swap(r.first, r.first + end);
        sift(0, end);
      }
      continue;
    }
    const auto pivot = pivot_at((r.first + r.last) / 2);
    int i = r.first, j = r.last;
    while (i <= j) {
      while (i <= r.last && before(i, pivot)) ++i;
      while (j >= r.first && after_pivot(j, pivot)) --j;
      if (i <= j) {
        swap(i, j);
        ++i;
        --j;
      }
    }
    pending.push_back({r.first, j, r.depth + 1});
    pending.push_back({i, r.last, r.depth + 1});
  }
}

// The counted value of an element for min and max: numbers and texts have
// one, anything else repeats the previous element's.
bool counted_value(const Dyn& d, double& value) {
  if (d.type() == tag::text) {
    value = d.text()->to_real();
    return true;
  }
  if (d.type() == tag::integer || d.type() == tag::number || d.type() == tag::int64) {
    value = d.to_number();
    return true;
  }
  return false;
}

}  // namespace

// ---- construction ----

Array::Array(const char* const* argv) {
  for (; argv != nullptr && *argv != nullptr; ++argv) push(Dyn(*argv));
}

Array::Array(const Dyn& value) { push(value); }

Array::Array(const TypedArray& typed) {
  for (int i = 0; i < typed.size(); ++i) push(typed.value_at(i));
}

Array::Array(const Array& other)
    : keys_(other.keys_), text_keys_(other.text_keys_), values_(other.values_), next_key_(other.next_key_) {}

Array::Array(Array&& other) noexcept
    : keys_(std::move(other.keys_)),
      text_keys_(std::move(other.text_keys_)),
      values_(std::move(other.values_)),
      next_key_(other.next_key_),
      cursor_(other.cursor_),
      index_(std::move(other.index_)) {
  other.clear();
}

Array& Array::operator=(const Array& other) {
  if (this != &other) *this = Array(other);
  return *this;
}

Array& Array::operator=(Array&& other) noexcept {
  if (this == &other) return *this;
  // Take the source out first: it may live inside one of this Array's values.
  Array taken(static_cast<Array&&>(other));
  keys_.swap(taken.keys_);
  text_keys_.swap(taken.text_keys_);
  values_.swap(taken.values_);
  std::swap(next_key_, taken.next_key_);
  std::swap(cursor_, taken.cursor_);
  std::swap(index_, taken.index_);
  return *this;
}

Array& Array::operator=(const Dyn& value) {
  if (const Array* a = value.array()) return *this = Array(*a);
  Dyn kept(value);
  clear();
  push(std::move(kept));
  return *this;
}

Array::~Array() = default;

void Array::clear() {
  keys_.clear();
  text_keys_.clear();
  values_.clear();
  next_key_ = 0;
  cursor_ = 0;
  forget_index();
}

// ---- keys ----

Array::Probe Array::probe_of(std::string_view key) {
  const std::int32_t n = plain_decimal(key);
  return n >= 0 ? Probe{n, {}} : Probe{-1, key};
}

Array::Probe Array::probe_at(int position) const {
  const Key k = keys_[static_cast<std::size_t>(position)];
  if (k >= 0) return {k, {}};
  return {-1, text_keys_[static_cast<std::size_t>(-k - 1)].view()};
}

Text Array::key_text(int position) const {
  const Key k = keys_[static_cast<std::size_t>(position)];
  if (k >= 0) return Decimal(k).text();
  return text_keys_[static_cast<std::size_t>(-k - 1)];
}

bool Array::numeric_key(int position) const {
  const Key k = keys_[static_cast<std::size_t>(position)];
  return k >= 0 || text_keys_[static_cast<std::size_t>(-k - 1)].is_number();
}

void Array::append_number(Key key, Dyn&& value) {
  keys_.push_back(key);
  values_.push_back(std::move(value));
}

void Array::append_text(Text key, Dyn&& value) {
  text_keys_.push_back(std::move(key));
  keys_.push_back(-static_cast<Key>(text_keys_.size()));
  values_.push_back(std::move(value));
}

void Array::append_probe(const Probe& key, Dyn&& value) {
  if (key.number >= 0) {
    append_number(key.number, std::move(value));
  } else {
    append_text(Text(key.text), std::move(value));
  }
}

void Array::compact_text_keys() {
  std::vector<Text> ordered;
  ordered.reserve(text_keys_.size());
  for (Key& k : keys_) {
    if (k >= 0) continue;
    ordered.push_back(std::move(text_keys_[static_cast<std::size_t>(-k - 1)]));
    k = -static_cast<Key>(ordered.size());
  }
  text_keys_.swap(ordered);
}

void Array::splice_elements(int first, int last, Array&& middle) {
  const int n = size();
  bool texts_move = !middle.text_keys_.empty();
  for (int i = first; i < last && !texts_move; ++i) texts_move = keys_[static_cast<std::size_t>(i)] < 0;
  if (!texts_move) {
    // Integer keys only come and go: every text key keeps its place.
    keys_.erase(keys_.begin() + first, keys_.begin() + last);
    keys_.insert(keys_.begin() + first, middle.keys_.begin(), middle.keys_.end());
    values_.erase(values_.begin() + first, values_.begin() + last);
    values_.insert(values_.begin() + first, std::make_move_iterator(middle.values_.begin()),
                   std::make_move_iterator(middle.values_.end()));
  } else {
    Array joined;
    const std::size_t total = static_cast<std::size_t>(n - (last - first) + middle.size());
    joined.keys_.reserve(total);
    auto take = [&joined](Array& from, int a, int b) {
      for (int i = a; i < b; ++i) {
        Key k = from.keys_[static_cast<std::size_t>(i)];
        if (k < 0) {
          joined.text_keys_.push_back(std::move(from.text_keys_[static_cast<std::size_t>(-k - 1)]));
          k = -static_cast<Key>(joined.text_keys_.size());
        }
        joined.keys_.push_back(k);
        joined.values_.push_back(std::move(from.values_[static_cast<std::size_t>(i)]));
      }
    };
    take(*this, 0, first);
    take(middle, 0, middle.size());
    take(*this, last, n);
    keys_.swap(joined.keys_);
    text_keys_.swap(joined.text_keys_);
    values_.swap(joined.values_);
  }
  forget_index();
}

void Array::renumber() {
  next_key_ = 0;
  bool changed = false, texts_gone = false;
  for (int i = 0; i < size(); ++i) {
    if (!numeric_key(i)) continue;
    Key& k = keys_[static_cast<std::size_t>(i)];
    if (k < 0) texts_gone = true;
    if (k != next_key_) {
      k = next_key_;
      changed = true;
    }
    next_key_ = after(next_key_);
  }
  if (texts_gone) compact_text_keys();
  if (changed) forget_index();
}

// ---- the key index ----

void Array::forget_index() {
  std::fill(index_.slots.begin(), index_.slots.end(), 0);
  index_.covered = 0;
  index_.used = 0;
}

namespace {

std::uint32_t hash_of(std::int32_t number, std::string_view text) {
  return number >= 0 ? hash_of_number(number) : hash_of_text(text);
}

}  // namespace

void Array::rehash(std::size_t capacity) const {
  std::vector<std::uint64_t> old(capacity, 0);
  old.swap(index_.slots);
  const std::size_t mask = capacity - 1;
  for (std::uint64_t entry : old) {
    if (entry == 0) continue;
    std::size_t i = (entry >> 32) & mask;
    while (index_.slots[i] != 0) i = (i + 1) & mask;
    index_.slots[i] = entry;
  }
}

void Array::place(int position) const {
  const Probe key = probe_at(position);
  const std::uint32_t hash = hash_of(key.number, key.text);
  const std::size_t mask = index_.slots.size() - 1;
  for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
    const std::uint64_t entry = index_.slots[i];
    if (entry == 0) {
      index_.slots[i] = (static_cast<std::uint64_t>(hash) << 32) | static_cast<std::uint64_t>(position + 1);
      ++index_.used;
      return;
    }
    // A key seen before keeps its first position.
    if ((entry >> 32) == hash) {
      const Probe seen = probe_at(static_cast<int>((entry & position_mask) - 1));
      if (seen.number == key.number && seen.text == key.text) return;
    }
  }
}

void Array::catch_up() const {
  if (index_.covered >= size()) return;
  const std::size_t needed = static_cast<std::size_t>(index_.used + (size() - index_.covered));
  std::size_t capacity = std::max(index_.slots.size(), min_index_capacity);
  while (needed * 2 > capacity) capacity *= 2;
  if (capacity != index_.slots.size()) rehash(capacity);
  for (int p = index_.covered; p < size(); ++p) place(p);
  index_.covered = size();
}

int Array::locate(const Probe& key) const {
  catch_up();
  if (index_.used == 0) return -1;
  const std::uint32_t hash = hash_of(key.number, key.text);
  const std::size_t mask = index_.slots.size() - 1;
  for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
    const std::uint64_t entry = index_.slots[i];
    if (entry == 0) return -1;
    if ((entry >> 32) != hash) continue;
    const int position = static_cast<int>((entry & position_mask) - 1);
    const Key k = keys_[static_cast<std::size_t>(position)];
    if (key.number >= 0 ? k == key.number
                        : k < 0 && text_keys_[static_cast<std::size_t>(-k - 1)].view() == key.text) {
      return position;
    }
  }
}

void Array::unindex_last() {
  const int last_position = size() - 1;
  const Probe key = probe_at(last_position);
  // Only an entry naming this very position goes; an earlier duplicate stays.
  if (index_.covered > last_position && locate(key) == last_position) {
    const std::size_t mask = index_.slots.size() - 1;
    const std::uint64_t target = static_cast<std::uint64_t>(last_position + 1);
    std::size_t i = hash_of(key.number, key.text) & mask;
    while ((index_.slots[i] & position_mask) != target) i = (i + 1) & mask;
    // Backward-shift deletion keeps every probe chain unbroken.
    std::size_t j = i;
    for (;;) {
      j = (j + 1) & mask;
      if (index_.slots[j] == 0) break;
      const std::size_t home = (index_.slots[j] >> 32) & mask;
      const bool stays = i <= j ? (i < home && home <= j) : (i < home || home <= j);
      if (!stays) {
        index_.slots[i] = index_.slots[j];
        i = j;
      }
    }
    index_.slots[i] = 0;
    --index_.used;
  }
  index_.covered = std::min(index_.covered, last_position);
}

// ---- access ----

Dyn Array::at(int i) const {
  if (i < 0 || i >= size()) return Dyn();
  return values_[static_cast<std::size_t>(i)];
}

Text Array::key_at(int i) const {
  if (i < 0 || i >= size()) return Text();
  return key_text(i);
}

const Dyn& Array::get(int key) const {
  const Decimal text(key);
  const int p = locate(key >= 0 ? Probe{key, {}} : Probe{-1, text.view()});
  if (p >= 0) return values_[static_cast<std::size_t>(p)];
  status = true;
  return shared_nil();
}

const Dyn& Array::get(const Text& key) const {
  const int p = locate(probe_of(key.view()));
  if (p >= 0) return values_[static_cast<std::size_t>(p)];
  status = true;
  return shared_nil();
}

Dyn Array::lookup(const Text& key) const {
  const int p = locate(probe_of(key.view()));
  return p >= 0 ? values_[static_cast<std::size_t>(p)] : Dyn();
}

Dyn& Array::slot(int key) {
  const Decimal text(key);
  const Probe probe = key >= 0 ? Probe{key, {}} : Probe{-1, text.view()};
  int p = locate(probe);
  if (p < 0) {
    p = size();
    append_probe(probe, Dyn());
    if (key >= next_key_) next_key_ = after(key);
  }
  return values_[static_cast<std::size_t>(p)];
}

Dyn& Array::slot(const Text& key) {
  const Probe probe = probe_of(key.view());
  int p = locate(probe);
  if (p < 0) {
    p = size();
    append_probe(probe, Dyn());
  }
  return values_[static_cast<std::size_t>(p)];
}

void Array::set(int key, Dyn value) {
  const Decimal text(key);
  const int p = locate(key >= 0 ? Probe{key, {}} : Probe{-1, text.view()});
  if (p >= 0) {
    values_[static_cast<std::size_t>(p)] = std::move(value);
    return;
  }
  const Key chosen = std::max(key, next_key_);
  append_number(chosen, std::move(value));
  next_key_ = after(chosen);
}

void Array::set(const Text& key, Dyn value) {
  const Probe probe = probe_of(key.view());
  const int p = locate(probe);
  if (p >= 0) {
    values_[static_cast<std::size_t>(p)] = std::move(value);
  } else {
    append_probe(probe, std::move(value));
  }
}

int Array::find_key(const Text& key) const { return locate(probe_of(key.view())); }

int Array::find(const Dyn& value) const {
  for (int i = 0; i < size(); ++i) {
    if (values_[static_cast<std::size_t>(i)] == value) return i;
  }
  return -1;
}

// ---- adding and removing ----

void Array::push(Dyn value) {
  if (Pair* pair = value.pair()) {
    Pair taken = std::move(*pair);
    set(taken.key, std::move(taken.value));
    return;
  }
  append_number(next_key_, std::move(value));
  next_key_ = after(next_key_);
}

Dyn Array::pop() {
  cursor_ = 0;
  if (values_.empty()) return Dyn();
  unindex_last();
  Dyn taken = std::move(values_.back());
  values_.pop_back();
  if (keys_.back() < 0) text_keys_.pop_back();  // text keys are in element order
  keys_.pop_back();
  return taken;
}

Dyn Array::shift() {
  if (values_.empty()) return Dyn();
  Dyn taken = std::move(values_.front());
  splice_elements(0, 1, Array());
  renumber();
  return taken;
}

void Array::insert(int pos, const Dyn& value) {
  if (pos < 0) pos += size();
  if (pos < 0) return;
  if (pos >= size()) {
    if (const Array* a = value.array()) {
      merge(*a);
    } else {
      push(value);
    }
    return;
  }
  // A copy first: the value may live inside this Array.
  Array middle;
  if (const Array* a = value.array()) {
    middle = *a;
  } else {
    middle.append_number(insert_key, Dyn(value));
  }
  splice_elements(pos, pos, std::move(middle));
  renumber();
}

void Array::remove_at(int pos) {
  if (pos < 0 || pos >= size()) return;
  splice_elements(pos, pos + 1, Array());
  renumber();
}

void Array::remove_range(int first, int last) {
  const int n = size();
  if (first < 0) first = std::max(first + n, 0);
  if (last < 0) last += n;
  if (last >= n) last = n - 1;
  if (first <= last) splice_elements(first, last + 1, Array());
  renumber();
}

Array Array::slice(int first, int last, End bound) const {
  const int n = size();
  if (first < 0) first = std::max(first + n, 0);
  if (last < 0) last += n;
  if (bound == End::exclusive) --last;
  if (last >= n) last = n - 1;
  Array result;
  for (int i = first; i <= last; ++i) result.append_probe(probe_at(i), Dyn(values_[static_cast<std::size_t>(i)]));
  result.renumber();
  return result;
}

void Array::replace_range(int pos, int count, const Array& other) {
  Array source(other);  // the other may be this Array or live inside it
  if (values_.empty()) {
    *this = std::move(source);
    renumber();
    return;
  }
  const int n = size();
  if (pos < 0) pos = std::max(pos + n, 0);
  pos = std::min(pos, n);
  count = std::max(0, std::min(count, n - pos));
  splice_elements(pos, pos + count, std::move(source));
  renumber();
}

void Array::merge(const Array& other) {
  Array copy;
  const Array* source = &other;
  if (source == this) {
    copy = other;
    source = &copy;
  }
  for (int i = 0; i < source->size(); ++i) {
    const Dyn& value = source->values_[static_cast<std::size_t>(i)];
    if (source->numeric_key(i)) {
      append_number(next_key_, Dyn(value));
      next_key_ = after(next_key_);
    } else {
      const Probe key = source->probe_at(i);
      const int p = locate(key);
      if (p >= 0) {
        values_[static_cast<std::size_t>(p)] = value;
      } else {
        append_probe(key, Dyn(value));
      }
    }
  }
  renumber();
}

namespace {

// The values of an Array that holds only numbers and texts, kept so that
// Dyn equality against any of them is one hash lookup: numbers and
// number-like texts match by value, other texts by their bytes.
class ValueSet {
public:
  // False when some value is of another kind; then only a scan will do.
  bool fill(const Array& values) {
    for (int i = 0; i < values.size(); ++i) {
      const Dyn d = values.at(i);
      const std::uint32_t t = d.type();
      if (t == tag::integer || t == tag::number || t == tag::int64 ||
          (t == tag::text && d.text()->is_number())) {
        const double x = d.to_number();
        if (x == x) numbers_.insert(x == 0 ? 0.0 : x);
      } else if (t == tag::text) {
        texts_.insert(d.text()->str());
      } else {
        return false;
      }
    }
    return true;
  }

  bool matches(const Dyn& d) const {
    const std::uint32_t t = d.type();
    if (t == tag::integer || t == tag::number || t == tag::int64 ||
        (t == tag::text && d.text()->is_number())) {
      const double x = d.to_number();
      return numbers_.count(x == 0 ? 0.0 : x) != 0;
    }
    if (t == tag::text) return texts_.count(d.text()->str()) != 0;
    return false;
  }

private:
  std::unordered_set<double> numbers_;
  std::unordered_set<std::string> texts_;
};

}  // namespace

Array Array::difference(const Array& other) const {
  ValueSet set;
  const bool hashed = set.fill(other);
  Array result;
  for (int i = 0; i < size(); ++i) {
    const Dyn& value = values_[static_cast<std::size_t>(i)];
    const bool found = hashed ? set.matches(value) : other.any_equal_to(value);
    if (found) continue;
    if (numeric_key(i)) {
      result.push(value);
    } else {
      result.set(key_text(i), value);
    }
  }
  return result;
}

bool Array::any_equal_to(const Dyn& value) const {
  for (const Dyn& candidate : values_) {
    if (value == candidate) return true;
  }
  return false;
}

Array operator+(const Array& a, const Array& b) {
  Array result(a);
  result.merge(b);
  return result;
}

Array operator+(const Array& a, const Dyn& value) {
  Array result(a);
  result.push(value);
  return result;
}

// ---- the walk ----

const Dyn& Array::begin() {
  cursor_ = 0;
  return value();
}

const Dyn& Array::next() {
  if (cursor_ < size()) ++cursor_;
  if (cursor_ >= size()) cursor_ = size();
  return value();
}

const Dyn& Array::previous() {
  --cursor_;
  if (cursor_ < 0) {
    cursor_ = 0;
    return shared_nil();
  }
  return value();
}

const Dyn& Array::last() {
  cursor_ = std::max(size() - 1, 0);
  return value();
}

const Dyn& Array::value() const {
  if (cursor_ < 0 || cursor_ >= size()) return shared_nil();
  return values_[static_cast<std::size_t>(cursor_)];
}

Text Array::key() const {
  if (cursor_ < 0 || cursor_ >= size()) return Text();
  return key_text(cursor_);
}

int Array::index() const {
  if (cursor_ < 0 || cursor_ >= size()) return -1;
  const Key k = keys_[static_cast<std::size_t>(cursor_)];
  return k >= 0 ? k : text_keys_[static_cast<std::size_t>(-k - 1)].to_int();
}

// ---- whole-array operations ----

Array Array::reverse() const {
  Array result;
  for (int i = size() - 1; i >= 0; --i) result.push(values_[static_cast<std::size_t>(i)]);
  return result;
}

Array Array::reverse(bool keys_travel) const {
  Array result(*this);
  const int n = size();
  for (int i = 0; i < n / 2; ++i) {
    if (keys_travel) {
      result.swap_elements(i, n - 1 - i);
    } else {
      result.values_[static_cast<std::size_t>(i)].swap(result.values_[static_cast<std::size_t>(n - 1 - i)]);
    }
  }
  if (keys_travel) result.compact_text_keys();
  return result;
}

void Array::swap_elements(int i, int j) {
  std::swap(keys_[static_cast<std::size_t>(i)], keys_[static_cast<std::size_t>(j)]);
  values_[static_cast<std::size_t>(i)].swap(values_[static_cast<std::size_t>(j)]);
}

void Array::sort() {
  // Sorted side by side in one contiguous run, then put back.
  std::vector<Dyn> values(std::make_move_iterator(values_.begin()), std::make_move_iterator(values_.end()));
  auto at_position = [&values](int i) -> const Dyn& { return values[static_cast<std::size_t>(i)]; };
  quicksort(
      size(), [&](int i) { return Dyn(at_position(i)); },
      [&](int i, const Dyn& pivot) { return at_position(i) < pivot; },
      [&](int i, const Dyn& pivot) { return at_position(i) > pivot; },
      [&](int i, int j) { return at_position(i) < at_position(j); },
      [&](int i, int j) {
        std::swap(keys_[static_cast<std::size_t>(i)], keys_[static_cast<std::size_t>(j)]);
        values[static_cast<std::size_t>(i)].swap(values[static_cast<std::size_t>(j)]);
      });
  std::move(values.begin(), values.end(), values_.begin());
  compact_text_keys();
  forget_index();
  renumber();
}

void Array::sort_keys() {
  // The key texts travel beside their elements while the sort compares them.
  std::vector<Text> texts;
  texts.reserve(keys_.size());
  for (int i = 0; i < size(); ++i) texts.push_back(key_text(i));
  auto key_of = [&texts](int i) -> const Text& { return texts[static_cast<std::size_t>(i)]; };
  quicksort(
      size(), [&](int i) { return key_of(i); },
      [&](int i, const Text& pivot) { return key_of(i) < pivot; },
      [&](int i, const Text& pivot) { return key_of(i) > pivot; },
      [&](int i, int j) { return key_of(i) < key_of(j); },
      [&](int i, int j) {
        swap_elements(i, j);
        std::swap(texts[static_cast<std::size_t>(i)], texts[static_cast<std::size_t>(j)]);
      });
  compact_text_keys();
  forget_index();
}

double Array::min() const {
  double result = DBL_MAX;
  double value = 0;
  for (const Dyn& d : values_) {
    counted_value(d, value);
    result = std::min(result, value);
  }
  return result;
}

double Array::max() const {
  double result = 0;
  double value = 0;
  for (const Dyn& d : values_) {
    counted_value(d, value);
    result = std::max(result, value);
  }
  return result;
}

double Array::sum() const {
  double result = 0;
  double value = 0;
  for (const Dyn& d : values_) {
    if (counted_value(d, value)) result += value;
  }
  return result;
}

Text Array::join(const Text& separator) const {
  std::string result;
  for (const Dyn& d : values_) {
    const Text* t = d.text();
    if (t == nullptr) continue;
    if (!result.empty()) result += separator.view();
    result += t->view();
  }
  return Text(std::move(result));
}

Text Array::to_text() const {
  // Nested arrays wait on an explicit stack.
  struct Frame {
    const Array* array;
    int next;
  };
  std::string out = "(";
  std::vector<Frame> frames{{this, 0}};
  while (!frames.empty()) {
    Frame& f = frames.back();
    if (f.next >= f.array->size()) {
      out += ')';
      frames.pop_back();
      continue;
    }
    const int i = f.next++;
    if (i > 0) out += ", ";
    const Probe key = f.array->probe_at(i);
    out += key.number >= 0 ? Decimal(key.number).view() : key.text;
    out += ':';
    const Dyn& value = f.array->values_[static_cast<std::size_t>(i)];
    if (const Array* inner = value.array()) {
      out += '(';
      frames.push_back({inner, 0});
    } else {
      out += value.to_text().view();
    }
  }
  return Text(std::move(out));
}

void Array::dump(int depth) const {
  struct Frame {
    const Array* array;
    int next;
    int depth;
  };
  std::fputs("Array(\n", stdout);
  std::vector<Frame> frames{{this, 0, depth}};
  while (!frames.empty()) {
    Frame& f = frames.back();
    if (f.next >= f.array->size()) {
      write_indent(f.depth);
      std::fputs(")\n", stdout);
      frames.pop_back();
      continue;
    }
    const int i = f.next++;
    const int d = f.depth;
    write_indent(d);
    std::fputs(dump_key_indent, stdout);
    write_out(f.array->key_text(i).view());
    std::fputs(" : ", stdout);
    const Dyn& value = f.array->values_[static_cast<std::size_t>(i)];
    if (const Array* inner = value.array()) {
      std::fputs("Array(\n", stdout);
      frames.push_back({inner, 0, d + 1});
    } else {
      write_out(value.to_chars().view());
      std::fputc('\n', stdout);
      std::fflush(stdout);
    }
  }
}

void Array::load(const Text& path) {
  std::FILE* in = std::fopen(path.c_str(), "r");
  if (in == nullptr) return;
  clear();
  std::unique_ptr<char[]> line(new char[load_buffer_size]);
  while (!std::feof(in) && std::fgets(line.get(), load_buffer_size, in) != nullptr) {
    push(Dyn(line.get()));
  }
  std::fclose(in);
}

bool Array::save(const Text& path) const {
  std::FILE* out = std::fopen(path.c_str(), "w");
  if (out == nullptr) return false;
  bool written = true;
  for (const Dyn& d : values_) {
    const Text t = d.to_chars();
    written = std::fwrite(t.view().data(), 1, t.view().size(), out) == t.view().size() && written;
    written = std::fputc('\n', out) != EOF && written;
  }
  return std::fclose(out) == 0 && written;
}

bool operator==(const Array& a, const Array& b) {
  if (a.size() != b.size()) return false;
  for (int i = 0; i < a.size(); ++i) {
    const Array::Probe x = a.probe_at(i), y = b.probe_at(i);
    if (x.number != y.number || x.text != y.text) return false;
    if (!(a.values_[static_cast<std::size_t>(i)] == b.values_[static_cast<std::size_t>(i)])) return false;
  }
  return true;
}

// ---- free functions ----

Array range(int a, int b) {
  Array result;
  if (a <= b) {
    for (long long v = a; v <= b; ++v) result.push(Dyn(v));
  } else {
    for (long long v = a; v > b; --v) result.push(Dyn(v));
  }
  return result;
}

Array split(const Text& text, const Text& separator) {
  Array result;
  const std::string_view bytes = text.view();
  const int n = text.length();
  int pos = 0;
  // An empty separator would match everywhere without moving on.
  if (!separator.is_empty()) {
    while (true) {
      const int found = text.find(separator, pos);
      if (found < 0) break;
      result.push(Dyn(Text(bytes.substr(static_cast<std::size_t>(pos), static_cast<std::size_t>(found - pos)))));
      pos = found + separator.length();
      if (pos >= n) break;
    }
  }
  if (pos < n) result.push(Dyn(Text(bytes.substr(static_cast<std::size_t>(pos)))));
  return result;
}

void for_each(const std::function<void(const Dyn&)>& fn, const Array& a) {
  for (int i = 0; i < a.size(); ++i) fn(a.at(i));
}

void for_each(const std::function<void(const Dyn&, const Dyn&)>& fn, const Array& a, const Array& b) {
  const int n = std::min(a.size(), b.size());
  for (int i = 0; i < n; ++i) fn(a.at(i), b.at(i));
}

void for_each(const std::function<void(const Dyn&, const Dyn&, const Dyn&)>& fn, const Array& a,
              const Array& b, const Array& c) {
  const int n = std::min({a.size(), b.size(), c.size()});
  for (int i = 0; i < n; ++i) fn(a.at(i), b.at(i), c.at(i));
}

std::ostream& operator<<(std::ostream& out, const Array& a) { return out << a.to_text(); }

}  // namespace kit
