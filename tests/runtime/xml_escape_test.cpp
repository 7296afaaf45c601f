// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/detail/xml_escape_steps.h"
#include "runtime/xml_escape.h"
#include "support/escape_xml.h"

using kit::Unfit;
using kit::XmlEscape;

namespace {

constexpr XmlEscape all_modes[] = {XmlEscape::none,        XmlEscape::data,
                                   XmlEscape::attribute,   XmlEscape::own_quotes,
                                   XmlEscape::attribute_in_apostrophes,
                                   XmlEscape::light_value, XmlEscape::light_value_in_apostrophes};

std::string escaped(std::string_view text, XmlEscape mode, Unfit unfit = Unfit::keep,
                    bool* replaced = nullptr) {
  std::string out;
  const bool any = kit::escape_xml(text, mode, unfit, [&out](std::string_view piece) { out += piece; });
  if (replaced != nullptr) *replaced = any;
  return out;
}

// The same one step at a time, without the scan.
std::string escaped_stepwise(std::string_view text, XmlEscape mode, Unfit unfit) {
  std::string out;
  const char* const end = text.data() + text.size();
  for (const char* at = text.data(); at != end;) {
    const kit::EscapeStep step = kit::escape_step(at, end, mode, unfit);
    out += step.replacement;
    at += step.length;
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
      {XmlEscape::data, every, "a&amp;b&lt;c&gt;d\"e'f\tg\nh&#13;i"},
      {XmlEscape::attribute, every, "a&amp;b&lt;c&gt;d&quot;e'f&#9;g&#10;h&#13;i"},
      {XmlEscape::own_quotes, every, "a&amp;b&lt;c&gt;d\"e'f&#9;g&#10;h&#13;i"},
      {XmlEscape::attribute_in_apostrophes, every, "a&amp;b&lt;c&gt;d&quot;e&apos;f&#9;g&#10;h&#13;i"},
      {XmlEscape::light_value, every, "a&amp;b&lt;c&gt;d&quot;e'f\tg\nh\ri"},
      {XmlEscape::light_value_in_apostrophes, every,
       "a&amp;b&lt;c&gt;d&quot;e&apos;f\tg\nh\ri"},
      {XmlEscape::attribute, "&&<<", "&amp;&amp;&lt;&lt;"},
      {XmlEscape::attribute, others, others},
      {XmlEscape::light_value_in_apostrophes, others, others},
      {XmlEscape::data, "", ""},
      {XmlEscape::none, every, every},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(escaped(c.text, c.mode), c.expected) << static_cast<int>(c.mode) << ": " << c.text;
  }
}

TEST(XmlEscape, ScansAgreeWithStepsAtEveryAlignment) {
  // Each byte some mode works on, and neighbours a word-wide test could
  // mistake for them; the lead bytes start sequences the rest cuts short.
  constexpr char probe_bytes[] = "&<>\"'\t\n\r%=;\x01\x1f\x7f\xa6\x80\xc3\xe2\xef\xf0";
  const std::string probes(probe_bytes, sizeof probe_bytes);  // with the closing NUL
  constexpr std::size_t window = 24;
  alignas(8) char buffer[window + 16];
  const auto check = [&](XmlEscape mode, Unfit unfit) {
    for (std::size_t offset = 0; offset < 8; ++offset) {
      for (std::size_t length = 0; length <= window; ++length) {
        for (std::size_t at = 0; at < length; ++at) {
          for (char probe : probes) {
            for (bool last_too : {false, true}) {
              std::string(sizeof buffer, 'x').copy(buffer, sizeof buffer);
              buffer[offset + at] = probe;
              if (last_too) buffer[offset + length - 1] = '&';  // one more stop
              const std::string_view text(buffer + offset, length);
              ASSERT_EQ(escaped(text, mode, unfit), escaped_stepwise(text, mode, unfit))
                  << static_cast<int>(mode) << " offset " << offset << " at " << at;
              // The widest scan stops where the one by machine words does.
              const char* const end = text.data() + text.size();
              for (const char* from = text.data(); from != end; ++from) {
                ASSERT_EQ(kit::next_to_escape(from, end, mode, unfit),
                          kit::next_to_escape_by_words(from, end, mode, unfit));
              }
            }
          }
        }
      }
    }
  };
  for (XmlEscape mode : all_modes) {
    check(mode, Unfit::keep);
    check(mode, Unfit::replace);
  }
}

// Escaping into little room goes part by part, never splitting a reference
// or a character, and the parts join to the whole.
TEST(XmlEscape, PartsInAnyRoomJoinToTheWhole) {
  const std::string text = "a\"b&&<c\xc3\xa9\xe2\x82\x01'x" + std::string(40, 'y') + "&";
  for (const Unfit unfit : {Unfit::keep, Unfit::replace}) {
    const std::string whole = escaped(text, XmlEscape::light_value_in_apostrophes, unfit);
    for (std::size_t room = kit::longest_escape; room <= whole.size() + 1; ++room) {
      std::string joined;
      std::string_view rest = text;
      std::vector<char> out(room);
      while (!rest.empty()) {
        const kit::EscapedPart part =
            kit::escape_xml_part(rest, XmlEscape::light_value_in_apostrophes, unfit, out.data(), room);
        ASSERT_GT(part.read, 0u) << "room " << room;
        ASSERT_LE(part.written, room);
        joined.append(out.data(), part.written);
        rest.remove_prefix(part.read);
      }
      ASSERT_EQ(joined, whole) << "room " << room;
    }
  }
  char small[kit::longest_escape - 1];
  const kit::EscapedPart none = kit::escape_xml_part("\"", XmlEscape::attribute, Unfit::keep, small, sizeof small);
  EXPECT_EQ(none.read + none.written, 0u);
}

// A part reads no further than its room reaches, so that a long text in
// many parts is scanned once: here the text runs on into a page that may
// not be read, and a part that looked past its room would fault.
TEST(XmlEscape, APartLooksNoFurtherThanItsRoom) {
  const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  void* const mapped = mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(mapped, MAP_FAILED);
  char* const bytes = static_cast<char*>(mapped);
  std::fill(bytes, bytes + page, 'a');
  ASSERT_EQ(mprotect(bytes + page, page, PROT_NONE), 0);
  const std::string_view text(bytes, 2 * page);
  char out[100];
  for (const std::size_t start : {std::size_t{0}, page - 200}) {
    const kit::EscapedPart part =
        kit::escape_xml_part(text.substr(start), XmlEscape::attribute, Unfit::replace, out, sizeof out);
    EXPECT_EQ(part.read, sizeof out);
    EXPECT_EQ(part.written, sizeof out);
  }
  munmap(mapped, 2 * page);
}

// What XML cannot hold becomes U+FFFD, one for each maximal subpart of an
// ill-formed sequence, and escape_xml says so.
TEST(XmlEscape, UnfitCharactersBecomeOneReplacementEach) {
  const std::string r = "\xef\xbf\xbd";
  struct Case {
    XmlEscape mode;
    std::string text;
    std::string expected;
  };
  const Case cases[] = {
      {XmlEscape::data, "x\xe2\x82y", "x" + r + "y"},                // a cut sequence: one
      {XmlEscape::data, "\xed\xa0\x80", r + r + r},                 // a surrogate: three
      {XmlEscape::data, "\xc0\xaf\x80\xff", r + r + r + r},         // overlong, alone, never a lead
      {XmlEscape::data, "\xf4\x90\x80\x80", r + r + r + r},         // past U+10FFFF
      {XmlEscape::data, "end \xf0\x9f\x98", "end " + r},            // cut by the end of the text
      {XmlEscape::data, "\a\v\f\x1b\x7f", r + r + r + r + "\x7f"},  // controls; DEL stays
      {XmlEscape::data, "\xef\xbf\xbe\xef\xbf\xbf", r + r},        // U+FFFE, U+FFFF
      {XmlEscape::attribute, "a&\x01\t", "a&amp;" + r + "&#9;"},
      {XmlEscape::none, "n\x02<", "n" + r + "<"},
  };
  for (const Case& c : cases) {
    bool replaced = false;
    EXPECT_EQ(escaped(c.text, c.mode, Unfit::replace, &replaced), c.expected) << c.text;
    EXPECT_TRUE(replaced) << c.text;
    EXPECT_EQ(escaped(c.text, XmlEscape::none, Unfit::keep), c.text);
  }
  // Well-formed text, any character XML holds, is kept and reported clean.
  const std::string fine = "\t\n\r \xc2\x80 \xc3\xbc \xe2\x82\xac \xef\xbf\xbd \xf0\x9f\x98\x80 \xf4\x8f\xbf\xbf";
  bool replaced = true;
  EXPECT_EQ(escaped(fine, XmlEscape::none, Unfit::replace, &replaced), fine);
  EXPECT_FALSE(replaced);
}
