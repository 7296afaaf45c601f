// SPDX-License-Identifier: MIT
#include "support/temp_dir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace kit_test {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "kit-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  // Tests may drop permissions on what they made; give them back first.
  for (auto& entry : std::filesystem::recursive_directory_iterator(path_, ignored)) {
    std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
  }
  std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::write(const std::string& name, const std::string& bytes) const {
  const std::string p = file(name);
  std::ofstream out(p, std::ios::binary);
  out << bytes;
  return p;
}

std::set<std::string> TempDir::names(const std::string& below) const {
  std::set<std::string> found;
  std::error_code ignored;
  for (const auto& entry : std::filesystem::directory_iterator(file(below), ignored)) {
    found.insert(entry.path().filename().string());
  }
  return found;
}

std::string read_file(const std::string& path) {
  // Sized once and read in one go: some tests read targets of 50 MB.
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return std::string();
  const std::streamoff size = in.tellg();
  if (size <= 0) {  // empty, or a stream that cannot tell its size
    in.seekg(0);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
  }
  std::string bytes(static_cast<std::size_t>(size), '\0');
  in.seekg(0);
  in.read(bytes.data(), size);
  bytes.resize(static_cast<std::size_t>(in.gcount()));
  return bytes;
}

}  // namespace kit_test
