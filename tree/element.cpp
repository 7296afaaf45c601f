#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

#include "tree/dom.h"

namespace kit {

namespace {

// A length mark: seven bits a byte, low bits first, high bit on when more follow.
constexpr std::size_t max_mark_bytes = 10;

std::size_t mark(char* out, std::size_t n) {
  std::size_t used = 0;
  while (n >= 0x80) {
    out[used++] = static_cast<char>((n & 0x7F) | 0x80);
    n >>= 7;
  }
  out[used++] = static_cast<char>(n);
  return used;
}

// Reads the length mark at `at` and steps past it.
std::size_t get_length(const char* bytes, std::size_t& at) {
  std::size_t n = 0;
  for (int shift = 0;; shift += 7) {
    const auto byte = static_cast<unsigned char>(bytes[at++]);
    n |= static_cast<std::size_t>(byte & 0x7F) << shift;
    if ((byte & 0x80) == 0) return n;
  }
}

std::string_view segment(const char* bytes, std::size_t& at) {
  const std::size_t n = get_length(bytes, at);
  std::string_view view(bytes + at, n);
  at += n;
  return view;
}

void skip_segment(const char* bytes, std::size_t& at) { at += get_length(bytes, at); }

// The default locale's tolower, inline: it changes ASCII letters only.
char ascii_lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool equal_nocase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (ascii_lower(a[i]) != ascii_lower(b[i])) return false;
  }
  return true;
}

// The byte in front of every block: whether the element allocated it.
constexpr char borrowed_block = 0;
constexpr char own_block = 1;

// The empty element's block, shared by every empty element and never
// written: its kind byte, then an empty name and empty data (length marks of 0).
char empty_block[3] = {borrowed_block, 0, 0};
constexpr std::size_t empty_size = 2;

char* empty_bytes() { return empty_block + 1; }

// Room a named element gets from the start for a few short attributes, so
// that building one takes a single allocation.
constexpr std::size_t attribute_room = 48;

// Largest bytes of one read of a script file, its terminator not counted.
constexpr std::size_t script_read_limit = 65535;

}  // namespace

void Element::Release::operator()(char* bytes) const {
  if (bytes != empty_bytes() && bytes[-1] == own_block) delete[] (bytes - 1);
}

Element::Element()
    : bytes_(empty_bytes()), size_(empty_size), capacity_(0), cursor_(empty_size), count_(0),
      valid_(0) {}

Element::Element(const Text& name) : Element() {
  const std::string_view n = name.view();
  char name_mark[max_mark_bytes];
  const std::size_t name_mark_size = mark(name_mark, n.size());
  const std::size_t size = name_mark_size + n.size() + 1;
  if (size > max_element_bytes) return;
  make_room(size + attribute_room);
  char* out = bytes_.get();
  std::memcpy(out, name_mark, name_mark_size);
  if (!n.empty()) std::memcpy(out + name_mark_size, n.data(), n.size());
  out[size - 1] = 0;  // no data
  size_ = static_cast<std::uint32_t>(size);
  cursor_ = size_;
}

Element::Element(const Element& other) : Element() { *this = other; }

Element& Element::operator=(const Element& other) {
  if (this != &other) {
    *this = Element();
    if (other.size_ > empty_size) {
      make_room(other.size_);
      std::memcpy(bytes_.get(), other.bytes_.get(), other.size_);
      size_ = other.size_;
    }
    cursor_ = static_cast<std::uint32_t>(attributes_start());
    count_ = other.count_;
    valid_ = 0;
  }
  return *this;
}

Element::Element(Element&& other) noexcept : Element() { *this = std::move(other); }

Element& Element::operator=(Element&& other) noexcept {
  if (this != &other) {
    if (other.owns_bytes() || other.bytes_.get() == empty_bytes()) {
      bytes_ = std::move(other.bytes_);
      size_ = other.size_;
      capacity_ = other.capacity_;
      cursor_ = other.cursor_;
      valid_ = other.valid_;
    } else {
      // Bytes borrowed from a Dom's chunks stay there: they live only as long as that Dom.
      const std::uint32_t cursor = other.cursor_;
      const std::uint32_t valid = other.valid_;
      *this = static_cast<const Element&>(other);
      cursor_ = cursor;
      valid_ = valid;
    }
    count_ = other.count_;
    other.bytes_.reset(empty_bytes());
    other.size_ = empty_size;
    other.capacity_ = 0;
    other.cursor_ = empty_size;
    other.count_ = 0;
    other.valid_ = 0;
  }
  return *this;
}

std::string_view Element::name_view() const {
  std::size_t at = 0;
  return segment(bytes_.get(), at);
}

std::string_view Element::data_view() const {
  std::size_t at = 0;
  skip_segment(bytes_.get(), at);
  return segment(bytes_.get(), at);
}

Text Element::name() const { return Text(name_view()); }
Text Element::data() const { return Text(data_view()); }

std::size_t Element::attributes_start() const {
  std::size_t at = 0;
  skip_segment(bytes_.get(), at);
  skip_segment(bytes_.get(), at);
  return at;
}

AttributeView Element::attribute_at(std::size_t& at) const {
  AttributeView view;
  view.name = segment(bytes_.get(), at);
  view.value = segment(bytes_.get(), at);
  return view;
}

void Element::replace_segment(std::size_t at, std::string_view bytes) {
  std::size_t end = at;
  skip_segment(bytes_.get(), end);
  char bytes_mark[max_mark_bytes];
  const std::size_t mark_size = mark(bytes_mark, bytes.size());
  const std::size_t old_size = end - at;
  const std::size_t new_size = mark_size + bytes.size();
  const std::size_t grown = size_ - old_size + new_size;
  if (grown > max_element_bytes) return;
  // The replacement may lie in this element's own bytes: keep it apart first.
  const std::string replacement = std::string(bytes_mark, mark_size).append(bytes);
  make_room(grown);
  char* base = bytes_.get();
  std::memmove(base + at + new_size, base + end, size_ - end);
  std::memcpy(base + at, replacement.data(), new_size);
  size_ = static_cast<std::uint32_t>(grown);
  // Segments before the cursor attribute shift it.
  if (at < cursor_) cursor_ = static_cast<std::uint32_t>(cursor_ + new_size - old_size);
}

void Element::set_name(const Text& name) { replace_segment(0, name.view()); }

void Element::set_data(const Text& data) {
  std::size_t at = 0;
  skip_segment(bytes_.get(), at);
  replace_segment(at, data.view());
}

void Element::set_attribute(const Text& name, const Text& value) {
  append_attribute(name.view(), value.view());
}

void Element::append_attribute(std::string_view n, std::string_view v) {
  char name_mark[max_mark_bytes];
  char value_mark[max_mark_bytes];
  const std::size_t name_mark_size = mark(name_mark, n.size());
  const std::size_t value_mark_size = mark(value_mark, v.size());
  const std::size_t size = size_;
  const std::size_t grown = size + name_mark_size + n.size() + value_mark_size + v.size();
  if (grown > max_element_bytes) return;
  if (grown > capacity_) {
    // Views into the bytes about to move are kept apart first.
    const char* const begin = bytes_.get();
    const auto inside = [&](std::string_view x) {
      return !x.empty() && x.data() >= begin && x.data() < begin + size;
    };
    if (inside(n) || inside(v)) {
      const std::string name_copy(n), value_copy(v);
      append_attribute(name_copy, value_copy);
      return;
    }
    // A quarter more at least, for many attributes.
    make_room(std::max(grown, size + size / 4));
  }
  char* out = bytes_.get() + size;
  std::memcpy(out, name_mark, name_mark_size);
  out += name_mark_size;
  if (!n.empty()) std::memcpy(out, n.data(), n.size());
  out += n.size();
  std::memcpy(out, value_mark, value_mark_size);
  out += value_mark_size;
  if (!v.empty()) std::memcpy(out, v.data(), v.size());
  size_ = static_cast<std::uint32_t>(grown);
  ++count_;
}

void Element::make_room(std::size_t needed) {
  if (needed <= capacity_) return;
  // Up to what the allocator's block holds anyway (16-byte steps, 8 bytes of
  // its own, one for the kind byte), so a few short attributes fit one
  // small block.
  std::size_t room = ((needed + 9 + 15) & ~std::size_t{15}) - 9;
  if (room > max_element_bytes) room = max_element_bytes;
  std::unique_ptr<char[]> block(new char[room + 1]);
  block[0] = own_block;
  std::unique_ptr<char[], Release> bigger(block.release() + 1);
  std::memcpy(bigger.get(), bytes_.get(), size_);
  bytes_ = std::move(bigger);
  capacity_ = static_cast<std::uint32_t>(room);
}

void Element::reserve(std::size_t bytes) {
  if (bytes <= max_element_bytes) make_room(bytes);
}

void Element::add_attribute(const Attribute& attribute) {
  set_attribute(attribute.name, attribute.value);
}

bool Element::has_attribute(const Text& name) const {
  for (std::size_t at = attributes_start(); at < size_;) {
    if (equal_nocase(attribute_at(at).name, name.view())) return true;
  }
  return false;
}

Text Element::get_attribute(const Text& name) const {
  for (std::size_t at = attributes_start(); at < size_;) {
    const AttributeView attribute = attribute_at(at);
    if (equal_nocase(attribute.name, name.view())) return Text(attribute.value);
  }
  return Text();
}

void Element::set_attribute_value(const Text& name, const Text& value) {
  for (std::size_t at = attributes_start(); at < size_;) {
    const bool match = equal_nocase(segment(bytes_.get(), at), name.view());
    if (match) replace_segment(at, value.view());
    skip_segment(bytes_.get(), at);
  }
}

void Element::merge_from(const Element& other) {
  // Taken first: other may be this element.
  const std::size_t from = other.attributes_start();
  const std::string attributes(other.bytes_.get() + from, other.size_ - from);
  const std::uint32_t added = other.count_;
  set_data(Text(other.data_view()));
  if (size_ + attributes.size() > max_element_bytes) return;
  make_room(size_ + attributes.size());
  if (!attributes.empty()) std::memcpy(bytes_.get() + size_, attributes.data(), attributes.size());
  size_ = static_cast<std::uint32_t>(size_ + attributes.size());
  count_ += added;
}

void Element::reset_attribute_cursor() {
  cursor_ = static_cast<std::uint32_t>(attributes_start());
  valid_ = 1;
}

void Element::advance_attribute_cursor() {
  std::size_t at = cursor_;
  if (at < size_) attribute_at(at);
  if (at < size_) {
    cursor_ = static_cast<std::uint32_t>(at);
    valid_ = 1;
  } else {
    valid_ = 0;
  }
}

Text Element::cursor_attribute_name() const {
  std::size_t at = cursor_;
  return at < size_ ? Text(attribute_at(at).name) : Text();
}

Text Element::cursor_attribute_value() const {
  std::size_t at = cursor_;
  return at < size_ ? Text(attribute_at(at).value) : Text();
}

void ScriptBlock::add_line(const Text& line) { lines_.push_back(Line{line, level_}); }

bool ScriptBlock::read_file(const Text& path) {
  std::FILE* in = std::fopen(path.c_str(), "r");
  if (in == nullptr) return false;
  std::string line;
  int c;
  // Byte by byte, so that NUL bytes inside a line are kept too.
  while ((c = getc_unlocked(in)) != EOF) {
    line += static_cast<char>(c);
    if (c == '\n' || line.size() == script_read_limit) {
      add_line(Text(std::move(line)));
      line.clear();
    }
  }
  if (!line.empty()) add_line(Text(std::move(line)));
  const bool read_well = std::ferror(in) == 0;
  std::fclose(in);
  return read_well;
}

Text ScriptBlock::next_line() {
  if (!has_more()) return Text();
  return lines_[static_cast<std::size_t>(cursor_++)].text;
}

int ScriptBlock::level_at_cursor() const {
  return has_more() ? lines_[static_cast<std::size_t>(cursor_)].level : 0;
}

}  // namespace kit
