// Whatever the lines hold, the XML form must parse: random lines built from
// the characters that steer the translator and the ones XML cares about.
#include <gtest/gtest.h>

#include <random>

#include "dorsik/translate.h"
#include "support/random_source.h"
#include "support/temp_dir.h"
#include "support/xml_check.h"

namespace dorsik = kit::dorsik;

TEST(WellFormed, RandomSourcesGiveParsableXml) {
  kit_test::TempDir dir;
  std::mt19937 rng(20261208);
  for (int round = 0; round < 200; ++round) {
    const std::string source = kit_test::random_source(rng, 30, 12);
    dir.write("in.txt", source);
    const auto result = dorsik::convert_file(kit::Text(dir.file("in.txt").c_str()),
                                          kit::Text(dir.file("out.xml").c_str()));
    ASSERT_EQ(result.outcome, dorsik::Outcome::converted);
    const std::string xml = kit_test::read_file(dir.file("out.xml"));
    ASSERT_EQ(kit_test::xml_error(xml), "") << "source:\n" << source << "\noutput:\n" << xml;
  }
}
