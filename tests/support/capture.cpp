// SPDX-License-Identifier: MIT
#include "support/capture.h"

#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <stdexcept>

namespace kit_test {

namespace {

// Redirects one descriptor into a temporary file for the guard's lifetime.
class Redirect {
public:
  explicit Redirect(int fd) : fd_(fd), file_(std::tmpfile()) {
    if (file_ == nullptr) throw std::runtime_error("tmpfile failed");
    saved_ = ::dup(fd_);
    ::dup2(::fileno(file_), fd_);
  }
  ~Redirect() {
    if (saved_ >= 0) restore();
    std::fclose(file_);
  }
  std::string finish() {
    restore();
    std::string bytes;
    std::rewind(file_);
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file_)) > 0) bytes.append(buffer, n);
    return bytes;
  }

private:
  void restore() {
    ::dup2(saved_, fd_);
    ::close(saved_);
    saved_ = -1;
  }
  int fd_;
  std::FILE* file_;
  int saved_ = -1;
};

void flush_all() {
  std::cout.flush();
  std::cerr.flush();
  std::fflush(stdout);
  std::fflush(stderr);
}

}  // namespace

Captured capture(const std::function<void()>& body) {
  flush_all();
  Redirect out(STDOUT_FILENO);
  Redirect err(STDERR_FILENO);
  body();
  flush_all();
  Captured result;
  result.err = err.finish();
  result.out = out.finish();
  return result;
}

}  // namespace kit_test
