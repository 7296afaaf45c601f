// SPDX-License-Identifier: MIT
// The dorsik command line: switches, target name, progress lines.
//
// All of the program is in kit::dorsik, so its names never meet the other
// program's when both are linked into one binary; nothing else in kit may
// be named "dorsik".
#pragma once

namespace kit::dorsik {

// Writes the usage text to standard output and ends the process with 0.
[[noreturn]] void print_usage();

// Answers --help or --version, or runs one conversion from the process
// arguments ("-" for a standard stream); returns the exit status, 1 on a failure.
int run_dorsik(int argc, const char* const* argv);

}  // namespace kit::dorsik
