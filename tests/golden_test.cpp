// SPDX-License-Identifier: MIT
// End-to-end runs of the programs against golden files.
//
// Each case is a folder golden/<program>/<case>/ holding:
//   args      the command line after the program name (shell words)
//   in/       files copied into an empty working directory first (optional)
//   setup     a shell script run there before the program (optional)
//   stdin     the program's standard input (optional; else /dev/null)
//   out/      every file the run must create or change, byte for byte
//   stdout    the expected standard output
//   stderr    the expected standard error (absent: must be empty)
//   status    the expected exit status
// Files the run was not expected to touch must be left as they were. Every
// written file that starts as an XML document must be well-formed, with
// namespaces too, and so must every ".xml" file of element content once
// wrapped in a root element, unless the case holds a file named
// not-well-formed.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "support/xml_check.h"

namespace fs = std::filesystem;
using kit_test::read_file;

namespace {

std::string program_path(const std::string& program) {
  static const std::map<std::string, std::string> programs = {
      {"dorsik", DORSIK_PATH},
#ifdef VARNEL_PATH
      {"varnel", VARNEL_PATH},
#endif
  };
  auto found = programs.find(program);
  return found == programs.end() ? std::string() : found->second;
}

std::vector<std::string> golden_cases() {
  std::vector<std::string> cases;
  for (const auto& program : fs::directory_iterator(GOLDEN_DIR)) {
    if (!program.is_directory() || program_path(program.path().filename()).empty()) continue;
    for (const auto& c : fs::directory_iterator(program.path())) {
      if (c.is_directory()) cases.push_back(fs::relative(c.path(), GOLDEN_DIR).string());
    }
  }
  std::sort(cases.begin(), cases.end());
  return cases;
}

// Every regular file below `root`, by relative name, with its bytes.
std::map<std::string, std::string> snapshot(const fs::path& root) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (entry.is_regular_file() && !entry.is_symlink()) {
      files[fs::relative(entry.path(), root).string()] = read_file(entry.path());
    }
  }
  return files;
}

std::string trim_line(std::string s) {
  while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ')) s.pop_back();
  return s;
}

bool starts_as_xml(const std::string& bytes) { return bytes.rfind("<?xml", 0) == 0; }

bool ends_in(const std::string& name, const std::string& suffix) {
  return name.size() >= suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
}

class Golden : public ::testing::TestWithParam<std::string> {};

TEST_P(Golden, MatchesExpectedFiles) {
  const fs::path dir = fs::path(GOLDEN_DIR) / GetParam();
  const std::string program = program_path(dir.parent_path().filename());
  kit_test::TempDir work;
  const fs::path run = fs::path(work.path()) / "run";
  fs::create_directory(run);
  if (fs::exists(dir / "in")) fs::copy(dir / "in", run, fs::copy_options::recursive);
  if (fs::exists(dir / "setup")) {
    const std::string setup = "cd '" + run.string() + "' && sh '" + (dir / "setup").string() + "'";
    ASSERT_EQ(std::system(setup.c_str()), 0) << "setup failed";
  }
  const auto before = snapshot(run);

  const std::string input = fs::exists(dir / "stdin") ? (dir / "stdin").string() : "/dev/null";
  const std::string command = "cd '" + run.string() + "' && '" + program + "' " +
                              trim_line(read_file(dir / "args")) + " > '" + work.file("stdout") +
                              "' 2> '" + work.file("stderr") + "' < '" + input + "'";
  const int raw = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(raw)) << "the program did not exit normally";
  EXPECT_EQ(std::to_string(WEXITSTATUS(raw)), trim_line(read_file(dir / "status")));
  EXPECT_EQ(read_file(work.file("stdout")), read_file(dir / "stdout"));
  const std::string expected_err =
      fs::exists(dir / "stderr") ? read_file(dir / "stderr") : std::string();
  EXPECT_EQ(read_file(work.file("stderr")), expected_err);

  const auto written = fs::exists(dir / "out") ? snapshot(dir / "out")
                                                : std::map<std::string, std::string>();
  auto expected = before;
  for (const auto& [name, bytes] : written) expected[name] = bytes;
  const auto after = snapshot(run);
  for (const auto& [name, bytes] : expected) {
    auto found = after.find(name);
    ASSERT_NE(found, after.end()) << name << " was not written";
    EXPECT_EQ(found->second, bytes) << name << " differs";
  }
  for (const auto& [name, bytes] : after) {
    EXPECT_TRUE(expected.count(name)) << name << " was written unexpectedly";
  }
  if (!fs::exists(dir / "not-well-formed")) {
    for (const auto& [name, bytes] : written) {
      if (starts_as_xml(bytes)) {
        EXPECT_EQ(kit_test::xml_namespace_error(bytes), "") << name;
      } else if (ends_in(name, ".xml") && bytes.rfind('<', 0) == 0) {
        EXPECT_EQ(kit_test::xml_namespace_error("<document>" + bytes + "</document>"), "") << name;
      }
    }
  }
}

std::string case_name(const ::testing::TestParamInfo<std::string>& info) {
  std::string name = info.param;
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name;
}

INSTANTIATE_TEST_SUITE_P(Programs, Golden, ::testing::ValuesIn(golden_cases()), case_name);

// Every case folder is run: none is skipped for a missing program or file.
TEST(GoldenCases, AllAreFound) { EXPECT_EQ(golden_cases().size(), std::size_t{GOLDEN_CASE_COUNT}); }

}  // namespace
