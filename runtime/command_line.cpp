// SPDX-License-Identifier: MIT
#include "runtime/command_line.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace kit {

namespace {

// The status of a run whose standard output failed.
constexpr int failure_status = 1;

bool stdout_failure_told = false;

void tell_stdout_failure() {
  if (stdout_failure_told) return;
  std::fprintf(stderr, "%s\n", cannot_write_standard_output);
  stdout_failure_told = true;
}

// Closing is where the last buffered bytes go out, so it is checked too.
void close_standard_output() {
  bool written = flush_standard_output();
  if (std::fclose(stdout) != 0 && written) {
    tell_stdout_failure();
    written = false;
  }
  if (!written) std::_Exit(failure_status);
}

}  // namespace

bool is_standard_stream(const Text& name) { return name.view() == standard_stream; }

bool is_switch(const Text& argument) {
  return argument.first_char() == '-' && !is_standard_stream(argument);
}

InfoRequest info_request(int argc, const char* const* argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0) return InfoRequest::help;
    if (std::strcmp(argv[i], "--version") == 0) return InfoRequest::version;
  }
  return InfoRequest::none;
}

void print_version(const char* program, const char* version) {
  std::printf("%s %s\n", program, version);
  std::exit(0);
}

void guard_standard_output() {
  std::signal(SIGPIPE, SIG_IGN);
  std::atexit(close_standard_output);
}

int run_program(int (*driver)(int argc, const char* const* argv), int argc,
                const char* const* argv) {
  guard_standard_output();
  try {
    return driver(argc, argv);
  } catch (const std::bad_alloc&) {
    std::fputs("Not enough memory\n", stderr);
    return 1;
  }
}

bool flush_standard_output() {
  if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return true;
  tell_stdout_failure();
  return false;
}

}  // namespace kit
