#include "dorsik/translate.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "runtime/command_line.h"
#include "runtime/files.h"
#include "runtime/option_line.h"
#include "runtime/replace_file.h"
#include "runtime/xml_escape.h"

namespace kit::dorsik {

bool light_mode = false;

namespace {

using View = std::string_view;

constexpr View indent = "   ";  // a top-level element

// The fixed pieces around names and values. The light form is the XML form
// without the angle brackets; children are indented by six spaces.
struct Pieces {
  View comment_open, title_open, line_close;
  View entry_open, entry_name_close, entry_close;
  View option_open, trailing_comment_open, child_close;
};
constexpr Pieces xml_pieces = {"<comment value=", "<title name=", " />",
                               "   <entry name=", ">\n", "   </entry>",
                               "      <option value=", "      <comment value=", "/>\n"};
constexpr Pieces light_pieces = {"comment value=", "title name=", " /",
                                 "   entry name=", "\n", "   /entry",
                                 "      option value=", "      comment value=", "/\n"};
const Pieces& pieces() { return light_mode ? light_pieces : xml_pieces; }

// Output is gathered here and handed to the file in blocks of this size, so
// memory stays flat however long a line's translation is.
constexpr std::size_t flush_threshold = 64 * 1024;

// The source is read in blocks of this size: fewer system calls than the
// stream library's default.
constexpr std::size_t source_buffer_size = 64 * 1024;

// Where translations go: a text being built, or a file written in blocks.
class Sink {
public:
  explicit Sink(std::FILE* file = nullptr) : file_(file) {}
  // Appends are on the hot path: one capacity test and one memcpy, inline.
  Sink& operator<<(View bytes) {
    if (capacity_ - size_ < bytes.size()) grow(bytes.size());
    std::memcpy(buffer_.get() + size_, bytes.data(), bytes.size());
    size_ += bytes.size();
    return *this;
  }
  Sink& operator<<(char c) { return *this << View(&c, 1); }
  // false once a write has failed.
  bool flush_if_full() {
    if (file_ != nullptr && size_ >= flush_threshold) flush();
    return ok_;
  }
  bool flush() {
    if (file_ != nullptr && size_ > 0) {
      ok_ = ok_ && std::fwrite(buffer_.get(), 1, size_, file_) == size_;
      size_ = 0;
    }
    return ok_;
  }
  Text take() { return Text(View(buffer_.get(), size_)); }
  // Whether what XML cannot hold was written as U+FFFD.
  bool replaced_unfit = false;

private:
  void grow(std::size_t more) {
    const std::size_t capacity = std::max(2 * capacity_, std::max(size_ + more, flush_threshold));
    std::unique_ptr<char[]> bigger(new char[capacity]);
    if (size_ > 0) std::memcpy(bigger.get(), buffer_.get(), size_);
    buffer_ = std::move(bigger);
    capacity_ = capacity;
  }
  std::FILE* file_;
  std::unique_ptr<char[]> buffer_;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
  bool ok_ = true;
};

bool is_enclosed_in_apostrophes(View v) {
  return v.size() >= 2 && v.front() == '\'' && v.back() == '\'' && v.find('\'', 1) == v.size() - 1;
}

// The escaped value before quoting is tested for enclosing apostrophes;
// escaping never adds or removes an apostrophe, so the raw value tells.
void put_value(Sink& out, View value, char quote) {
  value = trim_view(value);
  const bool enclosed = is_enclosed_in_apostrophes(value);
  const XmlEscape mode = quote == '\'' && !enclosed ? XmlEscape::line_value_in_apostrophes
                                                     : XmlEscape::line_value;
  if (!enclosed) out << quote;
  // The light form is no XML: its bytes stay as they are.
  const Unfit unfit = light_mode ? Unfit::keep : Unfit::replace;
  if (escape_xml(value, mode, unfit, [&out](View piece) { out << piece; })) {
    out.replaced_unfit = true;
  }
  if (!enclosed) out << quote;
}

void put_comment(Sink& out, View text) {
  // "--" may not stand inside an XML comment-like value; "---" gives "- --".
  std::string body;
  body.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    body += text[i];
    if (text[i] == '-' && i + 1 < text.size() && text[i + 1] == '-') {
      body += " -";
      ++i;
    }
  }
  out << pieces().comment_open;
  put_value(out, body, '"');
  out << pieces().line_close;
}

bool put_title(Sink& out, View line) {
  const std::size_t open = line.find('[');
  if (open == View::npos) return false;
  std::size_t close = line.find(']');
  if (close == View::npos) close = line.size();
  const View name = close > open ? line.substr(open + 1, close - open - 1) : View();
  out << pieces().title_open;
  put_value(out, trim_view(name), '"');
  out << pieces().line_close;
  return true;
}

bool put_property(Sink& out, View line) {
  const auto parts = split_option_line(line);
  if (!parts) return false;

  const Pieces& p = pieces();
  out << p.entry_open;
  put_value(out, trim_view(parts->key), '"');
  out << p.entry_name_close;
  View values = parts->value;
  for (;;) {
    const std::size_t comma = values.find(',');
    out << p.option_open;
    put_value(out, values.substr(0, comma), '\'');
    out << p.child_close;
    out.flush_if_full();
    if (comma == View::npos) break;
    values.remove_prefix(comma + 1);
  }
  if (!parts->comment.empty()) {
    out << p.trailing_comment_open;
    put_value(out, parts->comment, '\'');
    out << p.child_close;
  }
  out << p.entry_close;
  return true;
}

// Translates one trimmed, non-empty line; false when the line writes nothing.
bool put_line(Sink& out, View line) {
  if (line.front() == '#' || line.front() == ';') {
    if (line.size() > 1 && line[1] == ' ') {
      out << indent;
      put_comment(out, line.substr(1));
      return true;
    }
    line.remove_prefix(1);
  }
  if (!line.empty() && line.front() == '[') {
    out << indent;
    return put_title(out, line);
  }
  if (line.find('=') == View::npos && line.find(':') == View::npos) return false;
  return put_property(out, line);
}

bool is_directory(std::FILE* f) {
  struct stat info {};
  return ::fstat(::fileno(f), &info) == 0 && S_ISDIR(info.st_mode);
}

// The whole of `in` into `file`, which stays open; stops early once a write
// has failed, as nothing more can reach the target.
Conversion translate(std::FILE* in, std::FILE* file, const Text& source, const Text& target) {
  Sink out(file);
  out << (light_mode ? "xml\noptions\n" : "<?xml version=\"1.0\"?>\n<options>\n");
  LineReader reader(in, NulBytes::drop, Decoding::source);
  std::string joined;
  View raw;
  while (reader.next(raw)) {
    View line = trim_view(raw);
    if (line.empty()) continue;
    // A line ending in "," goes on in the next one, up to the end of the input.
    if (line.back() == ',') {
      joined.assign(line);
      while (!joined.empty() && joined.back() == ',' && reader.next(raw)) joined += rtrim_view(raw);
      line = joined;
    }
    if (put_line(out, line)) out << '\n';
    if (!out.flush_if_full()) return {Outcome::cannot_write, target};
  }
  if (std::ferror(in)) return {Outcome::cannot_read, source};
  out << (light_mode ? "/xml\n/options" : "</options>");
  if (!out.flush() || std::fflush(file) != 0) return {Outcome::cannot_write, target};
  Conversion done;
  done.encoding = reader.encoding();
  done.replaced_unfit = out.replaced_unfit;
  return done;
}

}  // namespace

Text quote_value(const Text& value, char quote) {
  Sink out;
  put_value(out, value.view(), quote);
  return out.take();
}

std::vector<Text> split_values(const Text& text) {
  std::vector<Text> items;
  View rest = text.view();
  for (;;) {
    const std::size_t comma = rest.find(',');
    items.emplace_back(trim_view(rest.substr(0, comma)));
    if (comma == View::npos) return items;
    rest.remove_prefix(comma + 1);
  }
}

Text translate_comment(const Text& text) {
  Sink out;
  put_comment(out, text.view());
  return out.take();
}

Text translate_title(const Text& line) {
  Sink out;
  return put_title(out, line.view()) ? out.take() : Text();
}

Text translate_property(const Text& line) {
  Sink out;
  return put_property(out, line.view()) ? out.take() : Text();
}

bool write_indent(std::FILE* out) { return write_chars(out, "   "); }

Conversion convert_file(const Text& source, const Text& target) {
  File owned;
  std::FILE* in = stdin;
  if (!is_standard_stream(source)) {
    owned.reset(std::fopen(source.c_str(), "r"));
    in = owned.get();
  }
  // A directory opens for reading on POSIX hosts but has no lines to give.
  if (!in || is_directory(in)) return {Outcome::cannot_open, source};
  std::setvbuf(in, nullptr, _IOFBF, source_buffer_size);
  if (is_standard_stream(target)) return translate(in, stdout, source, target);

  Conversion result;
  const bool replaced = replace_file(target, [&](const Text& path) {
    File file(std::fopen(path.c_str(), "w"));
    if (!file) {
      result = {Outcome::cannot_open, target};
      return false;
    }
    result = translate(in, file.get(), source, target);
    // Buffered bytes reach the file only at the close; its failure is a write failure.
    if (!close_file(file) && result.outcome == Outcome::converted) {
      result = {Outcome::cannot_write, target};
    }
    return result.outcome == Outcome::converted;
  });
  // Only the rename can fail after a conversion.
  if (!replaced && result.outcome == Outcome::converted) return {Outcome::cannot_write, target};
  return result;
}

}  // namespace kit::dorsik
