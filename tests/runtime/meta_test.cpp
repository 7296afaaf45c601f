// SPDX-License-Identifier: MIT
#include "runtime/meta.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "runtime/array.h"
#include "runtime/dyn.h"
#include "support/temp_dir.h"

namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;

// The dictionary read from an HTML file holding the given bytes.
Entries meta_of(const std::string& html) {
  kit_test::TempDir dir;
  const kit::Array found = kit::read_meta(dir.write("page.html", html).c_str());
  Entries entries;
  for (int i = 0; i < found.size(); ++i) {
    EXPECT_EQ(found.at(i).type(), kit::tag::text);
    entries.emplace_back(found.key_at(i).str(), found.at(i).to_text().str());
  }
  return entries;
}

TEST(ReadMeta, MarkersIgnoreCaseAndRepeatedNamesKeepTheirPlace) {
  EXPECT_EQ(meta_of("<HTML>\n<Head>\n<meta name=\"description\" content=\"A test\">\n"
                    "<META NAME='b' CONTENT='2'>\n<meta name=\"description\" content=\"later\">\n"
                    "</HEAD>\n</html>\n"),
            (Entries{{"description", "later"}, {"b", "2"}}));
}

TEST(ReadMeta, TagsWithoutANameOrOutsideTheHeadAreSkipped) {
  EXPECT_EQ(meta_of("<meta name=\"before\" content=\"x\">\n<head>\n<meta charset=\"utf-8\">\n"
                    "<meta name=\"in\" content=\"y\">\n</head>\n<meta name=\"after\" content=\"z\">\n"),
            (Entries{{"in", "y"}}));
  EXPECT_EQ(meta_of("<meta name=\"a\" content=\"b\">\n"), Entries{});  // no head at all
  EXPECT_EQ(kit::read_meta("/nonexistent/page.html").size(), 0);
}

TEST(ReadMeta, SubstringSearchAndUnquotedValues) {
  // The search for "content" first meets the name's own value.
  EXPECT_EQ(meta_of("<head><meta name=\"content-type\" content=\"text/html\"></head>"),
            (Entries{{"content-type", "-type"}}));
  // An unquoted name runs on to the closing ">".
  EXPECT_EQ(meta_of("<head><meta name=keywords content=x></head>"),
            (Entries{{"keywords content=x", "x"}}));
}

TEST(ReadMeta, HeadOnOneLineAndATagAcrossTwo) {
  EXPECT_EQ(meta_of("junk <head><meta name=\"a\" content=\"1\"></head><meta name=\"b\" content=\"2\">"),
            (Entries{{"a", "1"}}));
  // Trimmed lines run together: the tag split after "name=" is still found.
  EXPECT_EQ(meta_of("<head>\n  <meta name=\n   \"split\" content=\"yes\">\n</head>\n"),
            (Entries{{"split", "yes"}}));
  // A "<meta" never closed ends the search.
  EXPECT_EQ(meta_of("<head><meta name=\"a\" content=\"1\"><meta name=\"b\"</head>"),
            (Entries{{"a", "1"}}));
}

TEST(AttributeValue, SkipsSeparatorsAndStopsAtQuotesOrTheEnd) {
  EXPECT_EQ(kit::attribute_value("<meta name = 'x y' >", "name"), "x y");
  EXPECT_EQ(kit::attribute_value("<meta name=open", "name"), "open");
}

}  // namespace
