// SPDX-License-Identifier: MIT
// The pieces of the XML escape that only its tests call: the step for one
// byte and the word-wide scan that stands in for the sixteen-byte one. Not
// installed: no installed header includes it.
#pragma once

#include <cstddef>
#include <string_view>

#include "runtime/xml_escape.h"

namespace kit {

// What takes the place of the bytes at one stop of the scan.
struct EscapeStep {
  std::size_t length;            // input bytes covered, at least 1
  std::string_view replacement;  // written instead of them
  bool replaced_unfit;           // the replacement is U+FFFD for unfit bytes
};

// The step for the byte at `at` (before `end`); bytes left alone give
// themselves, so the step never fails.
EscapeStep escape_step(const char* at, const char* end, XmlEscape mode, Unfit unfit);

// next_to_escape a machine word at a time, as machines without wider
// comparisons run it; the tests hold the two to one result.
const char* next_to_escape_by_words(const char* from, const char* end, XmlEscape mode,
                                    Unfit unfit);

}  // namespace kit
