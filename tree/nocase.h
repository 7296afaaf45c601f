// Byte comparison without regard to ASCII case, for the loader and the
// searches (the element's own lookups keep theirs private).
#pragma once

#include <cctype>
#include <string_view>

namespace kit {

// true when both have the same length and each byte pair matches once
// lower-cased; unlike Text::compare_nocase, digits get no special reading.
inline bool same_nocase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

}  // namespace kit
