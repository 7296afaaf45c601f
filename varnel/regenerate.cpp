// SPDX-License-Identifier: MIT
#include <string>

#include "runtime/byte_block.h"
#include "runtime/xml_escape.h"
#include "varnel/ini.h"

namespace kit::varnel {

namespace {

using View = std::string_view;

bool is_blank(View text) {
  for (char c : text) {
    if (!is_trim_space(c)) return false;
  }
  return true;
}

// The value of the first attribute of that name, case ignored; "" when
// there is none. Valid while the element is.
View attribute(const Element& element, View name) { return element.find_attribute(name).value_or(View()); }

// A key or section name of the default mode as the source wrote it. Valid
// until the next call.
View source_name(View name) {
  static std::string room;
  return decode_xml_name(name, room);
}

// The lines are built into one reused buffer; the views handed out point there.
void title_line(ByteBlock& line, const Element& element) {
  line += '[';
  line += expand_mode ? attribute(element, "name") : source_name(element.name_view());
  line += "]\n";
}

void option_line(ByteBlock& line, const Element& element) {
  View key, value, active;
  bool key_found = false;
  bool value_found = false;
  bool active_found = false;
  // One walk finds them all, each the first attribute of its name, as
  // find_attribute would; without -expand the key and value are the first
  // attribute, as a reset attribute cursor would show it. A find_attribute
  // for each took 3% more instructions in all.
  const auto take = [](View& into, bool& found, const AttributeView& a, View name) {
    if (!found && same_nocase(a.name, name)) {
      into = a.value;
      found = true;
    }
  };
  element.each_attribute([&](const AttributeView& a) {
    if (expand_mode) {
      take(key, key_found, a, "name");
      take(value, value_found, a, "value");
    } else if (!key_found) {
      key = a.name;
      value = a.value;
      key_found = true;
    }
    take(active, active_found, a, "active");
  });
  if (active == "false") line += comment_prefix.view();
  line += expand_mode ? key : source_name(key);
  line += " =";
  if (!value.empty()) {
    line += ' ';
    line += value;
  }
  line += '\n';
}

void comment_node_line(ByteBlock& line, View text) {
  if (!is_blank(text)) line += comment_prefix.view();
  line += text;
  line += '\n';
}

void put_node(ByteBlock& line, const Node& node) {
  if (node.is_comment()) {
    comment_node_line(line, node.comment().view());
    return;
  }
  if (!node.is_element()) return;  // a script block gives no line
  const Element& element = node.element();
  const View name = element.name_view();
  if (name == "option") {
    option_line(line, element);
  } else if (name == "blank") {
    line += '\n';
  } else if (name == "comment") {
    line += comment_prefix.view();
    line += attribute(element, "data");
    line += '\n';
  } else if (name == "line") {
    line += attribute(element, "data");  // kept as read
    line += '\n';
  } else {
    title_line(line, element);  // "title", or a section named after itself
  }
}

}  // namespace

Text title_line(const Element& element) {
  ByteBlock line;
  title_line(line, element);
  return Text(line.view());
}

Text option_line(const Element& element) {
  ByteBlock line;
  option_line(line, element);
  return Text(line.view());
}

Text comment_node_line(const Text& text) {
  ByteBlock line;
  comment_node_line(line, text.view());
  return Text(line.view());
}

bool regenerate_ini(const std::function<bool(View line)>& write_line) {
  ByteBlock line;
  // Only the top-level chain: inline comments below options are not lines.
  for (int i = 1; i > 0 && i < ini_tree.node_count();) {
    const Node& node = ini_tree.node(i);
    line.clear();
    put_node(line, node);
    if (!line.empty() && !write_line(line.view())) return false;
    i = node.next();
  }
  return true;
}

void regenerate_ini() {
  regenerate_ini([](View line) {
    ini_lines.push(Text(line));
    return true;
  });
}

}  // namespace kit::varnel
