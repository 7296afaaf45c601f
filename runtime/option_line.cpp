#include "runtime/option_line.h"

namespace kit {

std::optional<OptionLine> split_option_line(std::string_view line) {
  constexpr std::size_t none = std::string_view::npos;
  OptionLine parts;
  // A ";" inside the first pair of double quotes belongs to the value.
  const std::size_t semicolon = line.find(';');
  const std::size_t q1 = line.find('"');
  std::size_t q2 = 0;
  if (q1 != none) {
    q2 = line.find('"', q1 + 1);
    if (q2 == none) q2 = q1;
  }
  if (semicolon != none && ((q1 != none && semicolon < q1) || semicolon > q2)) {
    parts.comment = line.substr(semicolon + 1);
    line = line.substr(0, semicolon);
  }
  // An "=" wins over a ":" wherever the two stand.
  std::size_t separator = line.find('=');
  if (separator == none) separator = line.find(':');
  if (separator == none) return std::nullopt;
  parts.key = line.substr(0, separator);
  parts.value = line.substr(separator + 1);
  return parts;
}

}  // namespace kit
