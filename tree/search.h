// SPDX-License-Identifier: MIT
/// @file
/// Queries over a tree and the folding of a second tree into one: cursor
/// searches that move the Dom's cursor and set its found flag, lookups of one
/// value by one or two keys, the collection of one attribute over a subtree,
/// and merge and completion.
///
/// Key tests ignore ASCII case; tag names in find_child, merge_tree and
/// complete_tree are compared exactly. No walk recurses: trees of any depth
/// are safe.
#pragma once

#include <optional>

#include "runtime/array.h"
#include "runtime/text.h"
#include "tree/dom.h"

namespace kit {

/// To the first child element of the cursor node named `name`; found then.
/// Without children: prints "No more element, for <name>\n" on standard
/// output and leaves the cursor on the root, not found. Without a match:
/// prints "<name> element not found\n" and leaves it on the first child, not
/// found. Returns the Dom.
Dom& find_child(Dom& dom, const Text& name);

/// Whether the cursor node is an element with an attribute of that name and
/// value (both through Text::compare_nocase); false for other nodes.
bool has_attribute_value(const Dom& dom, const Text& attribute, const Text& value);

/// To the first of the cursor node and its following siblings that
/// has_attribute_value accepts; found then. Without one the cursor stays on
/// the last sibling, not found. Returns the Dom.
Dom& find_by_attribute(Dom& dom, const Text& attribute, const Text& value);

/// The first element in document order that gives a value for the key: the
/// value of its attribute named `key`, else its data when its tag, its "name"
/// or its "id" is the key. The key itself when no element gives one; none
/// when the root has no child.
std::optional<Text> find_value(const Dom& dom, const Text& key);

/// The same with two keys, tried in this order on each element: its data when
/// one key is its tag and the other its "name" or "id" (key1 as tag first);
/// else the value of its attribute named by one key when the other is its
/// "name" or "id" (key1's attribute first). key1 when no element gives one;
/// none when the root has no child.
std::optional<Text> find_value2(const Dom& dom, const Text& key1, const Text& key2);

/// Every element below the cursor node, in document order, carrying an
/// attribute named `key`: its value under the element's "name" attribute, or
/// its tag when that is empty; a later value replaces an earlier one under
/// the same entry key. Empty when none carries it.
Array collect(const Dom& dom, const Text& key);

/// Folds the source's top-level chain into the target's; always true.
/// Same-named elements are paired along each chain and their children merged
/// in turn. A pair whose source has no attributes matches; the target then
/// takes the source's data when it has neither data nor attributes. A pair
/// whose source has attributes matches only when both carry the same "name"
/// (case ignored); the target's data is then set from the source, and the
/// source's attributes it lacks are added. A source element with no match
/// along the rest of the target chain is appended, with all the source
/// elements after it, at the end of that chain; so are the source elements
/// left when the target chain ends first. A childless target element takes
/// copies of its match's children, which are not merged again with the
/// children they copy (that would add each unmatched one twice). The target's
/// cursor starts at its root and moves with the copies; the source is only
/// read, its cursor left where it was.
bool merge_tree(Dom& target, const Dom& source);
/// The same from the given nodes (0 is the root); true, and nothing done for
/// an index outside its Dom.
bool merge_tree_at(Dom& target, const Dom& source, int target_index, int source_index);

/// Like merge_tree, but any two same-named elements match: for each pair it
/// prints "completing <target tag> with <source tag>\n" and "data <target
/// data> with <source data>\n", then runs complete_element on them. A
/// childless target element takes copies of its match's children, not
/// completed again with them. The cursors as for merge_tree.
void complete_tree(Dom& target, const Dom& source);

/// Prints "source (<source data>) target (<target data>)\n". When the target
/// has no data and the source has some, prints "target empty\n" and the
/// target takes a copy. The source's attributes whose names the target lacks
/// (case ignored) are appended in order; the target's keep their values.
void complete_element(Element& target, const Element& source);

}  // namespace kit
