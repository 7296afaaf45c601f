// SPDX-License-Identifier: MIT
// Whatever the bytes, a whole document of either mode parses with namespace
// processing: random lines of the characters that steer the reader, the ones
// XML cares about and the ones it cannot hold. Every line gives one
// top-level element, and in the default mode every name reads back as the
// source wrote it: the regenerated lines are those of the expanded mode,
// which keeps names as values. The loader takes the document too, and text
// XML can hold goes through untouched.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>

#include "support/random_source.h"
#include "support/temp_dir.h"
#include "support/xml_check.h"
#include "tree/loader.h"
#include "tree/writer.h"
#include "varnel/ini.h"

namespace varnel = kit::varnel;
using kit_test::SourceBytes;

namespace {

int top_level_count(const kit::Dom& tree) {
  int count = 0;
  for (int i = tree.node(0).child(); i > 0; i = tree.node(i).next()) ++count;
  return count;
}

std::string regenerated() {
  std::string lines;
  varnel::regenerate_ini([&lines](std::string_view line) {
    lines += line;
    return true;
  });
  return lines;
}

}  // namespace

TEST(WellFormed, DocumentsOfBothModesParseAndNamesReadBack) {
  kit_test::TempDir dir;
  std::mt19937 rng(1208);
  constexpr int lines = 25;
  for (int round = 0; round < 300; ++round) {
    const SourceBytes bytes = round % 3 == 0 ? SourceBytes::text : SourceBytes::any;
    const std::string source = kit_test::random_source(rng, lines, 10, bytes);
    const kit::Text path(dir.write("in.ini", source).c_str());
    std::string regenerated_in[2];
    for (const bool expand : {false, true}) {
      varnel::expand_mode = expand;
      ASSERT_TRUE(varnel::read_ini(path, varnel::ini_tree));
      varnel::ini_tree.set_whole_document(true);
      ASSERT_TRUE(kit::store(varnel::ini_tree, kit::Text(dir.file("out.xml").c_str()), kit::format_xml));
      const std::string xml = kit_test::read_file(dir.file("out.xml"));
      ASSERT_EQ(kit_test::xml_namespace_error(xml), "") << "source:\n" << source << "\noutput:\n" << xml;
      kit::Dom loaded;  // and the tree library's own loader takes it
      EXPECT_TRUE(kit::load_xml_text(loaded, xml)) << xml;
      if (bytes == SourceBytes::text) {
        EXPECT_EQ(varnel::read_notes.encoding, kit::SourceEncoding::utf8);
        EXPECT_FALSE(varnel::ini_tree.output().replaced_unfit) << source;
        // One element a line, and the "blank" of the final line feed.
        EXPECT_EQ(top_level_count(varnel::ini_tree), lines + 1) << source;
      }
      regenerated_in[expand] = regenerated();
    }
    EXPECT_EQ(regenerated_in[false], regenerated_in[true]) << source;
  }
  varnel::expand_mode = false;
  varnel::ini_tree = kit::Dom();
}
