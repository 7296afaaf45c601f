// SPDX-License-Identifier: MIT
#include "dorsik/translate.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>
#include <string_view>

#include "runtime/byte_block.h"
#include "runtime/command_line.h"
#include "runtime/files.h"
#include "runtime/option_line.h"
#include "runtime/replace_file.h"
#include "runtime/xml_escape.h"

namespace kit::dorsik {

bool light_mode = false;

namespace {

using View = std::string_view;


// A fixed piece of an element, padded so that it is copied whole by two
// sixteen-byte moves whatever its length.
struct Piece {
  static constexpr std::size_t room = 32;
  char bytes[room];
  std::size_t size;
  constexpr Piece(const char* text) : Piece(View(text)) {}
  constexpr explicit Piece(View text) : bytes{}, size(text.size()) {
    if (text.size() > room) throw std::length_error("a piece longer than its room");
    for (std::size_t i = 0; i < text.size(); ++i) bytes[i] = text[i];
  }
  View view() const { return View(bytes, size); }
};

// The fixed pieces around a name or value, with and without its quote: a
// value already enclosed in apostrophes takes none.
struct Frame {
  Piece open, open_quoted, close, quoted_close;
  char quote;
};

// The fixed pieces of each element, children indented by six spaces; and
// how values are escaped between double quotes and between apostrophes.
struct Pieces {
  Frame comment, title, entry, option, trailing_comment, kept_line;
  Piece entry_close;
  XmlEscape quoted, in_apostrophes;
};
// XML readers turn a tab or carriage return in a value into a space: the
// XML form writes them as references.
constexpr Pieces xml_pieces = {
    {"<comment value=", "<comment value=\"", " />", "\" />", '"'},
    {"<title name=", "<title name=\"", " />", "\" />", '"'},
    {"   <entry name=", "   <entry name=\"", ">\n", "\">\n", '"'},
    {"      <option value=", "      <option value='", "/>\n", "'/>\n", '\''},
    {"      <comment value=", "      <comment value='", "/>\n", "'/>\n", '\''},
    {"<line value=", "<line value=\"", " />", "\" />", '"'},
    "   </entry>",
    XmlEscape::attribute,
    XmlEscape::attribute_in_apostrophes};

// The light form is the XML form without the angle brackets.
constexpr Piece without_brackets(const Piece& piece) {
  Piece light("");
  for (std::size_t i = 0; i < piece.size; ++i) {
    if (piece.bytes[i] != '<' && piece.bytes[i] != '>') light.bytes[light.size++] = piece.bytes[i];
  }
  return light;
}
constexpr Frame without_brackets(const Frame& frame) {
  return {without_brackets(frame.open), without_brackets(frame.open_quoted),
          without_brackets(frame.close), without_brackets(frame.quoted_close), frame.quote};
}
constexpr Pieces light_pieces = {
    without_brackets(xml_pieces.comment), without_brackets(xml_pieces.title),
    without_brackets(xml_pieces.entry),   without_brackets(xml_pieces.option),
    without_brackets(xml_pieces.trailing_comment), without_brackets(xml_pieces.kept_line),
    without_brackets(xml_pieces.entry_close),
    XmlEscape::light_value,
    XmlEscape::light_value_in_apostrophes};
const Pieces& pieces() { return light_mode ? light_pieces : xml_pieces; }

// Output is gathered here and handed to the file in blocks of this size, so
// memory stays flat however long a line's translation is.
constexpr std::size_t flush_threshold = 256 * 1024;

// Which bytes that escaping may change a line holds: none, so that its
// values go out as they stand; apostrophes alone, which only matter between
// apostrophes; or any.
enum class LineBytes { plain, apostrophes, any };

// Where translations go: a text being built, or a file written in blocks.
class Sink {
public:
  explicit Sink(std::FILE* file = nullptr)
      : file_(file), flush_at_(file != nullptr ? flush_threshold : SIZE_MAX) {}
  // Appends are on the hot path: one capacity test and one memcpy, inline.
  Sink& operator<<(View bytes) {
    block_ += bytes;
    return *this;
  }
  Sink& operator<<(char c) { return *this << View(&c, 1); }
  // A fixed piece alone, copied whole.
  void put(const Piece& piece) {
    std::memcpy(block_.room(Piece::room), piece.bytes, Piece::room);
    block_.used(piece.size);
  }
  // A value between two fixed pieces, with one test for room.
  void put(const Piece& open, View value, const Piece& close) {
    // The padding of the close piece lands past the end, in room kept for it.
    char* to = block_.room(open.size + value.size() + Piece::room);
    std::memcpy(to, open.bytes, Piece::room);
    copy_bytes(to += open.size, value);
    std::memcpy(to + value.size(), close.bytes, Piece::room);
    block_.used(open.size + value.size() + close.size);
  }
  // The text escaped straight into the block, which goes out when full.
  void put_escaped(View text, XmlEscape mode, Unfit unfit) {
    const auto room = [this](std::size_t n) {
      flush_if_full();
      char* const at = block_.room(n);
      return std::make_pair(at, block_.room_left());
    };
    const auto used = [this](std::size_t n) { block_.used(n); };
    if (escape_xml_into(text, mode, unfit, room, used)) replaced_unfit = true;
  }
  // false once a write has failed.
  bool flush_if_full() {
    if (block_.size() >= flush_at_) flush();
    return ok_;
  }
  bool flush() {
    if (file_ != nullptr && !block_.empty()) {
      ok_ = ok_ && std::fwrite(block_.view().data(), 1, block_.size(), file_) == block_.size();
      block_.clear();
    }
    return ok_;
  }
  Text take() { return Text(block_.view()); }
  // Whether what XML cannot hold was written as U+FFFD.
  bool replaced_unfit = false;
  // Room a translation may build a text in, kept from line to line.
  std::string scratch;
  // What the line being translated holds, told by one scan for all its values.
  LineBytes line = LineBytes::any;

private:
  std::FILE* file_;
  std::size_t flush_at_;  // a text being built is never flushed
  ByteBlock block_{flush_threshold};
  bool ok_ = true;
};

// Writes the three spaces that indent a top-level element.
void write_indent(Sink& out) { out << View("   "); }

// Calls `take` with each comma-separated item of `text`, untrimmed, in
// order: at least one, as "" holds one empty item.
template <typename Take> [[gnu::always_inline]] inline void split_values(View text, Take&& take) {
  const char* item = text.data();
  const char* const end = item + text.size();
  for (;;) {
    const char* const comma = find_byte(item, end, ',');
    take(View(item, static_cast<std::size_t>(comma - item)));
    if (comma == end) return;
    item = comma + 1;
  }
}

bool is_enclosed_in_apostrophes(View v) {
  if (v.size() < 2 || v.front() != '\'' || v.back() != '\'') return false;
  const char* const last = v.data() + v.size() - 1;
  return find_byte(v.data() + 1, last, '\'') == last;
}

// The escaped value before quoting is tested for enclosing apostrophes;
// escaping never adds or removes an apostrophe, so the raw value tells.
// The light form is no XML: its bytes stay as they are.
Unfit unfit() { return light_mode ? Unfit::keep : Unfit::replace; }

// The trimmed value of a line that holds bytes escaping may change,
// apostrophes among them; apart from quote_value, as most lines hold none and
// their path stays short.
[[gnu::noinline]] void put_escaped_value(Sink& out, const Frame& frame, View value) {
  const bool enclosed = is_enclosed_in_apostrophes(value);
  const Piece& open = enclosed ? frame.open : frame.open_quoted;
  const Piece& close = enclosed ? frame.close : frame.quoted_close;
  if (out.line == LineBytes::apostrophes && (frame.quote != '\'' || enclosed)) {
    out.put(open, value, close);
    return;
  }
  const XmlEscape mode = frame.quote == '\'' && !enclosed ? pieces().in_apostrophes : pieces().quoted;
  out.put(open);
  out.put_escaped(value, mode, unfit());
  out.put(close);
}

// The value trimmed, escaped and quoted, in its element's fixed pieces.
inline void quote_value(Sink& out, const Frame& frame, View value) {
  value = trim_view(value);
  // Without an apostrophe, no value is enclosed in them.
  if (out.line == LineBytes::plain) {
    out.put(frame.open_quoted, value, frame.quoted_close);
  } else {
    put_escaped_value(out, frame, value);
  }
}

void translate_comment(Sink& out, View text) {
  // "--" may not stand inside an XML comment-like value; "---" gives "- --".
  const char* const end = text.data() + text.size();
  const auto next_pair = [end](const char* from) {
    for (const char* dash = find_byte(from, end, '-'); dash != end; dash = find_byte(dash + 1, end, '-')) {
      if (dash + 1 != end && dash[1] == '-') return dash;
    }
    return end;
  };
  const char* pair = next_pair(text.data());
  if (pair == end) {
    quote_value(out, pieces().comment, text);
    return;
  }
  // Each pair of two bytes becomes three.
  std::string& broken = out.scratch;
  broken.resize(text.size() + text.size() / 2);
  char* to = broken.data();
  const char* from = text.data();
  for (; pair != end; pair = next_pair(from)) {
    copy_bytes(to, View(from, static_cast<std::size_t>(pair - from)));
    to += pair - from;
    std::memcpy(to, "- -", 3);
    to += 3;
    from = pair + 2;
  }
  copy_bytes(to, View(from, static_cast<std::size_t>(end - from)));
  to += end - from;
  quote_value(out, pieces().comment, View(broken.data(), static_cast<std::size_t>(to - broken.data())));
}

bool translate_title(Sink& out, View line) {
  const char* const end = line.data() + line.size();
  const char* const open = find_byte(line.data(), end, '[');
  if (open == end) return false;
  const char* const close = find_byte(line.data(), end, ']');
  const View name = close > open ? View(open + 1, static_cast<std::size_t>(close - open - 1)) : View();
  quote_value(out, pieces().title, name);
  return true;
}

// The steps of a property line, and of any line below, are inlined into the
// loop over lines: most lines are short, and calls for each cost more than
// their work.
[[gnu::always_inline]] inline bool translate_property(Sink& out, View line) {
  const auto parts = split_option_line(line);
  if (!parts) return false;

  const Pieces& p = pieces();
  quote_value(out, p.entry, parts->key);
  split_values(parts->value, [&](View item) {
    quote_value(out, p.option, item);
    out.flush_if_full();
  });
  if (!parts->comment.empty()) quote_value(out, p.trailing_comment, parts->comment);
  out.put(p.entry_close);
  return true;
}

// A line no rule takes, whole between double quotes, so that nothing of the
// source is lost; unlike a value it is neither trimmed nor taken as quoted.
[[gnu::noinline]] void put_kept_line(Sink& out, View line) {
  const Frame& frame = pieces().kept_line;
  write_indent(out);
  // Apostrophes alone need no escape between double quotes.
  if (out.line != LineBytes::any) {
    out.put(frame.open_quoted, line, frame.quoted_close);
    return;
  }
  out.put(frame.open_quoted);
  out.put_escaped(line, pieces().quoted, unfit());
  out.put(frame.quoted_close);
}

[[gnu::always_inline]] inline bool put_line_parts(Sink& out, View line) {
  if (line.front() == '#' || line.front() == ';') {
    if (line.size() > 1 && line[1] == ' ') {
      write_indent(out);
      translate_comment(out, line.substr(1));
      return true;
    }
    line.remove_prefix(1);
  }
  if (!line.empty() && line.front() == '[') {
    write_indent(out);
    return translate_title(out, line);
  }
  // A line without "=" or ":" (outside its trailing comment) writes nothing.
  return translate_property(out, line);
}

// Translates one trimmed, non-empty line; false when no rule took it and it
// was kept as a "line" element.
[[gnu::always_inline]] inline bool put_line(Sink& out, View line) {
  // One scan of the whole line tells for all its values.
  const Pieces& p = pieces();
  const char* const end = line.data() + line.size();
  const char* const first = next_to_escape(line.data(), end, p.in_apostrophes, unfit());
  if (first == end) {
    out.line = LineBytes::plain;
  } else if (*first == '\'' && next_to_escape(first, end, p.quoted, unfit()) == end) {
    out.line = LineBytes::apostrophes;
  }
  const bool taken = put_line_parts(out, line);
  if (!taken) put_kept_line(out, line);
  out.line = LineBytes::any;
  return taken;
}

// The whole of `in` into `file`, which stays open; stops early once a write
// has failed, as nothing more can reach the target.
Conversion translate(std::FILE* in, std::FILE* file, const Text& source, const Text& target) {
  Sink out(file);
  out << (light_mode ? "xml\noptions\n" : "<?xml version=\"1.0\"?>\n<options>\n");
  LineReader reader(in, NulBytes::drop, Decoding::source);
  std::string joined;
  View raw;
  long line_number = 0;  // of the physical line last read
  Conversion done;
  while (reader.next(raw)) {
    ++line_number;
    View line = trim_view(raw);
    if (line.empty()) continue;
    const long first_line = line_number;
    // A line ending in "," goes on in the next one, up to the end of the input.
    if (line.back() == ',') {
      joined.assign(line);
      while (!joined.empty() && joined.back() == ',' && reader.next(raw)) {
        ++line_number;
        joined += rtrim_view(raw);
      }
      line = joined;
    }
    if (!put_line(out, line) && done.notes.kept_lines++ == 0) done.notes.first_kept_line = first_line;
    out << '\n';
    if (!out.flush_if_full()) return {Outcome::cannot_write, target};
  }
  if (std::ferror(in)) return {Outcome::cannot_read, source};
  out << (light_mode ? "/xml\n/options" : "</options>");
  if (!out.flush() || std::fflush(file) != 0) return {Outcome::cannot_write, target};
  done.notes.encoding = reader.encoding();
  done.notes.replaced_unfit = out.replaced_unfit;
  return done;
}

}  // namespace

Text quote_value(const Text& value, char quote) {
  Sink out;
  const Piece quoted(View(&quote, 1));
  quote_value(out, Frame{"", quoted, "", quoted, quote}, value.view());
  return out.take();
}

std::vector<Text> split_values(const Text& text) {
  std::vector<Text> items;
  split_values(text.view(), [&items](View item) { items.emplace_back(trim_view(item)); });
  return items;
}

Text translate_comment(const Text& text) {
  Sink out;
  translate_comment(out, text.view());
  return out.take();
}

Text translate_title(const Text& line) {
  Sink out;
  return translate_title(out, line.view()) ? out.take() : Text();
}

Text translate_property(const Text& line) {
  Sink out;
  return translate_property(out, line.view()) ? out.take() : Text();
}

Conversion convert_file(const Text& source, const Text& target) {
  File owned;
  std::FILE* const in = open_source(source, owned);
  if (in == nullptr) return {Outcome::cannot_open, source};
  if (is_standard_stream(target)) return translate(in, stdout, source, target);

  Conversion result;
  const bool replaced = replace_file(target, [&](const Text& path) {
    File file(std::fopen(path.c_str(), "w"));
    if (!file) {
      result = {Outcome::cannot_open, target};
      return false;
    }
    // The output goes in blocks of its own: a stream buffer as well would
    // split each in two writes.
    std::setvbuf(file.get(), nullptr, _IONBF, 0);
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
