// The XML loader and the writers. Properties: a document the loader takes
// is written as well-formed XML content (wrapped in one root element, as a
// tree may hold several top-level nodes), and that content loaded again
// gives the same tree, up to what the writer and the loader do by design:
//   - a comment node is written as the element "comment" whose attribute
//     "data" holds the wrapped comment text;
//   - a value enclosed in one kind of quote found nowhere inside is written
//     between those quotes, so it comes back without them;
//   - data comes back with the same bytes other than white space: the
//     loader joins the text chunks Expat reports with line feeds and drops
//     chunks of white space alone, and chunks split differently once the
//     writer has put the data on lines of its own and escaped it;
//   - an element with both data and children (comments: text after a child
//     element goes to that child) comes back without its data, as text
//     before a child element is dropped: the writer puts data first, and
//     the comments come back as elements.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "support.h"
#include "support/xml_check.h"
#include "tree/dom.h"
#include "tree/loader.h"
#include "tree/writer.h"

namespace {

bool is_white(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string without_white(std::string_view s) {
  std::string kept;
  for (char c : s) {
    if (!is_white(c)) kept += c;
  }
  return kept;
}

// What a value comes back as after the writer's quoting rule.
std::string_view written_value(std::string_view v) {
  if (v.size() < 2 || (v.front() != '"' && v.front() != '\'') || v.back() != v.front()) return v;
  const std::string_view inside = v.substr(1, v.size() - 2);
  return inside.find(v.front()) == std::string_view::npos ? inside : v;
}

std::string describe(const kit::Dom& dom, int index) {
  const kit::Node& node = dom.node(index);
  if (node.is_comment()) return "comment " + node.comment().str();
  return "element <" + std::string(node.element().name_view()) + "> at node " +
         std::to_string(index);
}

using Attributes = std::vector<std::pair<std::string, std::string>>;

Attributes attributes_of(const kit::Element& e) {
  Attributes a;
  e.each_attribute([&a](const kit::AttributeView& at) { a.emplace_back(at.name, at.value); });
  return a;
}

// One node of the first tree against its counterpart in the second.
void compare_node(const kit::Dom& first, int i, const kit::Dom& second, int j) {
  const kit::Node& a = first.node(i);
  const kit::Node& b = second.node(j);
  fuzz::check(b.is_element(), "a reloaded node is an element", describe(second, j));
  const kit::Element& e = b.element();
  const Attributes got = attributes_of(e);
  if (a.is_comment()) {
    fuzz::check(a.child() == 0, "a comment node has no children", describe(first, i));
    const bool same = e.name_view() == "comment" && got.size() == 1 &&
                      got[0].first == "data" &&
                      got[0].second == written_value(a.comment().view()) &&
                      e.data_view().empty();
    fuzz::check(same, "a comment comes back as <comment data=...>", describe(first, i));
    return;
  }
  fuzz::check(a.is_element(), "the loader makes elements and comments only", describe(first, i));
  const kit::Element& d = a.element();
  fuzz::check(d.name_view() == e.name_view(), "element names come back", describe(first, i));
  const Attributes want = attributes_of(d);
  bool same = want.size() == got.size();
  for (std::size_t k = 0; same && k < want.size(); ++k) {
    same = want[k].first == got[k].first &&
           written_value(want[k].second) == got[k].second;
  }
  fuzz::check(same, "attributes come back", describe(first, i));
  const std::string data = a.child() == 0 ? without_white(d.data_view()) : std::string();
  fuzz::check(data == without_white(e.data_view()), "data comes back", describe(first, i));
}

// Both chains, node for node and level for level, without recursion.
void compare_trees(const kit::Dom& first, int i, const kit::Dom& second, int j) {
  std::vector<std::pair<int, int>> pending{{i, j}};
  while (!pending.empty()) {
    auto [a, b] = pending.back();
    pending.pop_back();
    while (a != 0 && b != 0) {
      compare_node(first, a, second, b);
      const int ca = first.node(a).child();
      const int cb = second.node(b).child();
      fuzz::check((ca == 0) == (cb == 0), "children come back", describe(first, a));
      if (ca != 0) pending.emplace_back(ca, cb);
      a = first.node(a).next();
      b = second.node(b).next();
    }
    fuzz::check(a == 0 && b == 0, "sibling chains come back whole",
                a != 0 ? describe(first, a) : describe(second, b));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static fuzz::MemoryFile source, written, light, reload, messages;
  source.write(std::string_view(reinterpret_cast<const char*>(data), size));

  kit::Dom first;
  bool loaded = false;
  {
    fuzz::StderrCapture quiet(messages);  // parse errors are expected here
    loaded = kit::load_xml(first, kit::Text(source.path()));
  }
  if (!loaded || first.is_empty()) return 0;

  fuzz::check(kit::store(first, kit::Text(written.path()), kit::format_xml), "XML stores");
  fuzz::check(kit::store(first, kit::Text(light.path()), kit::format_light), "light form stores");
  const std::string content = written.read();
  const std::string error = kit_test::xml_content_error(content);
  fuzz::check(error.empty(), "a loaded tree is written as well-formed XML", error + "\n" + content);

  reload.write("<document>" + content + "</document>");
  kit::Dom second;
  {
    fuzz::StderrCapture quiet(messages);
    loaded = kit::load_xml(second, kit::Text(reload.path()));
  }
  fuzz::check(loaded, "the written XML loads again", messages.read());
  // The wrapper is node 1 of the second tree; its children are the first tree's top level.
  compare_trees(first, first.node(0).child(), second, second.node(second.node(0).child()).child());
  return 0;
}
