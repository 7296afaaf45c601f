// SPDX-License-Identifier: MIT
// Whatever the bytes, the XML form must parse: random lines built from the
// characters that steer the translator, the ones XML cares about and the
// ones it cannot hold. Text XML can hold goes through untouched, and every
// non-blank line, once continuations are joined, gives one element.
#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>

#include "dorsik/translate.h"
#include "support/random_source.h"
#include "support/temp_dir.h"
#include "support/xml_check.h"

namespace dorsik = kit::dorsik;
using kit_test::SourceBytes;

namespace {

std::string trimmed(const std::string& line, bool at_start) {
  constexpr const char* space = " \t\n\v\r";
  const std::size_t last = line.find_last_not_of(space);
  if (last == std::string::npos) return "";
  const std::size_t first = at_start ? line.find_first_not_of(space) : 0;
  return line.substr(first, last + 1 - first);
}

// The non-blank lines of a source once a line ending in "," is joined with
// the ones after it.
int joined_lines(const std::string& source) {
  std::istringstream in(source);
  int count = 0;
  for (std::string line; std::getline(in, line);) {
    std::string joined = trimmed(line, true);
    if (joined.empty()) continue;
    while (joined.back() == ',' && std::getline(in, line)) joined += trimmed(line, false);
    ++count;
  }
  return count;
}

// The elements the target holds below its root: each begins a line indented
// by three spaces.
int top_level_elements(const std::string& xml) {
  std::istringstream in(xml);
  int count = 0;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("   <", 0) == 0 && line.rfind("   </", 0) != 0) ++count;
  }
  return count;
}

}  // namespace

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
      EXPECT_EQ(result.notes.encoding, kit::SourceEncoding::utf8);
      EXPECT_FALSE(result.notes.replaced_unfit) << source;
      EXPECT_EQ(top_level_elements(xml), joined_lines(source)) << source;
    }
  }
}
