#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

#include "tree/dom.h"

namespace kit {

namespace {

// Names the converters give nearly every element, each stored as one byte:
// in a large tree they would otherwise take half of an element's bytes.
constexpr std::string_view common_words[] = {"option", "active", "true",    "false",
                                             "name",   "value",  "comment", "data",
                                             "blank",  "title",  "document"};
constexpr std::size_t common_word_count = sizeof common_words / sizeof common_words[0];

// The common word the text is, or common_word_count.
std::size_t common_word(std::string_view text) {
  if (text.size() < 4 || text.size() > 8) return common_word_count;
  std::size_t word = 0;
  while (word < common_word_count && common_words[word] != text) ++word;
  return word;
}

// A mark: seven bits a byte, low bits first, high bit on when more follow.
// Its value is a common word's number, or the length of the bytes that follow
// plus common_word_count.
std::size_t put_mark(char* out, std::size_t n) {
  std::size_t used = 0;
  while (n >= 0x80) {
    out[used++] = static_cast<char>((n & 0x7F) | 0x80);
    n >>= 7;
  }
  out[used++] = static_cast<char>(n);
  return used;
}

std::size_t mark_size(std::size_t n) {
  std::size_t size = 1;
  for (; n >= 0x80; n >>= 7) ++size;
  return size;
}

// The mark for a text and how many of its bytes follow the mark.
struct Mark {
  std::size_t value;
  std::size_t size;
  std::size_t text_bytes;
  explicit Mark(std::string_view text) {
    const std::size_t word = common_word(text);
    text_bytes = word < common_word_count ? 0 : text.size();
    value = word < common_word_count ? word : text.size() + common_word_count;
    size = mark_size(value);
  }
  std::size_t total() const { return size + text_bytes; }
  // Writes the mark and the text's bytes; returns the end.
  char* write(char* out, std::string_view text) const {
    out += put_mark(out, value);
    if (text_bytes != 0) std::memcpy(out, text.data(), text_bytes);
    return out + text_bytes;
  }
};

// Reads the mark at `at` and steps past it.
std::size_t get_mark(const char* bytes, std::size_t& at) {
  std::size_t n = 0;
  for (int shift = 0;; shift += 7) {
    const auto byte = static_cast<unsigned char>(bytes[at++]);
    n |= static_cast<std::size_t>(byte & 0x7F) << shift;
    if ((byte & 0x80) == 0) return n;
  }
}

std::string_view segment(const char* bytes, std::size_t& at) {
  const std::size_t n = get_mark(bytes, at);
  if (n < common_word_count) return common_words[n];
  std::string_view view(bytes + at, n - common_word_count);
  at += n - common_word_count;
  return view;
}

void skip_segment(const char* bytes, std::size_t& at) {
  const std::size_t n = get_mark(bytes, at);
  if (n >= common_word_count) at += n - common_word_count;
}

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

// What an own block keeps in front of its kind byte.
struct OwnHeader {
  std::uint32_t capacity;
  std::uint32_t cursor;
};
constexpr std::size_t own_front = sizeof(OwnHeader) + 1;

OwnHeader header_of(const char* bytes) {
  OwnHeader header;
  std::memcpy(&header, bytes - own_front, sizeof header);
  return header;
}

void set_header(char* bytes, const OwnHeader& header) {
  std::memcpy(bytes - own_front, &header, sizeof header);
}

// The empty element's block, shared by every empty element and never
// written: its kind byte, then an empty name and empty data.
char empty_block[3] = {borrowed_block, static_cast<char>(common_word_count),
                       static_cast<char>(common_word_count)};

constexpr std::size_t empty_size = sizeof empty_block - 1;

char* empty_bytes() { return empty_block + 1; }

// Room a named element gets from the start for a few short attributes, so
// that building one takes a single allocation.
constexpr std::size_t attribute_room = 48;

// Largest bytes of one read of a script file, its terminator not counted.
constexpr std::size_t script_read_limit = 65535;

}  // namespace

void Element::Release::operator()(char* bytes) const {
  if (bytes != empty_bytes() && bytes[-1] == own_block) delete[] (bytes - own_front);
}

Element::Element() : bytes_(empty_bytes()), size_(empty_size), count_(0), valid_(0) {}

Element::Element(const Text& name) : Element() { reset(name.view()); }

Element::Element(const Element& other) : Element() { *this = other; }

Element& Element::operator=(const Element& other) {
  if (this != &other) {
    *this = Element();
    if (other.bytes_.get() != empty_bytes()) {
      make_room(other.size_);
      std::memcpy(bytes_.get(), other.bytes_.get(), other.size_);
      size_ = other.size_;
      set_cursor(attributes_start());
    }
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
      valid_ = other.valid_;
    } else {
      // Bytes borrowed from a Dom's chunks stay there: they live only as
      // long as that Dom. Their cursor is at the first attribute, as a
      // copy's is.
      const std::uint32_t valid = other.valid_;
      *this = static_cast<const Element&>(other);
      valid_ = valid;
    }
    count_ = other.count_;
    other.bytes_.reset(empty_bytes());
    other.size_ = empty_size;
    other.count_ = 0;
    other.valid_ = 0;
  }
  return *this;
}

bool Element::owns_bytes() const { return bytes_.get()[-1] == own_block; }

std::size_t Element::capacity() const {
  return owns_bytes() ? header_of(bytes_.get()).capacity : 0;
}

std::size_t Element::cursor() const {
  return owns_bytes() ? header_of(bytes_.get()).cursor : attributes_start();
}

void Element::set_cursor(std::size_t at) {
  if (!owns_bytes()) {
    if (at == attributes_start()) return;
    make_room(size_);
  }
  set_header(bytes_.get(), OwnHeader{static_cast<std::uint32_t>(capacity()),
                                     static_cast<std::uint32_t>(at)});
}

void Element::borrow(char* place, const Element& from) {
  place[0] = borrowed_block;
  std::memcpy(place + 1, from.bytes_.get(), from.size_);
  size_ = from.size_;
  count_ = from.count_;
  bytes_.reset(place + 1);
}

std::size_t Element::size_with_data(std::string_view data) const {
  std::size_t data_start = 0;
  skip_segment(bytes_.get(), data_start);
  std::size_t data_end = data_start;
  skip_segment(bytes_.get(), data_end);
  return size_ - (data_end - data_start) + Mark(data).total();
}

void Element::rebuild_with_data(char* place, std::string_view data) {
  const char* const old = bytes_.get();
  std::size_t data_start = 0;
  skip_segment(old, data_start);
  std::size_t data_end = data_start;
  skip_segment(old, data_end);
  const Mark data_mark(data);
  const std::size_t attributes = size_ - data_end;
  const std::size_t new_data_end = data_start + data_mark.total();
  char* const out = place + 1;
  // The attributes first: in place they may move either way over themselves.
  std::memmove(out + new_data_end, old + data_end, attributes);
  if (out != old) std::memcpy(out, old, data_start);
  data_mark.write(out + data_start, data);
  place[0] = borrowed_block;
  size_ = static_cast<std::uint32_t>(new_data_end + attributes);
  bytes_.reset(out);
}

void Element::reset(std::string_view name) {
  const Mark name_mark(name);
  const std::size_t size = name_mark.total() + 1;
  if (size > max_element_bytes) return;
  std::string kept;
  if (owns_bytes() && name_mark.text_bytes != 0 && name.data() < bytes_.get() + size_ &&
      name.data() + name.size() > bytes_.get()) {
    name = kept.assign(name);  // the name lies in the bytes about to be written
  }
  size_ = 0;
  make_room(size + attribute_room);
  char* out = name_mark.write(bytes_.get(), name);
  *out = static_cast<char>(common_word_count);  // no data
  size_ = static_cast<std::uint32_t>(size);
  count_ = 0;
  valid_ = 0;
  set_cursor(size);
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
  const Mark bytes_mark(bytes);
  const std::size_t old_size = end - at;
  const std::size_t new_size = bytes_mark.total();
  const std::size_t grown = size_ - old_size + new_size;
  if (grown > max_element_bytes) return;
  // The replacement may lie in this element's own bytes: keep it apart first.
  std::string replacement(new_size, '\0');
  bytes_mark.write(&replacement[0], bytes);
  const std::size_t cursor_at = cursor();
  make_room(grown);
  char* base = bytes_.get();
  std::memmove(base + at + new_size, base + end, size_ - end);
  std::memcpy(base + at, replacement.data(), new_size);
  size_ = static_cast<std::uint32_t>(grown);
  // Segments before the cursor attribute shift it.
  set_cursor(at < cursor_at ? cursor_at + new_size - old_size : cursor_at);
}

void Element::set_name(const Text& name) { replace_segment(0, name.view()); }

void Element::set_data(const Text& data) { replace_data(data.view()); }

void Element::replace_data(std::string_view data) {
  std::size_t at = 0;
  skip_segment(bytes_.get(), at);
  replace_segment(at, data);
}

void Element::set_attribute(const Text& name, const Text& value) {
  append_attribute(name.view(), value.view());
}

void Element::append_attribute(std::string_view n, std::string_view v) {
  const Mark name_mark(n);
  const Mark value_mark(v);
  const std::size_t size = size_;
  const std::size_t grown = size + name_mark.total() + value_mark.total();
  if (grown > max_element_bytes) return;
  if (grown > capacity()) {
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
  value_mark.write(name_mark.write(bytes_.get() + size, n), v);
  size_ = static_cast<std::uint32_t>(grown);
  ++count_;
}

void Element::make_room(std::size_t needed) {
  const bool own = owns_bytes();
  const OwnHeader old = own ? header_of(bytes_.get()) : OwnHeader{0, 0};
  if (needed <= old.capacity) return;
  // Up to what the allocator's block holds anyway (16-byte steps, 8 bytes of
  // its own), so a few short attributes fit one small block.
  std::size_t room = ((needed + own_front + 8 + 15) & ~std::size_t{15}) - own_front - 8;
  if (room > max_element_bytes) room = max_element_bytes;
  const std::uint32_t cursor_at = own ? old.cursor : static_cast<std::uint32_t>(attributes_start());
  std::unique_ptr<char[]> block(new char[own_front + room]);
  block[own_front - 1] = own_block;
  std::unique_ptr<char[], Release> bigger(block.release() + own_front);
  set_header(bigger.get(), OwnHeader{static_cast<std::uint32_t>(room), cursor_at});
  std::memcpy(bigger.get(), bytes_.get(), size_);
  bytes_ = std::move(bigger);
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
  set_cursor(attributes_start());
  valid_ = 1;
}

void Element::advance_attribute_cursor() {
  std::size_t at = cursor();
  if (at < size_) attribute_at(at);
  if (at < size_) {
    set_cursor(at);
    valid_ = 1;
  } else {
    valid_ = 0;
  }
}

Text Element::cursor_attribute_name() const {
  std::size_t at = cursor();
  return at < size_ ? Text(attribute_at(at).name) : Text();
}

Text Element::cursor_attribute_value() const {
  std::size_t at = cursor();
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
