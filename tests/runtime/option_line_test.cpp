#include <gtest/gtest.h>

#include <string>

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
