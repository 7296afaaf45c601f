// SPDX-License-Identifier: MIT
#include "runtime/array.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <random>
#include <string>
#include <vector>

#include "runtime/files.h"
#include "support/capture.h"
#include "support/temp_dir.h"

namespace kit {
namespace {

using kit_test::capture;

Array list(std::initializer_list<Dyn> values) {
  Array a;
  for (const Dyn& v : values) a.push(v);
  return a;
}

TEST(ArrayKeys, ArgumentVectorAndShift) {
  const char* argv[] = {"prog", "-light", "file.conf", nullptr};
  Array args(argv);
  EXPECT_EQ(args.to_text(), "(0:prog, 1:-light, 2:file.conf)");
  EXPECT_EQ(args.shift().to_chars(), "prog");
  EXPECT_EQ(args.to_text(), "(0:-light, 1:file.conf)");
  EXPECT_EQ(args.next_key(), 2);
  EXPECT_TRUE(Array().shift().is_nil());
}

TEST(ArrayKeys, PushSetAndSlotRules) {
  Array a = list({"a", "b"});
  a.set("k", "v");
  a.push("c");
  EXPECT_EQ(a.to_text(), "(0:a, 1:b, k:v, 2:c)");

  Array b;
  b.slot(2) = "two";  // an absent integer key is appended under itself
  EXPECT_EQ(b.next_key(), 3);
  b.set(10, "ten");
  EXPECT_EQ(b.next_key(), 11);
  b.set(1, "one");  // absent and below next_key: appended under next_key
  EXPECT_EQ(b.to_text(), "(2:two, 10:ten, 11:one)");
  EXPECT_EQ(b.next_key(), 12);
  b.set(10, "TEN");
  EXPECT_EQ(b.size(), 3);
  EXPECT_EQ(b.at(1).to_chars(), "TEN");
  b.slot(4) = "four";  // below next_key: next_key stays
  EXPECT_EQ(b.next_key(), 12);
  b.slot("k") = 1;
  b.slot("k") += 1;
  EXPECT_EQ(b.get("k").to_number(), 2);
  EXPECT_EQ(b.key_at(4), "k");
  EXPECT_TRUE(b.key_at(5).is_empty());
  EXPECT_TRUE(b.at(-1).is_nil());
}

TEST(ArrayKeys, FailedGetSetsStatusButLookupDoesNot) {
  Array a = list({"x"});
  status = false;
  EXPECT_TRUE(a.lookup("nope").is_nil());
  EXPECT_FALSE(status.to_bool());
  EXPECT_EQ(a.get(0).to_chars(), "x");
  EXPECT_FALSE(status.to_bool());
  EXPECT_TRUE(a.get(1).is_nil());
  EXPECT_TRUE(status.to_bool());
  status = false;
  EXPECT_TRUE(a.get("0x").is_nil());
  EXPECT_TRUE(status.to_bool());
  status = false;
}

TEST(ArrayKeys, FindUsesExactBytesAndFirstDuplicate) {
  Array a;
  a.set("7", "text key");
  for (int i = 0; i < 8; ++i) a.push(i);  // the last push reuses key "7"
  EXPECT_EQ(a.find_key("7"), 0);
  EXPECT_EQ(a.find_key("07"), -1);
  a.pop();
  EXPECT_EQ(a.find_key("7"), 0);
  a.remove_at(0);  // renumbering gives keys 0..6
  EXPECT_EQ(a.find_key("6"), 6);
  EXPECT_EQ(a.find_key("7"), -1);
  EXPECT_EQ(a.find(Dyn("3")), 3);
  EXPECT_TRUE(a.contains(Dyn(6)));
  EXPECT_FALSE(a.contains(Dyn(7)));
}

// A plain model of the key rules: every lookup is a scan for the first key.
struct Model {
  std::vector<std::string> keys;
  std::vector<int> values;
  int next_key = 0;

  int find(const std::string& k) const {
    auto it = std::find(keys.begin(), keys.end(), k);
    return it == keys.end() ? -1 : static_cast<int>(it - keys.begin());
  }
  void renumber() {
    next_key = 0;
    for (auto& k : keys) {
      if (Text(k).is_number()) k = std::to_string(next_key++);
    }
  }
};

TEST(ArrayKeys, IndexAgreesWithAScanThroughEveryChange) {
  const std::vector<std::string> pool = {"a", "b", "5", "7", "", "1e2", "x", "3"};
  std::mt19937 random(12345);
  Array a;
  Model m;
  for (int step = 0; step < 4000; ++step) {
    const int value = step;
    const std::string key = pool[random() % pool.size()];
    switch (random() % 8) {
      case 0:
      case 1:
        a.push(value);
        m.keys.push_back(std::to_string(m.next_key++));
        m.values.push_back(value);
        break;
      case 2: {
        a.set(Text(key), value);
        const int p = m.find(key);
        if (p >= 0) {
          m.values[static_cast<std::size_t>(p)] = value;
        } else {
          m.keys.push_back(key);
          m.values.push_back(value);
        }
        break;
      }
      case 3: {
        const int k = static_cast<int>(random() % 12);
        a.set(k, value);
        const int p = m.find(std::to_string(k));
        if (p >= 0) {
          m.values[static_cast<std::size_t>(p)] = value;
        } else {
          const int chosen = std::max(k, m.next_key);
          m.keys.push_back(std::to_string(chosen));
          m.values.push_back(value);
          m.next_key = chosen + 1;
        }
        break;
      }
      case 4:
        a.pop();
        if (!m.keys.empty()) {
          m.keys.pop_back();
          m.values.pop_back();
        }
        break;
      case 5:
        if (random() % 4 == 0 && !m.keys.empty()) {
          a.shift();
          m.keys.erase(m.keys.begin());
          m.values.erase(m.values.begin());
          m.renumber();
        }
        break;
      case 6:
        if (!m.keys.empty()) {
          const int p = static_cast<int>(random() % m.keys.size());
          a.insert(p, value);
          m.keys.insert(m.keys.begin() + p, "65000");
          m.values.insert(m.values.begin() + p, value);
          m.renumber();
        }
        break;
      default:
        a.slot(Text(key));
        if (m.find(key) < 0) {
          m.keys.push_back(key);
          m.values.push_back(0);
        }
        break;
    }
    ASSERT_EQ(a.size(), static_cast<int>(m.keys.size()));
    ASSERT_EQ(a.next_key(), m.next_key) << "step " << step;
    for (int probe = 0; probe < 14; ++probe) {
      const std::string k = probe < 12 ? std::to_string(probe) : pool[static_cast<std::size_t>(probe - 12)];
      ASSERT_EQ(a.find_key(Text(k)), m.find(k)) << "key " << k << " step " << step;
    }
    for (const auto& k : pool) ASSERT_EQ(a.find_key(Text(k)), m.find(k)) << "key " << k;
  }
  for (int i = 0; i < a.size(); ++i) {
    EXPECT_EQ(a.key_at(i), Text(m.keys[static_cast<std::size_t>(i)]));
    if (a.at(i).type() == tag::number) {
      EXPECT_EQ(a.at(i).to_int(), m.values[static_cast<std::size_t>(i)]);
    }
  }
}

TEST(ArrayRemoval, InsertRenumbersAroundTextKeys) {
  Array a = list({"a", "b"});
  a.set("t", "text");
  a.insert(1, "new");
  EXPECT_EQ(a.to_text(), "(0:a, 1:new, 2:b, t:text)");
  a.insert(-1, "before last");
  EXPECT_EQ(a.to_text(), "(0:a, 1:new, 2:b, 3:before last, t:text)");
  a.insert(-10, "ignored");
  EXPECT_EQ(a.size(), 5);
  a.insert(99, "end");
  EXPECT_EQ(a.key_at(5), "4");

  Array inner;
  inner.set("k", 1);
  inner.push(2);
  a.insert(0, Dyn(inner));
  EXPECT_EQ(a.to_text(), "(k:1, 0:2, 1:a, 2:new, 3:b, 4:before last, t:text, 5:end)");
  a.insert(100, Dyn(list({"m"})));  // past the end an array is merged
  EXPECT_EQ(a.key_at(8), "6");
  EXPECT_EQ(a.next_key(), 7);
}

TEST(ArrayRemoval, RemoveRangeSliceAndReplace) {
  Array a = list({0, 1, 2, 3, 4, 5});
  a.remove_range(1, 2);
  EXPECT_EQ(a.to_text(), "(0:0, 1:3, 2:4, 3:5)");
  a.remove_range(-2, 10);
  EXPECT_EQ(a.to_text(), "(0:0, 1:3)");
  a.remove_range(1, 0);
  EXPECT_EQ(a.size(), 2);
  a.remove_at(0);
  EXPECT_EQ(a.to_text(), "(0:3)");

  Array b = list({"a", "b", "c", "d"});
  EXPECT_EQ(b.slice(1, 2, End::inclusive).to_text(), "(0:b, 1:c)");
  EXPECT_EQ(b.slice(1, 3, End::exclusive).to_text(), "(0:b, 1:c)");
  EXPECT_EQ(b.slice(-2, -1, End::inclusive).to_text(), "(0:c, 1:d)");
  EXPECT_EQ(b.slice(0, -1, End::exclusive).to_text(), "(0:a, 1:b, 2:c)");
  EXPECT_EQ(b.slice(2, 100, End::exclusive).to_text(), "(0:c, 1:d)");
  EXPECT_EQ(b.slice(3, 1, End::inclusive).to_text(), "()");
  EXPECT_EQ(b.slice(0, 1, End::inclusive).next_key(), 2);

  Array c = list({"a", "b", "c", "d"});
  c.replace_range(1, 2, list({"X"}));  // fewer replacements: the rest removed
  EXPECT_EQ(c.to_text(), "(0:a, 1:X, 2:d)");
  Array keyed = list({"Y", "Z"});
  keyed.set("k", "K");
  c.replace_range(0, 1, keyed);  // more: the others inserted
  EXPECT_EQ(c.to_text(), "(0:Y, 1:Z, k:K, 2:X, 3:d)");
  Array empty;
  empty.replace_range(3, 3, keyed);
  EXPECT_EQ(empty, keyed);
  c.replace_range(0, 100, c);
  EXPECT_EQ(c.to_text(), "(0:Y, 1:Z, k:K, 2:X, 3:d)");
}

TEST(ArrayRemoval, PopLeavesAGapInTheKeys) {
  Array a = list({"a", "b"});
  a.next();
  EXPECT_EQ(a.pop().to_chars(), "b");
  EXPECT_EQ(a.key(), "0");  // the cursor is back at 0
  a.push("c");
  EXPECT_EQ(a.to_text(), "(0:a, 2:c)");
  EXPECT_TRUE(Array().pop().is_nil());
}

TEST(ArrayMerge, MergeAndDifference) {
  Array a;
  a.push("old");
  a.set("x", "was");
  Array b;
  b.push("new");
  b.set("x", "now");
  a.merge(b);
  EXPECT_EQ(a.to_text(), "(0:old, x:now, 1:new)");

  // Merging after a pop closes the gap in the keys; lookups follow.
  Array gap = list({"p", "q", "r"});
  gap.pop();
  Array more;
  more.push("s");
  more.set("y", "why");
  gap.merge(more);
  EXPECT_EQ(gap.to_text(), "(0:p, 1:q, 2:s, y:why)");
  EXPECT_EQ(gap.find_key("2"), 2);
  EXPECT_EQ(gap.find_key("3"), -1);

  Array sum = list({1}) + list({2});
  EXPECT_EQ(sum.to_text(), "(0:1, 1:2)");
  EXPECT_EQ((list({1}) + Dyn("v")).to_text(), "(0:1, 1:v)");
  a.merge(a);
  EXPECT_EQ(a.to_text(), "(0:old, x:now, 1:new, 2:old, 3:new)");

  Array left = list({1, "12", "abc", true, "1e1"});
  left.set("t", 4);
  // Numbers and number-like texts match by value; texts by bytes.
  Array diff = left - list({"1", 12, "10", 4.0});
  EXPECT_EQ(diff.to_text(), "(0:abc, 1:true)");
  // A boolean among the others: every value is compared one by one.
  EXPECT_EQ(left.difference(list({false, "abc"})).to_text(), "(0:1, 1:12, 2:true, 3:1e1, t:4)");
  // Against true, every value with a truth goes, a non-numeric text included.
  EXPECT_EQ(left.difference(list({true})).to_text(), "()");
  EXPECT_EQ(left.difference(list({false})).to_text(), "(0:1, 1:12, 2:abc, 3:true, 4:1e1, t:4)");
}

TEST(ArrayMerge, HashedDifferenceMatchesDynEquality) {
  // Differences over numbers and texts take a hashed path; it must agree
  // with a value-by-value comparison.
  const std::vector<Dyn> pool = {Dyn(0), Dyn(-0.0), Dyn(1), Dyn(12), Dyn(2.5), Dyn(""), Dyn("0"),
                                 Dyn("12"), Dyn("012"), Dyn("1e1"), Dyn(10), Dyn("abc"), Dyn("ABC"),
                                 Dyn("2.5"), Dyn(-1), Dyn::of_int64(7), Dyn("7")};
  std::mt19937 random(7);
  for (int round = 0; round < 200; ++round) {
    Array left, right;
    for (int i = 0; i < 6; ++i) left.push(pool[random() % pool.size()]);
    for (int i = 0; i < 4; ++i) right.push(pool[random() % pool.size()]);
    Array expected;
    for (int i = 0; i < left.size(); ++i) {
      bool found = false;
      for (int j = 0; j < right.size(); ++j) found = found || left.at(i) == right.at(j);
      if (!found) expected.push(left.at(i));
    }
    ASSERT_EQ(left.difference(right).to_text(), expected.to_text())
        << left.to_text() << " - " << right.to_text();
  }
}

TEST(ArrayWhole, SplitAndRange) {
  EXPECT_EQ(split("a,b,c", ",").to_text(), "(0:a, 1:b, 2:c)");
  EXPECT_EQ(split("a,,b", ",").to_text(), "(0:a, 1:, 2:b)");
  EXPECT_EQ(split("a,b,", ",").to_text(), "(0:a, 1:b)");
  EXPECT_EQ(split(",a", ",").to_text(), "(0:, 1:a)");
  EXPECT_EQ(split("", ",").size(), 0);
  EXPECT_EQ(split("abc", ",").to_text(), "(0:abc)");
  EXPECT_EQ(split("a::b", "::").to_text(), "(0:a, 1:b)");
  EXPECT_EQ(split("abc", "").to_text(), "(0:abc)");

  EXPECT_EQ(range(1, 3).to_text(), "(0:1, 1:2, 2:3)");
  EXPECT_EQ(range(3, 1).to_text(), "(0:3, 1:2)");
  EXPECT_EQ(range(2, 2).to_text(), "(0:2)");
  EXPECT_EQ(range(-1, -3).to_text(), "(0:-1, 1:-2)");
}

TEST(ArrayWhole, Reverse) {
  EXPECT_EQ(list({1, 2}).reverse().to_text(), "(0:2, 1:1)");
  Array a = list({1, 2, 3, 4});
  a.set("k", 5);
  EXPECT_EQ(a.reverse().to_text(), "(0:5, 1:4, 2:3, 3:2, 4:1)");
  EXPECT_EQ(a.reverse(true).to_text(), "(k:5, 3:4, 2:3, 1:2, 0:1)");
  EXPECT_EQ(a.reverse(false).to_text(), "(0:5, 1:4, 2:3, 3:2, k:1)");
  EXPECT_EQ(a.reverse(true).find_key("k"), 0);
}

TEST(ArrayWhole, SortValuesAndKeys) {
  Array a = list({3, "10", 1, "2", -5});
  a.set("t", 0);
  a.sort();
  EXPECT_EQ(a.to_text(), "(0:-5, t:0, 1:1, 2:2, 3:3, 4:10)");
  EXPECT_EQ(a.next_key(), 5);

  Array words = list({"pear", "apple", "fig"});
  words.sort();
  EXPECT_EQ(words.join(" "), "apple fig pear");

  Array keyed;
  keyed.set("b", 1);
  keyed.set("a", 2);
  keyed.set("c", 3);
  keyed.sort_keys();
  EXPECT_EQ(keyed.to_text(), "(a:2, b:1, c:3)");
  EXPECT_EQ(keyed.get("c").to_number(), 3);

  // Reordered text keys stay with their values through later removals.
  Array dictionary;
  dictionary.set("a", 3);
  dictionary.set("b", 1);
  dictionary.set("c", 2);
  dictionary.sort();
  EXPECT_EQ(dictionary.pop().to_number(), 3);
  dictionary.set("d", 4);
  EXPECT_EQ(dictionary.to_text(), "(b:1, c:2, d:4)");
  EXPECT_EQ(dictionary.find_key("c"), 1);
  EXPECT_EQ(dictionary.find_key("a"), -1);
  keyed.sort_keys();
  Array flipped = keyed.reverse(true);
  flipped.pop();
  flipped.set("z", 0);
  EXPECT_EQ(flipped.to_text(), "(c:3, b:1, z:0)");

  // Many values, many repeats, and an already sorted run.
  std::mt19937 random(99);
  std::vector<double> expected;
  Array big;
  for (int i = 0; i < 20000; ++i) {
    const double v = i < 5000 ? i : static_cast<double>(random() % 300);
    expected.push_back(v);
    big.push(v);
  }
  std::sort(expected.begin(), expected.end());
  big.sort();
  for (int i = 0; i < big.size(); ++i) ASSERT_EQ(big.at(i).to_number(), expected[static_cast<std::size_t>(i)]);
  EXPECT_EQ(big.key_at(19999), "19999");
}

TEST(ArrayWhole, MinMaxSumAndJoin) {
  EXPECT_EQ(list({-3, -5}).max(), 0);
  EXPECT_EQ(list({-3, -5}).min(), -5);
  EXPECT_EQ(Array().min(), DBL_MAX);
  EXPECT_EQ(list({"4", 2, true}).min(), 2);
  // A value without a number counts as the one before it.
  EXPECT_EQ(list({7, true}).min(), 7);
  EXPECT_EQ(list({true, 9}).min(), 0);
  EXPECT_EQ(list({"4", 2, true, "x"}).sum(), 6);

  EXPECT_EQ(list({"a", 1, "b", true, "c"}).join(", "), "a, b, c");
  EXPECT_EQ(list({"", "a", "b"}).join("-"), "a-b");
  EXPECT_EQ(list({"a", "", "b"}).join("-"), "a--b");
  EXPECT_TRUE(Array().join("-").is_empty());
}

TEST(ArrayWhole, EqualityAndOrder) {
  Array a = list({1, "x"});
  EXPECT_EQ(a, list({1, "x"}));
  EXPECT_NE(a, list({1, "y"}));
  Array keyed;
  keyed.set("0", 1);
  keyed.set("01", "x");
  EXPECT_NE(a, keyed);  // keys compare byte for byte
  EXPECT_TRUE(list({5}) < a);
  EXPECT_TRUE(list({1, "y"}) > a);
  EXPECT_FALSE(a < a);
}

TEST(ArrayWhole, ForEachStopsAtTheShortest) {
  std::string seen;
  for_each([&](const Dyn& x, const Dyn& y) { seen += x.to_text().str() + y.to_text().str() + ";"; },
           list({"a", "b", "c"}), list({1, 2}));
  EXPECT_EQ(seen, "a1;b2;");
  int count = 0;
  for_each([&](const Dyn&, const Dyn&, const Dyn&) { ++count; }, list({1}), list({1, 2}), Array());
  EXPECT_EQ(count, 0);
}

TEST(ArrayWalk, NextPreviousAndTheNilIdiom) {
  Array a = list({"a", "b"});
  EXPECT_EQ(a.begin().to_chars(), "a");
  EXPECT_EQ(a.next().to_chars(), "b");
  EXPECT_TRUE(a.next().is_nil());
  EXPECT_TRUE(a.next().is_nil());
  EXPECT_TRUE(a.at_end());
  EXPECT_EQ(a.index(), -1);
  EXPECT_EQ(a.previous().to_chars(), "b");
  a.rewind();
  EXPECT_TRUE(a.previous().is_nil());
  EXPECT_EQ(a.value().to_chars(), "a");
  EXPECT_EQ(a.last().to_chars(), "b");
  EXPECT_EQ(a.key(), "1");
  EXPECT_TRUE(Array().last().is_nil());
  EXPECT_TRUE(Array().begin().is_nil());

  // The walk ends on the first nil-like value, -1 included.
  Array b = list({"x", 2, -1, "y"});
  std::string walked;
  for (Dyn v = b.begin(); !v.is_nil(); v = b.next()) walked += v.to_chars().str();
  EXPECT_EQ(walked, "x2");

  Array c = list({1, 2, 3});
  c.rewind();
  int steps = 0;
  while (c.advance()) ++steps;
  EXPECT_EQ(steps, 2);
}

TEST(ArrayText, TextFormAndDump) {
  Array a = list({"a", false});
  Array inner = list({1});
  inner.set("k", "v");
  a.push(inner);
  EXPECT_EQ(a.to_text(), "(0:a, 1:, 2:(0:1, k:v))");
  EXPECT_EQ(Array().to_text(), "()");
  EXPECT_EQ(capture([&] { a.dump(); }).out,
            "Array(\n"
            "   0 : a\n"
            "   1 : false\n"
            "   2 : Array(\n"
            "        0 : 1\n"
            "        k : v\n"
            "     )\n"
            ")\n");
  EXPECT_EQ(capture([] { Array().dump(1); }).out, "Array(\n     )\n");
}

TEST(ArrayFiles, SaveAndLoadRoundTrip) {
  kit_test::TempDir dir;
  const std::string path = dir.file("lines.txt");
  Array a = list({"one", "", false, 2.5});
  ASSERT_TRUE(a.save(Text(path.c_str())));
  EXPECT_EQ(kit_test::read_file(path), "one\n\nfalse\n2.5\n");

  Array loaded = list({"stale"});
  loaded.load(Text(path.c_str()));
  EXPECT_EQ(loaded.to_text(), "(0:one\n, 1:\n, 2:false\n, 3:2.5\n)");

  const std::string unterminated = dir.write("last.txt", "x\ny");
  loaded.load(Text(unterminated.c_str()));
  EXPECT_EQ(loaded.to_text(), "(0:x\n, 1:y)");

  loaded.load(Text(dir.file("missing.txt").c_str()));
  EXPECT_EQ(loaded.size(), 2);

  const std::string empty = dir.write("empty.txt", "");
  loaded.load(Text(empty.c_str()));
  EXPECT_EQ(loaded.size(), 0);
}

TEST(ArrayFiles, SaveReportsFailure) {
  kit_test::TempDir dir;
  EXPECT_FALSE(list({"x"}).save(Text(dir.file("no/such/dir.txt").c_str())));
  EXPECT_FALSE(list({"x"}).save(Text(dir.path().c_str())));
  // The device accepts the open but refuses the bytes.
  if (file_exists("/dev/full")) {
    EXPECT_FALSE(list({"x"}).save("/dev/full"));
  }
}

}  // namespace
}  // namespace kit
