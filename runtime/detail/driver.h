// SPDX-License-Identifier: MIT
// The skeleton both programs' drivers share: the command line read through a
// table of switches, the target name and the check that it is not the
// source, the source opened, and every message of a run. Not installed: it
// serves the two programs alone.
#pragma once

#include <cstdio>
#include <initializer_list>

#include "runtime/files.h"
#include "runtime/text.h"

namespace kit {

// A switch a program knows, as it stands in front of the source.
struct SwitchRule {
  const char* name;       // "-light"; matched exactly
  bool* flag;             // set to true by the switch; may be null
  const char* extension;  // the target extension it selects; may be null
  bool counted;           // whether it counts towards the one to three arguments
};

// How one step of a run ended; each failure concerns one file.
enum class Outcome : unsigned char { converted, cannot_open, cannot_read, cannot_write };

// What sets one program's command line and messages apart.
struct ProgramRules {
  const char* name;       // as --version prints it
  const char* heading;    // the usage text's first line, before " - " and the address
  const char* usage;      // the rest of the usage text, verbatim
  const char* extension;  // the target's extension when no switch selects one
  std::initializer_list<SwitchRule> switches;
  // What each failure says in front of its file, by Outcome (the first unused).
  const char* failure_words[4];
  // The program's own print_usage, which calls print_usage_text; it ends
  // the process.
  void (*print_usage)();
};

// Prints the usage text of `rules` on standard output and ends the process
// with 0. Each program's print_usage calls it.
[[noreturn]] void print_usage_text(const ProgramRules& rules);

// The command line once read.
struct CommandLine {
  Text source;
  Text target;
  Text base;               // the source's base name when the target was derived from it; else ""
  bool from_stdin = false;  // the source is "-"
  bool to_stdout = false;   // the target is "-"
};

// Answers --help or --version; reads the switches in front of the source
// through the table (an unknown one is dropped), derives the target from the
// source's base name or takes the name after it. Calls the program's
// print_usage, which does not return, for a wrong number of counted
// arguments, for switches alone, and for a target equal to the source
// (case ignored), and for --help.
CommandLine read_command_line(const ProgramRules& rules, int argc, const char* const* argv);

// Whether writing `file` would overwrite the source under another name;
// false when either is a standard stream.
bool overwrites_source(const CommandLine& line, const Text& file);

// The source opened for reading, in blocks of 64 KB: standard input for
// "-". Null when it cannot be opened or is no file to read lines from (a
// directory, a closed standard input).
std::FILE* open_source(const Text& source, File& owned);

// What a run tells at its end, each when it applies.
struct RunNotes {
  SourceEncoding encoding = SourceEncoding::utf8;
  long kept_lines = 0;       // lines kept as "line" elements
  long first_kept_line = 0;  // the first of them, from 1
  bool names_escaped = false;
  bool replaced_unfit = false;
};

// Every message of a run. Progress lines go to standard output, or to
// standard error when the document goes to standard output; notes and
// failures to standard error, after standard output is flushed, so that the
// lines of both streams keep their order.
class Messages {
public:
  Messages(const ProgramRules& rules, bool to_stdout) : rules_(rules), to_stdout_(to_stdout) {}
  // A progress line, written as it stands.
  void say(const Text& line) const;
  // The notes, in their order: how the source was read, the kept lines,
  // the escaped names and the characters XML cannot hold.
  void tell(const Text& source, const Text& target, const RunNotes& notes) const;
  // "<words> <file>" for the failure; returns the exit status 1.
  int fail(Outcome outcome, const Text& file) const;
  // "Target <file> is the source file"; returns the exit status 1.
  int fail_overwriting(const Text& file) const;

private:
  const ProgramRules& rules_;
  bool to_stdout_;
};

}  // namespace kit
