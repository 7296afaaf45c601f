// SPDX-License-Identifier: MIT
// The XML escape handed to a callback a piece at a time, for the tests and
// fuzz targets that compare escaped texts.
#pragma once

#include <cstddef>
#include <string_view>
#include <utility>

#include "runtime/xml_escape.h"

namespace kit {

// Hands `put` the text escaped for `mode`, as a series of string views, each
// valid during its call alone. An empty text gives no call. Returns whether
// unfit bytes became U+FFFD.
template <typename Put>
inline bool escape_xml(std::string_view text, XmlEscape mode, Unfit unfit, Put&& put) {
  char piece[1024];
  return escape_xml_into(
      text, mode, unfit, [&piece](std::size_t) { return std::make_pair(piece, sizeof piece); },
      [&](std::size_t n) {
        if (n != 0) put(std::string_view(piece, n));
      });
}

}  // namespace kit
