// SPDX-License-Identifier: MIT
// What the fuzz targets share: files in memory and the way a broken
// property stops the run.
#pragma once

#include <string>
#include <string_view>

namespace fuzz {

// A file held in memory, named by a path every fopen accepts, so the
// converters' file operations run unchanged and nothing touches the disk.
class MemoryFile {
public:
  MemoryFile();  // aborts when the host cannot make one
  ~MemoryFile();
  MemoryFile(const MemoryFile&) = delete;
  MemoryFile& operator=(const MemoryFile&) = delete;

  const std::string& path() const { return path_; }
  void write(std::string_view bytes);  // the whole content, replaced; offset at its end
  std::string read() const;            // the whole content
  int descriptor() const { return fd_; }

private:
  int fd_;
  std::string path_;
};

// Standard error, file descriptor 2, goes into a memory file while this
// lives; what was written there is then at hand.
class StderrCapture {
public:
  explicit StderrCapture(MemoryFile& into);
  ~StderrCapture();
  StderrCapture(const StderrCapture&) = delete;
  StderrCapture& operator=(const StderrCapture&) = delete;

private:
  int saved_;
};

// Writes the broken property and the bytes concerned to standard error and
// aborts, so that libFuzzer keeps the input.
[[noreturn]] void fail(const char* property, std::string_view detail = {});

inline void check(bool holds, const char* property, std::string_view detail = {}) {
  if (!holds) fail(property, detail);
}

}  // namespace fuzz
