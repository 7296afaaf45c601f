// XML escaping for both writers: the bytes a mode names become entity or
// character references, written straight into the caller's output.
//
// The scan for the next byte that needs work and the decision on that byte
// live in xml_escape.cpp; the loop that joins them is a template here, so
// each caller's output takes the unchanged runs without a copy in between.
#pragma once

#include <cstddef>
#include <string_view>

namespace kit {

// Which bytes an escape replaces. Every mode replaces "&", "<" and ">".
enum class XmlEscape : unsigned char {
  // Character data: nothing more.
  data,
  // An attribute value between double quotes: also '"', and tab, line feed
  // and carriage return as "&#9;", "&#10;", "&#13;", which a reader would
  // otherwise turn into spaces.
  attribute,
  // A value kept between its own quotes, which it does not hold: also tab,
  // line feed and carriage return, as for attribute.
  own_quotes,
  // A value of the line translator: also '"'; white space stays as it is.
  line_value,
  // The same between apostrophes: also "'" as "&apos;".
  line_value_in_apostrophes,
};

// What takes the place of the bytes at one stop of the scan.
struct EscapeStep {
  std::size_t length;            // input bytes covered, at least 1
  std::string_view replacement;  // written instead of them
};

// The first byte in [from, end) that `mode` does work on; `end` when none.
const char* next_to_escape(const char* from, const char* end, XmlEscape mode);

// The step for the byte at `at` (before `end`); a byte the mode leaves alone
// gives itself, so the step never fails.
EscapeStep escape_step(const char* at, const char* end, XmlEscape mode);

// Hands `put` the text escaped for `mode`, as a series of string views: the
// unchanged runs as views into `text`, the replacements between them. An
// empty text gives no call.
template <typename Put> void escape_xml(std::string_view text, XmlEscape mode, Put&& put) {
  const char* run = text.data();
  const char* const end = run + text.size();
  for (const char* at = next_to_escape(run, end, mode); at != end;
       at = next_to_escape(at, end, mode)) {
    if (at != run) put(std::string_view(run, static_cast<std::size_t>(at - run)));
    const EscapeStep step = escape_step(at, end, mode);
    put(step.replacement);
    at += step.length;
    run = at;
  }
  if (end != run) put(std::string_view(run, static_cast<std::size_t>(end - run)));
}

}  // namespace kit
