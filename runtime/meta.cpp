// SPDX-License-Identifier: MIT
#include "runtime/meta.h"

#include "runtime/array.h"
#include "runtime/dyn.h"
#include "runtime/files.h"

namespace kit {

namespace {

constexpr char head_start[] = "<head>";
constexpr char head_end[] = "</head>";
constexpr char meta_start[] = "<meta";
constexpr int head_start_length = sizeof head_start - 1;
constexpr int meta_start_length = sizeof meta_start - 1;

// The head's lines, trimmed and run together; line breaks vanish, so the
// last word of a line meets the first of the next.
Text head_text(const Array& lines) {
  Text head;
  bool started = false;
  for (int i = 0; i < lines.size(); ++i) {
    Text line = to_text(lines.at(i));
    if (!started) {
      const int at = line.find_nocase(head_start);
      if (at < 0) continue;
      line = line.slice(at + head_start_length, -1, End::inclusive);
      started = true;
    }
    const int end = line.find_nocase(head_end);
    if (end >= 0) {
      head += line.slice(0, end, End::exclusive);
      break;
    }
    head += line.trim();
  }
  return head;
}

}  // namespace

Text attribute_value(const Text& tag, const Text& attribute) {
  const int at = tag.find_nocase(attribute);
  if (at < 0) return Text();
  const std::string_view bytes = tag.view();
  std::size_t start = static_cast<std::size_t>(at + attribute.length());
  while (start < bytes.size() && (bytes[start] == ' ' || bytes[start] == '=' ||
                                  bytes[start] == '\'' || bytes[start] == '"')) {
    ++start;
  }
  std::size_t stop = bytes.find_first_of("'\">", start);
  if (stop == std::string_view::npos) stop = bytes.size();
  return Text(bytes.substr(start, stop - start));
}

Array read_meta(const char* path) {
  const Text head = head_text(load_lines(path));
  Array result;
  for (int from = 0;;) {
    const int at = head.find_nocase(meta_start, from);
    if (at < 0) break;
    const int close = head.find(">", at + meta_start_length);
    if (close < 0) break;
    const Text tag = head.slice(at, close, End::inclusive);
    const Text name = attribute_value(tag, "name");
    if (!name.is_empty()) result.set(name, Dyn(attribute_value(tag, "content")));
    from = close;
  }
  return result;
}

}  // namespace kit
