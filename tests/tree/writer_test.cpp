// SPDX-License-Identifier: MIT
// The tree writers: XML and the light forms, their sinks and their escaping.
#include <gtest/gtest.h>

#include <filesystem>
#include <initializer_list>
#include <string>
#include <utility>

#include "loaded_tree.h"
#include "support/capture.h"
#include "support/temp_dir.h"
#include "support/xml_check.h"
#include "tree/writer.h"

namespace {

using kit::Dom;
using kit::Element;
using kit::ScriptBlock;
using kit::Text;

Element element(const char* name,
                std::initializer_list<std::pair<const char*, const char*>> attributes = {}) {
  Element e{Text(name)};
  for (const auto& attribute : attributes) e.set_attribute(attribute.first, attribute.second);
  return e;
}

std::string shown(Dom& dom, int format) {
  return kit_test::capture([&] { kit::display(dom, format); }).out;
}

// A section with two options, then a title holding data.
Dom example() {
  Dom dom;
  dom.add_element_child(element("section", {{"name", "main"}}));
  dom.add_element_child(element("option", {{"name", "a"}, {"value", "1"}}));
  dom.add_element_next(element("option", {{"name", "b"}, {"value", ""}}));
  dom.up();
  Element title = element("title");
  title.set_data("Hello");
  dom.add_element_next(title);
  return dom;
}

TEST(Writers, ExampleInEachFormat) {
  Dom dom = example();
  EXPECT_EQ(shown(dom, kit::format_xml),
            "<section name=\"main\">\n"
            "  <option name=\"a\" value=\"1\" />\n"
            "  <option name=\"b\" value=\"\" />\n"
            "</section>\n"
            "<title>\nHello\n</title>\n");
  EXPECT_EQ(shown(dom, kit::format_light),
            "section name=\"main\"\n"
            "  option name=\"a\" value=\"1\" /\n"
            "  option name=\"b\" value=\"\" /\n"
            "/section\n"
            "title\nHello\n/title\n");
  EXPECT_EQ(shown(dom, kit::format_light_quoted),
            "section name=\"main\"\n"
            "  option name=\"a\" value=\"1\" /\n"
            "  option name=\"b\" value=\"\" /\n"
            "/section\n"
            "title\n\"Hello\"\n/title\n");
  EXPECT_EQ(shown(dom, 7), shown(dom, kit::format_light));
}

TEST(Writers, WholeDocumentHoldsTheTreeBelowTheRoot) {
  Dom dom = example();
  dom.add_header_line("<!-- made here -->");
  dom.set_whole_document(true);
  const std::string xml = kit::store_text(dom, kit::format_xml).str();
  EXPECT_EQ(xml,
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<!-- made here -->\n"
            "<document>\n"
            "  <section name=\"main\">\n"
            "    <option name=\"a\" value=\"1\" />\n"
            "    <option name=\"b\" value=\"\" />\n"
            "  </section>\n"
            "  <title>\nHello\n  </title>\n"
            "</document>\n");
  EXPECT_EQ(kit_test::xml_error(xml), "");
  EXPECT_EQ(shown(dom, kit::format_light),
            "<!-- made here -->\n"
            "document\n"
            "  section name=\"main\"\n"
            "    option name=\"a\" value=\"1\" /\n"
            "    option name=\"b\" value=\"\" /\n"
            "  /section\n"
            "  title\nHello\n  /title\n"
            "/document\n");
  // A copy keeps the setting.
  Dom copy(dom);
  EXPECT_EQ(kit::store_text(copy, kit::format_xml).str(), xml);
}

TEST(Writers, EmptyElementsAndTheFullCloseFlag) {
  Dom dom;
  dom.add_element_child(element("e"));
  EXPECT_EQ(shown(dom, kit::format_xml), "<e />\n");
  EXPECT_EQ(shown(dom, kit::format_light), "e /\n");
  dom.set_full_close(true);
  EXPECT_EQ(shown(dom, kit::format_xml), "<e>\n</e>\n");
  EXPECT_EQ(shown(dom, kit::format_light), "e\n/e\n");
  EXPECT_EQ(kit_test::capture([] {
              Dom empty;
              kit::display(empty, kit::format_xml);
            }).out,
            "Empty\n");
}

TEST(Writers, AttributeValueQuoting) {
  struct Case {
    const char* value;
    const char* xml;
    const char* light;
  };
  const Case cases[] = {
      {"", "\"\"", "\"\""},
      {"\"a;b\"", "\"a;b\"", "\"a;b\""},
      {"'x", "\"'x\"", "'x"},
      {"x\"", "\"x&quot;\"", "\"x\"\""},
      {"'a\"b'", "'a\"b'", "'a\"b'"},
      {"\"a\"b\"", "\"&quot;a&quot;b&quot;\"", "\"a\"b\""},
      {"\"<&>\"", "\"&lt;&amp;&gt;\"", "\"<&>\""},
      {"a<b&c>", "\"a&lt;b&amp;c&gt;\"", "\"a<b&c>\""},
      {"\"", "\"&quot;\"", "\""},
      {"a\tb\nc\rd", "\"a&#9;b&#10;c&#13;d\"", "\"a\tb\nc\rd\""},
      {"'x\ny'", "'x&#10;y'", "'x\ny'"},
  };
  Dom dom;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    dom.output().format_code = kit::format_xml;
    EXPECT_EQ(kit_test::capture([&] { kit::put_value(dom, c.value); }).out, c.xml);
    dom.output().format_code = kit::format_light;
    EXPECT_EQ(kit_test::capture([&] { kit::put_value(dom, c.value); }).out, c.light);
  }
}

// XML readers turn tab, line feed and carriage return in a value into spaces;
// as character references they come back (found by fuzzing the round trip).
TEST(Writers, ValueWhiteSpaceSurvivesALoad) {
  Dom dom;
  dom.add_element_child(element("e", {{"plain", "a\tb\nc\r\nd"}, {"quoted", "'x\ny'"}}));
  kit_test::TempDir dir;
  const std::string path = dir.file("e.xml");
  ASSERT_TRUE(kit::store(dom, path.c_str(), kit::format_xml));
  const Dom loaded = kit_test::tree_of(kit_test::read_file(path));
  EXPECT_EQ(kit_test::top(loaded), "e[plain=a\tb\nc\r\nd quoted=x\ny]");
}

TEST(Writers, DataEscapedOnlyInXml) {
  Dom dom;
  Element e = element("e");
  e.set_data("a<b & \"c\" > d");
  dom.add_element_child(e);
  EXPECT_EQ(shown(dom, kit::format_xml), "<e>\na&lt;b &amp; \"c\" &gt; d\n</e>\n");
  EXPECT_EQ(shown(dom, kit::format_light), "e\na<b & \"c\" > d\n/e\n");
  EXPECT_EQ(shown(dom, kit::format_light_quoted), "e\n\"a<b & \"c\" > d\"\n/e\n");
}

TEST(Writers, IndentationStopsAt48Spaces) {
  Dom dom;
  for (int depth = 0; depth <= 30; ++depth) dom.add_element_child(element("d"));
  const std::string out = shown(dom, kit::format_light);
  auto line = [&out](int n) {
    std::size_t at = 0;
    for (int i = 0; i < n; ++i) at = out.find('\n', at) + 1;
    return out.substr(at, out.find('\n', at) - at);
  };
  // Line n opens the element at depth n, up to the innermost at depth 30.
  EXPECT_EQ(line(23), std::string(46, ' ') + "d");
  EXPECT_EQ(line(24), std::string(48, ' ') + "d");
  EXPECT_EQ(line(30), std::string(48, ' ') + "d /");
  EXPECT_EQ(line(31), std::string(48, ' ') + "/d");
}

// Comments take the level of what was written just before them.
// A comment is indented at its own depth; a script line at the level it was added at.
TEST(Writers, CommentsAndScriptLines) {
  Dom dom;
  dom.add_element_child(element("top"));
  dom.add_element_child(element("a"));
  dom.add_comment_child(Text("<!--c1-->"));
  dom.add_element_next(element("b"));
  dom.set_cursor(1);
  ScriptBlock script;
  script.add_line("x<y\n");
  script.set_level(3);
  script.add_line("no feed");
  dom.add_script_next(script);
  dom.add_comment_next(Text("c2"));
  EXPECT_EQ(shown(dom, kit::format_light),
            "top\n"
            "  a\n"
            "    comment data=<!--c1--> /\n"
            "    b /\n"
            "  /a\n"
            "/top\n"
            "x<y\n"
            "      no feedcomment data=c2 /\n");
  EXPECT_EQ(shown(dom, kit::format_xml),
            "<top>\n"
            "  <a>\n"
            "    <comment data=\"&lt;!--c1--&gt;\" />\n"
            "    <b />\n"
            "  </a>\n"
            "</top>\n"
            "x&lt;y\n"
            "      no feed<comment data=\"c2\" />\n");
  // The write reads the script through and leaves the tree's cursor alone.
  EXPECT_EQ(dom.cursor(), 6);
  EXPECT_FALSE(dom.node(5).script().has_more());
}

TEST(Writers, StoreReportsWhetherTheFileWasWritten) {
  kit_test::TempDir dir;
  Dom dom = example();
  const std::string path = dir.file("out.xml");
  EXPECT_TRUE(kit::store(dom, path.c_str(), kit::format_xml));
  EXPECT_EQ(kit_test::read_file(path), shown(dom, kit::format_xml));
  EXPECT_TRUE(kit::store(dom, path.c_str(), kit::format_light));  // truncates
  EXPECT_EQ(kit_test::read_file(path), shown(dom, kit::format_light));

  EXPECT_FALSE(kit::store(dom, dir.file("missing/out.xml").c_str(), kit::format_xml));
  EXPECT_FALSE(kit::store(dom, "/dev/full", kit::format_xml));
  Dom root_only;
  EXPECT_TRUE(kit::store(root_only, dir.file("none.xml").c_str(), kit::format_xml));
  EXPECT_FALSE(std::filesystem::exists(dir.file("none.xml")));
  // After a store, pieces go to standard output again.
  EXPECT_EQ(kit_test::capture([&] { kit::put_text(dom, "x"); }).out, "x");
}

TEST(Writers, StoreAppendRepeatsTheHeaderLines) {
  kit_test::TempDir dir;
  const std::string path = dir.write("log.xml", "old\n");
  Dom dom;
  dom.add_header_line("<?xml version=\"1.0\"?>");
  dom.add_element_child(element("e"));
  EXPECT_TRUE(kit::store_append(dom, path.c_str(), kit::format_xml));
  EXPECT_TRUE(kit::store_append(dom, path.c_str(), kit::format_xml));
  EXPECT_TRUE(kit::store_append(dom, dir.file("new.xml").c_str(), kit::format_xml));
  const std::string once = "<?xml version=\"1.0\"?>\n<e />\n";
  EXPECT_EQ(kit_test::read_file(path), "old\n" + once + once);
  EXPECT_EQ(kit_test::read_file(dir.file("new.xml")), once);
}

TEST(Writers, HostileContentStaysWellFormed) {
  const char* hostile[] = {
      "a&b", "<x>", "say \"hi\"", "it's", "'x", "x'", "\"a;b\"", "\"", "'", "''",
      "\"'\"", "'\"'", "x\"", "\"x", "&amp;", "]]>", "\"a\"b\"", "'a'b'",
  };
  Dom dom;
  dom.add_header_line("<?xml version=\"1.0\"?>");
  Element root = element("doc");
  int n = 0;
  for (const char* value : hostile) root.set_attribute(Text("v") + Text(n++), value);
  root.set_data("a < b && c > d \"q\" 'a' ]]>");
  dom.add_element_child(root);
  bool first = true;
  for (const char* value : hostile) {
    Element child = element("item");
    child.set_attribute("value", value);
    child.set_data(value);
    if (first) {
      dom.add_element_child(child);
    } else {
      dom.add_element_next(child);
    }
    first = false;
    dom.add_comment_next(Text(value));
  }
  ScriptBlock script;
  script.add_line("if (a < b && c > d) {}\n");
  dom.add_script_next(script);
  ASSERT_EQ(dom.node_count(), 2 + 2 * 18 + 1);

  kit_test::TempDir dir;
  const std::string path = dir.file("hostile.xml");
  ASSERT_TRUE(kit::store(dom, path.c_str(), kit::format_xml));
  EXPECT_EQ(kit_test::xml_error(kit_test::read_file(path)), "");
}

}  // namespace
