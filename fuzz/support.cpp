// SPDX-License-Identifier: MIT
#include "support.h"

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace fuzz {

MemoryFile::MemoryFile() : fd_(::memfd_create("fuzz", 0)) {
  if (fd_ < 0) fail("a memory file can be made");
  path_ = "/proc/self/fd/" + std::to_string(fd_);
}

MemoryFile::~MemoryFile() { ::close(fd_); }

void MemoryFile::write(std::string_view bytes) {
  bool ok = ::ftruncate(fd_, 0) == 0;
  std::size_t done = 0;
  while (ok && done < bytes.size()) {
    const ssize_t n = ::pwrite(fd_, bytes.data() + done, bytes.size() - done,
                               static_cast<off_t>(done));
    ok = n > 0;
    if (ok) done += static_cast<std::size_t>(n);
  }
  // Writes through the descriptor, as a captured stream's, go on from the end.
  ok = ok && ::lseek(fd_, static_cast<off_t>(done), SEEK_SET) >= 0;
  if (!ok) fail("a memory file can be written");
}

std::string MemoryFile::read() const {
  struct stat info {};
  if (::fstat(fd_, &info) != 0) fail("a memory file can be read");
  std::string bytes(static_cast<std::size_t>(info.st_size), '\0');
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::pread(fd_, &bytes[done], bytes.size() - done, static_cast<off_t>(done));
    if (n <= 0) fail("a memory file can be read");
    done += static_cast<std::size_t>(n);
  }
  return bytes;
}

StderrCapture::StderrCapture(MemoryFile& into) : saved_(::dup(2)) {
  into.write("");
  std::fflush(stderr);
  if (saved_ < 0 || ::dup2(into.descriptor(), 2) < 0) fail("standard error can be captured");
}

StderrCapture::~StderrCapture() {
  std::fflush(stderr);
  ::dup2(saved_, 2);
  ::close(saved_);
}

void fail(const char* property, std::string_view detail) {
  std::fprintf(stderr, "\nProperty broken: %s\n", property);
  if (!detail.empty()) {
    std::fprintf(stderr, "%.*s\n", static_cast<int>(detail.size() > 4000 ? 4000 : detail.size()),
                 detail.data());
  }
  std::abort();
}

}  // namespace fuzz
