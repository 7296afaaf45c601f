#include <sys/stat.h>

#include <cstdio>
#include <string_view>

#include "runtime/files.h"
#include "varnel/ini.h"

namespace kit {

bool expand_mode = false;
bool light_output = false;
Dom ini_tree;
Text comment_prefix;
Array ini_lines;

namespace {

// Links each line element after the previous one; the first goes below the root.
class Linker {
public:
  explicit Linker(Dom& tree) : tree_(tree) {}
  void link(Element element) {
    if (first_) {
      tree_.add_element_child(std::move(element));
      first_ = false;
    } else {
      tree_.add_element_next(std::move(element));
    }
  }

private:
  Dom& tree_;
  bool first_ = true;
};

bool is_name_start(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':' || c >= 0x80;
}

bool is_name_char(unsigned char c) {
  return is_name_start(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

// Bytes above ASCII are taken as name characters: the full rule needs the
// Unicode tables, and the expanded mode never writes names from the source.
bool is_xml_name(std::string_view name) {
  if (name.empty() || !is_name_start(static_cast<unsigned char>(name[0]))) return false;
  for (char c : name) {
    if (!is_name_char(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

// Whether the element's own name and its attribute names can stand in XML:
// valid names, no attribute twice.
bool has_xml_names(const Element& element) {
  if (!is_xml_name(element.name_view())) return false;
  bool ok = true;
  std::vector<std::string_view> names;
  element.each_attribute([&](const AttributeView& a) {
    if (!is_xml_name(a.name)) ok = false;
    for (std::string_view seen : names) {
      if (seen == a.name) ok = false;
    }
    names.push_back(a.name);
  });
  return ok;
}

// In the default mode keys and section names become XML names; say so when
// one cannot, since the target will then not be well-formed.
void check_names(const Element& element, const Text& source, long line_number) {
  if (expand_mode || has_xml_names(element)) return;
  std::fprintf(stderr, "%s:%ld: warning: a name here is not a valid XML name; use -expand\n",
               source.c_str(), line_number);
}

bool is_readable_file(std::FILE* f) {
  struct stat info {};
  return ::fstat(::fileno(f), &info) == 0 && !S_ISDIR(info.st_mode);
}

Text after(const Text& line, int position) { return line.slice(position + 1, -1, End::inclusive); }
Text before(const Text& line, int position) { return line.slice(0, position, End::exclusive); }

}  // namespace

Element make_blank() { return Element("blank"); }

Element make_comment(const Text& text) {
  Element comment("comment");
  comment.set_attribute("data", text);
  return comment;
}

Element parse_section(const Text& line) {
  const int open = line.find("[");
  int close = line.find("]", open < 0 ? 0 : open);
  if (close == -1) close = line.length();
  const Text name = close > open ? line.slice(open + 1, close, End::exclusive) : Text();
  if (!expand_mode) return Element(name);
  Element title("title");
  title.set_attribute("name", name);
  return title;
}

int find_inline_comment(const Text& line) {
  int separator = line.find("=");
  if (separator == -1) separator = line.find(":");
  if (separator == -1) return -1;
  const int q1 = line.find("\"", separator + 1);
  const int q2 = q1 == -1 ? -1 : line.find("\"", q1 + 1);
  const int r = line.find(";", separator + 1);
  if (q1 != -1 && q2 != -1 && r > q1 && r < q2) return -1;
  return r;
}

std::optional<Element> parse_option(const Text& line) {
  // A ";" inside the first pair of double quotes belongs to the value.
  Text body = line;
  Text comment;
  const int semicolon = line.find(";");
  const int q1 = line.find("\"");
  int q2 = 0;
  if (q1 != -1) {
    q2 = line.find("\"", q1 + 1);
    if (q2 == -1) q2 = q1;
  }
  if (semicolon != -1 && (semicolon < q1 || semicolon > q2)) {
    comment = after(line, semicolon);
    body = before(line, semicolon);
  }
  // An "=" wins over a ":" wherever the two stand.
  int separator = body.find("=");
  if (separator == -1) separator = body.find(":");
  if (separator == -1) return std::nullopt;

  const Text key = before(body, separator).trim();
  const Text value = after(body, separator).trim();
  Element option("option");
  if (expand_mode) {
    option.set_attribute("name", key);
    option.set_attribute("value", value);
  } else {
    option.set_attribute(key, value);
  }
  if (!comment.is_empty()) option.set_attribute("comment", comment);
  return option;
}

bool read_ini(const Text& source, Dom& tree) {
  tree.reset();
  comment_prefix = Text();
  File in = open_file(source.c_str(), "r");
  // A directory opens for reading on POSIX hosts but has no lines to give.
  if (!in || !is_readable_file(in.get())) return false;
  skip_byte_order_mark(in.get());

  Linker linker(tree);
  LineReader reader(in.get());
  std::string_view raw;
  long line_number = 0;
  bool at_end = false;
  while (!at_end) {
    // The read that meets the end gives one more, empty line, as a final
    // line feed leaves one behind: it becomes the closing "blank".
    if (!reader.next(raw)) {
      raw = std::string_view();
      at_end = true;
    } else if (raw.back() != '\n') {
      at_end = true;
    }
    ++line_number;
    Text line = Text(raw).rtrim();
    if (line.is_empty()) {
      linker.link(make_blank());
      continue;
    }

    const char first = line.first_char();
    if (first == '#' || first == ';') {
      if (comment_prefix.is_empty()) comment_prefix = Text(first);
      const Text rest = after(line, 0);
      const char second = rest.first_char();
      if (line.length() == 1 || second == '#' || second == ';' || second == ' ') {
        linker.link(make_comment(rest));
      } else if (line.contains("=") || line.contains(":")) {
        if (auto option = parse_option(rest)) {
          option->set_attribute("active", "false");
          check_names(*option, source, line_number);
          linker.link(std::move(*option));
        }
      } else {
        linker.link(make_comment(rest));
      }
      continue;
    }

    // The line is scanned for the first character that makes it a section
    // or an option. Once an attempt has failed, a later one on the same line
    // fails too (neither depends on the position, and an option attempt
    // cuts the line at most once), so each is made only once.
    Text pending_comment;
    bool has_pending_comment = false;
    bool section_failed = false;
    bool option_failed = false;
    for (int position = 0; position < line.length(); ++position) {
      const char c = line.str()[static_cast<std::size_t>(position)];
      if (c == ' ') continue;
      if (c == '[') {
        if (section_failed) continue;
        Element section = parse_section(line);
        const Text name = expand_mode ? section.get_attribute("name") : section.name();
        if (name.is_empty()) {
          section_failed = true;
          continue;
        }
        check_names(section, source, line_number);
        linker.link(std::move(section));
        break;
      }
      if (option_failed) continue;
      const int p = find_inline_comment(line);
      if (p != -1) {
        pending_comment = after(line, p);
        has_pending_comment = true;
        line = before(line, p);
      }
      auto option = parse_option(line);
      if (!option) {
        option_failed = true;
        continue;
      }
      option->set_attribute("active", "true");
      check_names(*option, source, line_number);
      linker.link(std::move(*option));
      if (has_pending_comment) {
        tree.add_element_child(make_comment(pending_comment));
        tree.up();
      }
      break;
    }
  }
  return !std::ferror(in.get());
}

}  // namespace kit
