// SPDX-License-Identifier: MIT
/// @file
/// What both programs' command lines share: "-" for the standard streams,
/// `--help` and `--version`, and standard output checked before the process ends.
#pragma once

#include "runtime/text.h"

namespace kit {

/// The file name that stands for standard input as a source and for standard
/// output as a target.
inline constexpr const char* standard_stream = "-";

/// Whether the name is exactly "-"; false for every other name, "" included.
bool is_standard_stream(const Text& name);

/// Whether an argument in front of the source is a switch: it begins with "-"
/// and is not "-" alone; false for "" and for file names.
bool is_switch(const Text& argument);

/// What the first argument that is exactly "--help" or "--version" asks for.
enum class InfoRequest { none, help, version };
/// Looks at every argument after the program name; none when no argument asks.
InfoRequest info_request(int argc, const char* const* argv);

/// Writes "<program> <version>\n" to standard output and ends the process
/// with 0 (1 when standard output fails, under guard_standard_output).
[[noreturn]] void print_version(const char* program, const char* version);

/// What a program says on standard error when standard output cannot take
/// its bytes (a closed pipe, a full device).
inline constexpr const char* cannot_write_standard_output = "Cannot write standard output";

/// Ignores SIGPIPE, so that a closed pipe is a write error the program
/// reports rather than a silent end, and checks standard output as the
/// process ends: when a write to it failed, says so once and the exit status
/// becomes 1. Called once, first thing in main; no failure of its own.
void guard_standard_output();

/// Runs a program's driver after guard_standard_output and returns its exit
/// status; running out of memory ends the run with "Not enough memory" on
/// standard error and status 1, rather than an abort.
int run_program(int (*driver)(int argc, const char* const* argv), int argc,
                const char* const* argv);

/// Flushes standard output; false when a write to it has failed, after
/// saying so on standard error (once in the process's life).
bool flush_standard_output();

}  // namespace kit
