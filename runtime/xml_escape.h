// XML escaping for both writers: the bytes a mode names become entity or
// character references, written straight into the caller's output; and, for
// XML, what XML 1.0 cannot hold in any form becomes U+FFFD in the same pass.
//
// The scan for the next byte that needs work and the decision on that byte
// live in xml_escape.cpp; the loop that joins them is a template here, so
// each caller's output takes the unchanged runs without a copy in between.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace kit {

// Which bytes an escape replaces. Every mode replaces "&", "<" and ">".
enum class XmlEscape : unsigned char {
  // Names: nothing at all (a name that holds markup is no name).
  none,
  // Character data: also carriage return as "&#13;", which a reader would
  // otherwise turn into a line feed.
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

// What becomes of the characters XML 1.0 cannot hold in any form: each
// maximal subpart of an ill-formed UTF-8 sequence, each character U+0000 to
// U+001F but tab, line feed and carriage return, U+FFFE and U+FFFF. XML
// writes them as U+FFFD; other forms keep their bytes.
enum class Unfit : bool { keep, replace };

// What a program tells its user after "<target>: " when XML it wrote had
// characters replaced so.
inline constexpr const char* unfit_note = "characters XML cannot hold written as U+FFFD";

// What takes the place of the bytes at one stop of the scan.
struct EscapeStep {
  std::size_t length;            // input bytes covered, at least 1
  std::string_view replacement;  // written instead of them
  bool replaced_unfit;           // the replacement is U+FFFD for unfit bytes
};

// The first byte in [from, end) that `mode` and `unfit` do work on; `end`
// when none.
const char* next_to_escape(const char* from, const char* end, XmlEscape mode, Unfit unfit);

// The same scan a machine word at a time, as machines without wider
// comparisons run it; for the tests, which hold the two to one result.
const char* next_to_escape_by_words(const char* from, const char* end, XmlEscape mode,
                                    Unfit unfit);

// The step for the byte at `at` (before `end`); bytes left alone give
// themselves, so the step never fails.
EscapeStep escape_step(const char* at, const char* end, XmlEscape mode, Unfit unfit);

namespace detail {
// Bytes no mode and no unfit test stops at: printable ASCII but for the
// markup and the quotes.
extern const std::array<bool, 256> xml_plain_byte;
// Texts up to this long are tested a byte at a time inline before the scan:
// most names and values are that short and need nothing, and for them the
// scan's call would cost more than the test.
inline constexpr std::size_t short_text_bytes = 16;
}  // namespace detail

namespace detail {
// The escape of a text that may need work: the scan's stops joined by the
// unchanged runs between them.
template <typename Put>
bool escape_runs(std::string_view text, XmlEscape mode, Unfit unfit, Put& put) {
  const char* run = text.data();
  const char* const end = run + text.size();
  bool replaced = false;
  for (const char* at = next_to_escape(run, end, mode, unfit); at != end;
       at = next_to_escape(at, end, mode, unfit)) {
    const EscapeStep step = escape_step(at, end, mode, unfit);
    at += step.length;
    // A valid character the scan stopped at stays in the run.
    if (step.replacement.data() == at - step.length) continue;
    if (at - step.length != run) {
      put(std::string_view(run, static_cast<std::size_t>(at - step.length - run)));
    }
    put(step.replacement);
    replaced = replaced || step.replaced_unfit;
    run = at;
  }
  if (end != run) put(std::string_view(run, static_cast<std::size_t>(end - run)));
  return replaced;
}
}  // namespace detail

// Hands `put` the text escaped for `mode`, as a series of string views: the
// unchanged runs as views into `text`, the replacements between them. An
// empty text gives no call. Returns whether unfit bytes became U+FFFD.
template <typename Put>
inline bool escape_xml(std::string_view text, XmlEscape mode, Unfit unfit, Put&& put) {
  if (text.size() <= detail::short_text_bytes) {
    bool plain = true;
    for (const char c : text) plain &= detail::xml_plain_byte[static_cast<unsigned char>(c)];
    if (plain) {
      if (!text.empty()) put(text);
      return false;
    }
  }
  return detail::escape_runs(text, mode, unfit, put);
}

}  // namespace kit
