// SPDX-License-Identifier: MIT
// Trees loaded from XML text and written back as one line, for the loader
// and search tests.
#pragma once

#include <string>

#include "support/capture.h"
#include "support/temp_dir.h"
#include "tree/loader.h"

namespace kit_test {

// The Dom load_xml makes of the bytes; what it printed and returned go to
// the optional outputs.
inline kit::Dom tree_of(const std::string& xml, Captured* printed = nullptr,
                        bool* parsed = nullptr) {
  TempDir dir;
  const std::string path = dir.write("tree.xml", xml);
  kit::Dom dom;
  bool ok = false;
  const Captured seen = capture([&] { ok = kit::load_xml(dom, path.c_str()); });
  if (printed) *printed = seen;
  if (parsed) *parsed = ok;
  return dom;
}

// "a[k=v](b="data" {<!--c-->})": the chain from `index`, attributes in
// brackets, data after "=", children in parentheses, comments in braces.
inline std::string shape(const kit::Dom& dom, int index) {
  std::string out;
  for (; index != 0; index = dom.node(index).next()) {
    const kit::Node& node = dom.node(index);
    if (!out.empty()) out += ' ';
    if (node.is_comment()) {
      out += "{" + node.comment().str() + "}";
      continue;
    }
    out += node.element().name().str();
    std::string attributes;
    node.element().each_attribute([&](const kit::AttributeView& at) {
      attributes += (attributes.empty() ? "" : " ") + std::string(at.name) + "=" +
                    std::string(at.value);
    });
    if (!attributes.empty()) out += "[" + attributes + "]";
    if (!node.element().data().is_empty()) out += "=\"" + node.element().data().str() + "\"";
    if (node.child() != 0) out += "(" + shape(dom, node.child()) + ")";
  }
  return out;
}

inline std::string top(const kit::Dom& dom) { return shape(dom, dom.node(0).child()); }

}  // namespace kit_test
