// SPDX-License-Identifier: MIT
/// @file
/// HTML meta reader: the name and content of the meta tags in a document's
/// head, found by a plain text scan (no entities, comments or scripts are
/// understood; attributes are found by substring search, case ignored).
#pragma once

#include "runtime/text.h"

namespace kit {

class Array;

/// The meta tags between "<head>" and "</head>" as a dictionary from each
/// name attribute to its content attribute, in order of first appearance (a
/// repeated name keeps its place and takes the later content). Empty for a
/// missing file, a document without a head or a head without meta tags.
Array read_meta(const char* path);

/// The value of the first place the attribute name occurs in the tag text:
/// past it any spaces, "=" and quotes are skipped, and the value runs up to a
/// quote, ">" or the end. "" when the name does not occur.
Text attribute_value(const Text& tag, const Text& attribute);

}  // namespace kit
