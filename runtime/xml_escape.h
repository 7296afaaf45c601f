// SPDX-License-Identifier: MIT
/// @file
/// XML escaping for both writers: the bytes a mode names become entity or
/// character references, written straight into the caller's output; and, for
/// XML, what XML 1.0 cannot hold in any form becomes U+FFFD in the same pass.
///
/// The one loop, escape_xml_part, writes straight into a block of the
/// caller's, a part at a time as room allows; escape_xml_into escapes a whole
/// text so into a block the caller sends or grows. The scan for the next
/// byte that needs work is here as well, for callers that only ask whether a
/// text needs any.
///
/// Names are not escaped that way: a text that must become an element or
/// attribute name is encoded instead (encode_xml_name), so that the name is
/// one every parser takes, and decoded back (decode_xml_name).
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

#include "runtime/text.h"

namespace kit {

/// Which bytes an escape replaces. Every mode replaces "&", "<" and ">".
enum class XmlEscape : unsigned char {
  /// Names: nothing at all (a name that holds markup is no name).
  none,
  /// Character data: also carriage return as "&#13;", which a reader would
  /// otherwise turn into a line feed.
  data,
  /// An attribute value between double quotes: also '"', and tab, line feed
  /// and carriage return as "&#9;", "&#10;", "&#13;", which a reader would
  /// otherwise turn into spaces.
  attribute,
  /// A value kept between its own quotes, which it does not hold: also tab,
  /// line feed and carriage return, as for attribute.
  own_quotes,
  /// An attribute value between apostrophes: as attribute, and "'" as "&apos;".
  attribute_in_apostrophes,
  /// A value of the light form, which is no XML: also '"'; white space
  /// stays as it is.
  light_value,
  /// The same between apostrophes: also "'" as "&apos;".
  light_value_in_apostrophes,
};

/// What becomes of the characters XML 1.0 cannot hold in any form: each
/// maximal subpart of an ill-formed UTF-8 sequence, each character U+0000 to
/// U+001F but tab, line feed and carriage return, U+FFFE and U+FFFF. XML
/// writes them as U+FFFD; other forms keep their bytes.
enum class Unfit : bool { keep, replace };

/// What a program tells its user after "<target>: " when XML it wrote had
/// characters replaced so.
inline constexpr const char* unfit_note = "characters XML cannot hold written as U+FFFD";

/// The first byte in [from, end) that `mode` and `unfit` do work on; `end`
/// when none.
const char* next_to_escape(const char* from, const char* end, XmlEscape mode, Unfit unfit);

/// What one call of escape_xml_part did.
struct EscapedPart {
  std::size_t read;     ///< bytes of the text escaped
  std::size_t written;  ///< bytes written for them
  bool replaced_unfit;  ///< U+FFFD was written for unfit bytes
};

/// The longest that one byte or character of the input becomes ("&quot;").
inline constexpr std::size_t longest_escape = 6;

/// Escapes the start of `text` for `mode` into the `room` bytes at `out`, as
/// much as fits there: what a byte or character becomes is written whole or
/// not at all, so the parts of successive calls join to the whole escape.
/// With room of at least longest_escape it always reads something from a
/// text that is not empty; with less it may read nothing ({0, 0, false}).
EscapedPart escape_xml_part(std::string_view text, XmlEscape mode, Unfit unfit, char* out,
                            std::size_t room);

namespace detail {
/// Bytes no mode and no unfit test stops at: printable ASCII but for the
/// markup and the quotes.
extern const std::array<bool, 256> xml_plain_byte;
/// Texts up to this long are tested a byte at a time inline before the scan:
/// most names and values are that short and need nothing, and for them the
/// scan's call would cost more than the test.
inline constexpr std::size_t short_text_bytes = 16;
/// Whether the text is that short and holds only such bytes: then it goes
/// out as it stands in any mode.
inline bool short_and_plain(std::string_view text) {
  if (text.size() > short_text_bytes) return false;
  bool plain = true;
  for (const char c : text) plain &= xml_plain_byte[static_cast<unsigned char>(c)];
  return plain;
}

/// The loop of escape_xml_into, apart from its inline test for the short
/// plain texts that are most of them.
template <typename Room, typename Used>
[[gnu::noinline]] bool escape_parts_into(std::string_view text, XmlEscape mode, Unfit unfit, Room& room,
                                         Used& used) {
  bool replaced = false;
  while (!text.empty()) {
    const std::pair<char*, std::size_t> free = room(longest_escape);
    const EscapedPart part = escape_xml_part(text, mode, unfit, free.first, free.second);
    used(part.written);
    replaced = replaced || part.replaced_unfit;
    text.remove_prefix(part.read);
  }
  return replaced;
}
}  // namespace detail

/// Escapes the whole text for `mode` into a block of the caller's, part by
/// part: `room(n)` makes at least n bytes free there (by sending or growing
/// the block) and returns where they start and how many are free; `used(n)`
/// counts the n bytes just written. Returns whether unfit bytes became U+FFFD.
template <typename Room, typename Used>
inline bool escape_xml_into(std::string_view text, XmlEscape mode, Unfit unfit, Room&& room, Used&& used) {
  if (detail::short_and_plain(text)) {
    copy_bytes(room(text.size()).first, text);
    used(text.size());
    return false;
  }
  return detail::escape_parts_into(text, mode, unfit, room, used);
}

/// The XML name for any text. A character stands as it is when XML 1.0
/// (Fourth Edition) lets it stand there: a Letter or "_" first, then also a
/// Digit, ".", "-", CombiningChar or Extender; never ":" and nothing above
/// U+FFFF, so that Expat takes the name with or without namespaces. Every
/// other character is written "_xHHHH_" (six digits above U+FFFF), each byte
/// B of ill-formed UTF-8 "_xDCBB_", an "_" that "x" and four hex digits
/// follow "_x005F_", and "" is "_x0000_". With `escape_first` the first
/// character is escaped even when it could stand, to keep the name apart from
/// another it would equal. Returns `text` itself when nothing changes, else
/// the encoding built in `room` (which it clears); never fails.
std::string_view encode_xml_name(std::string_view text, std::string& room, bool escape_first = false);

/// The text a name encoded so stands for: each "_x", four or six hex digits
/// and "_" read from left to right is the byte 0x80 to 0xFF for U+DC80 to
/// U+DCFF, else its character, or itself for U+0000, other surrogates and
/// values above U+10FFFF; "_x0000_" alone is "". Returns `name` itself when
/// it holds no "_", else the text built in `room` (which it clears).
std::string_view decode_xml_name(std::string_view name, std::string& room);

}  // namespace kit
