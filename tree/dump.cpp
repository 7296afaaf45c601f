#include "tree/dump.h"

#include <cstdio>
#include <string>

#include "tree/writer.h"

namespace kit {

namespace {

// One link line, as dump_link writes it.
void add_link(std::string& out, const Dom& dom, std::string_view label, int index) {
  if (index == 0) return;
  out.append(label).append(": ");
  const Node& node = dom.node(index);
  if (node.is_element()) out.append(node.element().name_view());
  out += '\n';
}

// The bytes as they are, NUL bytes included.
void print(std::string_view text) { std::fwrite(text.data(), 1, text.size(), stdout); }

}  // namespace

void dump_nodes(Dom& dom) {
  Output& out = dom.output();
  out.to_file = false;
  out.level = 1;
  std::string lines;  // one node's lines, written at once
  for (int index = 0; index < dom.node_count(); ++index) {
    const Node& node = dom.node(index);
    lines.clear();
    switch (node.kind()) {
      case NodeKind::element:
        lines.append("ELEMENT:").append(node.element().name_view()) += '\n';
        add_link(lines, dom, "parent", node.parent());
        add_link(lines, dom, "child ", node.child());
        add_link(lines, dom, "next  ", node.next());
        add_link(lines, dom, "last  ", node.last());
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
