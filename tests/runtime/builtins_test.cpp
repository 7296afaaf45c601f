// SPDX-License-Identifier: MIT
#include "runtime/builtins.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdint>

#include "runtime/array.h"
#include "runtime/dyn.h"
#include "runtime/typed_array.h"

namespace {

using kit::Dyn;
using kit::Text;

TEST(MinMax, TiesKeepTheFirstForMinAndTheSecondForMax) {
  // "100" and "1e2" compare equal as numbers, so a tie shows which one comes back.
  EXPECT_EQ(kit::min(Text("100"), Text("1e2")).str(), "100");
  EXPECT_EQ(kit::max(Text("100"), Text("1e2")).str(), "1e2");
  EXPECT_EQ(kit::max(Text("9"), Text("10")), "9");  // different lengths compare as bytes
  EXPECT_FALSE(std::signbit(kit::min(0.0, -0.0)));
  EXPECT_TRUE(std::signbit(kit::max(0.0, -0.0)));
  EXPECT_EQ(kit::min(Dyn("100"), Dyn(100)).type(), kit::tag::text);
  EXPECT_EQ(kit::max(Dyn("100"), Dyn(100)).type(), kit::tag::number);
  // Naturals compare unsigned: the sign-extended -1 is the largest.
  EXPECT_EQ(kit::min(kit::natural(-1), std::uint64_t{5}), 5u);
}

TEST(Conversions, ScalarsStringsAndDyn) {
  EXPECT_EQ(kit::int_of(-2.9), -2);
  EXPECT_EQ(kit::int_of(1e20), INT_MAX);
  EXPECT_EQ(kit::int_of(std::nan("")), 0);
  EXPECT_EQ(kit::int_of(Dyn(true)), 1);
  EXPECT_EQ(kit::natural(Dyn(true)), 0u);  // to_int gives a boolean no value
  EXPECT_EQ(kit::natural("12.7"), 12u);
  EXPECT_EQ(kit::natural(Text("1e3")), 1000u);
  EXPECT_EQ(kit::real(Dyn("2.5")), 2.5);
  EXPECT_EQ(kit::text(Dyn()), "");
  EXPECT_EQ(kit::chars_of(Dyn()).str(), "false");
  EXPECT_EQ(kit::text(std::uint64_t{1234567}).str(), "1.23457e+06");

  kit::Array list;
  list.push(Dyn(1));
  EXPECT_TRUE(kit::is_array(Dyn(list)));
  EXPECT_FALSE(kit::is_typed_array(Dyn(list)));
  EXPECT_TRUE(kit::is_typed_array(Dyn(kit::IntArray{1, 2})));
}

TEST(Conversions, SmallScalarFunctions) {
  EXPECT_EQ(kit::nearest(2.5), 3.0);
  EXPECT_EQ(kit::nearest(-2.5), -2.0);
  EXPECT_EQ(kit::nearest(-2.6), -3.0);
  EXPECT_EQ(kit::hex(255), "ff");
  EXPECT_EQ(kit::hex(-1), "ffffffff");
  EXPECT_EQ(kit::chr(0x141), 'A');
  EXPECT_EQ(kit::ord(""), 0);
  EXPECT_EQ(kit::ord("\xff"), 255);
}

TEST(StringFunctions, CaseTrimAndComparison) {
  EXPECT_EQ(kit::capitalize_words("hello world"), "Hello World");
  EXPECT_EQ(kit::capitalize_words("a\tb  c-d"), "A\tB  C-d");
  EXPECT_EQ(kit::trim(" \t\v x y \r\n"), "x y");
  EXPECT_EQ(kit::trim("\f x"), "\f x");  // form feed is not whitespace here
  EXPECT_EQ(kit::compare_nocase("A.TXT", "a.txt"), 0);
  EXPECT_EQ(kit::compare_nocase("ABC", "abd"), -1);
}

TEST(StringFunctions, SearchAndCount) {
  EXPECT_EQ(kit::find("b", "abcb", 2), 3);
  EXPECT_EQ(kit::find("", "abc", 4), -1);
  EXPECT_EQ(kit::rest_from("key = Value;", "VALUE"), "Value;");
  EXPECT_EQ(kit::rest_from("abc", "x"), "");
  EXPECT_EQ(kit::count_of("aaaa", "aa"), 2);
  EXPECT_EQ(kit::count_of("abc", ""), 0);
  for (const char* needle : {"#", ";", " ", ""}) EXPECT_TRUE(kit::occurs_in(needle, "#; "));
  EXPECT_FALSE(kit::occurs_in("x", "#; "));
}

TEST(StringFunctions, PiecesAndReplacement) {
  EXPECT_EQ(kit::substring("abcdef", 4, 10), "ef");
  EXPECT_EQ(kit::replace("---", "--", "- -"), "- --");
  EXPECT_EQ(kit::replace_span("abcdef", "XY", 1, 3), "aXYef");
  EXPECT_EQ(kit::translate("abcabc", "abc", "xy"), "xycxyc");
  EXPECT_EQ(kit::translate("aab", "aa", "xy"), "xxb");  // the first match decides
}

TEST(StringFunctions, PadInTheThreeModes) {
  EXPECT_EQ(kit::pad("abc", 8, "-", kit::pad_right), "-----abc");
  EXPECT_EQ(kit::pad("abc", 8, "-", kit::pad_left), "abc-----");
  EXPECT_EQ(kit::pad("abc", 8, "-", kit::pad_centre), "--abc---");
  EXPECT_EQ(kit::pad("ab", 6, "*", kit::pad_centre), "**ab**");
  // A longer fill is repeated and its last repetition cut short.
  EXPECT_EQ(kit::pad(Text("abc"), 8, "xy", kit::pad_centre), "xyabcxyx");
  EXPECT_EQ(kit::pad("abcdef", 4, "-", kit::pad_right), "abcdef");  // never cut
}

}  // namespace
