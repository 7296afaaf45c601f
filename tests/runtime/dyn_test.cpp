// SPDX-License-Identifier: MIT
#include "runtime/dyn.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "runtime/array.h"
#include "runtime/typed_array.h"
#include "support/capture.h"

namespace kit {
namespace {

using kit_test::capture;

std::string mismatch(char code, unsigned current) {
  return std::string("Dyn error code ") + code + ", type mismatch, current #" + std::to_string(current) + "\n";
}

Array list(std::initializer_list<Dyn> values) {
  Array a;
  for (const Dyn& v : values) a.push(v);
  return a;
}

TEST(DynConversions, TextFormsOfEachKind) {
  EXPECT_EQ(Dyn().to_chars(), "false");
  EXPECT_TRUE(Dyn().to_text().is_empty());
  EXPECT_EQ(Dyn(true).to_text(), "true");
  EXPECT_EQ(Dyn(3.0).to_chars(), "3");
  EXPECT_EQ(Dyn(0.5).to_chars(), "0.5");
  EXPECT_EQ(Dyn(1234567).to_chars(), "1.23457e+06");
  EXPECT_EQ(Dyn(0.00001).to_chars(), "1e-05");
  EXPECT_EQ(Dyn::of_int64(-9000000000LL).to_chars(), "-9000000000");
  EXPECT_EQ(Dyn(list({"a", 2})).to_chars(), "(0:a, 1:2)");
  EXPECT_EQ(Dyn::of_pair("k", 7).to_chars(), "7");
  int object = 0;
  EXPECT_EQ(Dyn::of_object(&object).to_chars(), "Object");
  EXPECT_EQ(Dyn::of_object(&object, tag::reference).to_chars(), "false");
}

TEST(DynConversions, TruthNumbersAndIntegers) {
  EXPECT_TRUE(Dyn("true").to_bool());
  EXPECT_TRUE(Dyn("TRUE").to_bool());
  EXPECT_FALSE(Dyn("1").to_bool());
  EXPECT_FALSE(Dyn(0).to_bool());
  EXPECT_TRUE(Dyn(-0.1).to_bool());
  EXPECT_FALSE(Dyn(list({1})).to_bool());

  EXPECT_EQ(Dyn("12abc").to_number(), 12);
  EXPECT_EQ(Dyn("").to_number(), 0);
  EXPECT_EQ(Dyn(true).to_number(), 0);
  EXPECT_EQ(Dyn(-2.7).to_int(), -2);
  EXPECT_EQ(Dyn("7.9").to_int(), 7);
  EXPECT_EQ(Dyn(true).to_int(), 0);
  EXPECT_EQ(Dyn(true).to_int64(), 1);
  EXPECT_EQ(Dyn(1e300).to_int(), INT32_MAX);  // saturates instead of overflowing
  EXPECT_EQ(Dyn(5000000000.0).to_int64(), 5000000000LL);
  // A 64-bit unsigned value goes through its signed value.
  EXPECT_EQ(Dyn(static_cast<std::uint64_t>(-1)).to_number(), -1);
}

TEST(DynConversions, SizeAndNumberLikeness) {
  EXPECT_EQ(Dyn::of_integer(5).size(), 32);
  EXPECT_EQ(Dyn(5).size(), 64);
  EXPECT_EQ(Dyn(false).size(), 1);
  EXPECT_EQ(Dyn("abcd").size(), 4);
  EXPECT_EQ(Dyn(list({1, 2, 3})).size(), 3);
  int object = 0;
  auto out = capture([&] { EXPECT_EQ(Dyn::of_object(&object).size(), 0); }).out;
  EXPECT_EQ(out, "Dyn error, not yet implemented\n");

  EXPECT_TRUE(Dyn(2.5).is_number());
  EXPECT_TRUE(Dyn("12e3").is_number());
  EXPECT_TRUE(Dyn("").is_number());
  EXPECT_FALSE(Dyn("1.5").is_number());
  EXPECT_FALSE(Dyn(true).is_number());
}

TEST(DynConversions, NilValues) {
  int object = 0;
  for (const Dyn& d : {Dyn(-1), Dyn::of_integer(-1), Dyn::of_int64(0), Dyn(false), Dyn(""),
                       Dyn(Array()), Dyn::of_object(nullptr), Dyn(IntArray{1})}) {
    EXPECT_TRUE(d.is_nil()) << "tag " << d.type();
  }
  for (const Dyn& d : {Dyn(0), Dyn(-2), Dyn::of_int64(-1), Dyn(true), Dyn(" "), Dyn(list({0})),
                       Dyn::of_object(&object), Dyn::of_pair("", false)}) {
    EXPECT_FALSE(d.is_nil()) << "tag " << d.type();
  }
}

TEST(DynConversions, PrintUsesDumpForArrays) {
  EXPECT_EQ(capture([] { Dyn(3.0).print(); }).out, "3\n");
  EXPECT_EQ(capture([] { Dyn().print(); }).out, "false\n");
  EXPECT_EQ(capture([] { Dyn(list({"x"})).print(); }).out, "Array(\n   0 : x\n)\n");
  EXPECT_EQ(capture([] { Dyn(IntArray{4}).print(); }).out, "Array of int(\n   0 : 4\n)\n");
}

TEST(DynCopies, PayloadsAreIndependent) {
  Dyn text("abc");
  Dyn copy = text;
  copy += "d";
  EXPECT_EQ(text.to_chars(), "abc");
  EXPECT_EQ(copy.to_chars(), "abcd");

  Dyn array(list({1, 2}));
  Dyn other = array;
  other.push(3);
  EXPECT_EQ(array.size(), 2);
  EXPECT_EQ(other.size(), 3);

  Dyn pair = Dyn::of_pair("k", "v");
  Dyn pair_copy = pair;
  pair_copy.pair()->value = 5;
  EXPECT_EQ(pair.to_chars(), "v");

  Dyn moved = std::move(array);
  EXPECT_EQ(moved.size(), 2);
  EXPECT_TRUE(array.is_nil());  // a moved-from Dyn is nil
}

TEST(DynCopies, TypedArrayCopyIsASharedAlias) {
  Dyn original(IntArray{1, 2});
  EXPECT_EQ(original.type(), tag::typed_array);
  Dyn alias = original;
  EXPECT_EQ(alias.type(), tag::object);
  EXPECT_EQ(alias.pointer(), original.typed_array());
  EXPECT_EQ(alias.to_chars(), "Object");
  static_cast<IntArray*>(alias.typed_array())->set(0, 9);
  EXPECT_EQ(static_cast<IntArray*>(original.typed_array())->at(0), 9);
  original = Dyn();  // the alias keeps the array alive
  EXPECT_EQ(alias.to_typed_array<Kind::integer>().at(0), 9);
  EXPECT_EQ(Dyn(RealArray{1.5}).type(), tag::typed_numbers);
}

TEST(DynCopies, AssignmentFromInsideItsOwnPayload) {
  Dyn d(list({list({"deep"}), 2}));
  d = d.array()->get(0);  // a reference into d's own array
  EXPECT_EQ(d.to_chars(), "(0:deep)");
  d = std::move(d.array()->slot(0));
  EXPECT_EQ(d.to_chars(), "deep");
  const Dyn& same = d;
  d = same;
  EXPECT_EQ(d.to_chars(), "deep");
}

TEST(DynArithmetic, NumberRightOperands) {
  Dyn one(1);
  EXPECT_EQ((one + Dyn("12")).to_number(), 13);
  EXPECT_EQ((one + Dyn(true)).to_number(), 2);
  EXPECT_EQ((Dyn(10) - Dyn("4")).to_number(), 6);
  EXPECT_EQ((Dyn(10) - 4).to_number(), 6);
  EXPECT_EQ((Dyn(6) * Dyn(true)).to_number(), 6);
  EXPECT_EQ((Dyn(6) * 0.5).to_number(), 3);
  EXPECT_EQ((Dyn(-7) % 3).to_number(), -1);
  EXPECT_TRUE(std::isinf((Dyn(1) / Dyn(false)).to_number()));
  EXPECT_TRUE(std::isnan((Dyn(1) % Dyn(false)).to_number()));
  EXPECT_EQ((Dyn(5) + 0).to_number(), 5);
}

TEST(DynArithmetic, BooleanLeftBecomesANumber) {
  Dyn flag(true);
  EXPECT_EQ((flag + 1).to_number(), 2);
  EXPECT_EQ(flag.type(), tag::number);
  EXPECT_EQ(flag.to_chars(), "1");

  Dyn off(false);
  Dyn same = off + Dyn(false);  // false on the right gives the left, now 0
  EXPECT_EQ(same.type(), tag::number);
  EXPECT_EQ(same.to_number(), 0);
}

TEST(DynArithmetic, MismatchesReportTheCodeAndTheLeftTag) {
  Dyn text("ab");
  Dyn result;
  EXPECT_EQ(capture([&] { result = text + 1; }).out, mismatch('+', 16));
  EXPECT_EQ(result.type(), tag::number);
  EXPECT_EQ(result.to_number(), 0);
  EXPECT_EQ(capture([&] { result = text - 1; }).out, mismatch('-', 16));
  EXPECT_EQ(capture([&] { result = text * 2; }).out, mismatch('*', 16));
  EXPECT_EQ(capture([&] { result = text / 2; }).out, mismatch('/', 16));
  EXPECT_EQ(capture([&] { result = text % 2; }).out, mismatch('%', 16));
  // A text on the right of * / % is a mismatch reported with the left's tag.
  Dyn two(2);
  EXPECT_EQ(capture([&] { result = two * Dyn("3"); }).out, mismatch('*', 2));
  EXPECT_EQ(result.to_number(), 0);
  // Arrays hold no number.
  Dyn array(list({1}));
  EXPECT_EQ(capture([&] { result = array - 1; }).out, mismatch('-', 32));
  EXPECT_EQ(capture([&] { result = two + Dyn::of_pair("k", 1); }).out, mismatch('+', 2));
}

TEST(DynArithmetic, TextsJoinWithStringsAndTexts) {
  Dyn text("ab");
  EXPECT_EQ((text + "cd").to_chars(), "abcd");
  EXPECT_EQ((text + Dyn("ef")).to_chars(), "abef");
  EXPECT_EQ(text.to_chars(), "ab");
  Dyn number(5);
  Dyn result;
  EXPECT_EQ(capture([&] { result = number + "x"; }).out, mismatch('+', 2));
  EXPECT_EQ(result.type(), tag::text);
  EXPECT_TRUE(result.to_text().is_empty());
}

TEST(DynArithmetic, ArrayOperands) {
  Dyn a(list({1, 2}));
  Dyn result = a + Dyn(3);  // pushed onto the left itself
  EXPECT_EQ(a.to_chars(), "(0:1, 1:2, 2:3)");
  EXPECT_EQ(result.to_chars(), "(0:1, 1:2, 2:3)");

  Dyn merged = a + Dyn(list({9}));
  EXPECT_EQ(merged.to_chars(), "(0:1, 1:2, 2:3, 3:9)");
  EXPECT_EQ(a.size(), 3);

  EXPECT_EQ((a - Dyn(list({2}))).to_chars(), "(0:1, 1:3)");

  Dyn number(1);
  EXPECT_EQ(capture([&] { result = number + Dyn(list({1})); }).out, mismatch('+', 2));
  EXPECT_EQ(result.type(), tag::array);
  EXPECT_EQ(result.size(), 0);
  EXPECT_EQ(capture([&] { result = number - Dyn(list({1})); }).out, mismatch('-', 2));
  EXPECT_EQ(result.type(), tag::array);
}

TEST(DynArithmetic, InPlaceOperators) {
  Dyn d("12");
  d += 3;
  EXPECT_EQ(d.type(), tag::number);
  EXPECT_EQ(d.to_number(), 15);
  d -= Dyn("5");
  d *= Dyn(2);
  d /= 4;
  EXPECT_EQ(d.to_number(), 5);
  d *= Dyn(true);
  d += Dyn(true);
  d -= Dyn(false);
  EXPECT_EQ(d.to_number(), 5);
  d *= Dyn(false);
  EXPECT_EQ(d.to_number(), 0);
  Dyn e(1);
  e /= Dyn(false);
  EXPECT_TRUE(std::isinf(e.to_number()));

  Dyn text("ab");
  text += "cd";
  text += Dyn("ef");
  EXPECT_EQ(text.to_chars(), "abcdef");
  EXPECT_EQ(capture([&] { text += 1; }).out, mismatch('>', 16));
  EXPECT_EQ(capture([&] { text -= 1; }).out, mismatch('<', 16));
  EXPECT_EQ(capture([&] { text *= 1; }).out, mismatch('S', 16));
  EXPECT_EQ(capture([&] { text /= 1; }).out, mismatch('D', 16));
  EXPECT_EQ(capture([&] { text *= Dyn(true); }).out, mismatch('S', 16));
  EXPECT_EQ(text.to_chars(), "abcdef");
  Dyn number(2);
  EXPECT_EQ(capture([&] { number += "x"; }).out, mismatch('>', 2));
  EXPECT_EQ(capture([&] { number -= Dyn(list({1})); }).out, mismatch('<', 2));
  EXPECT_EQ(number.to_number(), 2);
}

TEST(DynArithmetic, BitwiseLogicalAndShifts) {
  EXPECT_EQ((Dyn(6) & Dyn(3)).to_number(), 2);
  EXPECT_EQ((Dyn(4) | Dyn("1")).to_number(), 5);
  EXPECT_EQ((Dyn("x") & Dyn(3)).to_number(), 0);
  EXPECT_EQ((Dyn("x") | Dyn("y")).to_chars(), "y");
  EXPECT_TRUE(logical_and(Dyn(1), Dyn("TRUE")));
  EXPECT_FALSE(logical_and(Dyn(1), Dyn("yes")));
  EXPECT_TRUE(logical_or(Dyn(0), Dyn(true)));

  Dyn i = Dyn::of_integer(1);
  i <<= 4;
  EXPECT_EQ(i.to_number(), 16);
  i <<= 33;  // the count is taken modulo 32
  EXPECT_EQ(i.to_number(), 32);
  Dyn negative = Dyn::of_integer(-16);
  negative >>= 2;
  EXPECT_EQ(negative.to_number(), -4);
  EXPECT_EQ(negative.type(), tag::integer);

  Dyn number(3);
  EXPECT_EQ(capture([&] { number <<= 1; }).out, mismatch('<', 2));
  EXPECT_EQ(capture([&] { number >>= 1; }).out, mismatch('>', 2));
  EXPECT_EQ(number.to_number(), 3);
}

TEST(DynComparison, ByTheRightOperandsKind) {
  // number on the right
  EXPECT_TRUE(Dyn(12) == Dyn(12.0));
  EXPECT_TRUE(Dyn("12") == Dyn(12));
  EXPECT_FALSE(Dyn("x") == Dyn(0));
  EXPECT_FALSE(Dyn(true) == Dyn(1));
  EXPECT_TRUE(Dyn("9") < Dyn(10));
  EXPECT_FALSE(Dyn("x") < Dyn(10));
  EXPECT_FALSE(Dyn("x") > Dyn(10));
  // text on the right
  EXPECT_TRUE(Dyn(12) == Dyn("12"));
  EXPECT_TRUE(Dyn(9) < Dyn("10"));
  EXPECT_TRUE(Dyn("abc") < Dyn("abd"));
  EXPECT_TRUE(Dyn("b") > Dyn("abc"));
  EXPECT_TRUE(Dyn("1e1") == Dyn("10"));  // both number-like: by value
  EXPECT_FALSE(Dyn(5) == Dyn("five"));
  EXPECT_FALSE(Dyn(true) == Dyn("true"));
  // boolean on the right
  EXPECT_TRUE(Dyn("yes") == Dyn(true));
  EXPECT_TRUE(Dyn("0") == Dyn(false));
  EXPECT_TRUE(Dyn(list({1})) == Dyn(true));
  EXPECT_TRUE(Dyn(Array()) == Dyn(false));
  EXPECT_TRUE(Dyn(5) == Dyn(true));
  EXPECT_TRUE(Dyn(false) < Dyn(true));
  EXPECT_TRUE(Dyn(2) > Dyn(false));
  // other kinds
  int x = 0, y = 0;
  EXPECT_TRUE(Dyn::of_object(&x, tag::reference) == Dyn::of_object(&x, tag::reference));
  EXPECT_FALSE(Dyn::of_object(&x, tag::reference) == Dyn::of_object(&y, tag::reference));
  EXPECT_FALSE(Dyn::of_object(&x) == Dyn::of_object(&x));
  EXPECT_FALSE(Dyn::of_pair("k", 1) == Dyn::of_pair("k", 1));
  EXPECT_TRUE(Dyn::of_pair("k", 1) != Dyn::of_pair("k", 1));
}

TEST(DynComparison, Arrays) {
  EXPECT_TRUE(Dyn(list({1, "a"})) == Dyn(list({1, "a"})));
  EXPECT_FALSE(Dyn(list({1, "a"})) == Dyn(list({1, "b"})));
  EXPECT_TRUE(Dyn(list({9})) < Dyn(list({1, 1})));  // the shorter is less
  EXPECT_TRUE(Dyn(list({1, 2, 3})) < Dyn(list({1, 5, 0})));
  EXPECT_TRUE(Dyn(list({1, 5, 0})) > Dyn(list({1, 2, 3})));
  EXPECT_FALSE(Dyn(list({1, 2})) < Dyn(list({1, 2})));
  EXPECT_FALSE(Dyn(list({1, 2})) > Dyn(list({1, 2})));
  EXPECT_FALSE(Dyn(1) == Dyn(list({1})));
  // same values under other keys are not equal
  Array keyed;
  keyed.set("a", 1);
  EXPECT_FALSE(Dyn(keyed) == Dyn(list({1})));
  // Nested arrays are ordered by their first differing values, and each
  // level is walked once: deep nesting answers at once.
  Dyn big(2), small(1);
  for (int depth = 0; depth < 64; ++depth) {
    big = Dyn(list({0, big}));
    small = Dyn(list({0, small}));
  }
  EXPECT_TRUE(big > small);
  EXPECT_FALSE(big < small);
  EXPECT_FALSE(big == small);
  EXPECT_FALSE(Dyn(list({keyed})) < Dyn(list({list({1})})));  // equal values, other keys
  EXPECT_FALSE(Dyn(list({keyed})) > Dyn(list({list({1})})));
  EXPECT_TRUE(Dyn(list({list({1}), 1})) < Dyn(list({list({2}), 0})));
  // A typed array is compared as its alias, equal to a reference to it.
  Array typed;
  typed.push(Dyn(IntArray{1}));
  typed.push(1);
  EXPECT_TRUE(typed < list({Dyn::of_object(typed.get(0).typed_array(), tag::reference), 2}));
}

TEST(DynIndexing, PositionsKeysAndMismatches) {
  status = false;
  Array a = list({"zero", "one"});
  a.set("name", "value");
  Dyn d(a);
  EXPECT_EQ(d[1].to_chars(), "one");
  EXPECT_TRUE(d[5].is_nil());
  EXPECT_EQ(d["name"].to_chars(), "value");
  EXPECT_EQ(d[Dyn(1)].to_chars(), "one");
  EXPECT_EQ(d[Dyn("name")].to_chars(), "value");
  EXPECT_FALSE(status.to_bool());
  EXPECT_TRUE(d["missing"].is_nil());
  EXPECT_TRUE(status.to_bool());
  status = false;

  EXPECT_EQ(Dyn("abc")[1].to_chars(), "b");
  Dyn number(3), result;
  EXPECT_EQ(capture([&] { result = number[0]; }).out, mismatch('[', 2));
  EXPECT_EQ(capture([&] { result = Dyn("abc")["k"]; }).out, mismatch('[', 16));
  EXPECT_EQ(capture([&] { result = d[Dyn(true)]; }).out, mismatch('[', 32));
  EXPECT_TRUE(result.is_nil());
}

TEST(DynIndexing, ArrayOperationsOnADyn) {
  Dyn d(Array{});
  d.push(1).push("two");
  d.set(5, "five");
  d.set("k", 3);
  EXPECT_EQ(d.to_chars(), "(0:1, 1:two, 5:five, k:3)");
  EXPECT_EQ(d.get(5).to_chars(), "five");
  EXPECT_EQ(d.pop().to_chars(), "3");
  (d, Dyn(7));
  EXPECT_EQ(d.array()->key_at(3), "6");

  Dyn text("t");
  Dyn result;
  EXPECT_EQ(capture([&] { result = text.get(0); }).out, mismatch('A', 16));
  EXPECT_EQ(capture([&] { text.set(0, 1); }).out, mismatch('A', 16));
  EXPECT_EQ(capture([&] { text.push(1); }).out, mismatch('U', 16));
  EXPECT_EQ(capture([&] { result = text.pop(); }).out, mismatch('O', 16));
  EXPECT_TRUE(result.is_nil());
  EXPECT_EQ(capture([&] { result = (text, Dyn(1)); }).out, mismatch(',', 16));
  EXPECT_EQ(result.type(), tag::array);
  EXPECT_EQ(result.size(), 0);
  EXPECT_EQ(text.to_chars(), "t");
}

TEST(DynIndexing, WalkIsForwardedOrRefused) {
  Dyn d(list({"a", "b"}));
  EXPECT_EQ(d.begin().to_chars(), "a");
  EXPECT_EQ(d.next().to_chars(), "b");
  EXPECT_EQ(d.key(), "1");
  EXPECT_EQ(d.index(), 1);
  EXPECT_TRUE(d.next().is_nil());
  EXPECT_EQ(d.previous().to_chars(), "b");
  EXPECT_EQ(d.last().to_chars(), "b");
  d.rewind();
  EXPECT_EQ(d.value().to_chars(), "a");

  Dyn number(1);
  const std::string refused = "Dyn error, this method can't apply to the data\n";
  EXPECT_EQ(capture([&] { EXPECT_TRUE(number.begin().is_nil()); }).out, refused);
  EXPECT_EQ(capture([&] { EXPECT_EQ(number.index(), -1); }).out, refused);
  EXPECT_EQ(capture([&] { EXPECT_TRUE(number.key().is_empty()); }).out, refused);
}

TEST(DynPairs, PushStoresTheValueUnderTheKey) {
  Array a;
  a.push(1);
  a.push(Dyn::of_pair("name", "x"));
  a.push(Dyn::of_pair("name", "y"));
  EXPECT_EQ(a.to_text(), "(0:1, name:y)");
  EXPECT_EQ(a.next_key(), 1);
}

}  // namespace
}  // namespace kit
