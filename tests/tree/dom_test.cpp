// SPDX-License-Identifier: MIT
// Building, links, cursor moves, copies and unlinking of the element tree.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "support/temp_dir.h"
#include "tree/dom.h"

namespace {

using kit::Dom;
using kit::Element;
using kit::Node;
using kit::ScriptBlock;
using kit::Text;

Element element(const char* name, const char* attribute = nullptr, const char* value = "") {
  Element e{Text(name)};
  if (attribute) e.set_attribute(attribute, value);
  return e;
}

// "a(b c) d": element names along the sibling chain from `index`, children
// in parentheses.
std::string shape(const Dom& dom, int index) {
  std::string out;
  for (; index != 0; index = dom.node(index).next()) {
    if (!out.empty()) out += ' ';
    out += dom.node(index).element().name().str();
    if (dom.node(index).child() != 0) out += "(" + shape(dom, dom.node(index).child()) + ")";
  }
  return out;
}

std::string top(const Dom& dom) { return shape(dom, dom.node(0).child()); }

// The cursor and the found flag.
std::pair<int, bool> at(const Dom& dom) { return {dom.cursor(), dom.found()}; }

struct Links {
  int parent, child, next, last;
};

void expect_links(const Dom& dom, int index, Links want) {
  SCOPED_TRACE("node " + std::to_string(index));
  const Node& node = dom.node(index);
  EXPECT_EQ(node.parent(), want.parent);
  EXPECT_EQ(node.child(), want.child);
  EXPECT_EQ(node.next(), want.next);
  EXPECT_EQ(node.last(), want.last);
}

// The tree the INI reader makes of "[main]", "color = red ; note" and a
// final line feed, built step by step as the reader does.
TEST(DomBuilding, FlatIniTreeNodeByNode) {
  Dom dom;
  EXPECT_EQ(dom.node_count(), 1);
  EXPECT_TRUE(dom.is_empty());
  EXPECT_EQ(dom.node(0).element().name(), "document");

  EXPECT_EQ(dom.add_element_child(element("main")), 1);
  Element option = element("option", "color", "red");
  option.set_attribute("active", "true");
  EXPECT_EQ(dom.add_element_next(option), 2);
  EXPECT_EQ(dom.node(0).last(), 2);
  EXPECT_EQ(dom.add_element_child(element("comment", "data", " note")), 3);
  dom.up();
  EXPECT_EQ(at(dom), std::make_pair(2, false));
  EXPECT_EQ(dom.add_element_next(element("blank")), 4);

  expect_links(dom, 0, {0, 1, 0, 4});
  expect_links(dom, 1, {0, 0, 2, 0});
  expect_links(dom, 2, {0, 3, 4, 0});
  expect_links(dom, 3, {2, 0, 0, 0});
  expect_links(dom, 4, {0, 0, 0, 0});
  EXPECT_EQ(dom.node(2).element().get_attribute("COLOR"), "red");
  EXPECT_EQ(dom.node(3).element().get_attribute("data"), " note");
  EXPECT_TRUE(dom.is_first_child(1));
  EXPECT_FALSE(dom.is_first_child(2));
}

TEST(DomBuilding, AddChildGoesAheadOfExistingChildren) {
  Dom dom;
  dom.add_element_child(element("p"));
  dom.add_element_child(element("a"));
  dom.add_element_next(element("b"));
  dom.add_element_child_at(1, element("new"));
  EXPECT_EQ(top(dom), "p(new a b)");
  EXPECT_EQ(dom.node(1).last(), 3);  // still the last one added by add_next
}

TEST(DomBuilding, PayloadOfTheWrongKindIsAFreshEmptyOne) {
  Dom dom;
  dom.add_comment_child(Text("note"));
  dom.current_element().set_attribute("lost", "x");
  EXPECT_EQ(dom.current_element().attribute_count(), 0);
  EXPECT_EQ(dom.add_current_attribute("a", "1"), -1);
  EXPECT_EQ(dom.current_comment(), "note");
  EXPECT_EQ(dom.current_script().line_count(), 0);
}

TEST(DomCursor, MovesReportInTheFoundFlag) {
  Dom dom;
  dom.first();
  EXPECT_EQ(at(dom), std::make_pair(0, false));

  dom.add_element_child(element("a"));  // 1
  dom.add_element_next(element("b"));   // 2
  dom.add_element_child(element("b1"));  // 3
  dom.add_element_next(element("b2"));  // 4
  dom.set_cursor(2);
  dom.add_element_next(element("c"));   // 5

  dom.set_cursor(3);
  dom.down();  // no child: to the root
  EXPECT_EQ(at(dom), std::make_pair(0, false));
  dom.next();  // on the root
  EXPECT_FALSE(dom.found());

  dom.set_cursor(4);
  dom.up();  // b has a next sibling: on to the last node of its level
  EXPECT_EQ(at(dom), std::make_pair(5, true));
  dom.previous();
  EXPECT_EQ(at(dom), std::make_pair(2, true));
  dom.down();
  EXPECT_EQ(at(dom), std::make_pair(3, true));
  dom.last_sibling();
  EXPECT_EQ(dom.cursor(), 4);
  dom.first_sibling();
  EXPECT_EQ(dom.cursor(), 3);
  dom.previous();
  EXPECT_EQ(at(dom), std::make_pair(3, false));

  dom.set_cursor(5);
  dom.next();  // past the last sibling: the element left stays at hand
  EXPECT_EQ(at(dom), std::make_pair(0, false));
  EXPECT_EQ(dom.current_payload().name(), "c");
  dom.set_cursor(99);
  EXPECT_EQ(dom.cursor(), 0);
}

TEST(DomCopy, ChainsAreDeepAndComplete) {
  Dom source;
  source.add_element_child(element("a", "k", "v"));
  source.add_element_child(element("a1"));
  source.add_element_child(element("a11"));
  source.set_cursor(1);
  source.add_element_next(element("b"));
  source.add_comment_child(Text("c"));

  Dom copy;
  copy.copy_from(source);
  EXPECT_EQ(top(copy), top(source));
  EXPECT_EQ(top(copy), "a(a1(a11)) b()");
  copy.set_cursor(1);
  copy.current_element().set_attribute_value("k", "changed");
  copy.set_current_data("d");
  EXPECT_EQ(source.node(1).element().get_attribute("k"), "v");
  EXPECT_TRUE(source.node(1).element().data().is_empty());
  EXPECT_EQ(copy.node(copy.node(4).child()).comment(), "c");

  // Copying a Dom's own chain to its own end copies it once.
  copy.set_cursor(4);
  EXPECT_EQ(copy.copy_chain_as_next(copy, 1), 6);
  EXPECT_EQ(top(copy), "a(a1(a11)) b() a(a1(a11)) b()");

  // Below a node that has children, ahead of them.
  Dom onto;
  onto.add_element_child(element("p"));
  onto.add_element_child(element("old"));
  onto.set_cursor(1);
  onto.copy_chain_as_child(source, 1);
  EXPECT_EQ(onto.node(1).last(), 0);
  onto.set_cursor(1);
  EXPECT_EQ(onto.insert_copy_as_first_child(source, 2), 8);
  EXPECT_EQ(onto.cursor(), 8);
  EXPECT_EQ(top(onto), "p(a1(a11) a(a1(a11)) b() old)");
}

TEST(DomCopy, InsertAfterKeepsTheFollowingSiblings) {
  Dom dom;
  dom.add_element_child(element("x"));
  dom.add_element_next(element("z"));
  Dom other;
  other.add_element_child(element("y"));
  other.add_element_child(element("y1"));
  other.set_cursor(1);
  other.add_element_next(element("w"));

  dom.set_cursor(1);
  EXPECT_EQ(dom.insert_copy_after(other, 1), 3);
  EXPECT_EQ(dom.cursor(), 3);
  EXPECT_EQ(top(dom), "x y(y1) z");
  EXPECT_EQ(dom.node(0).last(), 2);

  dom.append_copy_below_first_element(other, 3);
  dom.append_copy_below_first_element(other, 3);
  EXPECT_EQ(top(dom), "x(w w) y(y1) z");
  // Children added ahead, or the last one unlinked, leave the append at the end.
  dom.set_cursor(1);
  dom.add_element_child(element("v"));
  dom.set_cursor(dom.node(1).last());
  dom.unlink();
  const int detached = dom.cursor();
  dom.append_copy_below_first_element(other, 3);
  EXPECT_EQ(top(dom), "x(v w w) y(y1) z");
  // A node added after the detached one is recorded last, outside the chain.
  dom.set_cursor(detached);
  dom.add_element_next(element("lost"));
  dom.append_copy_below_first_element(other, 3);
  EXPECT_EQ(top(dom), "x(v w w w) y(y1) z");
  EXPECT_EQ(Dom().append_copy_below_first_element(other, 1), 0);
}

TEST(DomUnlink, DetachesFromAnyPlaceInTheChain) {
  Dom dom;
  dom.add_element_child(element("a"));  // 1
  dom.add_element_next(element("b"));   // 2
  dom.add_element_next(element("c"));   // 3

  dom.set_cursor(2);
  dom.unlink();
  EXPECT_EQ(top(dom), "a c");
  EXPECT_EQ(dom.cursor(), 2);
  EXPECT_EQ(dom.node(2).next(), 3);  // keeps its own links
  dom.unlink();                       // no longer in the chain: nothing changes
  EXPECT_EQ(top(dom), "a c");

  dom.set_cursor(3);
  dom.unlink();
  EXPECT_EQ(dom.node(0).last(), 1);
  dom.set_cursor(1);
  dom.unlink();
  EXPECT_EQ(dom.node(0).child(), 0);
  EXPECT_EQ(dom.node(0).last(), 0);
  EXPECT_EQ(dom.node_count(), 4);
}

TEST(DomBuilding, PlacedElementsChangeInPlaceAndStayApart) {
  Dom dom;
  Element big{Text("big")};
  big.set_attribute("k", Text("v").repeat(40000));  // past what one shared chunk holds
  dom.add_element_child(std::move(big));
  for (int i = 0; i < 3000; ++i) dom.add_element_next(element("e", "n", "v"));
  dom.set_cursor(2);
  Element& second = dom.current_element();
  const Element& third = dom.node(3).element();
  second.set_attribute("added", "yes");
  second.set_attribute_value("n", "changed");
  second.set_data("d");
  // The change stays with its node: the neighbours share chunks with it.
  EXPECT_EQ(&dom.node(2).element(), &second);
  EXPECT_EQ(dom.node(2).element().get_attribute("added"), "yes");
  EXPECT_EQ(dom.node(2).element().get_attribute("n"), "changed");
  EXPECT_EQ(third.get_attribute("n"), "v");
  EXPECT_TRUE(third.data().is_empty());
  EXPECT_EQ(dom.node(1).element().get_attribute("k").length(), 40000);
  EXPECT_EQ(dom.node(3001).element().name(), "e");

  // A copy taken from a node, and the Dom moved away, keep their bytes.
  Element copy = dom.node(1).element();
  Dom moved = std::move(dom);
  EXPECT_EQ(moved.node(3).element().get_attribute("n"), "v");
  EXPECT_EQ(copy.get_attribute("k").length(), 40000);
}

// Data set through the Dom stays with its node, whether the element's bytes
// were the last added (rewritten in place) or lie among others.
TEST(DomBuilding, DataSetThroughTheDomKeepsNeighboursAndAttributes) {
  Dom dom;
  dom.add_element_child(element("a", "k", "v"));
  dom.add_comment_next(Text("between"));
  dom.add_element_next(element("b", "n", "w"));
  const std::string longer(5000, 'd');  // past the chunk the first nodes share
  for (const std::string& data : {std::string("short"), longer, std::string("s"), std::string()}) {
    for (const int index : {3, 1}) {
      dom.set_cursor(index);
      dom.set_current_data(Text(data));
    }
    for (const int index : {1, 3}) {
      const Element& e = dom.node(index).element();
      EXPECT_EQ(e.data().str(), data) << index;
      EXPECT_EQ(e.attribute_count(), 1);
      EXPECT_EQ(e.name(), index == 1 ? "a" : "b");
      EXPECT_EQ(e.get_attribute(index == 1 ? "k" : "n"), index == 1 ? "v" : "w");
    }
    EXPECT_EQ(dom.node(2).comment(), "between");
  }
  dom.add_element_next(element("c", "x", "y"));
  EXPECT_EQ(dom.node(3).element().get_attribute("n"), "w");

  // By index, the cursor staying; the data may come from the element itself.
  dom.set_cursor(1);
  const kit::Node& last = dom.node(4);
  dom.set_data_at(4, last.element().name_view());
  dom.set_data_at(4, last.element().get_attribute("x").view());  // a copy: any bytes go
  dom.set_data_at(4, "");
  std::string_view own_value;
  last.element().each_attribute([&](const kit::AttributeView& a) { own_value = a.value; });
  dom.set_data_at(4, own_value);  // the attributes move to make room for it
  EXPECT_EQ(last.element().data(), "y");
  EXPECT_EQ(last.element().get_attribute("x"), "y");
  dom.set_data_at(2, "not an element");
  dom.set_data_at(99, "outside");
  EXPECT_EQ(dom.node(2).comment(), "between");
  EXPECT_EQ(dom.cursor(), 1);
  EXPECT_EQ(&dom.current_payload(), &last.element());
}

// Comment payloads live with the tree; a node copied out carries its own.
TEST(DomBuilding, CommentsOutliveTheirTreeOnlyAsCopies) {
  kit::Node copied;
  Dom copy;
  {
    Dom dom;
    dom.add_comment_child(Text(std::string(100, 'c')));
    dom.add_comment_next(Text("short"));
    copied = dom.copy_of_current();
    copy = dom;
    Dom moved = std::move(dom);
    EXPECT_EQ(moved.node(1).comment().length(), 100);
  }
  EXPECT_TRUE(copied.is_comment());
  EXPECT_EQ(copied.comment(), "short");
  EXPECT_EQ(copy.node(1).comment().length(), 100);
  EXPECT_EQ(copy.node(2).comment(), "short");

  // Comments among elements of every size, across many chunks (the
  // sanitizer build checks each comment's alignment).
  Dom mixed;
  mixed.add_comment_child(Text("first"));
  for (int i = 0; i < 2000; ++i) {
    const std::string value(static_cast<std::size_t>(i % 61), 'v');
    mixed.add_element_next(element("e", "k", value.c_str()));
    mixed.add_comment_next(Text(std::to_string(i)));
  }
  for (int i = 0; i < 2000; ++i) {
    EXPECT_EQ(mixed.node(2 * i + 3).comment(), Text(std::to_string(i)));
    EXPECT_EQ(mixed.node(2 * i + 2).element().get_attribute("k").length(), i % 61);
  }
}

TEST(DomBuilding, ElementsMovedOutOfADomOutliveIt) {
  Element taken;
  {
    Dom dom;
    dom.add_element_child(element("e", "k", "v"));
    dom.current_element().reset_attribute_cursor();
    taken = std::move(dom.current_element());
    EXPECT_TRUE(dom.node(1).element().name().is_empty());
    EXPECT_EQ(dom.node(1).element().attribute_count(), 0);
  }
  EXPECT_EQ(taken.name(), "e");
  EXPECT_EQ(taken.get_attribute("k"), "v");
  EXPECT_TRUE(taken.attribute_cursor_valid());
  EXPECT_EQ(taken.cursor_attribute_name(), "k");
}

TEST(ElementAttributes, AppendedViewsMayPointIntoTheElement) {
  Element e{Text("e")};
  e.reserve(4);  // less than it holds: nothing changes
  e.append_attribute("name", "value");
  // Enough attributes that the bytes move while the views point at them.
  for (int i = 0; i < 20; ++i) {
    e.reset_attribute_cursor();
    const std::string_view name = e.name_view();
    e.append_attribute(name, std::string(200, 'x'));
  }
  e.append_attribute(e.name_view(), e.data_view());
  EXPECT_EQ(e.attribute_count(), 22);
  EXPECT_EQ(e.get_attribute("NAME"), "value");
  EXPECT_EQ(e.get_attribute("e").length(), 200);
  int empty_values = 0;
  e.each_attribute([&](const kit::AttributeView& a) {
    EXPECT_TRUE(a.name == "name" || a.name == "e") << a.name;
    if (a.value.empty()) ++empty_values;
  });
  EXPECT_EQ(empty_values, 1);
}

TEST(ElementAttributes, LookupsIgnoreCaseAndTakeTheFirst) {
  Element e{Text("e")};
  e.set_attribute("Name", "first");
  e.set_attribute("name", "second");
  EXPECT_EQ(e.attribute_count(), 2);
  EXPECT_EQ(e.get_attribute("NAME"), "first");
  EXPECT_TRUE(e.has_attribute("nAme"));
  EXPECT_TRUE(e.get_attribute("absent").is_empty());
  EXPECT_FALSE(e.has_attribute("absent"));
  e.set_attribute_value("NAME", "both");
  e.set_attribute_value("absent", "x");
  EXPECT_EQ(e.attribute_count(), 2);
  e.reset_attribute_cursor();
  e.advance_attribute_cursor();
  EXPECT_EQ(e.cursor_attribute_value(), "both");

  Element other{Text("o")};
  other.set_attribute("k", "v");
  other.set_data("other data");
  e.merge_from(other);
  e.merge_from(e);
  EXPECT_EQ(e.name(), "e");
  EXPECT_EQ(e.data(), "other data");
  EXPECT_EQ(e.attribute_count(), 6);
}

TEST(ElementAttributes, CursorWalksAndSurvivesEdits) {
  Element e{Text("e")};
  EXPECT_TRUE(e.cursor_attribute_name().is_empty());
  EXPECT_FALSE(e.attribute_cursor_valid());
  e.set_attribute("a", "1");
  e.set_attribute("b", "2");
  e.reset_attribute_cursor();
  EXPECT_TRUE(e.attribute_cursor_valid());
  EXPECT_EQ(e.cursor_attribute_name(), "a");
  e.advance_attribute_cursor();
  // Edits ahead of the cursor move the bytes below it.
  e.set_name(Text("a much longer name than before, past one length byte").repeat(4));
  e.set_data(Text("data"));
  e.set_attribute_value("a", Text("x").repeat(300));
  EXPECT_EQ(e.cursor_attribute_name(), "b");
  e.advance_attribute_cursor();  // past the last: stays, no longer valid
  EXPECT_FALSE(e.attribute_cursor_valid());
  EXPECT_EQ(e.cursor_attribute_value(), "2");
  EXPECT_EQ(e.get_attribute("a").length(), 300);
  EXPECT_EQ(e.data(), "data");

  Element copy = e;  // a copy starts with a fresh cursor
  EXPECT_FALSE(copy.attribute_cursor_valid());
  EXPECT_EQ(copy.cursor_attribute_name(), "a");
  Element moved = std::move(copy);  // what is left is an empty element
  EXPECT_EQ(moved.get_attribute("b"), "2");
  EXPECT_TRUE(copy.name().is_empty());
  EXPECT_EQ(copy.attribute_count(), 0);
}

// "name(a=1 b=2)[data]": everything an element holds.
std::string spelt(const Element& e) {
  std::string out = e.name().str() + "(";
  e.each_attribute([&](const kit::AttributeView& a) {
    out.append(a.name).append("=").append(a.value).append(" ");
  });
  return out + ")[" + e.data().str() + "]";
}

// A tree keeps each repeated name and short value once; an element must read
// back the same wherever it goes: copied or moved out, into another tree
// (which numbers its words otherwise), changed in place, or past the point
// where the tree keeps no more words.
TEST(DomWords, ElementsReadBackTheSameEverywhere) {
  std::vector<Element> made;
  for (int i = 0; i < 12000; ++i) {
    // Names and values of every length around the limits, repeated or not.
    Element e{Text(i % 3 ? "option" : std::string(static_cast<std::size_t>(i % 40), 'n'))};
    e.append_attribute("active", i % 2 ? "true" : "false");
    e.append_attribute("k" + std::to_string(i), std::string(static_cast<std::size_t>(i % 20), 'v'));
    e.append_attribute(std::string(static_cast<std::size_t>(30 + i % 5), 'a'), "");
    if (i % 7 == 0) e.set_data(Text(i % 2 ? "true" : "some data"));
    made.push_back(e);
  }
  Dom other;  // other words first, so that the numbers differ between trees
  other.add_element_child(element("zeta", "eta", "theta"));
  Dom dom;
  dom.add_element_child(made[0]);
  for (std::size_t i = 1; i < made.size(); ++i) dom.add_element_next(made[i]);
  other.copy_chain_as_next(dom, 1);
  const Dom copied = dom;
  for (std::size_t i = 0; i < made.size(); ++i) {
    const int index = static_cast<int>(i) + 1;
    const std::string want = spelt(made[i]);
    ASSERT_EQ(spelt(dom.node(index).element()), want) << i;
    ASSERT_EQ(spelt(copied.node(index).element()), want) << i;
    ASSERT_EQ(spelt(other.node(index + 1).element()), want) << i;
    ASSERT_EQ(spelt(Element(dom.node(index).element())), want) << i;
  }
  EXPECT_EQ(spelt(other.node(1).element()), "zeta(eta=theta )[]");

  // Changed in place: the element takes its own bytes, words spelt out.
  dom.set_cursor(3);
  Element& changed = dom.current_element();
  changed.reset_attribute_cursor();
  changed.advance_attribute_cursor();
  EXPECT_EQ(changed.cursor_attribute_name(), "k2");
  changed.set_attribute_value("ACTIVE", "false");
  changed.merge_from(dom.node(4).element());
  changed.append_attribute(dom.node(5).element().name_view(), "x");
  EXPECT_EQ(spelt(changed),
            "option(active=false k2=vv " + std::string(32, 'a') + "= active=true k3=vvv " +
                std::string(33, 'a') + "= option=x )[]");
  Element reused{Text("x")};
  reused.reset(dom.node(2).element().name_view());
  Element moved = std::move(dom.current_element());
  dom.reset();  // the words go; what was taken out keeps its letters
  EXPECT_EQ(reused.name(), "option");
  EXPECT_EQ(moved.get_attribute("k3"), "vvv");
}

// A table keeps an element's attribute count, and its cursor flag beside
// the chunk's shift, in front of the bytes: counts of several bytes, and
// words read after the flag changed, come back the same.
TEST(DomWords, CountsAndTheCursorFlagKeptInFrontOfTheBytes) {
  const int counts[] = {127, 128, 300, 16384};
  Dom dom;
  for (const int count : counts) {
    Element e{Text("option")};
    for (int i = 0; i < count; ++i) e.append_attribute("active", i % 2 ? "true" : "false");
    if (dom.is_empty()) {
      dom.add_element_child(e);
    } else {
      dom.add_element_next(e);
    }
  }
  const Dom copied = dom;
  for (const Dom* tree : {static_cast<const Dom*>(&dom), &copied}) {
    for (int index = 1; index <= 4; ++index) {
      const Element& e = tree->node(index).element();
      int seen = 0;
      e.each_attribute([&](const kit::AttributeView& a) {
        EXPECT_EQ(a.value, seen++ % 2 ? "true" : "false");
        EXPECT_EQ(a.name, "active");
      });
      EXPECT_EQ(seen, counts[index - 1]);
      EXPECT_EQ(e.attribute_count(), counts[index - 1]);
    }
  }
  dom.set_cursor(2);
  Element& borrowed = dom.current_element();
  EXPECT_FALSE(borrowed.attribute_cursor_valid());
  borrowed.reset_attribute_cursor();
  EXPECT_TRUE(borrowed.attribute_cursor_valid());
  EXPECT_EQ(borrowed.name(), "option");
  EXPECT_EQ(borrowed.cursor_attribute_value(), "false");
  EXPECT_EQ(borrowed.attribute_count(), 128);
}

// Comment payloads and element bytes live in the table's chunks, which go
// after the nodes whatever the order of destruction would otherwise be; the
// sanitizer build sees any node that outlives its chunk.
TEST(DomOwnership, NodesGoBeforeTheChunksTheyLiveIn) {
  const std::string long_comment(300, 'c');  // its letters on the heap, its Text in a chunk
  for (int round = 0; round < 3; ++round) {
    Dom dom;
    dom.add_comment_child(Text(long_comment));
    for (int i = 0; i < 5000; ++i) {
      dom.add_element_next(element("e", "k", "v"));
      dom.add_comment_next(Text(long_comment));
    }
    if (round == 1) dom.reset();            // released by a reset
    if (round == 2) dom = Dom();            // released by a move over it
    EXPECT_EQ(dom.node_count() > 1, round == 0);
  }                                         // released by the destructor
}

// One element can build many: reset names it anew and drops the rest.
TEST(ElementAttributes, ResetBuildsAnewFromAnyName) {
  Element e{Text("first")};
  e.append_attribute("k", std::string(500, 'v'));
  e.set_data("d");
  e.reset_attribute_cursor();
  e.advance_attribute_cursor();
  Dom dom;
  dom.add_element_child(e);
  e.reset(e.get_attribute("k").view().substr(0, 3));  // a name from the element's own bytes
  EXPECT_EQ(e.name(), "vvv");
  EXPECT_TRUE(e.data().is_empty());
  EXPECT_EQ(e.attribute_count(), 0);
  EXPECT_FALSE(e.attribute_cursor_valid());
  e.append_attribute("a", "1");
  dom.add_element_next(e);
  e.reset(dom.node(1).element().name_view());
  EXPECT_EQ(e.name(), "first");
  // The copies in the tree keep what the element held when each was added.
  EXPECT_EQ(dom.node(1).element().get_attribute("k").length(), 500);
  EXPECT_EQ(dom.node(1).element().data(), "d");
  EXPECT_EQ(dom.node(2).element().name(), "vvv");
  EXPECT_EQ(dom.node(2).element().get_attribute("a"), "1");
}

TEST(ScriptBlockLines, ReadBackInOrderWithLevels) {
  kit_test::TempDir dir;
  const std::string path = dir.write("script", "first\n\nlast without feed");
  ScriptBlock script;
  script.set_level(2);
  script.add_line("added\n");
  EXPECT_TRUE(script.read_file(path.c_str()));
  EXPECT_FALSE(script.read_file(dir.file("missing").c_str()));
  ASSERT_EQ(script.line_count(), 4);
  script.rewind();
  EXPECT_EQ(script.level_at_cursor(), 2);
  EXPECT_EQ(script.next_line(), "added\n");
  EXPECT_EQ(script.next_line(), "first\n");
  EXPECT_EQ(script.next_line(), "\n");
  EXPECT_EQ(script.next_line(), "last without feed");
  EXPECT_FALSE(script.has_more());
  EXPECT_TRUE(script.next_line().is_empty());
}

}  // namespace
