// SPDX-License-Identifier: MIT
// split_option_line read a byte at a time, as machines without wider
// comparisons do; only its tests call it, which hold the two to one result.
// Not installed: no installed header includes it.
#pragma once

#include <optional>
#include <string_view>

#include "runtime/option_line.h"

namespace kit {

std::optional<OptionLine> split_option_line_by_bytes(std::string_view line);

}  // namespace kit
