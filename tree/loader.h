// SPDX-License-Identifier: MIT
/// @file
/// The XML loader: Expat parses a file read in blocks, or a text in memory,
/// and its callbacks become four numbered events handed to one handler the
/// caller picks. The builder turns the events into a Dom; the echo handler
/// prints them; the lookup handler finds one attribute value or one element
/// text.
///
/// Names, attribute values, text and comments arrive in UTF-8 and are kept as
/// they come. A text event carries the character data between two line feeds,
/// or up to the next tag or comment, whatever Expat's pieces: references,
/// CDATA sections and read blocks never cut it. The loader's state is
/// process-wide: one parse at a time, and a handler may not start another.
/// Every parse starts from a clean state. Nothing here ends the process:
/// failures are reported and give false, running out of memory included.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string_view>

#include "runtime/text.h"
#include "tree/dom.h"

namespace kit {

// The events, by the numbers handlers receive.
inline constexpr int event_start = 1;    ///< element start; depth raised after the handler returns
inline constexpr int event_end = 2;      ///< element end; depth lowered before the handler runs
inline constexpr int event_text = 3;     ///< a text piece; pieces of white space alone never come
inline constexpr int event_comment = 4;  ///< a comment, its text in LoaderState::comment

/// The file goes to Expat in blocks of this size, so it is never held whole.
inline constexpr std::size_t read_block_bytes = 8192;

/// The builder stores a comment wrapped in comment_open and comment_close, so
/// that it reads as one.
inline constexpr std::string_view comment_open = "<!--";
inline constexpr std::string_view comment_close = "-->";  ///< see comment_open

/// A handler, called with each event's number; loader_state() tells the rest.
using EventHandler = void (*)(int event);

/// What the loader knows while a handler runs. The views and the attribute
/// list belong to Expat and are valid only during the handler of their event.
struct LoaderState {
  std::string_view name;                   ///< element of the last start or end event
  const char* const* attributes = nullptr; ///< last start: name, value, ..., null; else null
  std::string_view text;                   ///< the piece of the text event
  std::string_view comment;                ///< the text of the comment event
  int depth = 0;                           ///< elements open
  int previous_depth = 0;                  ///< the depth at the last end event
};
const LoaderState& loader_state();  ///< all empty and 0 before any parse

/// Parses the file into the Dom with the builder: the document's top element
/// goes below the cursor when it is on the root, else after it. true when the
/// whole file was parsed; false after a missing file, a read or a parse error,
/// the Dom keeping what was built before and staying usable.
bool load_xml(Dom& dom, const Text& path);
/// The same for a document in memory.
bool load_xml_text(Dom& dom, std::string_view text);

/// Parses the file, handing each event to the handler. false, with a message,
/// when the parser cannot be made ("Not enough memory for parser" on standard
/// error), the file cannot be opened ("File not found" on standard output), a
/// read fails ("Read error" on standard error), the XML is malformed ("Parse
/// error at line n:" and Expat's reason on standard error), memory runs out
/// ("Not enough memory" on standard error) or a tree is out of room for nodes
/// ("Too many nodes" on standard error); false at once, with nothing printed,
/// for a null handler or when called from a handler.
bool parse_file(EventHandler handler, const Text& path);
/// The same for a document in memory: the same events and messages.
bool parse_text(EventHandler handler, std::string_view text);

/// Binds the Dom for the builder while function(argument) runs and returns
/// what it returns (0 for an empty function); the binding before the call is
/// restored after it, so no Dom stays bound past its call.
int with_dom(Dom& dom, const std::function<int(int)>& function, int argument);

/// The Dom the builder fills: the one load_xml or with_dom binds while they
/// run; otherwise a Dom of the loader's own, made by the first event the
/// builder receives with none bound and kept for later parses; null until then.
Dom* bound_dom();

/// Builds the tree below the bound Dom's cursor. Elements nest by the depth
/// against the previous depth; text pieces are joined with line feeds and go
/// to the element started last, before a child is added or when an element
/// ends; a comment becomes a comment node, the first child of an element when
/// it comes before any child element, and a comment before or after the top
/// element its first or last child, so that the tree has one top element.
void build_handler(int event);

/// Prints the events on standard output as indented XML.
void echo_handler(int event);

/// What the lookup handler looks for and what it found. Set the filter and
/// the attribute name and clear `found` before the parse; the first match wins.
///
/// With an attribute name: the first element (of this name, case ignored,
/// when a filter is set) carrying that attribute gives its value.
/// Without one: the first text piece met while the last element started or
/// ended is named like the filter gives the piece; each piece met on the
/// way prints "filter = element name" on standard output.
struct Lookup {
  std::optional<Text> element_filter;      ///< element name; none: any element, and no text piece
  std::optional<Text> attribute;           ///< an attribute name; none: a text piece is looked for
  bool found = false;                      ///< a match was made; later events then change nothing
  Text result;                             ///< "" until found
};
Lookup& lookup_request();  ///< the one the lookup handler reads and fills
/// Serves lookup_request(): checks each start event (for an attribute) or
/// text event (for a text piece) and fills in the first match; nothing once
/// found.
void lookup_handler(int event);

}  // namespace kit
