// SPDX-License-Identifier: MIT
// The INI converter's conversion: an INI file read into a flat element tree,
// one element per line, and that tree written back as INI text.
#pragma once

#include <cstddef>
#include <functional>
#include <string_view>

#include "runtime/array.h"
#include "runtime/detail/driver.h"
#include "runtime/files.h"
#include "runtime/text.h"
#include "tree/dom.h"

namespace kit::varnel {

// Run-wide state, decided by the driver before the source is read.
extern bool expand_mode;     // key and value as the attributes "name" and "value"
extern Dom ini_tree;         // the tree of the run
extern Text comment_prefix;  // the first comment character of the source, or ""
extern Array ini_lines;      // the regenerated INI lines, each ending in "\n"

// What read_ini met, for the notes at the end of a run: how the source was
// read, the lines kept as "line" elements, whether a name was encoded
// (default mode). The driver adds what the writer replaced.
extern RunNotes read_notes;

// Reads the INI file, or standard input for "-", into `tree` (reset first),
// one top-level element per line, and sets comment_prefix and read_notes. A
// line no rule takes becomes the element "line" with "data" = the line. In
// the default mode keys and section names are encoded as XML names
// (encode_xml_name in runtime/xml_escape.h), also when they would equal a
// name the reader gives ("active", "comment", "xmlns"; the line elements'
// names for a section). The source is read in the encoding its first bytes
// tell (see Decoding::source in runtime/files.h); NUL bytes are dropped, as
// XML cannot carry them. false (tree then holds the root alone) when the
// source cannot be opened or read.
bool read_ini(const Text& source, Dom& tree);

// The builders of read_ini, each filling the reader's reused element `into`.
// The element "blank".
void make_blank(Element& into);
// The element "comment" with "data" = text, unchanged.
void make_comment(std::string_view text, Element& into);
// The section of a line holding "[", named by what stands between it and
// the next "]" (or the end): "title" with "name" in expand_mode, else an
// element named after the section (encoded). false, nothing built, when
// the name is empty.
bool parse_section(std::string_view line, Element& into);
// The position of the ";" that starts an option's inline comment, which
// becomes the option's child "comment": the first ";" after the separator,
// unless it stands inside the double quotes that follow it; npos when none.
// This rule cuts first; split_option_line's (runtime/option_line.h), which
// looks from the start of the line, then cuts what is left into the
// option's "comment" attribute. Two rules, as the reader has both kinds.
std::size_t find_inline_comment(std::string_view line);
// The element "option" of a line: key and value trimmed, as "name" and
// "value" in expand_mode or as one attribute named after the key (encoded),
// then "comment" for split_option_line's trailing comment. false, nothing
// built, when the line, that comment cut off, has no "=" or ":".
bool parse_option(std::string_view line, Element& into);

// Hands `write_line` one INI line, ending in "\n", for every node of the
// top-level chain of ini_tree from node 1 on; stops and gives false as soon
// as `write_line` does. Lines are not kept, so memory stays flat. A "line"
// element gives its "data" as it stands; in the default mode names are
// decoded back to the source's text.
bool regenerate_ini(const std::function<bool(std::string_view line)>& write_line);
// The same lines, appended to ini_lines. The lines below are each a
// one-line wrapper over the form regenerate_ini runs, which builds the line
// in its reused block.
void regenerate_ini();
// "[" + section name + "]\n".
Text title_line(const Element& element);
// The option as "key = value\n" ("key =\n" without a value), behind
// comment_prefix when it is not active.
Text option_line(const Element& element);
// A comment node's text as a line, behind comment_prefix unless blank.
Text comment_node_line(const Text& text);

}  // namespace kit::varnel
