// SPDX-License-Identifier: MIT
// Searches, lookups, collection, merge and completion over element trees.
#include <gtest/gtest.h>

#include <string>

#include "loaded_tree.h"
#include "runtime/array.h"
#include "tree/search.h"

namespace {

using kit::Dom;
using kit::Element;
using kit::Text;
using kit_test::top;
using kit_test::tree_of;

std::string out_of(const std::function<void()>& body) { return kit_test::capture(body).out; }

TEST(CursorSearch, FindChildMatchesExactlyAndReportsBothMisses) {
  Dom dom = tree_of("<r><!--c--><Item/><item n='1'/></r>");
  dom.first();
  EXPECT_EQ(out_of([&] { kit::find_child(dom, "item"); }), "");
  EXPECT_TRUE(dom.found());
  EXPECT_EQ(dom.cursor(), 4);
  dom.first();
  EXPECT_EQ(out_of([&] { kit::find_child(dom, "ITEM"); }), "ITEM element not found\n");
  EXPECT_FALSE(dom.found());
  EXPECT_EQ(dom.cursor(), 2);  // the first child
  EXPECT_EQ(out_of([&] { kit::find_child(dom, "x"); }), "No more element, for x\n");
  EXPECT_FALSE(dom.found());
  EXPECT_EQ(dom.cursor(), 0);
}

TEST(CursorSearch, FindByAttributeWalksTheFollowingSiblings) {
  Dom dom = tree_of("<r><o name='a' v='1'/><!--c--><o name='B' v='100'/><o/></r>");
  dom.set_cursor(2);
  // Case ignored; number-like values of one length compare by value.
  kit::find_by_attribute(dom, "V", "1e2");
  EXPECT_TRUE(dom.found());
  EXPECT_EQ(dom.cursor(), 4);
  kit::find_by_attribute(dom, "name", "zz");
  EXPECT_FALSE(dom.found());
  EXPECT_EQ(dom.cursor(), 5);  // the last sibling
  dom.set_cursor(2);
  kit::find_by_attribute(dom, "NAME", "A");  // where it stands: found again
  EXPECT_TRUE(dom.found());
  EXPECT_EQ(dom.cursor(), 2);
  dom.set_cursor(3);
  EXPECT_FALSE(kit::has_attribute_value(dom, "name", "a"));  // a comment
}

TEST(KeyLookup, FindValueAttributeFirstThenDataByTagNameOrId) {
  const Dom dom = tree_of("<conf colour='red'><colour>blue</colour><opt id='Size'>12</opt>"
                          "<opt name='depth'>3</opt><deep><k>in</k></deep><k>out</k></conf>");
  EXPECT_EQ(kit::find_value(dom, "COLOUR"), Text("red"));  // not the later tag
  EXPECT_EQ(kit::find_value(dom, "size"), Text("12"));
  EXPECT_EQ(kit::find_value(dom, "Depth"), Text("3"));
  EXPECT_EQ(kit::find_value(dom, "k"), Text("in"));  // depth first
  EXPECT_EQ(kit::find_value(dom, "nowhere"), Text("nowhere"));
  EXPECT_EQ(kit::find_value(Dom(), "nowhere"), std::nullopt);
  EXPECT_EQ(kit::find_value(tree_of("<k k='attribute'>data</k>"), "K"), Text("attribute"));
}

TEST(KeyLookup, FindValue2TriesTheFourTestsInOrder) {
  const Dom dom = tree_of("<c><port name='http'>80</port><server id='web' port='8080' host='h'/>"
                          "<host name='port'>by tag</host></c>");
  EXPECT_EQ(kit::find_value2(dom, "port", "HTTP"), Text("80"));
  EXPECT_EQ(kit::find_value2(dom, "http", "port"), Text("80"));
  EXPECT_EQ(kit::find_value2(dom, "port", "web"), Text("8080"));
  EXPECT_EQ(kit::find_value2(dom, "web", "port"), Text("8080"));
  EXPECT_EQ(kit::find_value2(dom, "host", "web"), Text("h"));  // before the host element
  EXPECT_EQ(kit::find_value2(dom, "host", "port"), Text("by tag"));
  EXPECT_EQ(kit::find_value2(dom, "nothing", "port"), Text("nothing"));
  EXPECT_EQ(kit::find_value2(Dom(), "a", "b"), std::nullopt);
}

TEST(KeyLookup, CollectBelowTheCursorTheLaterValueWinning) {
  Dom dom = tree_of("<r><skip value='out'/><set><o name='a' Value='1'/><o value='2'/>"
                    "<o name='a' value='3'><p value='4'/></o><o name='' value='5'/><q/></set></r>");
  dom.set_cursor(3);
  EXPECT_EQ(kit::collect(dom, "value").to_text(), "(a:3, o:5, p:4)");
  dom.set_cursor(9);
  EXPECT_EQ(kit::collect(dom, "value").size(), 0);
}

TEST(Merge, PairsByNameAndKeepsWhatTheSourceBrings) {
  Dom target =
      tree_of("<c><t/><x>mine</x><y k='1'/><o name='a' v='old'>t</o><o name='b'/><l/></c>");
  kit::merge_tree(target, tree_of("<c><t>new</t><x>no</x><y>no</y><o NAME='A' v='new' w='2'>s</o>"
                                  "<l><i>1</i><i>2</i></l><o name='z'/></c>"));
  EXPECT_EQ(top(target), "c(t=\"new\" x=\"mine\" y[k=1] o[name=a v=old w=2]=\"s\" o[name=b] "
                         "l(i=\"1\" i=\"2\") o[name=z])");
  // A source with attributes looks along the chain for its "name" and,
  // without it, goes at the end with the source siblings after it.
  Dom options = tree_of("<c><o name='b'/><o name='c'>2</o></c>");
  kit::merge_tree(options, tree_of("<c><o name='z' v='3'/><o name='C'>4</o></c>"));
  EXPECT_EQ(top(options), "c(o[name=b] o[name=c]=\"2\" o[name=z v=3] o[name=C]=\"4\")");
}

TEST(Merge, WhatIsLeftWhenTheTargetChainEndsGoesAtItsEnd) {
  Dom target = tree_of("<a><k/><!--tail--></a>");
  Dom source = tree_of("<a><k/><m>1</m><!--x--><n/></a>");
  source.add_element_next(Element{Text("after")});
  kit::merge_tree(target, source);
  EXPECT_EQ(top(target), "a(k {<!--tail-->} m=\"1\" {<!--x-->} n) after");
  EXPECT_EQ(target.node(0).next(), 0);  // nothing after the root
  Dom flat = tree_of("<a/>");
  flat.add_element_next(Element{Text("b")});
  Dom other = tree_of("<c/>");
  other.add_element_next(Element{Text("a")});
  kit::merge_tree(flat, other);
  EXPECT_EQ(top(flat), "a b c a");
}

TEST(Merge, IntoAnEmptyTreeAndFromChosenNodes) {
  Dom empty;
  kit::merge_tree(empty, tree_of("<a><b/></a>"));
  EXPECT_EQ(top(empty), "a(b)");
  Dom target = tree_of("<r><s><x/></s><t/></r>");
  const Dom other = tree_of("<q><x>1</x><y/></q>");
  EXPECT_TRUE(kit::merge_tree_at(target, other, 3, 2));  // q's children into s's
  EXPECT_EQ(top(target), "r(s(x=\"1\" y) t)");
  EXPECT_TRUE(kit::merge_tree_at(target, other, 0, 0));  // root with root
  EXPECT_EQ(top(target), "r(s(x=\"1\" y) t) q(x=\"1\" y)");
}

TEST(Complete, PrintsEachPairAndFillsTheTarget) {
  Dom target = tree_of("<c><o name='a'/><l/></c>");
  const Dom source = tree_of("<c><o name='b' v='1'>x</o><l><i/></l><extra/></c>");
  EXPECT_EQ(out_of([&] { kit::complete_tree(target, source); }),
            "completing c with c\ndata  with \nsource () target ()\n"
            "completing o with o\ndata  with x\nsource (x) target ()\ntarget empty\n"
            "completing l with l\ndata  with \nsource () target ()\n");
  EXPECT_EQ(top(target), "c(o[name=a v=1]=\"x\" l(i) extra)");

  Element into{Text("t")};
  into.set_data("kept");
  Element from{Text("s")};
  from.set_data("data");
  from.set_attribute("new", "1");
  EXPECT_EQ(out_of([&] { kit::complete_element(into, from); }), "source (data) target (kept)\n");
  EXPECT_EQ(into.data(), "kept");
  EXPECT_EQ(into.get_attribute("new"), "1");
}

}  // namespace
