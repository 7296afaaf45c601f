// SPDX-License-Identifier: MIT
// Random line-oriented sources built from the pieces that steer a converter
// and the ones XML cares about, for the well-formedness tests.
#pragma once

#include <random>
#include <string>
#include <vector>

namespace kit_test {

// Pieces both converters react to: separators, quotes, comment marks,
// markup characters, UTF-8 letters and white space; and for names, the words
// the INI reader adds, an escape and a character above U+FFFF.
inline const std::vector<std::string>& steering_pieces() {
  static const std::vector<std::string> pieces = {
      "[", "]", "=", ":", ";", ",", "#", "'", "\"", "&", "<", ">", "-", "--", " ", "\t",
      "a", "key", "1", "\xC3\xA9", "\xE2\x82\xAC", "&amp;", "<!--", "?>", "]]>", "\r",
      "active", "xmlns", "blank", "_x0041_", "\xF0\x9F\x98\x80"};
  return pieces;
}

// Bytes XML cannot hold as they stand: control characters, ill-formed and
// cut UTF-8, surrogates, U+FFFE, NUL, and byte order marks in the middle.
inline const std::vector<std::string>& hostile_pieces() {
  static const std::vector<std::string> pieces = {
      "\a", "\v", "\f", "\x1b", std::string(1, '\0'), "\xFF", "\xFE", "\xC0\xAF", "\xE2\x82",
      "\xED\xA0\x80", "\xEF\xBF\xBE", "\xF4\x90\x80\x80", "\x80", "\xEF\xBB\xBF", "\xF0\x9F\x98"};
  return pieces;
}

// What a random source is made of.
enum class SourceBytes {
  text,  // steering pieces: valid UTF-8 that XML can hold
  any,   // hostile pieces too, and now and then a UTF-16 byte order mark in front
};

// `lines` lines of up to `max_pieces` random pieces each.
inline std::string random_source(std::mt19937& rng, int lines, int max_pieces,
                                 SourceBytes bytes = SourceBytes::text) {
  std::vector<std::string> pieces = steering_pieces();
  if (bytes == SourceBytes::any) {
    pieces.insert(pieces.end(), hostile_pieces().begin(), hostile_pieces().end());
  }
  std::uniform_int_distribution<std::size_t> pick(0, pieces.size() - 1);
  std::uniform_int_distribution<int> length(0, max_pieces);
  std::string text;
  if (bytes == SourceBytes::any && rng() % 4 == 0) text = rng() % 2 ? "\xFF\xFE" : "\xFE\xFF";
  for (int i = 0; i < lines; ++i) {
    for (int n = length(rng); n > 0; --n) text += pieces[pick(rng)];
    text += '\n';
  }
  return text;
}

}  // namespace kit_test
