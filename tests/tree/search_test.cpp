// Searches, lookups, collection, merge and completion over element trees.
#include <gtest/gtest.h>

#include <string>

#include "runtime/array.h"
#include "support/capture.h"
#include "support/temp_dir.h"
#include "tree/loader.h"
#include "tree/search.h"

namespace {

using kit::Dom;
using kit::Element;
using kit::Node;
using kit::Text;
using kit_test::capture;

// The tree the loader makes of the XML.
Dom tree_of(const std::string& xml) {
  kit_test::TempDir dir;
  Dom dom;
  EXPECT_TRUE(kit::load_xml(dom, dir.write("tree.xml", xml).c_str())) << xml;
  return dom;
}

// "a[k=v](b="data")": names, attributes in brackets, data, children.
std::string shape(const Dom& dom, int index) {
  std::string out;
  for (; index != 0; index = dom.node(index).next()) {
    const Node& node = dom.node(index);
    if (!out.empty()) out += ' ';
    if (node.is_comment()) {
      out += "{" + node.comment().str() + "}";
      continue;
    }
    const Element& element = node.element();
    out += element.name().str();
    std::string attributes;
    element.each_attribute([&](const kit::AttributeView& at) {
      attributes += (attributes.empty() ? "" : " ") + std::string(at.name) + "=" +
                    std::string(at.value);
    });
    if (!attributes.empty()) out += "[" + attributes + "]";
    if (!element.data().is_empty()) out += "=\"" + element.data().str() + "\"";
    if (node.child() != 0) out += "(" + shape(dom, node.child()) + ")";
  }
  return out;
}

std::string top(const Dom& dom) { return shape(dom, dom.node(0).child()); }

std::string out_of(const std::function<void()>& body) { return capture(body).out; }

TEST(FindChild, MatchesExactlyAndReportsBothMisses) {
  Dom dom = tree_of("<r><!--c--><Item/><item n='1'/><item n='2'/></r>");
  dom.first();
  EXPECT_EQ(out_of([&] { kit::find_child(dom, "item"); }), "");
  EXPECT_TRUE(dom.found());
  EXPECT_EQ(dom.current_attribute("n"), "1");

  // Case matters for tag names: "ITEM" is nowhere.
  dom.first();
  EXPECT_EQ(out_of([&] { kit::find_child(dom, "ITEM"); }), "ITEM element not found\n");
  EXPECT_FALSE(dom.found());
  EXPECT_EQ(dom.cursor(), 2);  // the first child, a comment

  dom.set_cursor(4);  // an item without children
  EXPECT_EQ(out_of([&] { kit::find_child(dom, "x"); }), "No more element, for x\n");
  EXPECT_FALSE(dom.found());
  EXPECT_EQ(dom.cursor(), 0);
}

TEST(FindByAttribute, WalksTheFollowingSiblings) {
  Dom dom = tree_of("<r><o name='a' v='1'/><!--c--><o name='B' v='100'/><o name='c'/></r>");
  dom.first();
  dom.down();
  // Names and values compare with case ignored, number-like values by value.
  EXPECT_TRUE(kit::has_attribute_value(dom, "NAME", "a"));
  kit::find_by_attribute(dom, "V", "1e2");
  EXPECT_TRUE(dom.found());
  EXPECT_EQ(dom.current_attribute("name"), "B");
  EXPECT_FALSE(kit::has_attribute_value(dom, "v", "10"));

  // A match where the cursor stands turns the flag back on.
  dom.set_cursor(2);
  dom.down();  // on o: not found
  dom.set_cursor(2);
  kit::find_by_attribute(dom, "name", "A");
  EXPECT_TRUE(dom.found());
  EXPECT_EQ(dom.cursor(), 2);

  // No match: the cursor stays on the last sibling.
  kit::find_by_attribute(dom, "name", "zz");
  EXPECT_FALSE(dom.found());
  EXPECT_EQ(dom.cursor(), 5);
  dom.set_cursor(3);
  EXPECT_FALSE(kit::has_attribute_value(dom, "name", "a"));  // a comment node
}

TEST(FindValue, AttributeFirstThenDataByTagNameOrId) {
  Dom dom = tree_of(
      "<conf colour='red'><colour>blue</colour><opt id='Size'>12</opt>"
      "<opt name='depth'>3</opt><empty/></conf>");
  // The attribute of the first element wins over a later element's tag.
  EXPECT_EQ(kit::find_value(dom, "COLOUR"), Text("red"));
  EXPECT_EQ(kit::find_value(dom, "size"), Text("12"));
  EXPECT_EQ(kit::find_value(dom, "Depth"), Text("3"));
  EXPECT_EQ(kit::find_value(dom, "empty"), Text(""));
  EXPECT_EQ(kit::find_value(dom, "nowhere"), Text("nowhere"));
  EXPECT_EQ(kit::find_value(Dom(), "nowhere"), std::nullopt);
  // On one element, its attribute comes before its data.
  EXPECT_EQ(kit::find_value(tree_of("<k k='attribute'>data</k>"), "K"), Text("attribute"));
  // Depth first: a child comes before its parent's next sibling.
  Dom nested = tree_of("<a><b><k>inner</k></b><k>outer</k></a>");
  EXPECT_EQ(kit::find_value(nested, "k"), Text("inner"));
}

TEST(FindValue2, TheFourTestsInOrder) {
  Dom dom = tree_of(
      "<c>"
      "<port name='http'>80</port>"               // tag key1, name key2
      "<server id='web' port='8080' host='h'/>"   // attribute of one key, id the other
      "<host name='port'>by tag</host>"           // tag key2, name key1
      "</c>");
  EXPECT_EQ(kit::find_value2(dom, "port", "HTTP"), Text("80"));
  EXPECT_EQ(kit::find_value2(dom, "http", "port"), Text("80"));
  EXPECT_EQ(kit::find_value2(dom, "port", "web"), Text("8080"));
  EXPECT_EQ(kit::find_value2(dom, "web", "port"), Text("8080"));
  // The server comes first and gives its host attribute before the host
  // element can give its data.
  EXPECT_EQ(kit::find_value2(dom, "host", "web"), Text("h"));
  EXPECT_EQ(kit::find_value2(dom, "host", "port"), Text("by tag"));
  EXPECT_EQ(kit::find_value2(dom, "nothing", "port"), Text("nothing"));
  EXPECT_EQ(kit::find_value2(Dom(), "a", "b"), std::nullopt);
}

TEST(Collect, OneEntryPerNameTheLaterValueWinning) {
  Dom dom = tree_of(
      "<r><skip value='outside'/><set>"
      "<o name='a' Value='1'/><o value='2'/><o name='a' value='3'><p value='4'/></o>"
      "<o name='' value='5'/><q/></set></r>");
  dom.first();
  dom.down();
  dom.next();  // on set: only what is below it
  const kit::Array found = kit::collect(dom, "value");
  EXPECT_EQ(found.to_text(), "(a:3, o:5, p:4)");
  EXPECT_EQ(found.get(Text("a")).to_text(), "3");

  dom.set_cursor(dom.node_count() - 1);  // q: nothing below
  EXPECT_EQ(kit::collect(dom, "value").size(), 0);
}

TEST(MergeTree, UnknownElementsGoAtTheEndOfTheChain) {
  Dom target = tree_of("<a/>");
  target.add_element_next(Element{Text("b")});
  Dom source = tree_of("<c/>");
  source.add_element_next(Element{Text("a")});
  EXPECT_TRUE(kit::merge_tree(target, source));
  EXPECT_EQ(top(target), "a b c a");
  // After the last element of the chain, never after the root.
  EXPECT_EQ(target.node(0).next(), 0);
}

TEST(MergeTree, PairsByNameAndKeepsWhatTheSourceBrings) {
  Dom target = tree_of(
      "<conf><title/><opt name='a' v='old'>t</opt><opt name='b'/><list/></conf>");
  Dom source = tree_of(
      "<conf><title>Hello</title><opt NAME='A' v='new' w='2'>s</opt>"
      "<list><i>1</i><i>2</i></list><opt name='z'/></conf>");
  kit::merge_tree(target, source);
  EXPECT_EQ(top(target),
            "conf(title=\"Hello\" opt[name=a v=old w=2]=\"s\" opt[name=b] list(i=\"1\" i=\"2\") "
            "opt[name=z])");

  // A source with attributes looks along the chain for its "name" and,
  // without it, goes at the end.
  Dom options = tree_of("<c><opt name='b'>1</opt><opt name='c'>2</opt></c>");
  kit::merge_tree(options, tree_of("<c><opt name='z' v='3'/><opt name='C'>4</opt></c>"));
  EXPECT_EQ(top(options),
            "c(opt[name=b]=\"1\" opt[name=c]=\"2\" opt[name=z v=3] opt[name=C]=\"4\")");
}

TEST(MergeTree, DataGoesOnlyToATargetWithNeitherDataNorAttributes) {
  Dom target = tree_of("<r><x>mine</x><y k='1'/><z/></r>");
  Dom source = tree_of("<r><x>theirs</x><y>theirs</y><z>theirs</z></r>");
  kit::merge_tree(target, source);
  EXPECT_EQ(top(target), "r(x=\"mine\" y[k=1] z=\"theirs\")");
}

TEST(MergeTree, SiblingsLeftWhenTheTargetChainEnds) {
  // On both levels what follows the last pair comes after the last target
  // node, a comment included.
  Dom plain = tree_of("<a><k/><!--tail--></a>");
  Dom more = tree_of("<a><k/><m>1</m><!--x--><n/></a>");
  more.set_cursor(1);
  more.add_element_next(Element{Text("after")});
  kit::merge_tree(plain, more);
  EXPECT_EQ(top(plain), "a(k {<!--tail-->} m=\"1\" {<!--x-->} n) after");
  EXPECT_EQ(plain.node(0).next(), 0);
}

TEST(MergeTree, AnUnmatchedElementTakesTheSourceSiblingsAfterItAlong) {
  Dom target = tree_of("<a><k/></a>");
  Dom source = tree_of("<a><k/><m>1</m></a>");
  source.root();
  source.add_element_child(Element{Text("b")});  // ahead of a in the source
  source.set_cursor(1);
  source.add_element_next(Element{Text("c")});
  EXPECT_EQ(top(source), "b a(k m=\"1\") c");
  kit::merge_tree(target, source);
  // b matches nothing: it goes at the end with a and c, a left unmerged.
  EXPECT_EQ(top(target), "a(k) b a(k m=\"1\") c");
}

TEST(MergeTree, IntoAnEmptyTreeAndFromChosenNodes) {
  Dom empty;
  Dom source = tree_of("<a><b/></a>");
  kit::merge_tree(empty, source);
  EXPECT_EQ(top(empty), "a(b)");

  Dom target = tree_of("<r><s><x/></s><t/></r>");
  Dom other = tree_of("<q><x>1</x><y/></q>");
  // The children of q into those of s.
  EXPECT_TRUE(kit::merge_tree_at(target, other, 3, 2));
  EXPECT_EQ(top(target), "r(s(x=\"1\" y) t)");
  // Roots paired: the whole of other below the root, at the end.
  EXPECT_TRUE(kit::merge_tree_at(target, other, 0, 0));
  EXPECT_EQ(top(target), "r(s(x=\"1\" y) t) q(x=\"1\" y)");
  EXPECT_TRUE(kit::merge_tree_at(target, other, 99, 0));
  EXPECT_EQ(target.node_count(), 9);
}

TEST(CompleteTree, PrintsEachPairAndFillsTheTarget) {
  Dom target = tree_of("<conf><opt name='a'/><list/></conf>");
  Dom source = tree_of("<conf><opt name='b' v='1'>x</opt><list><i/></list><extra/></conf>");
  const std::string printed = out_of([&] { kit::complete_tree(target, source); });
  EXPECT_EQ(printed,
            "completing conf with conf\n"
            "data  with \n"
            "source () target ()\n"
            "completing opt with opt\n"
            "data  with x\n"
            "source (x) target ()\n"
            "target empty\n"
            "completing list with list\n"
            "data  with \n"
            "source () target ()\n");
  // Any same-named pair completes; a childless target takes the children.
  EXPECT_EQ(top(target), "conf(opt[name=a v=1]=\"x\" list(i) extra)");
}

TEST(CompleteElement, FillsOnlyWhatTheTargetLacks) {
  Element target{Text("t")};
  target.set_attribute("Keep", "mine");
  Element source{Text("s")};
  source.set_data("data");
  source.set_attribute("keep", "theirs");
  source.set_attribute("new", "1");
  EXPECT_EQ(out_of([&] { kit::complete_element(target, source); }),
            "source (data) target ()\ntarget empty\n");
  EXPECT_EQ(target.data(), "data");
  EXPECT_EQ(target.attribute_count(), 2);
  EXPECT_EQ(target.get_attribute("keep"), "mine");
  EXPECT_EQ(target.get_attribute("new"), "1");

  source.set_data("other");
  EXPECT_EQ(out_of([&] { kit::complete_element(target, source); }),
            "source (other) target (data)\n");
  EXPECT_EQ(target.data(), "data");
  EXPECT_EQ(target.attribute_count(), 2);
}

}  // namespace
