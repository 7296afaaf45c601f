// SPDX-License-Identifier: MIT
// The configuration converter on a whole file, in both forms. Properties:
// every conversion succeeds; the light form is the XML form without its
// angle brackets (every "<" and ">" of the XML form is markup, the rest
// escaped), once what XML cannot hold is replaced in it and tab and
// carriage return written as references, as the XML form writes them; the
// XML form is well-formed, whatever the bytes; and every non-blank line,
// continuations joined, gives one element.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "dorsik/translate.h"
#include "runtime/files.h"
#include "runtime/xml_escape.h"
#include "support/escape_xml.h"
#include "support.h"
#include "support/xml_check.h"

namespace dorsik = kit::dorsik;

namespace {

constexpr std::string_view xml_start = "<?xml version=\"1.0\"?>\n<options>\n";
constexpr std::string_view xml_end = "</options>";
constexpr std::string_view light_start = "xml\noptions\n";
constexpr std::string_view light_end = "/xml\n/options";

// The text between the document's fixed start and end.
std::string_view body(std::string_view document, std::string_view start, std::string_view end) {
  const bool framed = document.size() >= start.size() + end.size() &&
                      document.substr(0, start.size()) == start &&
                      document.substr(document.size() - end.size()) == end;
  fuzz::check(framed, "the target has the document start and end", document);
  return document.substr(start.size(), document.size() - start.size() - end.size());
}

std::string converted(const fuzz::MemoryFile& source, const fuzz::MemoryFile& target, bool light) {
  dorsik::light_mode = light;
  const dorsik::Conversion result =
      dorsik::convert_file(kit::Text(source.path()), kit::Text(target.path()));
  fuzz::check(result.outcome == dorsik::Outcome::converted, "a readable source converts");
  return target.read();
}

// The non-blank lines of the source as the converter reads them, a line
// ending in "," joined with the ones after it.
int joined_lines(const fuzz::MemoryFile& source) {
  kit::File in = kit::open_file(source.path().c_str(), "r");
  kit::LineReader reader(in.get(), kit::NulBytes::drop, kit::Decoding::source);
  int count = 0;
  std::string_view line;
  while (reader.next(line)) {
    std::string joined(kit::trim_view(line));
    if (joined.empty()) continue;
    while (joined.back() == ',' && reader.next(line)) joined += kit::rtrim_view(line);
    ++count;
  }
  return count;
}

// The elements below the root: each begins a line indented by three spaces.
int top_level_elements(std::string_view body) {
  int count = 0;
  for (std::size_t at = 0; at < body.size();) {
    std::size_t end = body.find('\n', at);
    if (end == std::string_view::npos) end = body.size();
    const std::string_view line = body.substr(at, end - at);
    if (line.size() > 3 && line.substr(0, 3) == "   " && line[3] != ' ' && line[3] != '/') ++count;
    at = end + 1;
  }
  return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static fuzz::MemoryFile source, xml, light;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  source.write(input);

  const std::string xml_form = converted(source, xml, false);
  const std::string light_form = converted(source, light, true);

  std::string unbracketed(body(xml_form, xml_start, xml_end));
  unbracketed.erase(std::remove_if(unbracketed.begin(), unbracketed.end(),
                                   [](char c) { return c == '<' || c == '>'; }),
                    unbracketed.end());
  std::string light_body;
  kit::escape_xml(body(light_form, light_start, light_end), kit::XmlEscape::none,
                  kit::Unfit::replace, [&light_body](std::string_view piece) {
                    for (const char c : piece) {
                      light_body += c == '\t' ? "&#9;" : c == '\r' ? "&#13;" : std::string(1, c);
                    }
                  });
  fuzz::check(unbracketed == light_body,
              "the light form is the XML form without angle brackets", light_form);

  const std::string error = kit_test::xml_error(xml_form);
  fuzz::check(error.empty(), "the XML form is well-formed", error + "\n" + xml_form);
  fuzz::check(top_level_elements(light_body) == joined_lines(source),
              "every non-blank line gives one element", light_form);
  return 0;
}
