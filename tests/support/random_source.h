// Random line-oriented sources built from the pieces that steer a converter
// and the ones XML cares about, for the well-formedness tests.
#pragma once

#include <random>
#include <string>
#include <vector>

namespace kit_test {

// Pieces both converters react to: separators, quotes, comment marks,
// markup characters, UTF-8 letters and white space.
inline const std::vector<std::string>& steering_pieces() {
  static const std::vector<std::string> pieces = {
      "[", "]", "=", ":", ";", ",", "#", "'", "\"", "&", "<", ">", "-", "--", " ", "\t",
      "a", "key", "1", "\xC3\xA9", "\xE2\x82\xAC", "&amp;", "<!--", "?>", "]]>", "\r"};
  return pieces;
}

// `lines` lines of up to `max_pieces` random steering pieces each.
inline std::string random_source(std::mt19937& rng, int lines, int max_pieces) {
  const auto& pieces = steering_pieces();
  std::uniform_int_distribution<std::size_t> pick(0, pieces.size() - 1);
  std::uniform_int_distribution<int> length(0, max_pieces);
  std::string text;
  for (int i = 0; i < lines; ++i) {
    for (int n = length(rng); n > 0; --n) text += pieces[pick(rng)];
    text += '\n';
  }
  return text;
}

}  // namespace kit_test
