// Whatever the bytes, the XML form must parse: random lines built from the
// characters that steer the translator, the ones XML cares about and the
// ones it cannot hold. Text XML can hold goes through untouched.
#include <gtest/gtest.h>

#include <random>

#include "dorsik/translate.h"
#include "support/random_source.h"
#include "support/temp_dir.h"
#include "support/xml_check.h"

namespace dorsik = kit::dorsik;
using kit_test::SourceBytes;

TEST(WellFormed, RandomSourcesGiveParsableXml) {
  kit_test::TempDir dir;
  std::mt19937 rng(20261208);
  for (int round = 0; round < 300; ++round) {
    const SourceBytes bytes = round % 3 == 0 ? SourceBytes::text : SourceBytes::any;
    const std::string source = kit_test::random_source(rng, 30, 12, bytes);
    dir.write("in.txt", source);
    const auto result = dorsik::convert_file(kit::Text(dir.file("in.txt").c_str()),
                                          kit::Text(dir.file("out.xml").c_str()));
    ASSERT_EQ(result.outcome, dorsik::Outcome::converted);
    const std::string xml = kit_test::read_file(dir.file("out.xml"));
    ASSERT_EQ(kit_test::xml_error(xml), "") << "source:\n" << source << "\noutput:\n" << xml;
    if (bytes == SourceBytes::text) {
      EXPECT_EQ(result.encoding, kit::SourceEncoding::utf8);
      EXPECT_FALSE(result.replaced_unfit) << source;
    }
  }
}
