// SPDX-License-Identifier: MIT
// Captures what a piece of code writes to standard output or standard error,
// at the file-descriptor level, so C stdio and iostreams are both seen.
#pragma once

#include <functional>
#include <string>

namespace kit_test {

struct Captured {
  std::string out;
  std::string err;
};

// Runs `body` and returns everything it wrote to standard output and error.
Captured capture(const std::function<void()>& body);

}  // namespace kit_test
