// SPDX-License-Identifier: MIT
/// @file
/// The tree writers: a Dom as XML or as the light form (the same nesting and
/// attributes without angle brackets; "/name" closes an element and " /" ends
/// an empty one), to a file or to standard output.
///
/// XML escapes "&", "<", ">" and, inside quotes, the double quote, so the
/// document is well-formed whenever the names are and one element holds all
/// the others; inside quotes tab, line feed and carriage return become
/// character references, which XML readers keep (they turn the bytes
/// themselves into spaces), and so does a carriage return in data (which
/// they would turn into a line feed). A comment node is written at its own
/// depth, as the element "comment" it loads back as. What XML 1.0 cannot
/// hold in any form (ill-formed UTF-8, control characters but tab, line feed
/// and carriage return, U+FFFE and U+FFFF) is written as U+FFFD, in names
/// and header lines too, and Dom::output().replaced_unfit then tells so;
/// other bytes go out as they are. The light forms write every text byte for
/// byte. The root itself is written only when Dom::set_whole_document asks
/// for one standalone document. The sink, format code and indentation level
/// are kept in the Dom (Dom::output) from one write to the next.
#pragma once

#include <string_view>

#include "runtime/text.h"
#include "tree/dom.h"

namespace kit {

// Format codes.
inline constexpr int format_xml = 0;           ///< XML
inline constexpr int format_light = 1;         ///< the light form, as is every code but 0 and 4
inline constexpr int format_light_quoted = 4;  ///< light, each element's data in double quotes

inline constexpr int indent_step = 2;    ///< indentation: spaces a level
/// The most spaces any line's indentation gets, so that a deep tree keeps its
/// lines short.
inline constexpr int indent_limit = 48;

/// Writes the header lines, each with a line feed, then the tree from node 1,
/// into the file created or truncated. true when all was written and closed;
/// false when the file could not be opened or a write or the close failed.
/// A Dom holding only its root gives true and no file.
bool store(Dom& dom, const Text& path, int format_code);
/// The same, added after what the file holds; the file is created if missing.
bool store_append(Dom& dom, const Text& path, int format_code);
/// The same on standard output; "Empty\n" for a Dom holding only its root.
void display(Dom& dom, int format_code);
/// What store would write, as a text; "" for a Dom holding only its root.
Text store_text(Dom& dom, int format_code);

// Output primitives, through the Dom's current sink.
void put_text(Dom& dom, std::string_view text);   ///< the bytes, nothing added
void put_char(Dom& dom, char c);                  ///< the byte as it is
void put_indent(Dom& dom);                        ///< indent_step spaces a level, at most indent_limit
/// An attribute value with its quotes. In XML a value already enclosed in one
/// kind of quote found nowhere inside stays so, other values are quoted with
/// '"'; either way what XML needs is escaped. In the light form a value that
/// begins with a quote is written as it stands, any other between '"'.
void put_value(Dom& dom, std::string_view value);
/// The opening line of an element, and its data lines when it has data.
void open_tag(Dom& dom, const Element& element, bool has_children);
/// The closing line of an element, or the end of its opening line.
void close_tag(Dom& dom, const Element& element, bool has_children);
/// A node, its following siblings and all their descendants, the first at
/// `depth`; nothing for an index outside 1 .. node count - 1.
void write_nodes(Dom& dom, int start, int depth);

}  // namespace kit
