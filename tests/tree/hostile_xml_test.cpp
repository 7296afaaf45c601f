// SPDX-License-Identifier: MIT
// Input meant to hurt the loader: entity bombs, a million open elements, a
// hundred-megabyte text and cut-off files. Each must end in a message or a
// normal result, quickly and in memory proportional to the file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <regex>
#include <string>

#include "loaded_tree.h"
#include "support/sanitizers.h"
#include "tree/search.h"

namespace {

using kit::Dom;
using kit::Text;
using kit_test::Captured;
using kit_test::tree_of;

// Nine levels of ten references each over "lol": 3 GB once expanded.
std::string entity_bomb(const std::string& body) {
  std::string xml = "<!DOCTYPE bomb [\n<!ENTITY lol0 \"lol\">\n";
  for (int level = 1; level <= 9; ++level) {
    xml += "<!ENTITY lol" + std::to_string(level) + " \"";
    for (int i = 0; i < 10; ++i) xml += "&lol" + std::to_string(level - 1) + ";";
    xml += "\">\n";
  }
  return xml + "]>\n" + body;
}

TEST(HostileXml, EntityExpansionBombsAreRefused) {
  const std::string refused =
      "Parse error at line 13:\n"
      "limit on input amplification factor (from DTD and entities) breached\n";
  Captured printed;
  bool parsed = true;
  const Dom in_text = tree_of(entity_bomb("<bomb>&lol9;</bomb>"), &printed, &parsed);
  EXPECT_FALSE(parsed);
  EXPECT_EQ(printed.err, refused);
  ASSERT_EQ(in_text.node_count(), 2);  // the element, with at most a little of the text
  EXPECT_LT(in_text.node(1).element().data_view().size(), std::size_t{64} << 20);
  const Dom in_attribute = tree_of(entity_bomb("<bomb a=\"&lol9;\"/>"), &printed, &parsed);
  EXPECT_FALSE(parsed);
  EXPECT_EQ(printed.err, refused);
  EXPECT_TRUE(in_attribute.is_empty());
}

TEST(HostileXml, AMillionNestedElements) {
  constexpr int depth = 1000000;
  std::string xml;
  for (int i = 0; i < depth; ++i) xml += "<d>";
  xml += "bottom";
  for (int i = 0; i < depth; ++i) xml += "</d>";
  bool parsed = false;
  Dom dom = tree_of(xml, nullptr, &parsed);
  ASSERT_TRUE(parsed);
  ASSERT_EQ(dom.node_count(), depth + 1);
  int index = 0;
  for (int child = dom.node(0).child(); child != 0; child = dom.node(child).child()) {
    ASSERT_EQ(dom.node(child).parent(), index);
    index = child;
  }
  EXPECT_EQ(index, depth);
  EXPECT_EQ(dom.node(index).element().data(), "bottom");
  EXPECT_EQ(dom.cursor(), 1);

  // The lookups and the merge walk it without recursing.
  EXPECT_EQ(kit::find_value(dom, "missing"), Text("missing"));
  Dom more;
  more.copy_from(dom);
  more.set_cursor(index);
  more.add_element_child(kit::Element{Text("extra")});
  kit::merge_tree(dom, more);
  EXPECT_EQ(dom.node(index).child(), depth + 1);
}

TEST(HostileXml, AHundredMegabyteTextNode) {
  constexpr long lines = 1 << 20;
  const std::string line(99, 'x');
  kit_test::TempDir dir;
  const std::string path = dir.file("big.xml");
  std::FILE* out = std::fopen(path.c_str(), "wb");
  ASSERT_NE(out, nullptr);
  std::fputs("<big>", out);
  for (long i = 0; i < lines; ++i) {
    std::fprintf(out, "%s%c", line.c_str(), i + 1 < lines ? '\n' : '!');
  }
  std::fputs("</big>", out);
  ASSERT_EQ(std::fclose(out), 0);

  Dom dom;
  EXPECT_TRUE(kit::load_xml(dom, path.c_str()));
  ASSERT_EQ(dom.node_count(), 2);
  // Every byte is there. Expat also cuts the text where its input blocks
  // end, and each cut adds one line feed.
  const std::string_view data = dom.node(1).element().data_view();
  const long feeds = std::count(data.begin(), data.end(), '\n');
  EXPECT_EQ(std::count(data.begin(), data.end(), 'x'), lines * 99);
  EXPECT_EQ(static_cast<long>(data.size()), lines * 99 + feeds + 1);
  EXPECT_LE(feeds, lines - 1 + lines * 100 / static_cast<long>(kit::read_block_bytes) + 1);
  EXPECT_EQ(data.substr(0, 100), line + "\n");
  EXPECT_EQ(data.back(), '!');
}

// The address sanitizer, under either compiler, holds freed blocks back a while.
constexpr bool freed_memory_held = address_sanitizer;

// The resident memory of this process in KiB; 0 when unknown.
long resident_kib() {
  std::FILE* status = std::fopen("/proc/self/status", "r");
  long kib = 0;
  char line[256];
  while (status != nullptr && std::fgets(line, sizeof line, status) != nullptr) {
    if (std::sscanf(line, "VmRSS: %ld kB", &kib) == 1) break;
  }
  if (status != nullptr) std::fclose(status);
  return kib;
}

// Text after a child's end goes to that child, so a deep text is set anew
// at every enclosing end: each time in the memory it already had.
TEST(HostileXml, ATextGivenAgainAtEveryEnclosingEnd) {
  constexpr int levels = 300;
  std::string xml = "<r>";
  for (int i = 0; i < levels; ++i) xml += "<s>";
  xml += "<b>" + std::string(1000000, 't') + "</b>";
  for (int i = 0; i < levels; ++i) xml += "y</s>";
  xml += "</r>";
  const long before = resident_kib();
  bool parsed = false;
  const Dom dom = tree_of(xml, nullptr, &parsed);
  ASSERT_TRUE(parsed);
  const std::string_view data = dom.node(levels + 2).element().data_view();
  EXPECT_EQ(std::count(data.begin(), data.end(), 't'), 1000000);
  EXPECT_EQ(std::count(data.begin(), data.end(), 'y'), levels);
  EXPECT_EQ(data.substr(data.size() - 4), "\ny\ny");
  if (!freed_memory_held) {
    EXPECT_LT(resident_kib() - before, 100L * 1024);
  }
}

TEST(HostileXml, EveryCutOfAFileEndsInAParseError) {
  const std::string whole = "<?xml version=\"1.0\"?>\n<conf name=\"x\">\n  <item a=\"1\">one"
                            "</item>\n  <!-- note -->\n  <item a=\"2\">two</item>\n</conf>\n";
  const std::regex message("Parse error at line [1-6]:\n[a-z ()]+\n");
  for (std::size_t cut = 0; cut < whole.rfind('>'); ++cut) {
    Captured printed;
    bool parsed = true;
    tree_of(whole.substr(0, cut), &printed, &parsed);
    EXPECT_FALSE(parsed) << cut;
    EXPECT_TRUE(std::regex_match(printed.err, message)) << cut << ": " << printed.err;
  }
  EXPECT_EQ(tree_of(whole.substr(0, whole.find("two"))).node_count(), 5);  // all kept
}

}  // namespace
