#include "dorsik/driver.h"
#include "runtime/command_line.h"

int main(int argc, char** argv) {
  kit::guard_standard_output();
  return kit::dorsik::run_dorsik(argc, argv);
}
