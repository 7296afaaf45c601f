// SPDX-License-Identifier: MIT
// The configuration translator: titles, properties and comments, one line at
// a time, into XML or the light form (elements without angle brackets).
#pragma once

#include <vector>

#include "runtime/detail/driver.h"
#include "runtime/files.h"
#include "runtime/text.h"

namespace kit::dorsik {

// true selects the light form; set once by the driver before converting.
extern bool light_mode;

using Outcome = kit::Outcome;

// How a conversion ended; a failure names the file it concerns.
struct Conversion {
  Outcome outcome = Outcome::converted;
  Text file;  // the file the failure concerns; empty after a conversion
  // How the source was read, the lines kept as "line" elements (a joined
  // line counted from its first) and whether the XML form put U+FFFD for
  // what XML cannot hold.
  RunNotes notes = {};
};

// Converts the whole source into the target, a line at a time: a title, an
// entry, a comment, or, for a non-blank line no rule takes, the element
// "line" holding it whole. A source "-" is standard input, a target "-"
// standard output (flushed, left open). The source is read in the encoding
// its first bytes tell (see Decoding::source in runtime/files.h); NUL bytes
// are dropped, as XML cannot carry them. A named target is replaced whole
// (runtime/replace_file.h). On a failure reports nothing itself; a source
// that cannot be opened leaves no target behind.
Conversion convert_file(const Text& source, const Text& target);

// The translations of single lines as texts, each a one-line wrapper over
// the form convert_file runs, which writes into its output block.

// `<comment value="..." />`, with "--" broken up as "- -".
Text translate_comment(const Text& text);

// `<title name="..." />` for a "[name]" line; "" when the line has no "[".
Text translate_title(const Text& line);

// The entry element with one option per value and the trailing comment,
// lines joined by "\n", without a final one; "" when the line, its trailing
// comment cut off, has no "=" or ":".
Text translate_property(const Text& line);

// The value trimmed, escaped for XML and enclosed in `quote` (one character);
// a value already enclosed in apostrophes is kept as it stands.
Text quote_value(const Text& value, char quote);

// The comma-separated items, each trimmed; never empty ("" gives one item).
std::vector<Text> split_values(const Text& text);

}  // namespace kit::dorsik
