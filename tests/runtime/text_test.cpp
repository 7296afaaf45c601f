// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include <climits>
#include <sstream>
#include <unordered_set>

#include "runtime/text.h"

using kit::End;
using kit::Text;

TEST(TextConstruction, NumbersUseTheCFormats) {
  EXPECT_EQ(Text(true).str(), "1");
  EXPECT_EQ(Text(false).str(), "");
  EXPECT_EQ(Text(-5).str(), "-5");
  EXPECT_EQ(Text(4000000000u).str(), "4000000000");
  EXPECT_EQ(Text(2.5).str(), "2.5");
  EXPECT_EQ(Text(0.1 + 0.2).str(), "0.3");
  EXPECT_EQ(Text(100000.0).str(), "100000");
  EXPECT_EQ(Text(1000000.0).str(), "1e+06");
  EXPECT_EQ(Text(0.00001).str(), "1e-05");
  // Wide naturals go through a double: six significant digits.
  EXPECT_EQ(Text(std::uint64_t{1234567}).str(), "1.23457e+06");
  EXPECT_EQ(Text('x').str(), "x");
  EXPECT_EQ(Text(static_cast<const char*>(nullptr)).length(), 0);
}

TEST(TextConstruction, SetReplacesTheContent) {
  Text t("old");
  t.set(42);
  EXPECT_EQ(t.str(), "42");
  t.set(true);
  EXPECT_EQ(t.str(), "1");
  t.set("new");
  EXPECT_EQ(t.str(), "new");
  Text empty;
  EXPECT_STREQ(empty.c_str(), "");
  EXPECT_EQ(empty.first_char(), '\0');
}

TEST(TextReading, NumberConversions) {
  EXPECT_EQ(Text("  42abc").to_int(), 42);
  EXPECT_EQ(Text("-7").to_int(), -7);
  EXPECT_EQ(Text("abc").to_int(), 0);
  EXPECT_EQ(Text("99999999999").to_int(), INT32_MAX);
  EXPECT_DOUBLE_EQ(Text("").to_real(), 0.0);
  EXPECT_DOUBLE_EQ(Text("1e3").to_real(), 1000.0);
  EXPECT_DOUBLE_EQ(Text(" 2.5x").to_real(), 2.5);
  EXPECT_EQ(Text("-3.9").to_int64(), -3);
  EXPECT_EQ(Text("1e30").to_int64(), INT64_MAX);
  EXPECT_DOUBLE_EQ(kit::real_of(""), 0.0);
  EXPECT_DOUBLE_EQ(kit::real_of("12.5"), 12.5);
}

TEST(TextReading, NumberLikeRule) {
  for (const char* yes : {"", "0", "007", "1e5", "1e"}) EXPECT_TRUE(Text(yes).is_number()) << yes;
  for (const char* no : {"e5", "1E5", "1.5", "-1", " 1", "1e2e3", "x"}) {
    EXPECT_FALSE(Text(no).is_number()) << no;
  }
}

TEST(TextReading, AtGivesOneByteOrEmpty) {
  EXPECT_EQ(Text("abc").at(0).str(), "a");
  EXPECT_EQ(Text("abc").at(3).str(), "");
  EXPECT_EQ(Text("").at(0).str(), "");
  EXPECT_EQ(Text("abc").at(-1).str(), "");
}

TEST(TextComparison, BytesAndNumberLikeValues) {
  EXPECT_TRUE(Text("-light") == "-light");
  EXPECT_FALSE(Text("-LIGHT") == "-light");
  EXPECT_EQ(Text("100").compare(Text("1e2")), 0);  // same length, both number-like
  EXPECT_EQ(Text("9").compare(Text("10")), 1);     // lengths differ: bytes decide
  EXPECT_EQ(Text("abc").compare(Text("abd")), -1);
  EXPECT_EQ(Text("ab").compare(Text("abc")), -1);
  EXPECT_TRUE(Text("b") > "a");
  EXPECT_TRUE(Text("a") <= "a");
  // Bytes above 127 sort after ASCII, as strcmp orders them.
  EXPECT_EQ(Text("\xC3").compare(Text("z")), 1);
}

TEST(TextComparison, IgnoringCase) {
  EXPECT_EQ(Text("A.TXT").compare_nocase(Text("a.txt")), 0);
  EXPECT_LT(Text("abc").compare_nocase(Text("ABCD")), 0);
  EXPECT_GT(Text("b").compare_nocase(Text("A")), 0);
  EXPECT_EQ(Text("010").compare_nocase(Text("1e1")), 0);
  // same_nocase: ASCII letters only, and no numeric reading.
  EXPECT_TRUE(kit::same_nocase("Active-Z", "aCTIVE-z"));
  EXPECT_FALSE(kit::same_nocase("010", "1e1"));
  EXPECT_FALSE(kit::same_nocase("a", "ab"));
  // These pairs differ in the case bit alone but are no letters.
  EXPECT_FALSE(kit::same_nocase("@[", "`{"));
  EXPECT_FALSE(kit::same_nocase("\xC1", "\xE1"));
}

TEST(TextComparison, HashAgreesWithEquality) {
  // "100" == "1e2" and "010" == "1e1": equal texts must share one slot.
  const std::unordered_set<Text> set = {"100", "1e2", "010", "1e1", "00", "0e", "abc", "ABC"};
  EXPECT_EQ(set.size(), 5u);
}

TEST(TextComparison, AgainstNumbersAndBooleans) {
  EXPECT_TRUE(Text("10") == 10);
  EXPECT_TRUE(Text("1e1") == 10);
  EXPECT_TRUE(Text("2") == 2.0);
  EXPECT_FALSE(Text("ten") == 10);
  EXPECT_TRUE(Text("ten") != 10);
  EXPECT_FALSE(Text("-1") == -1);  // not number-like
  EXPECT_TRUE(Text("0") == false);
  EXPECT_TRUE(Text("000") == false);
  EXPECT_TRUE(Text("0e5") == false);
  EXPECT_TRUE(Text("abc") == true);
  EXPECT_TRUE(Text("") == false);
  EXPECT_TRUE(Text("0.0") == true);  // "0.0" is not number-like, so it is true
}

TEST(TextSearch, FindFromAPosition) {
  EXPECT_EQ(Text("abc").find("c", 0), 2);
  EXPECT_EQ(Text("abc").find("c", 3), -1);
  EXPECT_EQ(Text("abc").find("", 1), 1);
  EXPECT_EQ(Text("abc").find("", 3), 3);
  EXPECT_EQ(Text("abc").find("", 4), -1);
  EXPECT_EQ(Text("abcabc").find("bc", 2), 4);
  EXPECT_EQ(Text("ab").find("abc", 0), -1);
  EXPECT_EQ(Text("xAbC").find_nocase("abc", 0), 1);
  EXPECT_EQ(Text("xAbC").find_nocase("abc", 2), -1);
  EXPECT_TRUE(Text("key=value").contains("="));
  EXPECT_FALSE(Text("key").contains(":"));
}

// The byte search reads sixteen bytes at a time and short ranges in one
// exact block: it finds what a plain search finds at every length, place and
// alignment, and reads nothing past its range, which ends each allocation
// here (the sanitizers see any read beyond). NUL is sought too: the bytes an
// exact block adds past a short range are NUL.
TEST(TextSearch, FindByteAgreesWithAPlainSearchEverywhere) {
  for (const char wanted : {',', '\0'}) {
    for (std::size_t offset = 0; offset < 16; ++offset) {
      for (std::size_t length = 0; length <= 40; ++length) {
        for (std::size_t at = 0; at <= length; ++at) {
          std::vector<char> bytes(offset + length, 'x');
          const char* const from = bytes.data() + offset;
          if (at < length) bytes[offset + at] = wanted;
          if (at + 3 < length) bytes[offset + at + 3] = wanted;
          ASSERT_EQ(kit::find_byte(from, from + length, wanted), std::find(from, from + length, wanted))
              << "offset " << offset << " length " << length << " at " << at;
        }
      }
    }
  }
}

TEST(TextSlice, PositionsCountFromEitherEnd) {
  const Text t("abcdef");
  EXPECT_EQ(t.slice(1, -1, End::inclusive).str(), "bcdef");
  EXPECT_EQ(t.slice(0, 3, End::exclusive).str(), "abc");
  EXPECT_EQ(t.slice(0, 0, End::exclusive).str(), "");
  EXPECT_EQ(t.slice(0, 0, End::inclusive).str(), "");
  EXPECT_EQ(t.slice(2, 100, End::inclusive).str(), "cdef");
  EXPECT_EQ(t.slice(-2, -1, End::inclusive).str(), "ef");
  EXPECT_EQ(t.slice(4, 2, End::inclusive).str(), "");
  EXPECT_EQ(t.slice(6, -1, End::inclusive).str(), "");
  EXPECT_EQ(t.slice(-100, 1, End::inclusive).str(), "ab");
  // An exclusive end of 0 stays 0, which here lies before the start.
  EXPECT_EQ(t.slice(-1, 0, End::exclusive).str(), "");
  EXPECT_EQ(t.slice(2, 3, End::exclusive).str(), "c");
  EXPECT_EQ(Text("").slice(0, 5, End::inclusive).str(), "");
  // An exclusive INT_MIN end is one below INT_MIN, still before the start
  // once the length is added (found by fuzzing: it used to wrap to INT_MAX).
  EXPECT_EQ(t.slice(0, INT_MIN, End::exclusive).str(), "a");
  EXPECT_EQ(t.slice(INT_MIN, INT_MAX, End::exclusive).str(), "abcdef");
}

TEST(TextTrim, WhitespaceButNotFormFeed) {
  const Text t("  a b \r\n");
  EXPECT_EQ(t.trim().str(), "a b");
  EXPECT_EQ(t.rtrim().str(), "  a b");
  EXPECT_EQ(t.ltrim().str(), "a b \r\n");
  EXPECT_EQ(Text(" \t\n\v\r").trim().str(), "");
  EXPECT_EQ(Text("\fa").trim().str(), "\fa");
}

TEST(TextCase, LowerUpperCapitalize) {
  EXPECT_EQ(Text("MiXed 1").lower().str(), "mixed 1");
  EXPECT_EQ(Text("MiXed 1").upper().str(), "MIXED 1");
  EXPECT_EQ(Text("word word").capitalize().str(), "Word word");
  EXPECT_EQ(Text("").capitalize().str(), "");
  EXPECT_EQ(Text("\xC3\xA9").upper().str(), "\xC3\xA9");  // bytes above ASCII untouched
}

TEST(TextBuild, RepeatAppendConcatenate) {
  EXPECT_EQ(Text("ab").repeat(3).str(), "ababab");
  EXPECT_EQ(Text("ab").repeat(0).str(), "");
  EXPECT_EQ(Text("ab").repeat(-2).str(), "");
  Text t("a");
  EXPECT_EQ(t.append("bc"), 3);
  t += Text("d");
  t += 'e';
  EXPECT_EQ(t.str(), "abcde");
  EXPECT_EQ(("<" + Text("x") + ">").str(), "<x>");
  Text r;
  r.set_repeat("-", 4);
  EXPECT_EQ(r.str(), "----");
}

TEST(TextReplace, EveryOccurrenceWithoutOverlap) {
  Text t("a&b&c");
  t.replace("&", "&amp;");
  EXPECT_EQ(t.str(), "a&amp;b&amp;c");
  Text u("aaa");
  u.replace("aa", "b");
  EXPECT_EQ(u.str(), "ba");
  Text dashes("---");
  dashes.replace("--", "- -");  // the replacement is not searched again
  EXPECT_EQ(dashes.str(), "- --");
  Text gone("xx");
  gone.replace("x", "");  // an empty result leaves the text alone
  EXPECT_EQ(gone.str(), "xx");
  Text shrink("axbx");
  shrink.replace("x", "");
  EXPECT_EQ(shrink.str(), "ab");
  Text none("abc");
  none.replace("z", "y");
  EXPECT_EQ(none.str(), "abc");
}

TEST(TextInsert, ClampsThePosition) {
  for (auto [pos, want] : {std::pair{0, "xabc"}, {1, "axbc"}, {3, "abcx"}, {9, "abcx"}, {-4, "xabc"}}) {
    Text t("abc");
    t.insert(pos, "x");
    EXPECT_EQ(t.str(), want) << pos;
  }
}

TEST(TextSplice, ReplacesARange) {
  auto spliced = [](const char* s, int start, int end, End bound) {
    Text t(s);
    t.splice(start, end, "XY", bound);
    return t.str();
  };
  EXPECT_EQ(spliced("abcdef", 1, 2, End::inclusive), "aXYdef");
  EXPECT_EQ(spliced("abcdef", 1, 3, End::exclusive), "aXYdef");
  EXPECT_EQ(spliced("abcdef", -2, -1, End::inclusive), "abcdXY");
  EXPECT_EQ(spliced("abcdef", 2, 100, End::inclusive), "abXY");
  EXPECT_EQ(spliced("abcdef", 6, 100, End::inclusive), "abcdefXY");   // start at the end appends
  EXPECT_EQ(spliced("abcdef", 9, 100, End::inclusive), "abcdef");     // beyond the clamped end
  EXPECT_EQ(spliced("abcdef", 4, 1, End::inclusive), "abcdef");       // end + 1 < start
  EXPECT_EQ(spliced("abcdef", 0, -100, End::inclusive), "abcdef");    // end still negative
  EXPECT_EQ(spliced("abcdef", 2, 1, End::inclusive), "abXYcdef");     // empty range inserts
  EXPECT_EQ(spliced("", 3, 4, End::inclusive), "XY");
  EXPECT_EQ(spliced("abcdef", 0, INT_MIN, End::exclusive), "abcdef");  // end still negative
  EXPECT_EQ(spliced("abcdef", INT_MIN, INT_MAX, End::inclusive), "XY");
}

TEST(TextSetAt, OverwritesOrAppends) {
  Text t("abc");
  t.set_at(1, "Zq");
  EXPECT_EQ(t.str(), "aZc");
  t.set_at(3, "d");
  EXPECT_EQ(t.str(), "aZcd");
  t.set_at(0, "");
  EXPECT_EQ(t.str(), "aZcd");
}

TEST(TextOutput, WritesTheBytesOnly) {
  std::ostringstream out;
  out << Text("a b") << Text("");
  EXPECT_EQ(out.str(), "a b");
}
