#include "varnel/ini.h"

namespace kit {

Text title_line(const Element& element) {
  const Text name = expand_mode ? element.get_attribute("name") : element.name();
  return "[" + name + "]\n";
}

Text option_line(const Element& element) {
  Text key, value;
  if (expand_mode) {
    key = element.get_attribute("name");
    value = element.get_attribute("value");
  } else {
    Element first = element;  // the attribute cursor is the element's own state
    first.reset_attribute_cursor();
    key = first.cursor_attribute_name();
    value = first.cursor_attribute_value();
  }
  Text line = element.get_attribute("active") == "false" ? comment_prefix : Text();
  line += key;
  line += " =";
  if (!value.is_empty()) line += " " + value;
  line += "\n";
  return line;
}

Text comment_node_line(const Text& text) {
  Text line = text.trim().is_empty() ? Text() : comment_prefix;
  line += text;
  line += "\n";
  return line;
}

void regenerate_ini() {
  // Only the top-level chain: inline comments below options are not lines.
  for (int i = 1; i > 0 && i < ini_tree.node_count(); i = ini_tree.node(i).next()) {
    const Node& node = ini_tree.node(i);
    if (node.is_element()) {
      const Element& element = node.element();
      const std::string_view name = element.name_view();
      if (name == "option") {
        ini_lines.push(option_line(element));
      } else if (name == "blank") {
        ini_lines.push(Text("\n"));
      } else if (name == "comment") {
        ini_lines.push(comment_prefix + element.get_attribute("data") + "\n");
      } else {
        ini_lines.push(title_line(element));  // "title", or a section named after itself
      }
    } else if (node.is_comment()) {
      ini_lines.push(comment_node_line(node.comment()));
    }
  }
}

}  // namespace kit
