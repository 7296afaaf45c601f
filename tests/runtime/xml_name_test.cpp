// SPDX-License-Identifier: MIT
// Any text as an XML name and back: the name table against Expat, the
// escapes and their reading, and the round trip on random texts.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/unicode.h"
#include "runtime/xml_escape.h"
#include "support/xml_check.h"

namespace {

std::string encoded(std::string_view text, bool escape_first = false) {
  std::string room;
  return std::string(kit::encode_xml_name(text, room, escape_first));
}

std::string decoded(std::string_view name) {
  std::string room;
  return std::string(kit::decode_xml_name(name, room));
}

std::string utf8(char32_t c) {
  char bytes[kit::max_utf8_bytes];
  return std::string(bytes, kit::put_utf8(bytes, c));
}

bool parses_as_name(const std::string& name) {
  return kit_test::xml_namespace_error("<" + name + "/>").empty();
}

}  // namespace

// A character stands as it is exactly where Expat, with namespaces, takes it
// as a name character; whatever it becomes, Expat takes and it reads back.
TEST(XmlName, TableAgreesWithExpatOverTheBasicPlane) {
  for (char32_t c = 1; c <= 0xFFFF; ++c) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;
    const std::string ch = utf8(c);
    // After "a", and before "b" so that white space cannot end the name.
    for (const std::string& text : {ch, "a" + ch + "b"}) {
      const std::string name = encoded(text);
      ASSERT_EQ(name == text, parses_as_name(text)) << std::hex << "U+" << static_cast<unsigned>(c);
      ASSERT_TRUE(parses_as_name(name)) << name;
      ASSERT_EQ(decoded(name), text) << name;
    }
  }
}

TEST(XmlName, Escapes) {
  const std::pair<std::string, std::string> cases[] = {
      {"Name[de]", "Name_x005B_de_x005D_"},
      {"D-BUS Service", "D-BUS_x0020_Service"},
      {"testenv:py37", "testenv_x003A_py37"},
      {"1.2.3.4", "_x0031_.2.3.4"},
      {"_x1234:", "_x005F_x1234_x003A_"},
      {"_XaBcD", "_XaBcD"},              // only a lower-case "x" makes an escape shape
      {"_xabcd", "_x005F_xabcd"},        // hex digits of either case do
      {"# a", "_x0023__x0020_a"},
      {"", "_x0000_"},
      {"ssl_x509_dir", "ssl_x509_dir"},  // "_x" and three hex digits: no escape shape
      {"max_xfer", "max_xfer"},
      {"caf\xC3\xA9", "caf\xC3\xA9"},
      {"\xC3\x97", "_x00D7_"},           // the multiplication sign is no Letter
      {"a\xF0\x9F\x98\x80", "a_x01F600_"},
      {"k\xFF\xE2\x82", "k_xDCFF__xDCE2__xDC82_"},  // each byte of ill-formed UTF-8
  };
  for (const auto& [text, name] : cases) {
    EXPECT_EQ(encoded(text), name) << text;
    EXPECT_EQ(decoded(name), text) << name;
  }
  EXPECT_EQ(encoded("active", true), "_x0061_ctive");
  EXPECT_EQ(encoded("1x", true), "_x0031_x");
  EXPECT_EQ(encoded("", true), "_x0000_");
  // A name that needs nothing is handed back, not copied.
  std::string room;
  const std::string_view plain = "plain";
  EXPECT_EQ(kit::encode_xml_name(plain, room).data(), plain.data());
}

TEST(XmlName, DecodingReadsEachEscapeOnce) {
  const std::pair<std::string, std::string> cases[] = {
      {"_x0041_", "A"},
      {"_x00e9__x00E9_", "\xC3\xA9\xC3\xA9"},
      {"_x00410_", "_x00410_"},       // five digits: no escape
      {"_x000041_", "A"},             // six digits
      {"_x0041_x0042_", "Ax0042_"},   // reading goes on after the closing "_"
      {"_xDC80__xDCFF_", "\x80\xFF"},
      {"_xD800_", "_xD800_"},         // another surrogate stands for itself
      {"_x110000_", "_x110000_"},     // past U+10FFFF
      {"a_x0000_", "a_x0000_"},       // U+0000 inside a name
      {"_x0000_", ""},
      {"_x12", "_x12"},
      {"no_escape_", "no_escape_"},
  };
  for (const auto& [name, text] : cases) EXPECT_EQ(decoded(name), text) << name;
}

// For random texts without NUL, of escape-shaped runs, the words the reader
// adds, any character and ill-formed bytes: a name Expat takes, which reads
// back as the text.
TEST(XmlName, RoundTripOnRandomTexts) {
  const std::vector<std::string> pieces = {
      "_", "x", "_x", "_x0041_", "0", "F", "f", "_xDC80_", "_x0000_", "active", "xmlns", ":", ".",
      "-", " ", "1", "a", "\xC3\xA9", "\xC3\x97", "\xE2\x82\xAC", "\xF0\x9F\x98\x80", "\xFF",
      "\xE2\x82", "\xED\xA0\x80", "\xEF\xBF\xBE", "\xCC\x81", "[", "]", "=", "\t", "\x01", "<", "&"};
  std::mt19937 rng(20261209);
  std::uniform_int_distribution<std::size_t> pick(0, pieces.size() - 1);
  for (int round = 0; round < 5000; ++round) {
    std::string text;
    for (int n = static_cast<int>(rng() % 8); n > 0; --n) text += pieces[pick(rng)];
    const bool escape_first = rng() % 4 == 0;
    const std::string name = encoded(text, escape_first);
    ASSERT_TRUE(parses_as_name(name)) << text << " -> " << name;
    ASSERT_EQ(decoded(name), text) << name;
  }
}
