// SPDX-License-Identifier: MIT
#include "tree/search.h"

#include <cstdio>
#include <string_view>
#include <vector>

#include "runtime/dyn.h"
#include "runtime/text.h"

namespace kit {

namespace {

void write_out(std::string_view bytes) { std::fwrite(bytes.data(), 1, bytes.size(), stdout); }

// The key tests of the lookups. A missing "name" or "id" reads as "".
bool tag_is(const Element& element, std::string_view key) {
  return same_nocase(element.name_view(), key);
}

bool named(const Element& element, std::string_view key) {
  return same_nocase(element.find_attribute("name").value_or(""), key) ||
         same_nocase(element.find_attribute("id").value_or(""), key);
}

// Calls visit(index) for each node below `top` in document order until it
// returns true. The following siblings of each node whose children are being
// walked wait on a stack of the walk's own.
template <typename Visit> void walk_below(const Dom& dom, int top, Visit&& visit) {
  std::vector<int> waiting;
  int index = dom.node(top).child();
  while (index != 0) {
    if (visit(index)) return;
    const Node& node = dom.node(index);
    if (node.child() != 0) {
      if (node.next() != 0) waiting.push_back(node.next());
      index = node.child();
    } else if (node.next() != 0) {
      index = node.next();
    } else if (!waiting.empty()) {
      index = waiting.back();
      waiting.pop_back();
    } else {
      index = 0;
    }
  }
}

// The first element of the whole tree for which test gives a value; `miss`
// when none does, nothing when the root has no child.
template <typename Test>
std::optional<Text> first_value(const Dom& dom, const Text& miss, Test&& test) {
  if (dom.node(0).child() == 0) return std::nullopt;
  std::optional<Text> found;
  walk_below(dom, 0, [&](int index) {
    const Node& node = dom.node(index);
    if (node.is_element()) found = test(node.element());
    return found.has_value();
  });
  if (found) return found;
  return miss;
}

void add_missing_attributes(Element& target, const Element& source) {
  if (&target == &source) return;
  source.each_attribute([&target](const AttributeView& attribute) {
    if (!target.has_attribute(Text(attribute.name))) {
      target.set_attribute(Text(attribute.name), Text(attribute.value));
    }
  });
}

// The merge and the completion: one walk over two sibling chains in step,
// descending into the children of each pair it makes.

enum class Fold { merge, complete };

constexpr int none = -1;  // no node: index 0 is a node here, the root

int link(int index) { return index == 0 ? none : index; }

// The node itself when it is an element, else the first element after it.
int element_from(const Dom& dom, int index) {
  while (index != none && !dom.node(index).is_element()) index = link(dom.node(index).next());
  return index;
}

// Copies of the source node, its following siblings and their subtrees, at
// the end of the chain that holds `at`; below `parent` when that chain is
// empty (`at` is none). Never after the root: at the end of its children.
void append_chain(Dom& target, const Dom& source, int from, int at, int parent) {
  if (at == 0) {
    parent = 0;
    at = link(target.node(0).child());
  }
  if (at == none) {
    target.set_cursor(parent);
    target.copy_chain_as_child(source, from);
    return;
  }
  while (target.node(at).next() != 0) at = target.node(at).next();
  target.set_cursor(at);
  target.copy_chain_as_next(source, from);
}

// Whether merge_tree folds a same-named pair: a source without attributes
// always, one with attributes only into a target of the same "name".
bool merge_matches(const Element& target, const Element& source) {
  if (source.attribute_count() == 0) return true;
  const auto source_name = source.find_attribute("name");
  const auto target_name = target.find_attribute("name");
  return source_name && target_name && same_nocase(*source_name, *target_name);
}

void merge_pair(Element& target, const Element& source) {
  if (source.attribute_count() == 0) {
    if (target.data_view().empty() && target.attribute_count() == 0) {
      target.set_data(Text(source.data_view()));
    }
    return;
  }
  target.set_data(Text(source.data_view()));
  add_missing_attributes(target, source);
}

void complete_pair(Element& target, const Element& source) {
  write_out("completing ");
  write_out(target.name_view());
  write_out(" with ");
  write_out(source.name_view());
  write_out("\ndata ");
  write_out(target.data_view());
  write_out(" with ");
  write_out(source.data_view());
  write_out("\n");
  complete_element(target, source);
}

void fold(Dom& target, const Dom& source, int target_start, int source_start, int parent,
          Fold how) {
  struct Level {
    int parent;      // the target node whose children the chain holds
    int target;      // target node at hand; none for an empty chain
    int source;
    bool paired;     // the pair at hand is done: on to the next siblings
  };
  std::vector<Level> levels{Level{parent, target_start, source_start, false}};
  while (!levels.empty()) {
    Level& level = levels.back();
    if (level.paired) {
      level.paired = false;
      const int source_next = link(source.node(level.source).next());
      if (source_next == none) {
        levels.pop_back();
        continue;
      }
      level.source = source_next;
      const int target_next = link(target.node(level.target).next());
      if (target_next == none) {
        const int rest = element_from(source, source_next);
        if (rest != none) append_chain(target, source, rest, level.target, level.parent);
        levels.pop_back();
        continue;
      }
      level.target = target_next;
    }
    const int s = element_from(source, level.source);
    if (s == none) {
      levels.pop_back();
      continue;
    }
    level.source = s;
    const int t = element_from(target, level.target);
    if (t == none) {
      append_chain(target, source, s, level.target, level.parent);
      levels.pop_back();
      continue;
    }
    level.target = t;

    const Element& from = source.node(s).element();
    bool pair = target.node(t).element().name_view() == from.name_view();
    if (pair && how == Fold::merge) pair = merge_matches(target.node(t).element(), from);
    if (!pair) {
      const int target_next = link(target.node(t).next());
      if (target_next != none) {
        level.target = target_next;
      } else {
        append_chain(target, source, s, t, level.parent);
        levels.pop_back();
      }
      continue;
    }

    target.set_cursor(t);
    Element& into = target.current_element();
    if (how == Fold::merge) {
      merge_pair(into, from);
    } else {
      complete_pair(into, from);
    }
    level.paired = true;
    const int source_child = source.node(s).child();
    if (source_child == 0) continue;
    const int target_child = target.node(t).child();
    if (target_child == 0) {
      // Nothing to pair them with: the children come over whole.
      target.set_cursor(t);
      target.copy_chain_as_child(source, source_child);
    } else {
      levels.push_back(Level{t, target_child, source_child, false});
    }
  }
}

}  // namespace

Dom& find_child(Dom& dom, const Text& name) {
  dom.down();
  if (!dom.found()) {
    write_out("No more element, for ");
    write_out(name.view());
    write_out("\n");
    return dom;
  }
  for (int index = dom.cursor(); index != 0; index = dom.node(index).next()) {
    const Node& node = dom.node(index);
    if (node.is_element() && node.element().name_view() == name.view()) {
      dom.set_cursor(index);  // found since down()
      return dom;
    }
  }
  dom.set_found(false);
  write_out(name.view());
  write_out(" element not found\n");
  return dom;
}

bool has_attribute_value(const Dom& dom, const Text& attribute, const Text& value) {
  const Node& node = dom.current_node();
  if (!node.is_element()) return false;
  bool match = false;
  node.element().each_attribute([&](const AttributeView& at) {
    match = match || (Text(at.name).compare_nocase(attribute) == 0 &&
                      Text(at.value).compare_nocase(value) == 0);
  });
  return match;
}

Dom& find_by_attribute(Dom& dom, const Text& attribute, const Text& value) {
  dom.set_found(true);
  while (!has_attribute_value(dom, attribute, value)) {
    if (dom.current_next() == 0) {
      dom.set_found(false);
      break;
    }
    dom.next();
  }
  return dom;
}

std::optional<Text> find_value(const Dom& dom, const Text& key) {
  const std::string_view k = key.view();
  return first_value(dom, key, [k](const Element& element) -> std::optional<Text> {
    if (const auto value = element.find_attribute(k)) return Text(*value);
    if (tag_is(element, k) || named(element, k)) return Text(element.data_view());
    return std::nullopt;
  });
}

std::optional<Text> find_value2(const Dom& dom, const Text& key1, const Text& key2) {
  const std::string_view k1 = key1.view();
  const std::string_view k2 = key2.view();
  return first_value(dom, key1, [k1, k2](const Element& element) -> std::optional<Text> {
    if (tag_is(element, k1) && named(element, k2)) return Text(element.data_view());
    if (tag_is(element, k2) && named(element, k1)) return Text(element.data_view());
    if (const auto value = element.find_attribute(k1); value && named(element, k2)) {
      return Text(*value);
    }
    if (const auto value = element.find_attribute(k2); value && named(element, k1)) {
      return Text(*value);
    }
    return std::nullopt;
  });
}

Array collect(const Dom& dom, const Text& key) {
  Array found;
  walk_below(dom, dom.cursor(), [&](int index) {
    const Node& node = dom.node(index);
    if (!node.is_element()) return false;
    const Element& element = node.element();
    const auto value = element.find_attribute(key.view());
    if (!value) return false;
    const std::string_view name = element.find_attribute("name").value_or("");
    found.set(Text(name.empty() ? element.name_view() : name), Dyn(Text(*value)));
    return false;
  });
  return found;
}

bool merge_tree(Dom& target, const Dom& source) {
  target.root();
  const int source_first = source.node(0).child();
  if (source_first != 0) {
    fold(target, source, link(target.node(0).child()), source_first, 0, Fold::merge);
  }
  return true;
}

bool merge_tree_at(Dom& target, const Dom& source, int target_index, int source_index) {
  if (target_index < 0 || target_index >= target.node_count() || source_index < 0 ||
      source_index >= source.node_count()) {
    return true;
  }
  fold(target, source, target_index, source_index, target.node(target_index).parent(),
       Fold::merge);
  return true;
}

void complete_tree(Dom& target, const Dom& source) {
  target.root();
  const int source_first = source.node(0).child();
  if (source_first != 0) {
    fold(target, source, link(target.node(0).child()), source_first, 0, Fold::complete);
  }
}

void complete_element(Element& target, const Element& source) {
  write_out("source (");
  write_out(source.data_view());
  write_out(") target (");
  write_out(target.data_view());
  write_out(")\n");
  if (!source.data_view().empty() && target.data_view().empty()) {
    write_out("target empty\n");
    target.set_data(Text(source.data_view()));
  }
  add_missing_attributes(target, source);
}

}  // namespace kit
