// The varnel command line: switches, target name, checks, progress lines.
#pragma once

namespace kit {

// Writes the usage text to standard output and ends the process with 0.
[[noreturn]] void print_usage();

// Runs one conversion from the process arguments; returns the exit status.
int run_varnel(int argc, const char* const* argv);

}  // namespace kit
