#include "varnel/driver.h"

int main(int argc, char** argv) { return kit::varnel::run_varnel(argc, argv); }
