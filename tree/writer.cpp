// SPDX-License-Identifier: MIT
#include "tree/writer.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/text.h"
#include "runtime/xml_escape.h"

namespace kit {

namespace {

// One constant run of spaces, long enough for the deepest indentation.
constexpr char spaces[] = "                                                 ";
static_assert(sizeof spaces > indent_limit, "the run must cover the deepest indentation");

// What a whole document starts with in XML: the writers write UTF-8.
constexpr std::string_view xml_declaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";

// Bytes a writer gathers before it hands them to the stream: a large tree
// then goes out in few system calls.
constexpr std::size_t block_size = std::size_t{1} << 16;

// Holds the stream's lock for a whole write, so each piece can go out unlocked.
class StreamLock {
public:
  explicit StreamLock(std::FILE* file) : file_(file) {
    if (file_) flockfile(file_);
  }
  ~StreamLock() {
    if (file_) funlockfile(file_);
  }
  StreamLock(const StreamLock&) = delete;
  StreamLock& operator=(const StreamLock&) = delete;

private:
  std::FILE* file_;
};

// Writes pieces to the Dom's sink, gathered in a block of its own: most
// pieces are a few bytes, and one stream call for each would cost more than
// the bytes. The stream stays locked while the writer lives, and the block
// goes out before it ends, so its output keeps its place among other writes.
class Writer {
public:
  explicit Writer(Dom& dom)
      : dom_(dom), out_(dom.output()), file_(out_.to_file ? out_.file : stdout), lock_(file_) {}
  // Into a text instead of the Dom's sink.
  Writer(Dom& dom, std::string& into)
      : dom_(dom), out_(dom.output()), file_(nullptr), lock_(nullptr), into_(&into) {}
  ~Writer() { flush(); }
  Writer(const Writer&) = delete;
  Writer& operator=(const Writer&) = delete;

  void text(std::string_view s) {
    if (s.empty()) return;
    if (s.size() > sizeof block_ - used_) {
      flush();
      if (s.size() > sizeof block_) {
        send(s.data(), s.size());
        return;
      }
    }
    copy_bytes(block_ + used_, s);
    used_ += s.size();
  }

  void byte(char c) {
    if (used_ == sizeof block_) flush();
    block_[used_++] = c;
  }

  void indent() {
    const int level = out_.level;
    if (level <= 0) return;
    const int n = level >= indent_limit / indent_step ? indent_limit : level * indent_step;
    text(std::string_view(spaces, static_cast<std::size_t>(n)));
  }

  // Text for XML, escaped straight into the block; what XML cannot hold
  // becomes U+FFFD.
  void escaped(std::string_view s, XmlEscape mode) {
    const auto room = [this](std::size_t n) {
      if (sizeof block_ - used_ < n) flush();
      return std::make_pair(block_ + used_, sizeof block_ - used_);
    };
    const auto used = [this](std::size_t n) { used_ += n; };
    if (escape_xml_into(s, mode, Unfit::replace, room, used)) out_.replaced_unfit = true;
  }

  // A name or a header line: as it stands, but for what XML cannot hold.
  void name(std::string_view s) {
    if (xml()) {
      escaped(s, XmlEscape::none);
    } else {
      text(s);
    }
  }

  // Character data: escaped in XML, as it stands in the light forms.
  void data(std::string_view s) {
    if (xml()) {
      escaped(s, XmlEscape::data);
    } else {
      text(s);
    }
  }

  void value(std::string_view s) {
    const char quote = s.empty() ? '\0' : s.front();
    const bool quoted = quote == '"' || quote == '\'';
    if (!xml()) {
      if (quoted) {
        text(s);
      } else {
        byte('"');
        text(s);
        byte('"');
      }
      return;
    }
    const std::string_view inside =
        s.size() >= 2 ? s.substr(1, s.size() - 2) : std::string_view();
    if (quoted && s.size() >= 2 && s.back() == quote &&
        inside.find(quote) == std::string_view::npos) {
      byte(quote);
      escaped(inside, XmlEscape::own_quotes);
      byte(quote);
    } else {
      byte('"');
      escaped(s, XmlEscape::attribute);
      byte('"');
    }
  }

  // A written script is left as read through, its cursor at its end; the
  // tree's cursor stays where it was.
  void read_through(int script) {
    const int cursor = dom_.cursor();
    dom_.set_cursor(script);
    dom_.current_script().skip_to_end();
    dom_.set_cursor(cursor);
  }

  void open(const Element& element, bool has_children) {
    indent();
    if (xml()) byte('<');
    name(element.name_view());
    element.each_attribute([this](const AttributeView& attribute) {
      byte(' ');
      name(attribute.name);
      byte('=');
      value(attribute.value);
    });
    const std::string_view content = element.data_view();
    if (!content.empty()) {
      if (xml()) byte('>');
      byte('\n');
      if (out_.format_code == format_light_quoted) byte('"');
      data(content);
      if (out_.format_code == format_light_quoted) byte('"');
      byte('\n');
    } else if (has_children || dom_.full_close()) {
      if (xml()) byte('>');
      byte('\n');
    }
  }

  // Inlined into the walk, which calls it for nearly every element.
  [[gnu::always_inline]] void close(const Element& element, bool has_children) {
    if (has_children || !element.data_view().empty() || dom_.full_close()) {
      indent();
      if (xml()) byte('<');
      byte('/');
      name(element.name_view());
      if (xml()) byte('>');
      byte('\n');
    } else {
      text(xml() ? " />\n" : " /\n");
    }
  }

  // Elements whose closing line waits for their children, each with its
  // depth: the walk keeps its own stack, so no tree is too deep for it.
  void nodes(int start, int depth) {
    if (start <= 0 || start >= dom_.node_count()) return;
    struct Open {
      int node;
      int depth;
    };
    std::vector<Open> open_elements;
    int index = start;
    for (;;) {
      while (index != 0) {
        const Node& node = dom_.node(index);
        const int child = node.child();
        const int next = node.next();
        if (node.is_element()) {
          out_.level = depth;
          open(node.element(), child != 0);
          if (child != 0) {
            open_elements.push_back(Open{index, depth});
            ++depth;
            index = child;
            continue;
          }
          close(node.element(), false);
        } else if (node.is_script()) {
          for (const ScriptBlock::Line& line : node.script().lines()) {
            out_.level = line.level;
            indent();
            data(line.text.view());
          }
          read_through(index);
        } else {
          // At its own depth, as the element it loads back as would be.
          out_.level = depth;
          comment(node.comment());
        }
        index = next;
      }
      if (open_elements.empty()) return;
      const Open done = open_elements.back();
      open_elements.pop_back();
      depth = done.depth;
      out_.level = depth;
      const Node& node = dom_.node(done.node);
      close(node.element(), true);
      index = node.next();
    }
  }

  void comment(const Text& comment) {
    indent();
    if (xml()) {
      text("<comment data=");
      value(comment.view());
      text(" />\n");
    } else {
      text("comment data=");
      text(comment.view());
      text(" /\n");
    }
  }

  void whole_tree() {
    const bool document = dom_.whole_document();
    if (document && xml()) text(xml_declaration);
    for (const Text& line : dom_.header_lines()) {
      name(line.view());
      byte('\n');
    }
    if (!document) {
      nodes(1, 0);
      return;
    }
    // The root holds the tree one level deeper.
    const Element& root = dom_.node(0).element();
    const int first = dom_.node(0).child();
    out_.level = 0;
    open(root, first != 0);
    nodes(first, 1);
    out_.level = 0;
    close(root, first != 0);
  }

private:
  bool xml() const { return out_.format_code == format_xml; }

  void flush() {
    send(block_, used_);
    used_ = 0;
  }

  void send(const char* bytes, std::size_t size) {
    if (into_ != nullptr) {
      into_->append(bytes, size);
      return;
    }
    if (file_ == nullptr || size == 0) return;
    if (fwrite_unlocked(bytes, 1, size, file_) != size) out_.failed = true;
  }

  Dom& dom_;
  Output& out_;
  std::FILE* file_;
  StreamLock lock_;
  std::string* into_ = nullptr;
  std::size_t used_ = 0;
  // On the stack, not a ByteBlock: every output primitive builds a Writer
  // of its own, and a block from the heap for each took 1.5 times the CPU
  // time over two million put_char calls.
  char block_[block_size];
};

bool store_with_mode(Dom& dom, const Text& path, int format_code, const char* mode) {
  if (dom.is_empty()) return true;
  std::FILE* file = std::fopen(path.c_str(), mode);
  if (file == nullptr) return false;
  // The writer sends whole blocks of its own: a stream buffer as well would
  // split each in two writes.
  std::setvbuf(file, nullptr, _IONBF, 0);
  Output& out = dom.output();
  out.file = file;
  out.to_file = true;
  out.failed = false;
  out.replaced_unfit = false;
  out.format_code = format_code;
  Writer(dom).whole_tree();
  bool written = !out.failed && std::ferror(file) == 0;
  if (std::fclose(file) != 0) written = false;
  // The handle is gone: later pieces go to standard output.
  out.file = nullptr;
  out.to_file = false;
  return written;
}

}  // namespace

bool store(Dom& dom, const Text& path, int format_code) {
  return store_with_mode(dom, path, format_code, "wb");
}

bool store_append(Dom& dom, const Text& path, int format_code) {
  return store_with_mode(dom, path, format_code, "a");
}

Text store_text(Dom& dom, int format_code) {
  std::string text;
  if (dom.is_empty()) return Text();
  Output& out = dom.output();
  out.format_code = format_code;
  out.replaced_unfit = false;
  Writer(dom, text).whole_tree();
  return Text(std::move(text));
}

void display(Dom& dom, int format_code) {
  if (dom.is_empty()) {
    std::fputs("Empty\n", stdout);
    return;
  }
  Output& out = dom.output();
  out.to_file = false;
  out.format_code = format_code;
  out.replaced_unfit = false;
  Writer(dom).whole_tree();
}

void put_text(Dom& dom, std::string_view text) {
  Writer(dom).text(text);
}

void put_char(Dom& dom, char c) {
  Writer(dom).byte(c);
}

void put_indent(Dom& dom) {
  Writer(dom).indent();
}

void put_value(Dom& dom, std::string_view value) {
  Writer(dom).value(value);
}

void open_tag(Dom& dom, const Element& element, bool has_children) {
  Writer(dom).open(element, has_children);
}

void close_tag(Dom& dom, const Element& element, bool has_children) {
  Writer(dom).close(element, has_children);
}

void write_nodes(Dom& dom, int start, int depth) {
  Writer(dom).nodes(start, depth);
}

}  // namespace kit
