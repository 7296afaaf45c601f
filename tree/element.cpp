// SPDX-License-Identifier: MIT
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "tree/detail/marks.h"
#include "tree/dom.h"

namespace kit {

using detail::ElementBlock;

const std::array<ElementBlock::EmptyBlock, 2> ElementBlock::empty_blocks =
    ElementBlock::make_empty_blocks();

void ElementBlock::release_own(char* bytes) noexcept {
  std::unique_ptr<char[]>(bytes - own_front).reset();
}

std::uint32_t ElementBlock::walked_size() const {
  std::size_t at = 0;
  const std::size_t texts = 2 + 2 * std::size_t{count()};
  for (std::size_t text = 0; text < texts; ++text) detail::skip_text(bytes(), at);
  return static_cast<std::uint32_t>(at);
}

namespace {

using detail::get_text;
using detail::put_text;
using detail::skip_text;
using detail::text_size;
using OwnHeader = ElementBlock::OwnHeader;
constexpr std::size_t own_front = ElementBlock::own_front;

OwnHeader header_of(const char* bytes) {
  OwnHeader header;
  std::memcpy(&header, bytes - own_front, sizeof header);
  return header;
}

void set_header(char* bytes, const OwnHeader& header) {
  std::memcpy(bytes - own_front, &header, sizeof header);
}

// Calls visit(text) for every text of the block in order (name, data, then
// each attribute's name and value), words spelt out. Bounded by the count,
// so that a borrowed block, whose size is not kept, is read once.
template <typename Visit> void each_text(const ElementBlock& block, Visit&& visit) {
  const char* const bytes = block.bytes();
  std::size_t at = 0;
  for (std::size_t left = 2 + 2 * std::size_t{block.count()}; left != 0; --left) {
    visit(get_text(bytes, at));
  }
}

// Writes the block's texts in full at `out`, spelt_size() bytes.
void spell_out(char* out, const ElementBlock& block) {
  each_text(block, [&out](std::string_view text) { out = put_text(out, text); });
}

// A block with room for at least `needed` bytes: up to what the allocator's
// block holds anyway (16-byte steps, 8 bytes of its own), so that a few
// short attributes fit one small block.
std::unique_ptr<char[]> allocate(std::size_t needed, std::uint32_t& room) {
  std::size_t size = ((needed + own_front + 8 + 15) & ~std::size_t{15}) - own_front - 8;
  size = std::min<std::size_t>(size, Element::max_element_bytes);
  room = static_cast<std::uint32_t>(size);
  return std::unique_ptr<char[]>(new char[own_front + size + ElementBlock::read_slack]);
}

// Room a named element gets from the start for a few short attributes, so
// that building one takes a single allocation.
constexpr std::size_t attribute_room = 48;

// Largest bytes of one read of a script file, its terminator not counted.
constexpr std::size_t script_read_limit = 65535;

}  // namespace

Element::Element() = default;

Element::Element(const Text& name) : Element() { reset(name.view()); }

Element::Element(const Element& other) : Element() { *this = other; }

Element& Element::operator=(const Element& other) {
  if (this == &other) return *this;
  if (other.block_.is_empty_block()) {
    block_.clear();
    return *this;
  }
  const std::size_t size = other.spelt_size();
  std::uint32_t room = 0;
  std::unique_ptr<char[]> block = allocate(size, room);
  char* const out = block.get() + own_front;
  if (other.block_.is_own()) {
    std::memcpy(out, other.block_.bytes(), size);
  } else {
    spell_out(out, other.block_);
  }
  block_.adopt(std::move(block));
  block_.set_size(static_cast<std::uint32_t>(size));
  block_.set_count(other.block_.count());
  block_.set_valid(false);
  set_header(block_.own_bytes(), OwnHeader{room, static_cast<std::uint32_t>(attributes_start())});
  return *this;
}

Element::Element(Element&& other) noexcept : Element() { *this = std::move(other); }

Element& Element::operator=(Element&& other) noexcept {
  if (this == &other) return *this;
  if (other.block_.is_own() || other.block_.is_empty_block()) {
    block_ = std::move(other.block_);
    return *this;
  }
  // Bytes in a Dom's chunks live only as long as that Dom: they are copied.
  const bool valid = other.block_.valid();
  *this = static_cast<const Element&>(other);
  block_.set_valid(valid);
  other.block_.clear();
  return *this;
}

std::size_t Element::spelt_size() const {
  if (block_.is_own()) return block_.size_bytes();
  std::size_t size = 0;
  each_text(block_, [&size](std::string_view text) { size += text_size(text); });
  return size;
}

void Element::make_own(std::size_t needed) {
  std::uint32_t room = 0;
  if (block_.is_own()) {
    const OwnHeader old = header_of(block_.bytes());
    if (needed <= old.capacity) return;
    std::unique_ptr<char[]> block = allocate(needed, room);
    std::memcpy(block.get() + own_front, block_.bytes(), block_.size_bytes());
    block_.adopt(std::move(block));
    set_header(block_.own_bytes(), OwnHeader{room, old.cursor});
    return;
  }
  // The words are spelt out; a borrowed block's cursor is at the first attribute.
  const std::size_t size = spelt_size();
  std::unique_ptr<char[]> block = allocate(std::max(needed, size), room);
  spell_out(block.get() + own_front, block_);
  block_.adopt(std::move(block));
  block_.set_size(static_cast<std::uint32_t>(size));
  set_header(block_.own_bytes(), OwnHeader{room, static_cast<std::uint32_t>(attributes_start())});
}

std::size_t Element::cursor() const {
  return block_.is_own() ? header_of(block_.bytes()).cursor : attributes_start();
}

void Element::set_cursor(std::size_t at) {
  // Only own blocks move their cursor off the first attribute.
  if (!block_.is_own()) return;
  OwnHeader header = header_of(block_.bytes());
  header.cursor = static_cast<std::uint32_t>(at);
  set_header(block_.own_bytes(), header);
}

void Element::reset(std::string_view name) {
  const std::size_t size = text_size(name) + 1;  // and the mark of empty data
  if (size > max_element_bytes) return;
  std::string kept;
  const char* const bytes = block_.bytes();
  if (block_.is_own() && !name.empty() && name.data() < bytes + block_.size_bytes() &&
      name.data() + name.size() > bytes) {
    name = kept.assign(name);  // the name lies in the bytes about to be written
  }
  if (!block_.is_own() || header_of(bytes).capacity < size) {
    std::uint32_t room = 0;
    block_.adopt(allocate(std::min(size + attribute_room, max_element_bytes), room));
    set_header(block_.own_bytes(), OwnHeader{room, 0});
  }
  char* const out = put_text(block_.own_bytes(), name);
  *out = 0;  // no data
  block_.set_size(static_cast<std::uint32_t>(size));
  block_.set_count(0);
  block_.set_valid(false);
  set_cursor(size);
}

std::string_view Element::name_view() const {
  std::size_t at = 0;
  return get_text(block_.bytes(), at);
}

std::string_view Element::data_view() const {
  std::size_t at = 0;
  skip_text(block_.bytes(), at);
  return get_text(block_.bytes(), at);
}

Text Element::name() const { return Text(name_view()); }
Text Element::data() const { return Text(data_view()); }

std::size_t Element::attributes_start() const {
  std::size_t at = 0;
  skip_text(block_.bytes(), at);
  skip_text(block_.bytes(), at);
  return at;
}

AttributeView Element::attribute_at(std::size_t& at) const {
  AttributeView view;
  view.name = get_text(block_.bytes(), at);
  view.value = get_text(block_.bytes(), at);
  return view;
}

void Element::replace_segment(std::size_t at, std::string_view bytes) {
  std::size_t end = at;
  skip_text(block_.bytes(), end);
  const std::size_t old_size = end - at;
  const std::size_t new_size = text_size(bytes);
  const std::size_t size = block_.size_bytes();
  const std::size_t grown = size - old_size + new_size;
  if (grown > max_element_bytes) return;
  // The replacement may lie in this element's own bytes: keep it apart first.
  std::string replacement(new_size, '\0');
  put_text(&replacement[0], bytes);
  const std::size_t cursor_at = cursor();
  make_own(grown);
  char* const base = block_.own_bytes();
  std::memmove(base + at + new_size, base + end, size - end);
  std::memcpy(base + at, replacement.data(), new_size);
  block_.set_size(static_cast<std::uint32_t>(grown));
  // Segments before the cursor attribute shift it.
  set_cursor(at < cursor_at ? cursor_at + new_size - old_size : cursor_at);
}

void Element::set_name(const Text& name) {
  if (!block_.is_own()) make_own(0);
  replace_segment(0, name.view());
}

void Element::set_data(const Text& data) { replace_data(data.view()); }

void Element::replace_data(std::string_view data) {
  if (!block_.is_own()) make_own(0);
  std::size_t at = 0;
  skip_text(block_.bytes(), at);
  replace_segment(at, data);
}

void Element::set_attribute(const Text& name, const Text& value) {
  append_attribute(name.view(), value.view());
}

void Element::append_attribute(std::string_view n, std::string_view v) {
  if (block_.count() >= ElementBlock::max_attributes) return;
  if (!block_.is_own()) make_own(0);
  const std::size_t size = block_.size_bytes();
  const std::size_t grown = size + text_size(n) + text_size(v);
  if (grown > max_element_bytes) return;
  if (grown > header_of(block_.bytes()).capacity) {
    // Views into the bytes about to move are kept apart first.
    const char* const begin = block_.bytes();
    const auto inside = [&](std::string_view x) {
      return !x.empty() && x.data() >= begin && x.data() < begin + size;
    };
    if (inside(n) || inside(v)) {
      const std::string name_copy(n), value_copy(v);
      append_attribute(name_copy, value_copy);
      return;
    }
    // A quarter more at least, for many attributes.
    make_own(std::min<std::size_t>(std::max(grown, size + size / 4), max_element_bytes));
  }
  put_text(put_text(block_.own_bytes() + size, n), v);
  block_.set_size(static_cast<std::uint32_t>(grown));
  block_.set_count(block_.count() + 1);
}

void Element::reserve(std::size_t bytes) {
  if (bytes <= max_element_bytes) make_own(bytes);
}

void Element::add_attribute(const Attribute& attribute) {
  set_attribute(attribute.name, attribute.value);
}

std::optional<std::string_view> Element::find_attribute(std::string_view name) const {
  // Bounded by the count: a borrowed block's size is walked, not kept.
  std::size_t at = attributes_start();
  for (std::uint32_t left = block_.count(); left != 0; --left) {
    const AttributeView attribute = attribute_at(at);
    if (same_nocase(attribute.name, name)) return attribute.value;
  }
  return std::nullopt;
}

void Element::set_attribute_value(const Text& name, const Text& value) {
  // Without a match nothing changes, and a borrowed block stays where it is.
  if (!has_attribute(name)) return;
  if (!block_.is_own()) make_own(0);
  // The attributes are written anew in one pass: replacing the values one
  // at a time would move the rest of the block again for every match.
  const char* const bytes = block_.bytes();
  const std::size_t start = attributes_start();
  const std::size_t size = block_.size_bytes();
  const std::size_t cursor_at = cursor();
  std::size_t new_cursor = cursor_at;
  std::string attributes;
  std::string written_value(text_size(value.view()), '\0');
  put_text(&written_value[0], value.view());
  for (std::size_t at = start; at < size;) {
    if (at == cursor_at) new_cursor = start + attributes.size();
    const std::size_t name_at = at;
    const bool match = same_nocase(get_text(bytes, at), name.view());
    const std::size_t value_at = at;
    skip_text(bytes, at);
    attributes.append(bytes + name_at, value_at - name_at);
    if (match) {
      attributes.append(written_value);
    } else {
      attributes.append(bytes + value_at, at - value_at);
    }
  }
  const std::size_t grown = start + attributes.size();
  if (grown > max_element_bytes) return;
  if (cursor_at >= size) new_cursor = grown;
  make_own(grown);
  std::memcpy(block_.own_bytes() + start, attributes.data(), attributes.size());
  block_.set_size(static_cast<std::uint32_t>(grown));
  set_cursor(new_cursor);
}

void Element::merge_from(const Element& other) {
  // Taken first, words spelt out: other may be this element.
  std::string attributes;
  for (std::size_t at = other.attributes_start(), end = other.block_.size_bytes(); at < end;) {
    const std::string_view text = get_text(other.block_.bytes(), at);
    const std::size_t taken = attributes.size();
    attributes.resize(taken + text_size(text));
    put_text(&attributes[taken], text);
  }
  const std::uint32_t added = other.block_.count();
  set_data(Text(other.data_view()));
  const std::size_t size = block_.size_bytes();
  if (size + attributes.size() > max_element_bytes ||
      block_.count() + std::size_t{added} > ElementBlock::max_attributes) {
    return;
  }
  make_own(size + attributes.size());
  if (!attributes.empty()) std::memcpy(block_.own_bytes() + size, attributes.data(), attributes.size());
  block_.set_size(static_cast<std::uint32_t>(size + attributes.size()));
  block_.set_count(block_.count() + added);
}

void Element::reset_attribute_cursor() {
  set_cursor(attributes_start());
  block_.set_valid(true);
}

void Element::advance_attribute_cursor() {
  // A borrowed block's cursor stays on the first attribute: to move on, the
  // element takes its own.
  if (!block_.is_own() && block_.count() > 1) make_own(0);
  std::size_t at = cursor();
  const std::size_t size = block_.size_bytes();
  if (at < size) attribute_at(at);
  if (at < size) {
    set_cursor(at);
    block_.set_valid(true);
  } else {
    block_.set_valid(false);
  }
}

bool Element::attribute_at_cursor() const {
  // A borrowed block's cursor is on the first attribute, if it has one.
  return block_.is_own() ? cursor() < block_.size_bytes() : block_.count() != 0;
}

Text Element::cursor_attribute_name() const {
  std::size_t at = cursor();
  return attribute_at_cursor() ? Text(attribute_at(at).name) : Text();
}

Text Element::cursor_attribute_value() const {
  std::size_t at = cursor();
  return attribute_at_cursor() ? Text(attribute_at(at).value) : Text();
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
