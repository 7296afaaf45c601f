#include "dorsik/driver.h"

int main(int argc, char** argv) { return kit::dorsik::run_dorsik(argc, argv); }
