// SPDX-License-Identifier: MIT
#include "runtime/xml_escape.h"
#include "runtime/detail/xml_escape_steps.h"

#include "runtime/text.h"
#include "runtime/unicode.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#include "runtime/detail/blocks.h"

namespace kit {

namespace {

// The classes of bytes the modes combine, each with its bytes spelled once:
// the per-byte table and the word-wide test are both made from them.
constexpr unsigned char markup = 1;      // "&", "<", ">": every mode
constexpr unsigned char quote = 2;       // '"'
constexpr unsigned char apostrophe = 4;  // "'"
constexpr unsigned char line_space = 8;  // tab, line feed, carriage return
constexpr unsigned char carriage_return = 32;  // alone, for data
constexpr std::string_view markup_bytes = "&<>";
constexpr std::string_view quote_bytes = "\"";
constexpr std::string_view apostrophe_bytes = "'";
constexpr std::string_view line_space_bytes = "\t\n\r";
constexpr std::string_view carriage_return_bytes = "\r";

// Not a class of its own bytes: every byte below 0x20 or above 0x7F, which
// the step then looks at as a character.
constexpr unsigned char unfit_bit = 16;

constexpr unsigned char classes_of(XmlEscape mode) {
  switch (mode) {
    case XmlEscape::none: return 0;
    case XmlEscape::data: return markup | carriage_return;
    case XmlEscape::attribute: return markup | quote | line_space;
    case XmlEscape::own_quotes: return markup | line_space;
    case XmlEscape::attribute_in_apostrophes: return markup | quote | apostrophe | line_space;
    case XmlEscape::light_value: return markup | quote;
    case XmlEscape::light_value_in_apostrophes: return markup | quote | apostrophe;
  }
  return markup;
}

constexpr auto byte_class = [] {
  std::array<unsigned char, 256> table{};
  const auto mark = [&table](std::string_view bytes, unsigned char bit) {
    for (char c : bytes) table[static_cast<unsigned char>(c)] = bit;
  };
  mark(markup_bytes, markup);
  mark(quote_bytes, quote);
  mark(apostrophe_bytes, apostrophe);
  mark(line_space_bytes, line_space);
  table['\r'] |= carriage_return;
  return table;
}();

// The references: the one place their texts are spelled. A table, as the
// escape loop looks one up at every stop.
constexpr auto references = [] {
  std::array<std::string_view, 256> table{};
  table['&'] = "&amp;";
  table['<'] = "&lt;";
  table['>'] = "&gt;";
  table['"'] = "&quot;";
  table['\''] = "&apos;";
  table['\t'] = "&#9;";
  table['\n'] = "&#10;";
  table['\r'] = "&#13;";
  return table;
}();

// The decision for one byte, shared by the scan's tail and the step.
constexpr bool needs_work(unsigned char byte, unsigned char classes) {
  if ((classes & unfit_bit) != 0 && (byte < 0x20 || byte >= 0x80)) return true;
  return (byte_class[byte] & classes) != 0;
}

// The same decision for every byte, one table for each set of classes, so
// that the scan's tail takes one load a byte.
template <unsigned char Classes> struct WorkTable {
  static constexpr auto bytes = [] {
    std::array<bool, 256> table{};
    for (unsigned byte = 0; byte < 256; ++byte) {
      table[byte] = needs_work(static_cast<unsigned char>(byte), Classes);
    }
    return table;
  }();
};

using Word = std::uint64_t;
constexpr std::size_t word_size = sizeof(Word);

// Whether one of the word_size bytes at `at` is of `Classes`, word-wide: a
// zero byte of the word xor the wanted byte marks a match, and none is missed.
// Inlined into each scan: a call for every word would cost more than the test.
template <unsigned char Classes> [[gnu::always_inline]] inline bool word_needs_work(const char* at) {
  constexpr Word ones = 0x0101010101010101u;
  constexpr Word highs = 0x8080808080808080u;
  Word word;
  std::memcpy(&word, at, sizeof word);
  Word found = 0;
  const auto add = [word, &found](std::string_view bytes) {
    for (char c : bytes) {
      const Word x = word ^ (ones * static_cast<unsigned char>(c));
      found |= (x - ones) & ~x & highs;
    }
  };
  // Bytes above 0x7F, and below 0x20: all the control characters.
  if constexpr ((Classes & unfit_bit) != 0) found |= (word & highs) | ((word - ones * 0x20) & ~word & highs);
  if constexpr ((Classes & markup) != 0) add(markup_bytes);
  if constexpr ((Classes & quote) != 0) add(quote_bytes);
  if constexpr ((Classes & apostrophe) != 0) add(apostrophe_bytes);
  if constexpr ((Classes & unfit_bit) == 0) {  // else found with the controls
    if constexpr ((Classes & line_space) != 0) add(line_space_bytes);
    if constexpr ((Classes & carriage_return) != 0) add(carriage_return_bytes);
  }
  return found != 0;
}

#if KIT_SSE2
// The same for sixteen bytes at once.
// One bit for each of the sixteen bytes that needs work, lowest first.
template <unsigned char Classes> [[gnu::always_inline]] inline unsigned block_work(__m128i block) {
  __m128i found = _mm_setzero_si128();
  const auto add = [block, &found](std::string_view bytes) {
    for (char c : bytes) found = _mm_or_si128(found, _mm_cmpeq_epi8(block, _mm_set1_epi8(c)));
  };
  // Compared as signed bytes, those above 0x7F are below 0x20 too.
  if constexpr ((Classes & unfit_bit) != 0) {
    found = _mm_or_si128(found, _mm_cmplt_epi8(block, _mm_set1_epi8(0x20)));
  }
  if constexpr ((Classes & markup) != 0) add(markup_bytes);
  if constexpr ((Classes & quote) != 0) add(quote_bytes);
  if constexpr ((Classes & apostrophe) != 0) add(apostrophe_bytes);
  if constexpr ((Classes & unfit_bit) == 0) {  // else found with the controls
    if constexpr ((Classes & line_space) != 0) add(line_space_bytes);
    if constexpr ((Classes & carriage_return) != 0) add(carriage_return_bytes);
  }
  return static_cast<unsigned>(_mm_movemask_epi8(found));
}

#endif

// How many bytes at a time the scan passes: a machine word, or sixteen
// where the processor compares that many at once.
enum class Width { word, wide };
#if KIT_SSE2
constexpr Width widest = Width::wide;
#else
constexpr Width widest = Width::word;
#endif

template <unsigned char Classes, Width W>
[[gnu::always_inline]] inline const char* scan(const char* at, const char* end) {
  if constexpr (Classes == 0) return end;
#if KIT_SSE2
  if constexpr (W == Width::wide) {
    return detail::first_marked(at, end, [](__m128i block) { return block_work<Classes>(block); });
  }
#endif
  // Most text needs no work: a word is passed at a time.
  while (static_cast<std::size_t>(end - at) >= word_size && !word_needs_work<Classes>(at)) {
    at += word_size;
  }
  while (at != end && !WorkTable<Classes>::bytes[static_cast<unsigned char>(*at)]) ++at;
  return at;
}

// The step for the byte at `at`, for a set of classes.
template <unsigned char Classes> inline EscapeStep step(const char* at, const char* end) {
  const auto byte = static_cast<unsigned char>(*at);
  if ((byte_class[byte] & Classes) != 0) return {1, references[byte], false};
  if constexpr ((Classes & unfit_bit) != 0) {
    if (byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r') {
      return {1, replacement_character, true};
    }
    if (byte >= 0x80) {
      const Utf8Sequence sequence = utf8_sequence(at, end);
      if (!sequence.well_formed) return {sequence.length, replacement_character, true};
      const char32_t c = utf8_code_point(at, sequence.length);
      if (c == 0xFFFE || c == 0xFFFF) return {sequence.length, replacement_character, true};
      return {sequence.length, std::string_view(at, sequence.length), false};
    }
  }
  return {1, std::string_view(at, 1), false};
}

// The scan's stops and the runs between them, in one loop.
template <unsigned char Classes>
EscapedPart escape_part(std::string_view text, char* out, std::size_t room) {
  const char* in = text.data();
  const char* const end = in + text.size();
  char* const first = out;
  char* const out_end = out + room;
  bool replaced = false;
  while (in != end) {
    // No further than the room reaches: a long text in many parts is
    // scanned once, not once for each part.
    const char* const limit = in + std::min(static_cast<std::size_t>(end - in), static_cast<std::size_t>(out_end - out));
    const char* const stop = scan<Classes, widest>(in, limit);
    copy_bytes(out, std::string_view(in, static_cast<std::size_t>(stop - in)));
    out += stop - in;
    in = stop;
    if (in == limit) break;  // out of room, or at the end
    const EscapeStep done = step<Classes>(in, end);
    if (done.replacement.size() > static_cast<std::size_t>(out_end - out)) break;
    copy_bytes(out, done.replacement);
    out += done.replacement.size();
    in += done.length;
    replaced = replaced || done.replaced_unfit;
  }
  return {static_cast<std::size_t>(in - text.data()), static_cast<std::size_t>(out - first), replaced};
}

// Each of these for each mode and each choice on unfit bytes, so that each
// holds only the comparisons it needs; a call goes straight to its own
// through a table, without the saving of registers one function for all
// would need.
template <template <unsigned char> typename Use> struct ForEachMode {
  using Function = decltype(&Use<0>::call);
  template <XmlEscape Mode> static constexpr std::array<Function, 2> pair = {
      &Use<classes_of(Mode)>::call, &Use<classes_of(Mode) | unfit_bit>::call};
  static constexpr std::array<std::array<Function, 2>, 7> table = {
      pair<XmlEscape::none>,        pair<XmlEscape::data>,
      pair<XmlEscape::attribute>,   pair<XmlEscape::own_quotes>,
      pair<XmlEscape::attribute_in_apostrophes>,
      pair<XmlEscape::light_value>, pair<XmlEscape::light_value_in_apostrophes>};
  static Function of(XmlEscape mode, Unfit unfit) {
    static_assert(static_cast<std::size_t>(XmlEscape::light_value_in_apostrophes) == 6);
    return table[static_cast<std::size_t>(mode)][static_cast<std::size_t>(unfit)];
  }
};

template <unsigned char Classes> struct WideScan {
  static const char* call(const char* from, const char* end) { return scan<Classes, widest>(from, end); }
};
template <unsigned char Classes> struct WordScan {
  static const char* call(const char* from, const char* end) { return scan<Classes, Width::word>(from, end); }
};
template <unsigned char Classes> struct Step {
  static EscapeStep call(const char* at, const char* end) { return step<Classes>(at, end); }
};
template <unsigned char Classes> struct Part {
  static EscapedPart call(std::string_view text, char* out, std::size_t room) {
    return escape_part<Classes>(text, out, room);
  }
};

}  // namespace

const std::array<bool, 256> detail::xml_plain_byte = [] {
  std::array<bool, 256> table{};
  for (unsigned byte = 0x20; byte < 0x7F; ++byte) table[byte] = byte_class[byte] == 0;
  return table;
}();

const char* next_to_escape(const char* from, const char* end, XmlEscape mode, Unfit unfit) {
  return ForEachMode<WideScan>::of(mode, unfit)(from, end);
}

const char* next_to_escape_by_words(const char* from, const char* end, XmlEscape mode,
                                    Unfit unfit) {
  return ForEachMode<WordScan>::of(mode, unfit)(from, end);
}

EscapeStep escape_step(const char* at, const char* end, XmlEscape mode, Unfit unfit) {
  return ForEachMode<Step>::of(mode, unfit)(at, end);
}

EscapedPart escape_xml_part(std::string_view text, XmlEscape mode, Unfit unfit, char* out,
                            std::size_t room) {
  return ForEachMode<Part>::of(mode, unfit)(text, out, room);
}

}  // namespace kit
