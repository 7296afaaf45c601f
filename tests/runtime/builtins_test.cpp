#include "runtime/builtins.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <ctime>
#include <limits>

#include "runtime/array.h"
#include "runtime/dyn.h"
#include "runtime/typed_array.h"

namespace {

using kit::Text;

TEST(MinMax, TiesKeepTheFirstForMinAndTheSecondForMax) {
  // "100" and "1e2" compare equal as numbers, so a tie shows which one comes back.
  EXPECT_EQ(kit::min(Text("100"), Text("1e2")).str(), "100");
  EXPECT_EQ(kit::max(Text("100"), Text("1e2")).str(), "1e2");
  EXPECT_EQ(kit::min(Text("b"), Text("a")), "a");
  EXPECT_EQ(kit::max(Text("9"), Text("10")), "9");  // different lengths compare as bytes

  EXPECT_FALSE(std::signbit(kit::min(0.0, -0.0)));
  EXPECT_TRUE(std::signbit(kit::max(0.0, -0.0)));
  EXPECT_EQ(kit::min(-1, 1), -1);
  EXPECT_EQ(kit::max(-1, 1), 1);
  // Naturals compare unsigned: the sign-extended -1 is the largest.
  EXPECT_EQ(kit::max(kit::natural(-1), std::uint64_t{5}), UINT64_MAX);
  EXPECT_EQ(kit::min(kit::natural(-1), std::uint64_t{5}), 5u);
}

TEST(MinMax, DynCopiesByDynOrdering) {
  // A number-like text and a number that compare equal: the tie rule decides.
  const kit::Dyn text("100");
  const kit::Dyn number(100);
  EXPECT_EQ(kit::min(text, number).type(), kit::tag::text);
  EXPECT_EQ(kit::max(text, number).type(), kit::tag::number);
  EXPECT_EQ(kit::min(kit::Dyn(2), kit::Dyn(1)).to_number(), 1.0);
  EXPECT_EQ(kit::max(kit::Dyn("b"), kit::Dyn("a")).to_text(), "b");
}

TEST(Conversions, FromDyn) {
  EXPECT_EQ(kit::int_of(kit::Dyn(true)), 1);
  EXPECT_EQ(kit::int_of(kit::Dyn("-7.9")), -7);
  EXPECT_EQ(kit::int_of(kit::Dyn(1e12)), INT_MAX);
  EXPECT_EQ(kit::natural(kit::Dyn(true)), 0u);  // to_int gives a boolean no value
  EXPECT_EQ(kit::natural(kit::Dyn(-1)), UINT64_MAX);
  EXPECT_EQ(kit::real(kit::Dyn("2.5")), 2.5);
  EXPECT_EQ(kit::text(kit::Dyn()), "");
  EXPECT_EQ(kit::chars_of(kit::Dyn()).str(), "false");
  EXPECT_EQ(kit::text(kit::Dyn(0.5)).str(), "0.5");

  kit::Array list;
  list.push(kit::Dyn(1));
  EXPECT_TRUE(kit::is_array(kit::Dyn(list)));
  EXPECT_FALSE(kit::is_array(kit::Dyn("(0:1)")));
  EXPECT_FALSE(kit::is_typed_array(kit::Dyn(list)));
  EXPECT_TRUE(kit::is_typed_array(kit::Dyn(kit::IntArray{1, 2})));
  EXPECT_FALSE(kit::is_typed_array(kit::Dyn(kit::NumberArray{1.5})));
}

TEST(Conversions, NumbersTruncateAndStringsParse) {
  EXPECT_EQ(kit::int_of(2.9), 2);
  EXPECT_EQ(kit::int_of(-2.9), -2);
  EXPECT_EQ(kit::int_of(1e20), INT_MAX);
  EXPECT_EQ(kit::int_of(std::nan("")), 0);
  EXPECT_EQ(kit::int_of("42abc"), 42);
  EXPECT_EQ(kit::int_of(Text("x")), 0);

  EXPECT_EQ(kit::natural(true), 1u);
  EXPECT_EQ(kit::natural(3.9), 3u);
  EXPECT_EQ(kit::natural("12.7"), 12u);
  EXPECT_EQ(kit::natural(Text("1e3")), 1000u);

  EXPECT_EQ(kit::real("2.5x"), 2.5);
  EXPECT_EQ(kit::real(Text("x")), 0.0);
  EXPECT_EQ(kit::real(UINT64_MAX), 18446744073709551616.0);

  EXPECT_EQ(kit::text(true), "true");
  EXPECT_EQ(kit::text(false), "false");
  EXPECT_EQ(kit::text(-7), "-7");
  EXPECT_EQ(kit::text(0.1 + 0.2).str(), "0.3");
  EXPECT_EQ(kit::text(std::uint64_t{1234567}).str(), "1.23457e+06");
  EXPECT_EQ(kit::chars_of(3.0).str(), "3");
  EXPECT_EQ(kit::chars_of(-12).str(), "-12");
}

TEST(Conversions, SmallScalarFunctions) {
  EXPECT_EQ(kit::nearest(2.5), 3.0);
  EXPECT_EQ(kit::nearest(-2.5), -2.0);
  EXPECT_EQ(kit::nearest(-2.6), -3.0);
  EXPECT_EQ(kit::hex(255), "ff");
  EXPECT_EQ(kit::hex(-1), "ffffffff");
  EXPECT_EQ(kit::chr(0x141), 'A');
  EXPECT_EQ(kit::chr_text(66), "B");
  EXPECT_EQ(kit::ord(""), 0);
  EXPECT_EQ(kit::ord("\xff"), 255);
  EXPECT_EQ(kit::ord(Text("a")), 97);
  EXPECT_TRUE(kit::bool_of(-3));
  EXPECT_FALSE(kit::bool_of(0));
  const std::uint64_t now = kit::time_now();
  EXPECT_LE(now, static_cast<std::uint64_t>(std::time(nullptr)));
  EXPECT_GT(now, 1600000000u);
}

TEST(StringFunctions, CaseAndTrim) {
  EXPECT_EQ(kit::capitalize_words("hello world"), "Hello World");
  EXPECT_EQ(kit::capitalize_words("a\tb  c-d"), "A\tB  C-d");
  EXPECT_EQ(kit::capitalize("abc def"), "Abc def");
  EXPECT_EQ(kit::lower("MiXeD 1"), "mixed 1");
  EXPECT_EQ(kit::upper("MiXeD 1"), "MIXED 1");
  EXPECT_EQ(kit::trim(" \t\v x y \r\n"), "x y");
  EXPECT_EQ(kit::trim("\f x"), "\f x");  // form feed is not whitespace here
  EXPECT_EQ(kit::ltrim("  x  "), "x  ");
  EXPECT_EQ(kit::rtrim("  x  "), "  x");
  EXPECT_EQ(kit::chop("x\n"), "x");
  EXPECT_EQ(kit::trim(nullptr), "");
}

TEST(StringFunctions, ComparisonAndSearch) {
  EXPECT_EQ(kit::compare_nocase("A.TXT", "a.txt"), 0);
  EXPECT_EQ(kit::compare_nocase("ABC", "abd"), -1);
  EXPECT_EQ(kit::compare_nocase("abc", "AB"), 1);
  EXPECT_EQ(kit::compare_nocase("", "a"), -1);

  EXPECT_EQ(kit::find("b", "abcb", 0), 1);
  EXPECT_EQ(kit::find("b", "abcb", 2), 3);
  EXPECT_EQ(kit::find("b", "abcb", 4), -1);
  EXPECT_EQ(kit::find("", "abc", 3), 3);
  EXPECT_EQ(kit::find("", "abc", 4), -1);

  EXPECT_EQ(kit::rest_from("key = Value;", "VALUE"), "Value;");
  EXPECT_EQ(kit::rest_from("abc", "x"), "");

  EXPECT_EQ(kit::count_of("aaaa", "aa"), 2);
  EXPECT_EQ(kit::count_of("a,b,,c", ","), 3);
  EXPECT_EQ(kit::count_of("abc", ""), 0);

  for (const char* needle : {"#", ";", " ", ""}) EXPECT_TRUE(kit::occurs_in(needle, "#; "));
  EXPECT_FALSE(kit::occurs_in("x", "#; "));
  EXPECT_FALSE(kit::occurs_in("#", ""));
}

TEST(StringFunctions, PiecesAndReplacement) {
  EXPECT_EQ(kit::substring("abcdef", 2, 3), "cde");
  EXPECT_EQ(kit::substring("abcdef", 4, 10), "ef");
  EXPECT_EQ(kit::substring("abc", 5, 1), "");
  EXPECT_EQ(kit::rest_at("abcdef", 4), "ef");

  EXPECT_EQ(kit::replace("aaa", "aa", "b"), "ba");
  EXPECT_EQ(kit::replace("---", "--", "- -"), "- --");
  EXPECT_EQ(kit::replace("a&b", "&", "&amp;"), "a&amp;b");
  EXPECT_EQ(kit::replace_span("abcdef", "XY", 1, 3), "aXYef");
  EXPECT_EQ(kit::replace_span("abc", "X", 0, 2), "X");

  EXPECT_EQ(kit::translate("abcabc", "abc", "xy"), "xycxyc");
  EXPECT_EQ(kit::translate("aab", "aa", "xy"), "xxb");  // the first match decides
  EXPECT_EQ(kit::translate("abc", "", "xyz"), "abc");

  EXPECT_EQ(kit::repeat("ab", 3), "ababab");
  EXPECT_EQ(kit::repeat("ab", 0), "");
  EXPECT_EQ(kit::repeat("ab", -2), "");
}

TEST(StringFunctions, PadInTheThreeModes) {
  EXPECT_EQ(kit::pad("abc", 8, "-", kit::pad_right), "-----abc");
  EXPECT_EQ(kit::pad("abc", 8, "-", kit::pad_left), "abc-----");
  EXPECT_EQ(kit::pad("abc", 8, "-", kit::pad_centre), "--abc---");
  EXPECT_EQ(kit::pad("ab", 6, "*", kit::pad_centre), "**ab**");
  // A longer fill is repeated and its last repetition cut short.
  EXPECT_EQ(kit::pad("abc", 8, "xy", kit::pad_right), "xyxyxabc");
  EXPECT_EQ(kit::pad(Text("abc"), 8, "xy", kit::pad_centre), "xyabcxyx");
  // Already wide enough: unchanged, never cut.
  EXPECT_EQ(kit::pad("abcdef", 4, "-", kit::pad_right), "abcdef");
  EXPECT_EQ(kit::pad("abc", 8, "", kit::pad_right), "abc");
}

}  // namespace
