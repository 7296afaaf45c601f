// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "runtime/detail/option_line_bytes.h"
#include "runtime/option_line.h"

TEST(OptionLine, CommentThenSeparator) {
  struct Case {
    const char* line;
    const char* parts;  // key|value|comment, or "none"
  };
  const Case cases[] = {
      {"key = value", "key | value|"},
      {"url: a=b", "url: a|b|"},  // "=" wins wherever the ":" stands
      {"k:v", "k|v|"},
      {"a=b ; two ; more", "a|b | two ; more"},
      {"a=b;", "a|b|"},
      {"x;y=1", "none"},  // the only "=" is in the comment
      {"s=\"c;d\" ; e", "s|\"c;d\" ; e|"},  // only the first ";" can start one
      {"s=\"c\";d", "s|\"c\"|d"},
      {"s=\"c;d", "s|\"c|d"},    // an unpaired '"' keeps no ";"
      {";k=v", ";k|v|"},         // first place, no '"': no comment
      {"a=1;b=\"x\"", "a|1|b=\"x\""},  // before the first '"'
      {"no separator", "none"},
  };
  for (const Case& c : cases) {
    const auto parts = kit::split_option_line(c.line);
    const std::string got = parts ? std::string(parts->key) + "|" + std::string(parts->value) +
                                        "|" + std::string(parts->comment)
                                  : "none";
    EXPECT_EQ(got, c.parts) << c.line;
  }
}

// Lines of the bytes that shape them, at every length around the blocks the
// wide scan takes, split alike by both scans.
TEST(OptionLine, WideScanAgreesWithBytewise) {
  const std::string bytes = ";\"=:a ";
  std::mt19937 rng(16);
  std::uniform_int_distribution<std::size_t> pick(0, bytes.size() - 1);
  const auto show = [](const std::optional<kit::OptionLine>& p) {
    return p ? std::string(p->key) + "|" + std::string(p->value) + "|" + std::string(p->comment)
             : std::string("none");
  };
  for (std::size_t length = 0; length <= 50; ++length) {
    for (int round = 0; round < 200; ++round) {
      std::string line(length, 'x');
      for (char& c : line) {
        if (rng() % 3 == 0) c = bytes[pick(rng)];
      }
      ASSERT_EQ(show(kit::split_option_line(line)), show(kit::split_option_line_by_bytes(line)))
          << line;
    }
  }
}
