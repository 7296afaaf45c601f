#include "dorsik/translate.h"

#include <sys/stat.h>

#include <cstdio>
#include <memory>
#include <string>

#include "runtime/files.h"

namespace kit {

bool light_mode = false;

namespace {

constexpr char indent[] = "   ";        // a top-level element
constexpr char child_indent[] = "      ";  // an option or trailing comment

// The angle brackets exist only in the XML form.
const char* open_bracket() { return light_mode ? "" : "<"; }
const char* close_bracket() { return light_mode ? "" : ">"; }

bool is_enclosed_in_apostrophes(const std::string& s) {
  return s.size() >= 2 && s.front() == '\'' && s.back() == '\'' &&
         s.find('\'', 1) == s.size() - 1;
}

// Translates one trimmed, non-empty line; "" when the line writes nothing.
Text translate_line(const Text& line) {
  Text rest = line;
  const char first = line.first_char();
  if (first == '#' || first == ';') {
    if (line.at(1) == " ") return indent + translate_comment(line.slice(1, -1, End::inclusive));
    rest = line.slice(1, -1, End::inclusive);
  }
  if (rest.first_char() == '[') return indent + translate_title(rest);
  if (!rest.contains("=") && !rest.contains(":")) return Text();
  return translate_property(rest);
}

bool is_directory(std::FILE* f) {
  struct stat info {};
  return ::fstat(::fileno(f), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

Text quote_value(const Text& value, char quote) {
  const Text trimmed = value.trim();
  std::string escaped;
  escaped.reserve(static_cast<std::size_t>(trimmed.length()) + 2);
  for (char c : trimmed.view()) {
    switch (c) {
      case '&': escaped += "&amp;"; break;
      case '<': escaped += "&lt;"; break;
      case '>': escaped += "&gt;"; break;
      case '"': escaped += "&quot;"; break;
      default: escaped += c;
    }
  }
  if (is_enclosed_in_apostrophes(escaped)) return Text(std::move(escaped));
  std::string quoted(1, quote);
  for (char c : escaped) {
    if (c == '\'' && quote == '\'') {
      quoted += "&apos;";
    } else {
      quoted += c;
    }
  }
  quoted += quote;
  return Text(std::move(quoted));
}

std::vector<Text> split_values(const Text& text) {
  std::vector<Text> items;
  int start = 0;
  for (;;) {
    const int comma = text.find(",", start);
    const int end = comma == -1 ? text.length() : comma;
    items.push_back(Text(text.view().substr(static_cast<std::size_t>(start),
                                            static_cast<std::size_t>(end - start)))
                        .trim());
    if (comma == -1) return items;
    start = comma + 1;
  }
}

Text translate_comment(const Text& text) {
  Text body = text;
  body.replace("--", "- -");
  return open_bracket() + ("comment value=" + quote_value(body, '"')) + " /" + close_bracket();
}

Text translate_title(const Text& line) {
  const int open = line.find("[");
  if (open == -1) return Text();
  int close = line.find("]");
  if (close == -1) close = line.length();
  const Text name = Text(line.view().substr(static_cast<std::size_t>(open + 1),
                                            close > open ? static_cast<std::size_t>(close - open - 1) : 0))
                        .trim();
  return open_bracket() + ("title name=" + quote_value(name, '"')) + " /" + close_bracket();
}

Text translate_property(const Text& line) {
  // A ";" inside the first pair of double quotes belongs to the value.
  Text body = line;
  Text comment;
  const int semicolon = line.find(";");
  const int q1 = line.find("\"");
  const int q2 = q1 == -1 ? 0 : [&] {
    const int next = line.find("\"", q1 + 1);
    return next == -1 ? q1 : next;
  }();
  if (semicolon != -1 && (semicolon < q1 || semicolon > q2)) {
    comment = line.slice(semicolon + 1, -1, End::inclusive);
    body = line.slice(0, semicolon, End::exclusive);
  }

  // An "=" wins over a ":" wherever the two stand.
  int separator = body.find("=");
  if (separator == -1) separator = body.find(":");
  if (separator == -1) return Text();
  const Text name = body.slice(0, separator, End::exclusive).trim();
  const Text values = body.slice(separator + 1, -1, End::inclusive);

  const char* lt = open_bracket();
  const char* gt = close_bracket();
  Text entry = Text(indent) + lt + "entry name=" + quote_value(name, '"') + gt + "\n";
  for (const Text& value : split_values(values)) {
    entry += Text(child_indent) + lt + "option value=" + quote_value(value, '\'') + "/" + gt + "\n";
  }
  if (!comment.is_empty()) {
    entry += Text(child_indent) + lt + "comment value=" + quote_value(comment, '\'') + "/" + gt + "\n";
  }
  entry += Text(indent) + lt + "/entry" + gt;
  return entry;
}

bool write_indent(std::FILE* out) { return write_chars(out, indent); }

Conversion convert_file(const Text& source, const Text& target) {
  File in(std::fopen(source.c_str(), "r"));
  // A directory opens for reading on POSIX hosts but has no lines to give.
  if (!in || is_directory(in.get())) return {Outcome::cannot_open, source};
  File out(std::fopen(target.c_str(), "w"));
  if (!out) return {Outcome::cannot_open, target};

  bool written = write_chars(out.get(), light_mode ? "xml\noptions\n"
                                                   : "<?xml version=\"1.0\"?>\n<options>\n");
  skip_byte_order_mark(in.get());
  while (written && !std::feof(in.get()) && !std::ferror(in.get())) {
    Text line = read_whole_line(in.get()).trim();
    if (line.is_empty()) continue;
    // A line ending in "," goes on in the next one, up to the end of the input.
    while (line.view().back() == ',' && !std::feof(in.get()) && !std::ferror(in.get())) {
      line += read_whole_line(in.get()).rtrim();
    }
    const Text translated = translate_line(line);
    if (translated.is_empty()) continue;
    written = write_text(out.get(), translated) && write_chars(out.get(), "\n");
  }
  if (std::ferror(in.get())) return {Outcome::cannot_read, source};
  written = written && write_chars(out.get(), light_mode ? "/xml\n/options" : "</options>");
  // Buffered bytes reach the file only at the close; its failure is a write failure.
  const bool closed = std::fclose(out.release()) == 0;
  if (!written || !closed) return {Outcome::cannot_write, target};
  return {};
}

}  // namespace kit
