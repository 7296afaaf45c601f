#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <string_view>

#include "runtime/command_line.h"
#include "runtime/files.h"
#include "runtime/option_line.h"
#include "runtime/xml_escape.h"
#include "varnel/ini.h"

namespace kit::varnel {

bool expand_mode = false;
bool light_output = false;
Dom ini_tree;
Text comment_prefix;
Array ini_lines;
ReadNotes read_notes;

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

// The parts of an option line, key and value trimmed; none when the line,
// its trailing comment cut off, has no "=" or ":".
std::optional<OptionLine> split_option(View line) {
  auto parts = split_option_line(line);
  if (parts) {
    parts->key = trim_view(parts->key);
    parts->value = trim_view(parts->value);
  }
  return parts;
}

// Builds the element "option" of a line into `option`.
void build_option(Element& option, const OptionLine& parts, View active) {
  option.reset(option_name.view());
  if (expand_mode) {
    option.append_attribute(name_attribute.view(), parts.key);
    option.append_attribute(value_attribute.view(), parts.value);
  } else {
    option.append_attribute(xml_name(parts.key, key_collides(parts.key, !parts.comment.empty())),
                            parts.value);
  }
  if (!parts.comment.empty()) option.append_attribute(comment_attribute.view(), parts.comment);
  if (!active.empty()) option.append_attribute(active_attribute.view(), active);
}

// The section name of a line holding "[": up to the first "]" after it, or
// to the end of the line; not trimmed.
View section_name(View line) {
  const std::size_t open = line.find('[');
  if (open == none) return View();
  std::size_t close = line.find(']', open);
  if (close == none) close = line.size();
  return line.substr(open + 1, close - open - 1);
}

void build_section(Element& section, View name) {
  if (!expand_mode) {
    section.reset(xml_name(name, section_collides(name)));
    return;
  }
  section.reset(title_name.view());
  section.append_attribute(name_attribute.view(), name);
}

std::size_t inline_comment_at(View line) {
  std::size_t separator = line.find('=');
  if (separator == none) separator = line.find(':');
  if (separator == none) return none;
  const std::size_t q1 = line.find('"', separator + 1);
  const std::size_t q2 = q1 == none ? none : line.find('"', q1 + 1);
  const std::size_t r = line.find(';', separator + 1);
  if (q2 != none && r != none && r > q1 && r < q2) return none;
  return r;
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

// Bytes the streams of a run buffer, rather than the default few pages.
constexpr std::size_t stream_buffer_size = std::size_t{1} << 16;

bool is_readable_file(std::FILE* f) {
  struct stat info {};
  return ::fstat(::fileno(f), &info) == 0 && !S_ISDIR(info.st_mode);
}

const Text blank_name("blank");
const Text line_name("line");
const Text data_attribute("data");

void build_comment(Element& comment, View text) {
  comment.reset(comment_attribute.view());
  comment.append_attribute(data_attribute.view(), text);
}

// One line, its trailing white space removed, into the tree; false when no
// rule took it.
bool read_line_by_rules(View line, Linker& linker) {
  Element& element = linker.element();
  if (line.empty()) {
    element.reset(blank_name.view());
    linker.link();
    return true;
  }
  const char first = line.front();
  if (first == '#' || first == ';') {
    if (comment_prefix.is_empty()) comment_prefix = Text(first);
    const View rest = line.substr(1);
    if (rest.empty() || rest.front() == '#' || rest.front() == ';' || rest.front() == ' ' ||
        rest.find_first_of("=:") == none) {
      build_comment(element, rest);
      linker.link();
      return true;
    }
    const auto parts = split_option(rest);
    if (!parts) return false;
    build_option(element, *parts, active_false.view());
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
      const View name = section_name(line);
      if (name.empty()) {
        section_failed = true;
        continue;
      }
      build_section(element, name);
      linker.link();
      return true;
    }
    if (option_failed) continue;
    const std::size_t p = inline_comment_at(line);
    if (p != none) {
      pending_comment = line.substr(p + 1);
      line = line.substr(0, p);
    }
    const auto parts = split_option(line);
    if (!parts) {
      option_failed = true;
      continue;
    }
    build_option(element, *parts, active_true.view());
    linker.link();
    if (pending_comment) {
      build_comment(element, *pending_comment);
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

Element make_blank() { return Element(blank_name); }

Element make_comment(const Text& text) {
  Element comment;
  build_comment(comment, text.view());
  return comment;
}

Element parse_section(const Text& line) {
  Element section;
  build_section(section, section_name(line.view()));
  return section;
}

int find_inline_comment(const Text& line) {
  const std::size_t p = inline_comment_at(line.view());
  return p == none ? -1 : static_cast<int>(p);
}

std::optional<Element> parse_option(const Text& line) {
  const auto parts = split_option(line.view());
  if (!parts) return std::nullopt;
  Element option;
  build_option(option, *parts, View());
  return option;
}

bool read_ini(const Text& source, Dom& tree) {
  tree.reset();
  comment_prefix = Text();
  read_notes = ReadNotes();
  File owned;
  std::FILE* in = stdin;
  if (!is_standard_stream(source)) {
    owned = open_file(source.c_str(), "r");
    in = owned.get();
  }
  // A directory opens for reading on POSIX hosts but has no lines to give.
  if (!in || !is_readable_file(in)) return false;
  // A large source is read in few system calls.
  std::setvbuf(in, nullptr, _IOFBF, stream_buffer_size);

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
