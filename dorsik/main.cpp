#include "dorsik/driver.h"

int main(int argc, char** argv) { return kit::run_dorsik(argc, argv); }
