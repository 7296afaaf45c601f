// SPDX-License-Identifier: MIT
/// @file
/// Diagnostic listings of a tree on standard output, for a developer looking
/// at what a reader or loader built. Neither changes the tree.
#pragma once

#include <string_view>

#include "tree/dom.h"

namespace kit {

/// Every node from index 0 up, with its links: "ELEMENT:name" and its link
/// lines then a blank line, "SCRIPT n lines" or "COMMENT length=n". Sets the
/// Dom's sink to standard output and its indentation level to 1; the current
/// payload ends on the element named last, the cursor where it was.
void dump_nodes(Dom& dom);

/// "label: name\n" through the Dom's sink, the name only for a link to an
/// element; nothing at all for index 0.
void dump_link(Dom& dom, std::string_view label, int index);

/// The element's name and its attributes as name=value (no quotes added),
/// its data in double quotes on a line of its own, then "/name".
void print_element(const Element& element);

}  // namespace kit
