// SPDX-License-Identifier: MIT
#include "support/run_program.h"

#include <sys/wait.h>

#include <cstdlib>

namespace kit_test {

Outcome run_program(const std::string& program, const TempDir& dir, const std::string& args,
                    const std::string& before, const std::string& after) {
  const std::string command = "cd '" + dir.path() + "' && " + before + " '" + program + "' " +
                              args + " > '" + dir.file(".stdout") + "' 2> '" +
                              dir.file(".stderr") + "' < /dev/null " + after;
  const int raw = std::system(command.c_str());
  Outcome result;
  if (WIFEXITED(raw)) result.status = WEXITSTATUS(raw);
  result.out = read_file(dir.file(".stdout"));
  result.err = read_file(dir.file(".stderr"));
  return result;
}

}  // namespace kit_test
