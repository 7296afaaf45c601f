// SPDX-License-Identifier: MIT
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "runtime/detail/driver.h"
#include "runtime/files.h"
#include "runtime/option_line.h"
#include "runtime/xml_escape.h"
#include "varnel/ini.h"

namespace kit::varnel {

bool expand_mode = false;
Dom ini_tree;
Text comment_prefix;
Array ini_lines;
RunNotes read_notes;

namespace {

using View = std::string_view;
constexpr std::size_t none = View::npos;

// The names the reader gives, made once rather than for every line.
const Text option_name("option");
const Text title_name("title");
const Text name_attribute("name");
const Text value_attribute("value");
const Text comment_attribute("comment");
const Text active_attribute("active");
const Text active_true("true");
const Text active_false("false");
const Text blank_name("blank");
const Text data_attribute("data");
const Text line_name("line");

// Room for a name being encoded; the reader runs once at a time.
std::string name_room;

// In the default mode a key or section name becomes an XML name: encoded
// when it cannot stand as one, or, with `collides`, when it would equal a
// name the reader gives itself.
View xml_name(View name, bool collides) {
  const View written = encode_xml_name(name, name_room, collides);
  if (written.data() != name.data()) read_notes.names_escaped = true;
  return written;
}

// A key that would repeat an attribute the reader adds after it (looked up
// with case ignored), or declare a namespace. Most keys differ in length.
bool key_collides(View key, bool has_comment) {
  switch (key.size()) {
    case 5: return key == "xmlns";
    case 6: return same_nocase(key, "active");
    case 7: return has_comment && same_nocase(key, "comment");
    default: return false;
  }
}

// A section that would read back as another kind of line.
bool section_collides(View name) {
  switch (name.size()) {
    case 4: return name == "line";
    case 5: return name == "title" || name == "blank";
    case 6: return name == "option";
    case 7: return name == "comment";
    default: return false;
  }
}

// Links each line element after the previous one; the first goes below the
// root. The elements are built in one reused element, which the tree copies.
class Linker {
public:
  explicit Linker(Dom& tree) : tree_(tree) {}
  Element& element() { return element_; }
  void link() {
    if (first_) {
      tree_.add_element_child(element_);
      first_ = false;
    } else {
      tree_.add_element_next(element_);
    }
  }
  // The element, built anew, below the last one linked.
  void link_below() {
    tree_.add_element_child(element_);
    tree_.up();
  }

private:
  Dom& tree_;
  Element element_;
  bool first_ = true;
};

// Which builder a line gets, as read_ini decides it; false when none takes
// it. The line has its trailing white space removed.
bool read_line_by_rules(View line, Linker& linker) {
  Element& element = linker.element();
  if (line.empty()) {
    make_blank(element);
    linker.link();
    return true;
  }
  const char first = line.front();
  if (first == '#' || first == ';') {
    if (comment_prefix.is_empty()) comment_prefix = Text(first);
    const View rest = line.substr(1);
    // A commented-out option: a separator, and no second mark or space.
    const bool commented_out = !rest.empty() && rest.front() != '#' && rest.front() != ';' &&
                               rest.front() != ' ' && rest.find_first_of("=:") != none;
    if (!commented_out) {
      make_comment(rest, element);
    } else if (parse_option(rest, element)) {
      element.append_attribute(active_attribute.view(), active_false.view());
    } else {
      return false;
    }
    linker.link();
    return true;
  }

  // The line is scanned for the first character that makes it a section or
  // an option. Once an attempt has failed, a later one on the same line
  // fails too (neither depends on the position, and an option attempt cuts
  // the line at most once), so each is made only once.
  std::optional<View> pending_comment;
  bool section_failed = false;
  bool option_failed = false;
  for (std::size_t position = 0; position < line.size(); ++position) {
    const char c = line[position];
    if (c == ' ') continue;
    if (c == '[') {
      if (section_failed) continue;
      if (!parse_section(line, element)) {
        section_failed = true;
        continue;
      }
      linker.link();
      return true;
    }
    if (option_failed) continue;
    const std::size_t p = find_inline_comment(line);
    if (p != none) {
      pending_comment = line.substr(p + 1);
      line = line.substr(0, p);
    }
    if (!parse_option(line, element)) {
      option_failed = true;
      continue;
    }
    element.append_attribute(active_attribute.view(), active_true.view());
    linker.link();
    if (pending_comment) {
      make_comment(*pending_comment, element);
      linker.link_below();
    }
    return true;
  }
  return false;
}

// One line into the tree: by its rule, or else kept whole as the element
// "line", so that nothing of the source is lost.
void read_line_into(View line, Linker& linker, long line_number) {
  if (read_line_by_rules(line, linker)) return;
  Element& element = linker.element();
  element.reset(line_name.view());
  element.append_attribute(data_attribute.view(), line);
  linker.link();
  if (read_notes.kept_lines++ == 0) read_notes.first_kept_line = line_number;
}

}  // namespace

void make_blank(Element& into) { into.reset(blank_name.view()); }

void make_comment(std::string_view text, Element& into) {
  into.reset(comment_attribute.view());
  into.append_attribute(data_attribute.view(), text);
}

bool parse_section(std::string_view line, Element& into) {
  const std::size_t open = line.find('[');
  if (open == none) return false;
  std::size_t close = line.find(']', open);
  if (close == none) close = line.size();
  const View name = line.substr(open + 1, close - open - 1);
  if (name.empty()) return false;
  if (expand_mode) {
    into.reset(title_name.view());
    into.append_attribute(name_attribute.view(), name);
  } else {
    into.reset(xml_name(name, section_collides(name)));
  }
  return true;
}

std::size_t find_inline_comment(std::string_view line) {
  // This rule cuts first; split_option_line's, from the start of the line,
  // cuts what is left: see its header.
  std::size_t separator = line.find('=');
  if (separator == none) separator = line.find(':');
  if (separator == none) return none;
  const std::size_t q1 = line.find('"', separator + 1);
  const std::size_t q2 = q1 == none ? none : line.find('"', q1 + 1);
  const std::size_t r = line.find(';', separator + 1);
  if (q2 != none && r != none && r > q1 && r < q2) return none;
  return r;
}

bool parse_option(std::string_view line, Element& into) {
  const auto parts = split_option_line(line);
  if (!parts) return false;
  const View key = trim_view(parts->key);
  const View value = trim_view(parts->value);
  into.reset(option_name.view());
  if (expand_mode) {
    into.append_attribute(name_attribute.view(), key);
    into.append_attribute(value_attribute.view(), value);
  } else {
    into.append_attribute(xml_name(key, key_collides(key, !parts->comment.empty())), value);
  }
  if (!parts->comment.empty()) into.append_attribute(comment_attribute.view(), parts->comment);
  return true;
}

bool read_ini(const Text& source, Dom& tree) {
  tree.reset();
  comment_prefix = Text();
  read_notes = RunNotes();
  File owned;
  std::FILE* in = open_source(source, owned);
  if (in == nullptr) return false;

  Linker linker(tree);
  LineReader reader(in, NulBytes::drop, Decoding::source);
  View raw;
  long line_number = 0;
  bool at_end = false;
  while (!at_end) {
    // The read that meets the end gives one more, empty line, as a final
    // line feed leaves one behind: it becomes the closing "blank".
    if (!reader.next(raw)) {
      raw = View();
      at_end = true;
    } else if (raw.back() != '\n') {
      at_end = true;
    }
    read_line_into(rtrim_view(raw), linker, ++line_number);
  }
  read_notes.encoding = reader.encoding();
  return !std::ferror(in);
}

}  // namespace kit::varnel
