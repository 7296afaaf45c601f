// The XML loader: placement of elements and comments, text joining,
// messages, the echo and lookup handlers, round trips through the writer.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/capture.h"
#include "support/temp_dir.h"
#include "tree/loader.h"
#include "tree/writer.h"

namespace {

using kit::Dom;
using kit::Element;
using kit::Node;
using kit::Text;
using kit_test::capture;
using kit_test::Captured;
using kit_test::TempDir;

// "a(b c="text" {<!--note-->})": the chain from `index`; children in
// parentheses, data after "=", comment nodes in braces.
std::string shape(const Dom& dom, int index) {
  std::string out;
  for (; index != 0; index = dom.node(index).next()) {
    const Node& node = dom.node(index);
    if (!out.empty()) out += ' ';
    if (node.is_comment()) {
      out += "{" + node.comment().str() + "}";
    } else {
      out += node.element().name().str();
      if (!node.element().data().is_empty()) out += "=\"" + node.element().data().str() + "\"";
    }
    if (node.child() != 0) out += "(" + shape(dom, node.child()) + ")";
  }
  return out;
}

std::string top(const Dom& dom) { return shape(dom, dom.node(0).child()); }

// Loads the bytes as a file into a fresh Dom; `messages` gets what was printed.
Dom load(const std::string& xml, Captured* messages = nullptr, bool* parsed = nullptr) {
  TempDir dir;
  const std::string path = dir.write("in.xml", xml);
  Dom dom;
  bool ok = false;
  const Captured printed = capture([&] { ok = kit::load_xml(dom, path.c_str()); });
  if (messages) *messages = printed;
  if (parsed) *parsed = ok;
  return dom;
}

TEST(LoaderPlacement, NestingFollowsDepthAgainstPreviousDepth) {
  bool parsed = false;
  Dom dom = load("<a><b/><c><d/></c><e/></a>", nullptr, &parsed);
  EXPECT_TRUE(parsed);
  EXPECT_EQ(top(dom), "a(b c(d) e)");
  // Nodes in document order, each with its parent.
  const std::vector<std::pair<std::string, int>> want = {
      {"a", 0}, {"b", 1}, {"c", 1}, {"d", 3}, {"e", 1}};
  ASSERT_EQ(dom.node_count(), 6);
  for (int i = 1; i <= 5; ++i) {
    EXPECT_EQ(dom.node(i).element().name(), want[i - 1].first.c_str());
    EXPECT_EQ(dom.node(i).parent(), want[i - 1].second) << "node " << i;
  }
  EXPECT_EQ(dom.cursor(), 1);  // back on the top element
}

TEST(LoaderPlacement, DeeperClosingsReturnOneLevelEach) {
  EXPECT_EQ(top(load("<r><a><b><c/></b></a><d><e/></d><f/></r>")), "r(a(b(c)) d(e) f)");
  EXPECT_EQ(top(load("<r>\n  <a/>\n\n  <b x='1'/>\n</r>\n")), "r(a b)");
}

TEST(LoaderPlacement, CommentsKeepTheirPlaceAndEveryElementStays) {
  // Between siblings, before a first child, alone in an element, around the top.
  EXPECT_EQ(top(load("<a><b/><!--x--><c/></a>")), "a(b {<!--x-->} c)");
  EXPECT_EQ(top(load("<a><!--first--><b/><c/></a>")), "a({<!--first-->} b c)");
  EXPECT_EQ(top(load("<a><p><!--only--><!--two--></p><q/></a>")),
            "a(p({<!--only-->} {<!--two-->}) q)");
  EXPECT_EQ(top(load("<a><p><q><!--in q--></q></p><r/></a>")), "a(p(q({<!--in q-->})) r)");
  EXPECT_EQ(top(load("<!--before--><a><b/></a><!--after-->")),
            "{<!--before-->} a(b) {<!--after-->}");
  EXPECT_EQ(top(load("<a><!----></a>")), "a({<!---->})");
}

TEST(LoaderText, ChunksAreJoinedByLineFeedsAndBlankOnesDropped) {
  EXPECT_EQ(top(load("<a>\n  first line\n    second line  \n</a>")),
            "a=\"  first line\n    second line  \"");
  // Expat hands over the entity on its own: three pieces.
  EXPECT_EQ(top(load("<a>fish &amp; chips</a>")), "a=\"fish \n&\n chips\"");
  EXPECT_EQ(top(load("<a>x&#65;y</a>")), "a=\"x\nA\ny\"");
  // Text after a child's end tag goes to that child, joined to its own.
  EXPECT_EQ(top(load("<a><b>in</b>after</a>")), "a(b=\"in\nafter\")");
  // Text before a child is dropped when the child starts.
  EXPECT_EQ(top(load("<a>lost<b/></a>")), "a(b)");
  EXPECT_EQ(top(load("<a><![CDATA[x < y]]></a>")), "a=\"x < y\"");
}

TEST(LoaderText, AttributesInOrderWithEntitiesReplaced) {
  Dom dom = load("<?xml version=\"1.0\"?>\n<!DOCTYPE a>\n"
                 "<a z=\"1\" b=\"x &amp; &lt;y&gt;\" a='&#x41;&quot;' ZZ=''/>");
  EXPECT_TRUE(dom.header_lines().empty());
  ASSERT_EQ(dom.node_count(), 2);
  std::vector<std::string> seen;
  dom.node(1).element().each_attribute([&](const kit::AttributeView& at) {
    seen.push_back(std::string(at.name) + "=" + std::string(at.value));
  });
  EXPECT_EQ(seen, (std::vector<std::string>{"z=1", "b=x & <y>", "a=A\"", "ZZ="}));
}

TEST(LoaderText, NonAsciiComesThroughAsUtf8) {
  EXPECT_EQ(top(load("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>caf\xe9</a>")),
            "a=\"caf\xc3\xa9\"");
  EXPECT_EQ(top(load("<a>\xe2\x82\xac</a>")), "a=\"\xe2\x82\xac\"");
}

TEST(LoaderFailures, EmptyFileAndMissingRootGiveTheParseErrorForLineOne) {
  for (const std::string xml : {"", "<?xml version=\"1.0\"?>", "   ", "<!-- no root -->"}) {
    Captured printed;
    bool parsed = true;
    Dom dom = load(xml, &printed, &parsed);
    EXPECT_FALSE(parsed);
    EXPECT_EQ(printed.err, "Parse error at line 1:\nno element found\n") << xml;
    EXPECT_EQ(printed.out, "");
    // What came before the error stays: here only a comment.
    EXPECT_EQ(top(dom), xml == "<!-- no root -->" ? "{<!-- no root -->}" : "");
  }
}

TEST(LoaderFailures, MalformedXmlKeepsWhatWasBuiltAndTheNextParseStartsClean) {
  TempDir dir;
  const std::string bad = dir.write("bad.xml", "<a>\n<b>\n<c>text</c>\n</a>\n");
  const std::string good = dir.write("good.xml", "<x><y/><z/></x>");
  Dom first;
  Captured printed = capture([&] { EXPECT_FALSE(kit::load_xml(first, bad.c_str())); });
  EXPECT_EQ(printed.err, "Parse error at line 4:\nmismatched tag\n");
  EXPECT_EQ(top(first), "a(b(c=\"text\"))");

  // Left half-way three levels deep, the loader still places a new document
  // from scratch.
  Dom second;
  printed = capture([&] { EXPECT_TRUE(kit::load_xml(second, good.c_str())); });
  EXPECT_EQ(printed.err, "");
  EXPECT_EQ(top(second), "x(y z)");
  EXPECT_EQ(kit::loader_state().depth, 0);
  EXPECT_EQ(kit::loader_state().previous_depth, 0);
}

TEST(LoaderFailures, MissingFileAndUnreadableFileReturnFalseAndGoOn) {
  TempDir dir;
  Dom dom;
  Captured printed = capture([&] {
    EXPECT_FALSE(kit::load_xml(dom, dir.file("absent.xml").c_str()));
  });
  EXPECT_EQ(printed.out, "File not found\n");
  EXPECT_EQ(printed.err, "");
  // A directory opens for reading on this system but cannot be read.
  printed = capture([&] { EXPECT_FALSE(kit::load_xml(dom, dir.path().c_str())); });
  EXPECT_EQ(printed.err, "Read error\n");
  EXPECT_TRUE(dom.is_empty());
}

TEST(LoaderDom, LoadingIntoATreeThatHoldsNodes) {
  TempDir dir;
  const std::string path = dir.write("in.xml", "<!--c--><n><m/></n>");
  Dom dom;
  dom.add_element_child(Element{Text("p")});
  dom.add_element_next(Element{Text("q")});
  // Next to the cursor node: after q, at the end of the chain.
  ASSERT_TRUE(kit::load_xml(dom, path.c_str()));
  EXPECT_EQ(top(dom), "p q {<!--c-->} n(m)");
  // From inside the chain: between p and what follows it, nothing cut off.
  dom.set_cursor(1);
  ASSERT_TRUE(kit::load_xml(dom, path.c_str()));
  EXPECT_EQ(top(dom), "p {<!--c-->} n(m) q {<!--c-->} n(m)");
  // On the root: ahead of the root's children.
  dom.root();
  ASSERT_TRUE(kit::load_xml(dom, path.c_str()));
  EXPECT_EQ(shape(dom, dom.node(0).child()).substr(0, 20), "{<!--c-->} n(m) p {<");
}

TEST(LoaderDom, WithDomAndTheLoadersOwnDom) {
  TempDir dir;
  const std::string path = dir.write("in.xml", "<a><b/></a>");
  Dom chosen;
  const int result = kit::with_dom(
      chosen,
      [&path](int n) { return kit::parse_file(kit::build_handler, path.c_str()) ? n : -n; }, 7);
  EXPECT_EQ(result, 7);
  EXPECT_EQ(top(chosen), "a(b)");

  // Nothing bound: the builder makes its own Dom and keeps filling it.
  EXPECT_EQ(kit::bound_dom(), nullptr);
  ASSERT_TRUE(kit::parse_file(kit::build_handler, path.c_str()));
  ASSERT_NE(kit::bound_dom(), nullptr);
  ASSERT_TRUE(kit::parse_file(kit::build_handler, path.c_str()));
  EXPECT_EQ(top(*kit::bound_dom()), "a(b) a(b)");
  EXPECT_EQ(top(chosen), "a(b)");
}

int nested_refused = 0;

void start_another(int event) {
  if (event == kit::event_start && !kit::parse_file(start_another, "whatever.xml")) {
    ++nested_refused;
  }
}

TEST(LoaderDom, NoParseFromInsideAHandler) {
  TempDir dir;
  const std::string path = dir.write("in.xml", "<a><b/></a>");
  const Captured printed =
      capture([&] { EXPECT_TRUE(kit::parse_file(start_another, path.c_str())); });
  EXPECT_EQ(nested_refused, 2);
  EXPECT_EQ(printed.out + printed.err, "");
}

TEST(LoaderWriter, LoadThenStore) {
  TempDir dir;
  Dom dom = load("<list name=\"main\">\n  <!-- first -->\n  <item v=\"1\">one</item>\n"
                 "  <item v=\"2\"/>\n</list>\n");
  const std::string out = dir.file("out.xml");
  ASSERT_TRUE(kit::store(dom, out.c_str(), kit::format_xml));
  EXPECT_EQ(kit_test::read_file(out),
            "<list name=\"main\">\n"
            "<comment data=\"&lt;!-- first --&gt;\" />\n"  // at its parent's level
            "  <item v=\"1\">\none\n  </item>\n"
            "  <item v=\"2\" />\n"
            "</list>\n");
  ASSERT_TRUE(kit::store(dom, out.c_str(), kit::format_light));
  EXPECT_EQ(kit_test::read_file(out).substr(0, 47),
            "list name=\"main\"\ncomment data=<!-- first --> /\n");
}

// Names, attributes in order and data of every node, in table order.
std::vector<std::string> contents(const Dom& dom) {
  std::vector<std::string> all;
  for (int i = 0; i < dom.node_count(); ++i) {
    const Node& node = dom.node(i);
    std::string line = std::to_string(node.parent()) + " " + std::to_string(node.next()) + " " +
                       node.element().name().str();
    node.element().each_attribute([&](const kit::AttributeView& at) {
      line += " " + std::string(at.name) + "=" + std::string(at.value);
    });
    all.push_back(line + " [" + node.element().data().str() + "]");
  }
  return all;
}

TEST(LoaderWriter, RoundTripsThroughTheXmlWriter) {
  const std::vector<std::string> documents = {
      "<a/>",
      "<config version=\"2\">\n  <section name=\"net\">\n    <option name=\"host\" "
      "value=\"example\"/>\n    <option name=\"port\" value=\"80\"/>\n  </section>\n"
      "  <section name=\"empty\"></section>\n</config>\n",
      "<t><p>one line</p><p>  two\n   lines with indentation </p><q a='it&apos;s' "
      "b=\"&lt;&amp;&gt;&quot;\"/></t>",
      "<deep><a><b><c><d><e>bottom</e></d></c></b></a><z/></deep>",
      "<r>\xc3\xa9t\xc3\xa9<n \xc3\xa9=\"\xe2\x82\xac\"/></r>",
  };
  TempDir dir;
  for (const std::string& xml : documents) {
    SCOPED_TRACE(xml);
    Dom first = load(xml);
    ASSERT_FALSE(first.is_empty());
    const std::string path = dir.file("round.xml");
    ASSERT_TRUE(kit::store(first, path.c_str(), kit::format_xml));
    Dom second;
    ASSERT_TRUE(kit::load_xml(second, path.c_str()));
    EXPECT_EQ(contents(second), contents(first));
  }
}

TEST(LoaderEcho, PrintsTheEventsAsIndentedXml) {
  TempDir dir;
  const std::string path =
      dir.write("in.xml", "<a x=\"1\" y='2'><!--top--><b>text\nmore</b><c><!--in c--></c></a>");
  const Captured printed =
      capture([&] { EXPECT_TRUE(kit::parse_file(kit::echo_handler, path.c_str())); });
  EXPECT_EQ(printed.out,
            "<a x='1' y='2' >\n"
            "top\n"
            "  <b >\n"
            "text\n"
            "more\n"
            "  </b>\n"
            "  <c >\n"
            "  in c\n"
            "  </c>\n"
            "</a>\n");
}

TEST(LoaderLookup, ByAttributeAndByElementText) {
  TempDir dir;
  const std::string path = dir.write(
      "in.xml", "<conf><opt name=\"a\" Value=\"1\"/><Opt value=\"2\"/><title>Hello</title>"
                "<title>Second</title></conf>");
  kit::Lookup& lookup = kit::lookup_request();

  lookup = kit::Lookup();
  lookup.attribute = Text("VALUE");
  EXPECT_TRUE(kit::parse_file(kit::lookup_handler, path.c_str()));
  EXPECT_TRUE(lookup.found);
  EXPECT_EQ(lookup.result, "1");

  lookup = kit::Lookup();
  lookup.element_filter = Text("OPT");
  lookup.attribute = Text("value");
  lookup.result = Text("stale");
  EXPECT_TRUE(kit::parse_file(kit::lookup_handler, path.c_str()));
  EXPECT_EQ(lookup.result, "1");  // "opt" matches the filter with case ignored

  lookup = kit::Lookup();
  lookup.element_filter = Text("conf");
  lookup.attribute = Text("missing");
  EXPECT_TRUE(kit::parse_file(kit::lookup_handler, path.c_str()));
  EXPECT_FALSE(lookup.found);

  // By text: every chunk met until the first match prints a line.
  lookup = kit::Lookup();
  lookup.element_filter = Text("TITLE");
  const Captured printed =
      capture([&] { EXPECT_TRUE(kit::parse_file(kit::lookup_handler, path.c_str())); });
  EXPECT_TRUE(lookup.found);
  EXPECT_EQ(lookup.result, "Hello");
  EXPECT_EQ(printed.out, "TITLE = title\n");

  const std::string mixed = dir.write("mixed.xml", "<a>one<b/>two<c>three</c></a>");
  lookup = kit::Lookup();
  lookup.element_filter = Text("c");
  const Captured mixed_printed =
      capture([&] { EXPECT_TRUE(kit::parse_file(kit::lookup_handler, mixed.c_str())); });
  EXPECT_EQ(mixed_printed.out, "c = a\nc = b\nc = c\n");
  EXPECT_EQ(lookup.result, "three");

  // Neither an attribute name nor a filter: nothing can match.
  lookup = kit::Lookup();
  EXPECT_EQ(capture([&] { kit::parse_file(kit::lookup_handler, path.c_str()); }).out, "");
  EXPECT_FALSE(lookup.found);
}

}  // namespace
