// Input meant to hurt the loader: entity bombs, a million open elements, a
// hundred-megabyte text and cut-off files. Each must end in a message or a
// normal result, quickly and in memory proportional to the file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <regex>
#include <string>

#include "support/capture.h"
#include "support/temp_dir.h"
#include "tree/loader.h"
#include "tree/search.h"

namespace {

using kit::Dom;
using kit::Text;
using kit_test::capture;
using kit_test::Captured;
using kit_test::TempDir;

// Ten levels of entities, each ten of the one below: 10^9 "lol" when expanded.
std::string entity_bomb(const std::string& body) {
  std::string xml = "<?xml version=\"1.0\"?>\n<!DOCTYPE bomb [\n<!ENTITY lol0 \"lol\">\n";
  for (int level = 1; level <= 9; ++level) {
    xml += "<!ENTITY lol" + std::to_string(level) + " \"";
    for (int i = 0; i < 10; ++i) xml += "&lol" + std::to_string(level - 1) + ";";
    xml += "\">\n";
  }
  return xml + "]>\n" + body + "\n";
}

struct Outcome {
  bool parsed = false;
  Captured printed;
};

Outcome load_into(Dom& dom, const std::string& path) {
  Outcome outcome;
  outcome.printed = capture([&] { outcome.parsed = kit::load_xml(dom, path.c_str()); });
  return outcome;
}

TEST(HostileXml, EntityExpansionBombsAreRefused) {
  TempDir dir;
  // In text: the element is made, and whatever text came through before the
  // refusal is a small part of the 3 GB the bomb stands for.
  Dom dom;
  Outcome outcome = load_into(dom, dir.write("bomb.xml", entity_bomb("<bomb>&lol9;</bomb>")));
  EXPECT_FALSE(outcome.parsed);
  const std::string refused =
      "Parse error at line 14:\n"
      "limit on input amplification factor (from DTD and entities) breached\n";
  EXPECT_EQ(outcome.printed.err, refused);
  ASSERT_EQ(dom.node_count(), 2);
  EXPECT_LT(dom.node(1).element().data_view().size(), std::size_t{64} << 20);

  // In an attribute: refused before the element starts.
  Dom other;
  outcome = load_into(other, dir.write("bomb.xml", entity_bomb("<bomb a=\"&lol9;\"/>")));
  EXPECT_FALSE(outcome.parsed);
  EXPECT_EQ(outcome.printed.err, refused);
  EXPECT_TRUE(other.is_empty());
}

TEST(HostileXml, AMillionNestedElements) {
  constexpr int depth = 1000000;
  TempDir dir;
  const std::string path = dir.file("deep.xml");
  {
    std::string xml;
    xml.reserve(7 * depth + 16);
    for (int i = 0; i < depth; ++i) xml += "<d>";
    xml += "bottom";
    for (int i = 0; i < depth; ++i) xml += "</d>";
    dir.write("deep.xml", xml);
  }
  Dom dom;
  const Outcome outcome = load_into(dom, path);
  ASSERT_TRUE(outcome.parsed) << outcome.printed.err;
  ASSERT_EQ(dom.node_count(), depth + 1);
  // One chain straight down, the text at the bottom, the cursor back on top.
  int levels = 0;
  int index = 0;
  for (int child = dom.node(0).child(); child != 0; child = dom.node(child).child()) {
    ASSERT_EQ(dom.node(child).parent(), index);
    ASSERT_EQ(dom.node(child).next(), 0);
    index = child;
    ++levels;
  }
  EXPECT_EQ(levels, depth);
  EXPECT_EQ(dom.node(index).element().data(), "bottom");
  EXPECT_EQ(dom.cursor(), 1);

  // The searches and the merge walk it without recursing.
  EXPECT_EQ(kit::find_value(dom, "bottom"), Text("bottom"));
  EXPECT_EQ(kit::find_value(dom, "d"), Text(""));  // the top element's own data
  Dom copy;
  copy.copy_from(dom);
  copy.set_cursor(index);
  copy.add_element_child(kit::Element{Text("extra")});
  EXPECT_TRUE(kit::merge_tree(dom, copy));
  EXPECT_EQ(dom.node_count(), depth + 2);
  EXPECT_EQ(dom.node(index).child(), depth + 1);
}

TEST(HostileXml, AHundredMegabyteTextNode) {
  constexpr std::size_t lines = 1 << 20;
  const std::string line(99, 'x');  // and a line feed: 100 bytes a line
  TempDir dir;
  const std::string path = dir.file("big.xml");
  std::FILE* out = std::fopen(path.c_str(), "wb");
  ASSERT_NE(out, nullptr);
  std::fputs("<big>", out);
  for (std::size_t i = 0; i < lines; ++i) {
    std::fwrite(line.data(), 1, line.size(), out);
    std::fputc(i + 1 < lines ? '\n' : '!', out);
  }
  std::fputs("</big>", out);
  ASSERT_EQ(std::fclose(out), 0);

  Dom dom;
  const Outcome outcome = load_into(dom, path);
  ASSERT_TRUE(outcome.parsed) << outcome.printed.err;
  ASSERT_EQ(dom.node_count(), 2);
  const std::string_view data = dom.node(1).element().data_view();
  // Every byte is there. Expat also cuts the text where its input blocks
  // end, and each cut becomes one more line feed.
  const auto x_count = std::count(data.begin(), data.end(), 'x');
  const auto cuts = std::count(data.begin(), data.end(), '\n') - static_cast<long>(lines - 1);
  EXPECT_EQ(x_count, static_cast<long>(lines * 99));
  EXPECT_EQ(data.back(), '!');
  EXPECT_EQ(data.size(), x_count + (lines - 1) + cuts + 1);
  EXPECT_GE(cuts, 0);
  EXPECT_LE(cuts, static_cast<long>(lines * 100 / kit::read_block_bytes + 1));
  EXPECT_EQ(data.substr(0, 100), line + "\n");
}

TEST(HostileXml, TruncatedFilesEndInAParseError) {
  const std::string whole =
      "<?xml version=\"1.0\"?>\n<conf name=\"x\">\n  <item a=\"1\">one</item>\n"
      "  <!-- note -->\n  <item a=\"2\">two</item>\n</conf>\n";
  TempDir dir;
  const std::regex message("Parse error at line [1-6]:\n[a-z ()]+\n");
  // Every cut short of the final end tag fails, whatever it cuts through.
  for (std::size_t cut = 0; cut < whole.find("</conf>") + 7; ++cut) {
    SCOPED_TRACE(cut);
    Dom dom;
    const Outcome outcome = load_into(dom, dir.write("cut.xml", whole.substr(0, cut)));
    EXPECT_FALSE(outcome.parsed);
    EXPECT_TRUE(std::regex_match(outcome.printed.err, message)) << outcome.printed.err;
  }
  Dom dom;
  Outcome outcome = load_into(dom, dir.write("cut.xml", whole.substr(0, whole.find("two"))));
  EXPECT_EQ(outcome.printed.err, "Parse error at line 5:\nno element found\n");
  EXPECT_EQ(dom.node_count(), 5);  // conf, item, comment, item: all kept
  outcome = load_into(dom, dir.write("cut.xml", whole.substr(0, whole.find("a=\"2\""))));
  EXPECT_EQ(outcome.printed.err, "Parse error at line 5:\nunclosed token\n");
}

}  // namespace
