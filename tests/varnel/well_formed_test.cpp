// In the expanded mode no source name becomes an XML name, so whatever the
// bytes the target must parse: random lines of the characters that steer the
// reader, the ones XML cares about and the ones it cannot hold. Text XML can
// hold goes through untouched.
#include <gtest/gtest.h>

#include <random>

#include "support/random_source.h"
#include "support/temp_dir.h"
#include "support/xml_check.h"
#include "tree/writer.h"
#include "varnel/ini.h"

namespace varnel = kit::varnel;
using kit_test::SourceBytes;

TEST(WellFormed, ExpandedTargetsParse) {
  kit_test::TempDir dir;
  std::mt19937 rng(1208);
  varnel::expand_mode = true;
  for (int round = 0; round < 300; ++round) {
    const SourceBytes bytes = round % 3 == 0 ? SourceBytes::text : SourceBytes::any;
    const std::string source = kit_test::random_source(rng, 25, 10, bytes);
    kit::Dom tree;
    ASSERT_TRUE(varnel::read_ini(kit::Text(dir.write("in.ini", source).c_str()), tree));
    ASSERT_TRUE(kit::store(tree, kit::Text(dir.file("out.xml").c_str()), kit::format_xml));
    const std::string xml = kit_test::read_file(dir.file("out.xml"));
    ASSERT_EQ(kit_test::xml_content_error(xml), "") << "source:\n" << source << "\noutput:\n" << xml;
    if (bytes == SourceBytes::text) {
      EXPECT_EQ(varnel::source_encoding, kit::SourceEncoding::utf8);
      EXPECT_FALSE(tree.output().replaced_unfit) << source;
    }
  }
  varnel::expand_mode = false;
}
