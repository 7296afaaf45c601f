#include "varnel/driver.h"

int main(int argc, char** argv) { return kit::run_varnel(argc, argv); }
