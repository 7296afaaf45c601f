#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "runtime/xml_escape.h"

using kit::XmlEscape;

namespace {

constexpr XmlEscape all_modes[] = {XmlEscape::data, XmlEscape::attribute, XmlEscape::own_quotes,
                                   XmlEscape::line_value, XmlEscape::line_value_in_apostrophes};

std::string escaped(std::string_view text, XmlEscape mode) {
  std::string out;
  kit::escape_xml(text, mode, [&out](std::string_view piece) { out += piece; });
  return out;
}

// The same one byte at a time, without the scan.
std::string escaped_bytewise(std::string_view text, XmlEscape mode) {
  std::string out;
  const char* const end = text.data() + text.size();
  for (const char* at = text.data(); at != end; ++at) {
    out += kit::escape_step(at, end, mode).replacement;
  }
  return out;
}

}  // namespace

TEST(XmlEscape, EachModeReplacesItsBytes) {
  const std::string every = "a&b<c>d\"e'f\tg\nh\ri";
  constexpr char other_bytes[] = "\0\v\f\x7f\x80\xa6\xff =%";
  const std::string others(other_bytes, sizeof other_bytes - 1);
  struct Case {
    XmlEscape mode;
    std::string text;
    std::string expected;
  };
  const Case cases[] = {
      {XmlEscape::data, every, "a&amp;b&lt;c&gt;d\"e'f\tg\nh\ri"},
      {XmlEscape::attribute, every, "a&amp;b&lt;c&gt;d&quot;e'f&#9;g&#10;h&#13;i"},
      {XmlEscape::own_quotes, every, "a&amp;b&lt;c&gt;d\"e'f&#9;g&#10;h&#13;i"},
      {XmlEscape::line_value, every, "a&amp;b&lt;c&gt;d&quot;e'f\tg\nh\ri"},
      {XmlEscape::line_value_in_apostrophes, every,
       "a&amp;b&lt;c&gt;d&quot;e&apos;f\tg\nh\ri"},
      {XmlEscape::attribute, "&&<<", "&amp;&amp;&lt;&lt;"},
      {XmlEscape::attribute, others, others},
      {XmlEscape::line_value_in_apostrophes, others, others},
      {XmlEscape::data, "", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(escaped(c.text, c.mode), c.expected) << static_cast<int>(c.mode) << ": " << c.text;
  }
}

TEST(XmlEscape, WordScanAgreesWithBytewiseAtEveryAlignment) {
  // Each byte some mode replaces, and neighbours a word-wide test could
  // mistake for them.
  constexpr char probe_bytes[] = "&<>\"'\t\n\r%=;\x01\xa6\x80";
  const std::string probes(probe_bytes, sizeof probe_bytes);  // with the closing NUL
  constexpr std::size_t window = 24;
  alignas(8) char buffer[window + 16];
  for (XmlEscape mode : all_modes) {
    for (std::size_t offset = 0; offset < 8; ++offset) {
      for (std::size_t length = 0; length <= window; ++length) {
        for (std::size_t at = 0; at < length; ++at) {
          for (char probe : probes) {
            for (bool last_too : {false, true}) {
              std::string(sizeof buffer, 'x').copy(buffer, sizeof buffer);
              buffer[offset + at] = probe;
              if (last_too) buffer[offset + length - 1] = '&';  // one more stop
              const std::string_view text(buffer + offset, length);
              ASSERT_EQ(escaped(text, mode), escaped_bytewise(text, mode))
                  << static_cast<int>(mode) << " offset " << offset << " at " << at;
            }
          }
        }
      }
    }
  }
}
