#include "varnel/driver.h"
#include "runtime/command_line.h"

int main(int argc, char** argv) {
  kit::guard_standard_output();
  return kit::varnel::run_varnel(argc, argv);
}
