// Whatever the lines hold, the XML form must parse: random lines built from
// the characters that steer the translator and the ones XML cares about.
#include <gtest/gtest.h>

#include <random>

#include "dorsik/translate.h"
#include "support/temp_dir.h"
#include "support/xml_check.h"

namespace {

std::string random_source(std::mt19937& rng, int lines) {
  static const std::vector<std::string> pieces = {
      "[", "]", "=", ":", ";", ",", "#", "'", "\"", "&", "<", ">", "-", "--", " ", "\t",
      "a", "key", "value", "\xC3\xA9", "\xE2\x82\xAC", "&amp;", "<!--", "?>", "\r"};
  std::uniform_int_distribution<std::size_t> pick(0, pieces.size() - 1);
  std::uniform_int_distribution<int> length(0, 12);
  std::string text;
  for (int i = 0; i < lines; ++i) {
    for (int n = length(rng); n > 0; --n) text += pieces[pick(rng)];
    text += '\n';
  }
  return text;
}

}  // namespace

TEST(WellFormed, RandomSourcesGiveParsableXml) {
  kit_test::TempDir dir;
  std::mt19937 rng(20261208);
  for (int round = 0; round < 200; ++round) {
    const std::string source = random_source(rng, 30);
    dir.write("in.txt", source);
    const auto result = kit::convert_file(kit::Text(dir.file("in.txt").c_str()),
                                          kit::Text(dir.file("out.xml").c_str()));
    ASSERT_EQ(result.outcome, kit::Outcome::converted);
    const std::string xml = kit_test::read_file(dir.file("out.xml"));
    ASSERT_EQ(kit_test::xml_error(xml), "") << "source:\n" << source << "\noutput:\n" << xml;
  }
}
