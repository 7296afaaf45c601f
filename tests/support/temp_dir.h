// SPDX-License-Identifier: MIT
// A scratch directory made for one test and removed with everything in it.
#pragma once

#include <set>
#include <string>

namespace kit_test {

class TempDir {
public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  // The path of a name inside the directory.
  std::string file(const std::string& name) const { return path_ + "/" + name; }
  // Writes the bytes to a file inside the directory and returns its path.
  std::string write(const std::string& name, const std::string& bytes) const;
  // The names in a directory below it ("" for itself); empty when it cannot be read.
  std::set<std::string> names(const std::string& below = "") const;

private:
  std::string path_;
};

// The whole content of a file; "" when it cannot be read.
std::string read_file(const std::string& path);

}  // namespace kit_test
