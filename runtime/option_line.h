// SPDX-License-Identifier: MIT
/// @file
/// The option line both converters read: "key = value ; comment", cut into
/// its parts as views into the line. What each converter then does with the
/// parts (trimming, splitting values) is its own.
#pragma once

#include <optional>
#include <string_view>

namespace kit {

/// The parts of an option line, untrimmed; each points into the line.
struct OptionLine {
  std::string_view key;      ///< before the separator
  std::string_view value;    ///< after the separator, up to the comment
  std::string_view comment;  ///< after the ";" that starts the comment; empty without one
};

/// The trailing comment starts at the first ";" when it stands before the
/// first '"' or after the second (after the first, when there is no second):
/// a ";" between a pair of double quotes belongs to the value. On a line
/// without '"', a ";" in first place starts no comment. The rest then splits
/// at the first "=", or at the first ":" when there is none; nothing when it
/// holds neither. Its comment is the option's "comment" attribute in varnel
/// and the trailing comment in dorsik; varnel's reader cuts an inline
/// comment after the separator first (find_inline_comment, varnel/ini.h).
std::optional<OptionLine> split_option_line(std::string_view line);

}  // namespace kit
