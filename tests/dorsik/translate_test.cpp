// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include "dorsik/translate.h"
#include "support/temp_dir.h"

using kit::Text;
namespace dorsik = kit::dorsik;

namespace {

// Runs a body in one output form and restores the XML form afterwards.
struct LightForm {
  LightForm() { dorsik::light_mode = true; }
  ~LightForm() { dorsik::light_mode = false; }
};

std::string property(const char* line) { return dorsik::translate_property(line).str(); }

}  // namespace

TEST(QuoteValue, EscapesAndEncloses) {
  EXPECT_EQ(dorsik::quote_value("  <1 & 2>  ", '\'').str(), "'&lt;1 &amp; 2&gt;'");
  EXPECT_EQ(dorsik::quote_value("\"c;d\"", '\'').str(), "'&quot;c;d&quot;'");
  EXPECT_EQ(dorsik::quote_value("Demo", '"').str(), "\"Demo\"");
  EXPECT_EQ(dorsik::quote_value("", '\'').str(), "''");
}

TEST(QuoteValue, ApostrophesStayWellFormed) {
  EXPECT_EQ(dorsik::quote_value("'quoted'", '\'').str(), "'quoted'");  // already enclosed
  EXPECT_EQ(dorsik::quote_value("it's", '\'').str(), "'it&apos;s'");
  EXPECT_EQ(dorsik::quote_value("'a", '\'').str(), "'&apos;a'");
  EXPECT_EQ(dorsik::quote_value("'", '\'').str(), "'&apos;'");
  EXPECT_EQ(dorsik::quote_value("'a'b'", '\'').str(), "'&apos;a&apos;b&apos;'");
  EXPECT_EQ(dorsik::quote_value("'x", '"').str(), "\"'x\"");  // inside double quotes it is plain
}

TEST(SplitValues, KeepsEmptyItems) {
  auto items = [](const char* s) {
    std::vector<std::string> out;
    for (const Text& t : dorsik::split_values(s)) out.push_back(t.str());
    return out;
  };
  EXPECT_EQ(items(""), std::vector<std::string>{""});
  EXPECT_EQ(items("a,"), (std::vector<std::string>{"a", ""}));
  EXPECT_EQ(items(",,"), (std::vector<std::string>{"", "", ""}));
  EXPECT_EQ(items(" a , \"b,c\" "), (std::vector<std::string>{"a", "\"b", "c\""}));
}

TEST(TranslateTitle, NameBetweenTheBrackets) {
  EXPECT_EQ(dorsik::translate_title("[ Network ]").str(), "<title name=\"Network\" />");
  EXPECT_EQ(dorsik::translate_title("[Network").str(), "<title name=\"Network\" />");
  EXPECT_EQ(dorsik::translate_title("[]").str(), "<title name=\"\" />");
  EXPECT_EQ(dorsik::translate_title("[a] trailing").str(), "<title name=\"a\" />");
  EXPECT_EQ(dorsik::translate_title("no bracket").str(), "");
  LightForm light;
  EXPECT_EQ(dorsik::translate_title("[a]").str(), "title name=\"a\" /");
}

TEST(TranslateComment, BreaksDoubleDashes) {
  EXPECT_EQ(dorsik::translate_comment(" a -- b").str(), "<comment value=\"a - - b\" />");
  EXPECT_EQ(dorsik::translate_comment(" ---").str(), "<comment value=\"- --\" />");
}

TEST(TranslateProperty, SeparatorRules) {
  EXPECT_EQ(property("key: value"),
            "   <entry name=\"key\">\n      <option value='value'/>\n   </entry>");
  // "=" wins even behind a ":".
  EXPECT_EQ(property("url: a=b"),
            "   <entry name=\"url: a\">\n      <option value='b'/>\n   </entry>");
  EXPECT_EQ(property("=x"), "   <entry name=\"\">\n      <option value='x'/>\n   </entry>");
  EXPECT_EQ(property("a="), "   <entry name=\"a\">\n      <option value=''/>\n   </entry>");
  EXPECT_EQ(property("no separator"), "");
  EXPECT_EQ(property("x;y=1"), "");  // the only "=" is in the comment
}

TEST(TranslateProperty, TrailingComments) {
  EXPECT_EQ(property("list = a, b ; two items"),
            "   <entry name=\"list\">\n      <option value='a'/>\n      <option value='b'/>\n"
            "      <comment value='two items'/>\n   </entry>");
  EXPECT_EQ(property("a=b;"), "   <entry name=\"a\">\n      <option value='b'/>\n   </entry>");
  // A ";" inside the first pair of double quotes belongs to the value.
  EXPECT_EQ(property("path = \"c;d\""),
            "   <entry name=\"path\">\n      <option value='&quot;c;d&quot;'/>\n   </entry>");
  // After the closing quote it starts a comment again.
  EXPECT_EQ(property("p = \"x\" ; c"),
            "   <entry name=\"p\">\n      <option value='&quot;x&quot;'/>\n"
            "      <comment value='c'/>\n   </entry>");
  // A lone double quote: a ";" after it still counts only past that quote.
  EXPECT_EQ(property("p = \"x;y"),
            "   <entry name=\"p\">\n      <option value='&quot;x'/>\n"
            "      <comment value='y'/>\n   </entry>");
}

TEST(TranslateProperty, LightFormHasNoBrackets) {
  LightForm light;
  EXPECT_EQ(property("a = b ; c"),
            "   entry name=\"a\"\n      option value='b'/\n      comment value='c'/\n   /entry");
}

TEST(ConvertFile, ReportsTheFileItCouldNotUse) {
  kit_test::TempDir dir;
  const std::string source = dir.write("conf.txt", "a = 1\n");
  auto missing = dorsik::convert_file(Text(dir.file("none.txt").c_str()), Text(dir.file("t.uc").c_str()));
  EXPECT_EQ(missing.outcome, dorsik::Outcome::cannot_open);
  EXPECT_EQ(missing.file.str(), dir.file("none.txt"));
  EXPECT_EQ(kit_test::read_file(dir.file("t.uc")), "");  // no target made

  auto directory = dorsik::convert_file(Text(dir.path().c_str()), Text(dir.file("t.uc").c_str()));
  EXPECT_EQ(directory.outcome, dorsik::Outcome::cannot_open);

  auto unwritable = dorsik::convert_file(Text(source.c_str()), Text(dir.file("no/such/t.uc").c_str()));
  EXPECT_EQ(unwritable.outcome, dorsik::Outcome::cannot_open);
  EXPECT_EQ(unwritable.file.str(), dir.file("no/such/t.uc"));

  auto full = dorsik::convert_file(Text(source.c_str()), Text("/dev/full"));
  EXPECT_EQ(full.outcome, dorsik::Outcome::cannot_write);
}
