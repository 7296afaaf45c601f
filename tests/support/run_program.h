// SPDX-License-Identifier: MIT
// Runs a program through the shell in a scratch directory and collects what
// it wrote on its standard streams.
#pragma once

#include <string>

#include "support/temp_dir.h"

namespace kit_test {

struct Outcome {
  int status = -1;  // -1 when the program did not exit normally
  std::string out;
  std::string err;
};

// Runs `program args` (shell words) in `dir`, standard input /dev/null,
// standard output and error collected in ".stdout" and ".stderr" there.
// `before` is shell text ahead of the program (ending in "&&"), such as
// limits it inherits; `after` is redirections that replace those above.
Outcome run_program(const std::string& program, const TempDir& dir, const std::string& args,
                    const std::string& before = "", const std::string& after = "");

}  // namespace kit_test
