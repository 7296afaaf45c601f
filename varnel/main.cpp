// SPDX-License-Identifier: MIT
#include "varnel/driver.h"
#include "runtime/command_line.h"

int main(int argc, char** argv) { return kit::run_program(kit::varnel::run_varnel, argc, argv); }
