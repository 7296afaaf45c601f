// SPDX-License-Identifier: MIT
#include "tree/dump.h"

#include <cstdio>
#include <string>
#include <utility>

#include "tree/writer.h"

namespace kit {

namespace {

// One link line, as dump_link writes it; whether it names an element.
bool add_link(std::string& out, const Dom& dom, std::string_view label, int index) {
  if (index == 0) return false;
  out.append(label).append(": ");
  const Node& node = dom.node(index);
  if (node.is_element()) out.append(node.element().name_view());
  out += '\n';
  return node.is_element();
}

// The bytes as they are, NUL bytes included.
void print(std::string_view text) { std::fwrite(text.data(), 1, text.size(), stdout); }

}  // namespace

void dump_nodes(Dom& dom) {
  Output& out = dom.output();
  out.to_file = false;
  out.level = 1;
  std::string lines;  // one node's lines, written at once
  int named = 0;      // the element named last; the root at least
  for (int index = 0; index < dom.node_count(); ++index) {
    const Node& node = dom.node(index);
    lines.clear();
    switch (node.kind()) {
      case NodeKind::element:
        lines.append("ELEMENT:").append(node.element().name_view()) += '\n';
        named = index;
        for (const auto& [label, link] : {std::pair<std::string_view, int>{"parent", node.parent()},
                                          {"child ", node.child()},
                                          {"next  ", node.next()},
                                          {"last  ", node.last()}}) {
          if (add_link(lines, dom, label, link)) named = link;
        }
        lines += '\n';
        break;
      case NodeKind::script:
        lines.append("SCRIPT ").append(std::to_string(node.script().line_count())) += " lines\n";
        break;
      case NodeKind::comment:
        lines.append("COMMENT length=").append(std::to_string(node.comment().length())) += '\n';
        break;
    }
    put_text(dom, lines);
  }
  // The current payload follows the elements named, as a walk through them
  // leaves it; the cursor stays.
  const int cursor = dom.cursor();
  dom.set_cursor(named);
  dom.current_element();
  dom.set_cursor(cursor);
}

void dump_link(Dom& dom, std::string_view label, int index) {
  std::string line;
  add_link(line, dom, label, index);
  put_text(dom, line);
}

void print_element(const Element& element) {
  print(element.name_view());
  element.each_attribute([](const AttributeView& attribute) {
    print(" ");
    print(attribute.name);
    print("=");
    print(attribute.value);
  });
  print("\n");
  if (!element.data_view().empty()) {
    print("    \"");
    print(element.data_view());
    print("\"\n");
  }
  print("/");
  print(element.name_view());
  print("\n");
}

}  // namespace kit
