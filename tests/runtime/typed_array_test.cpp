// SPDX-License-Identifier: MIT
#include "runtime/typed_array.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <string>

#include "runtime/array.h"
#include "support/capture.h"

namespace kit {
namespace {

using kit_test::capture;

TEST(TypedArrayGrowth, WritesPastTheEndExtendWithZeros) {
  IntArray a;
  a.slot(3) = 7;
  EXPECT_EQ(a.size(), 4);
  EXPECT_EQ(a.at(0), 0);
  EXPECT_EQ(a.at(3), 7);
  EXPECT_EQ(a.at(10), 0);  // reading past the end neither fails nor grows
  EXPECT_EQ(a.size(), 4);
  a.set(-1, 5);
  a.slot(-2) = 9;  // a spare slot: the array does not change
  EXPECT_EQ(a.size(), 4);
  a.push(8);
  EXPECT_EQ(a.at(4), 8);
  EXPECT_EQ(a.pop(), 8);
  EXPECT_EQ(IntArray().pop(), 0);

  TextArray t;
  t.set(2, Text("c"));
  EXPECT_FALSE(t.at(0).has_value());
  EXPECT_EQ(*t.at(2), "c");

  // Filling slot by slot keeps every earlier value.
  NaturalArray n;
  for (int i = 0; i < 5000; ++i) n.slot(i) = static_cast<std::uint64_t>(i) * 3;
  EXPECT_EQ(n.size(), 5000);
  EXPECT_EQ(n.at(4999), 14997u);
}

TEST(TypedArrayCompare, ByKind) {
  TextArray t{Text("10"), Text("9"), Text("abc"), Text("abd"), Text("9x"), std::nullopt, Text("")};
  EXPECT_EQ(t.compare(0, 1), 1);   // both numeric: by value
  EXPECT_EQ(t.compare(2, 3), -1);  // bytes
  EXPECT_EQ(t.compare(0, 4), -1);  // one not numeric: bytes
  EXPECT_EQ(t.compare(5, 6), 0);   // null reads as ""
  EXPECT_EQ(t.find(Text("09")), 1);
  EXPECT_TRUE(t.contains(Text("abd")));
  EXPECT_FALSE(t.contains(Text("zz")));

  IntArray i{-3, 2};
  EXPECT_EQ(i.compare(0, 1), -1);
  NaturalArray n{UINT64_MAX, 1};
  EXPECT_EQ(n.compare(0, 1), 1);  // unsigned, not wrapped to -1
  RealArray r{0.5, 0.25};
  EXPECT_EQ(r.compare(0, 1), 1);
  int x = 0;
  ObjectArray o{&x, &x};
  EXPECT_EQ(o.compare(0, 1), 0);
}

TEST(TypedArrayWhole, SortReverseAndTotals) {
  TextArray t{Text("10"), Text("9"), Text("b"), Text("a")};
  t.sort();
  EXPECT_EQ(t.join(","), "9,10,a,b");
  EXPECT_EQ(t.reverse().join(","), "b,a,10,9");
  TextArray with_null{Text("x"), std::nullopt, Text("y")};
  EXPECT_EQ(with_null.join("+"), "x+y");

  NumberArray n{2.5, -1, 4};
  EXPECT_EQ(n.sum(), 5.5);
  EXPECT_EQ(n.min(), -1);
  EXPECT_EQ(n.max(), 4);
  EXPECT_EQ(NumberArray().min(), DBL_MAX);
  EXPECT_EQ(IntArray({-4, -2}).max(), 0);
  EXPECT_TRUE(IntArray({1}).join(",").is_empty());
  EXPECT_EQ(IntArray({1, 2}), IntArray({1, 2}));
  EXPECT_NE(IntArray({1, 2}), IntArray({2, 1}));
}

TEST(TypedArrayDump, HeadWordsAndValues) {
  EXPECT_EQ(capture([] { IntArray{-1, 20}.dump(); }).out, "Array of int(\n   0 : -1\n   1 : 20\n)\n");
  EXPECT_EQ(capture([] { NumberArray{0.5, 1e20}.dump(); }).out,
            "Array of number(\n   0 : 0.5\n   1 : 1e+20\n)\n");
  EXPECT_EQ(capture([] { NaturalArray{UINT64_MAX}.dump(); }).out,
            "Array of natural(\n   0 : 18446744073709551615\n)\n");
  EXPECT_EQ(capture([] { RealArray{3}.dump(); }).out, "Array of real(\n   0 : 3\n)\n");
  EXPECT_EQ(capture([] { TextArray{Text("a"), std::nullopt}.dump(); }).out,
            "Array of text(\n   0 : a\n   1 : nil\n)\n");
  int x = 0;
  EXPECT_EQ(capture([&] { ObjectArray{&x}.dump(1); }).out,
            "Array of object(\n        0 : Object\n     )\n");
}

TEST(TypedArrayDyn, ConversionsBothWays) {
  Array a;
  a.push(1.9);
  a.push("2");
  a.push(false);
  a.set("k", "text");
  const Dyn d(a);
  const IntArray ints = d.to_typed_array<Kind::integer>();
  EXPECT_EQ(ints, IntArray({1, 2, 0, 0}));
  const TextArray texts = d.to_typed_array<Kind::text>();
  EXPECT_EQ(texts.join(","), "1.9,2,false,text");
  EXPECT_DOUBLE_EQ(d.to_typed_array<Kind::real>().sum(), 3.9);

  // One typed kind into another goes through the elements' Dyn values.
  const Dyn numbers(NumberArray{1.5, -2});
  EXPECT_EQ(numbers.to_typed_array<Kind::number>(), NumberArray({1.5, -2}));
  EXPECT_EQ(numbers.to_typed_array<Kind::integer>(), IntArray({1, -2}));

  IntArray result;
  EXPECT_EQ(capture([&] { result = Dyn(3).to_typed_array<Kind::integer>(); }).out,
            "Dyn error, type mismatch\n");
  EXPECT_EQ(result.size(), 0);

  // Typed arrays become general arrays element by element; null is nil.
  const Array from_text(TextArray{Text("a"), std::nullopt});
  EXPECT_EQ(from_text.to_text(), "(0:a, 1:)");
  EXPECT_EQ(from_text.at(1).type(), tag::boolean);
  int x = 0;
  const Array from_objects(ObjectArray{&x});
  EXPECT_EQ(from_objects.at(0).pointer(), &x);
  EXPECT_EQ(Array(NaturalArray{5}).at(0).to_number(), 5);
  EXPECT_EQ(Dyn(TextArray{Text("q")}).size(), 1);
}

}  // namespace
}  // namespace kit
