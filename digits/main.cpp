// pi-digits: computes the first N digits of pi after the decimal point into a
// file, or verifies such a file. See run.h for the options.
#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "run.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  return pidigits::RunPiDigits(args, std::cout, std::cerr, ::isatty(STDERR_FILENO) != 0);
}
