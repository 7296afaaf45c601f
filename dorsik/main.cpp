// SPDX-License-Identifier: MIT
#include "dorsik/driver.h"
#include "runtime/command_line.h"

int main(int argc, char** argv) { return kit::run_program(kit::dorsik::run_dorsik, argc, argv); }
