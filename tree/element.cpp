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

void put_length(std::string& out, std::size_t n) {
  char bytes[max_mark_bytes];
  out.append(bytes, mark(bytes, n));
}

// Reads the length mark at `at` and steps past it.
std::size_t get_length(const std::string& bytes, std::size_t& at) {
  std::size_t n = 0;
  for (int shift = 0;; shift += 7) {
    const auto byte = static_cast<unsigned char>(bytes[at++]);
    n |= static_cast<std::size_t>(byte & 0x7F) << shift;
    if ((byte & 0x80) == 0) return n;
  }
}

std::string_view segment(const std::string& bytes, std::size_t& at) {
  const std::size_t n = get_length(bytes, at);
  std::string_view view(bytes.data() + at, n);
  at += n;
  return view;
}

void skip_segment(const std::string& bytes, std::size_t& at) { at += get_length(bytes, at); }

std::string marked(std::string_view text) {
  std::string out;
  put_length(out, text.size());
  out.append(text);
  return out;
}

bool equal_nocase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

// An empty name and empty data: each is a length mark of 0.
constexpr char empty_element[2] = {0, 0};

// Largest bytes of one read of a script file, its terminator not counted.
constexpr std::size_t script_read_limit = 65535;

}  // namespace

Element::Element()
    : bytes_(empty_element, sizeof empty_element),
      cursor_(sizeof empty_element),
      count_(0),
      valid_(0) {}

Element::Element(const Text& name) : cursor_(0), count_(0), valid_(0) {
  put_length(bytes_, name.view().size());
  bytes_.append(name.view());
  bytes_ += '\0';  // no data
  cursor_ = static_cast<std::uint32_t>(bytes_.size());
}

Element::Element(const Element& other)
    : bytes_(other.bytes_),
      cursor_(static_cast<std::uint32_t>(other.attributes_start())),
      count_(other.count_),
      valid_(0) {}

Element& Element::operator=(const Element& other) {
  if (this != &other) {
    bytes_ = other.bytes_;
    cursor_ = static_cast<std::uint32_t>(attributes_start());
    count_ = other.count_;
    valid_ = 0;
  }
  return *this;
}

Element::Element(Element&& other) noexcept : Element() { *this = std::move(other); }

Element& Element::operator=(Element&& other) noexcept {
  if (this != &other) {
    bytes_.swap(other.bytes_);
    cursor_ = other.cursor_;
    count_ = other.count_;
    valid_ = other.valid_;
    other.bytes_ = std::string(empty_element, sizeof empty_element);
    other.cursor_ = sizeof empty_element;
    other.count_ = 0;
    other.valid_ = 0;
  }
  return *this;
}

std::string_view Element::name_view() const {
  std::size_t at = 0;
  return segment(bytes_, at);
}

std::string_view Element::data_view() const {
  std::size_t at = 0;
  skip_segment(bytes_, at);
  return segment(bytes_, at);
}

Text Element::name() const { return Text(name_view()); }
Text Element::data() const { return Text(data_view()); }

std::size_t Element::attributes_start() const {
  std::size_t at = 0;
  skip_segment(bytes_, at);
  skip_segment(bytes_, at);
  return at;
}

AttributeView Element::attribute_at(std::size_t& at) const {
  AttributeView view;
  view.name = segment(bytes_, at);
  view.value = segment(bytes_, at);
  return view;
}

void Element::replace_segment(std::size_t at, std::string_view bytes) {
  std::size_t end = at;
  skip_segment(bytes_, end);
  const std::string replacement = marked(bytes);
  if (bytes_.size() - (end - at) + replacement.size() > max_element_bytes) return;
  bytes_.replace(at, end - at, replacement);
  // Segments before the cursor attribute shift it.
  if (at < cursor_) cursor_ = static_cast<std::uint32_t>(cursor_ + replacement.size() - (end - at));
}

void Element::set_name(const Text& name) { replace_segment(0, name.view()); }

void Element::set_data(const Text& data) {
  std::size_t at = 0;
  skip_segment(bytes_, at);
  replace_segment(at, data.view());
}

void Element::set_attribute(const Text& name, const Text& value) {
  const std::string_view n = name.view();
  const std::string_view v = value.view();
  char name_mark[max_mark_bytes];
  char value_mark[max_mark_bytes];
  const std::size_t name_mark_size = mark(name_mark, n.size());
  const std::size_t value_mark_size = mark(value_mark, v.size());
  const std::size_t size = bytes_.size();
  const std::size_t grown = size + name_mark_size + n.size() + value_mark_size + v.size();
  if (grown > max_element_bytes) return;
  if (grown > bytes_.capacity()) make_room(grown);
  bytes_.resize(grown);
  char* out = &bytes_[size];
  std::memcpy(out, name_mark, name_mark_size);
  out += name_mark_size;
  std::memcpy(out, n.data(), n.size());
  out += n.size();
  std::memcpy(out, value_mark, value_mark_size);
  out += value_mark_size;
  std::memcpy(out, v.data(), v.size());
  ++count_;
}

void Element::make_room(std::size_t needed) {
  // A quarter more at least, for many attributes; then up to what the
  // allocator's block holds anyway (16-byte steps, 8 bytes of its own, one
  // for the terminator), so a few short attributes fit one small block.
  std::size_t room = std::max(needed, bytes_.size() + bytes_.size() / 4);
  room = ((room + 9 + 15) & ~std::size_t{15}) - 9;
  // A fresh string takes exactly the room asked for; growing one in place
  // may double it.
  std::string bigger;
  bigger.reserve(room);
  bigger.append(bytes_);
  bytes_.swap(bigger);
}

void Element::add_attribute(const Attribute& attribute) {
  set_attribute(attribute.name, attribute.value);
}

bool Element::has_attribute(const Text& name) const {
  for (std::size_t at = attributes_start(); at < bytes_.size();) {
    if (equal_nocase(attribute_at(at).name, name.view())) return true;
  }
  return false;
}

Text Element::get_attribute(const Text& name) const {
  for (std::size_t at = attributes_start(); at < bytes_.size();) {
    const AttributeView attribute = attribute_at(at);
    if (equal_nocase(attribute.name, name.view())) return Text(attribute.value);
  }
  return Text();
}

void Element::set_attribute_value(const Text& name, const Text& value) {
  for (std::size_t at = attributes_start(); at < bytes_.size();) {
    const bool match = equal_nocase(segment(bytes_, at), name.view());
    if (match) replace_segment(at, value.view());
    skip_segment(bytes_, at);
  }
}

void Element::merge_from(const Element& other) {
  // Taken first: other may be this element.
  const std::string attributes = other.bytes_.substr(other.attributes_start());
  const std::uint32_t added = other.count_;
  set_data(Text(other.data_view()));
  if (bytes_.size() + attributes.size() > max_element_bytes) return;
  bytes_ += attributes;
  count_ += added;
}

void Element::reset_attribute_cursor() {
  cursor_ = static_cast<std::uint32_t>(attributes_start());
  valid_ = 1;
}

void Element::advance_attribute_cursor() {
  std::size_t at = cursor_;
  if (at < bytes_.size()) attribute_at(at);
  if (at < bytes_.size()) {
    cursor_ = static_cast<std::uint32_t>(at);
    valid_ = 1;
  } else {
    valid_ = 0;
  }
}

Text Element::cursor_attribute_name() const {
  std::size_t at = cursor_;
  return at < bytes_.size() ? Text(attribute_at(at).name) : Text();
}

Text Element::cursor_attribute_value() const {
  std::size_t at = cursor_;
  return at < bytes_.size() ? Text(attribute_at(at).value) : Text();
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
