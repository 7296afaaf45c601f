// SPDX-License-Identifier: MIT
#include "runtime/detail/driver.h"

#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "about.h"
#include "runtime/array.h"
#include "runtime/command_line.h"
#include "runtime/dyn.h"
#include "runtime/xml_escape.h"

namespace kit {

namespace {

// One to three arguments after the program name, counted switches included.
constexpr int min_argument_count = 2;
constexpr int max_argument_count = 4;

// Bytes a source is read in at a time, rather than the default few pages.
constexpr std::size_t source_buffer_size = std::size_t{1} << 16;

const SwitchRule* rule_of(const ProgramRules& rules, const Text& argument) {
  for (const SwitchRule& rule : rules.switches) {
    if (argument == rule.name) return &rule;
  }
  return nullptr;
}

// The arguments in front of the source that do not count towards the limit.
int uncounted_switches(const ProgramRules& rules, int argc, const char* const* argv) {
  int uncounted = 0;
  for (int i = 1; i < argc && is_switch(argv[i]); ++i) {
    const SwitchRule* rule = rule_of(rules, argv[i]);
    if (rule != nullptr && !rule->counted) ++uncounted;
  }
  return uncounted;
}

// A line on standard error, after what standard output holds.
void error_line(const Text& line) {
  std::fflush(stdout);
  write_text(stderr, line);
}

Text kept_lines_note(long count, long first_line) {
  const Text number(std::to_string(first_line));
  if (count == 1) {
    return "1 line kept as a line element: neither section, option nor comment, at line " + number;
  }
  return Text(std::to_string(count)) +
         " lines kept as line elements: neither section, option nor comment, the first at line " + number;
}

}  // namespace

void print_usage_text(const ProgramRules& rules) {
  std::printf("\n%s - %s\n%s", rules.heading, project_address, rules.usage);
  std::exit(0);
}

namespace {

// The program's print_usage, which never returns.
[[noreturn]] void usage(const ProgramRules& rules) {
  rules.print_usage();
  std::exit(0);
}

}  // namespace

CommandLine read_command_line(const ProgramRules& rules, int argc, const char* const* argv) {
  switch (info_request(argc, argv)) {
    case InfoRequest::help: usage(rules);
    case InfoRequest::version: print_version(rules.name, project_version);
    case InfoRequest::none: break;
  }
  Array arguments(argv);
  int count = argc;
  const int counted = count - uncounted_switches(rules, argc, argv);
  if (counted < min_argument_count || counted > max_argument_count) usage(rules);

  Text extension = rules.extension;
  CommandLine line;
  line.source = arguments.at(1).to_text();
  while (is_switch(line.source)) {
    if (const SwitchRule* rule = rule_of(rules, line.source)) {
      if (rule->flag != nullptr) *rule->flag = true;
      if (rule->extension != nullptr) extension = rule->extension;
    }
    arguments.remove_at(0);
    --count;
    line.source = arguments.at(1).to_text();
  }
  line.from_stdin = is_standard_stream(line.source);
  if (count == 2 && line.from_stdin) {
    line.target = line.source;
  } else if (count == 2) {
    line.base = split_extension(line.source).base;
    line.target = line.base + extension;
  } else {
    line.target = arguments.at(2).to_text();
  }
  // "-" names no file: "- -" is a filter, and no file can be the other stream.
  line.to_stdout = is_standard_stream(line.target);
  if (!line.from_stdin && line.target.compare_nocase(line.source) == 0) usage(rules);
  return line;
}

bool overwrites_source(const CommandLine& line, const Text& file) {
  return !line.from_stdin && !is_standard_stream(file) && same_file(line.source, file);
}

std::FILE* open_source(const Text& source, File& owned) {
  std::FILE* in = stdin;
  if (!is_standard_stream(source)) {
    owned = open_file(source.c_str(), "r");
    in = owned.get();
  }
  // A directory opens for reading on POSIX hosts but has no lines to give;
  // a closed standard input has no status at all.
  struct stat info {};
  if (in == nullptr || ::fstat(::fileno(in), &info) != 0 || S_ISDIR(info.st_mode)) return nullptr;
  std::setvbuf(in, nullptr, _IOFBF, source_buffer_size);
  return in;
}

void Messages::say(const Text& line) const {
  if (to_stdout_) {
    error_line(line);
  } else {
    write_text(stdout, line);
  }
}

void Messages::tell(const Text& source, const Text& target, const RunNotes& notes) const {
  const auto note = [](const Text& file, const Text& text) { error_line(file + ": " + text + "\n"); };
  if (const char* read_as = encoding_note(notes.encoding)) note(source, read_as);
  if (notes.kept_lines > 0) note(source, kept_lines_note(notes.kept_lines, notes.first_kept_line));
  if (notes.names_escaped) note(target, "keys and section names written with _xHHHH_ escapes");
  if (notes.replaced_unfit) note(target, unfit_note);
}

int Messages::fail(Outcome outcome, const Text& file) const {
  error_line(Text(rules_.failure_words[static_cast<int>(outcome)]) + " " + file + "\n");
  return 1;
}

int Messages::fail_overwriting(const Text& file) const {
  error_line("Target " + file + " is the source file\n");
  return 1;
}

}  // namespace kit
