// pi-digits: computes the first N digits of pi after the decimal point into a
// file, or verifies such a file. See run.h for the options.
#include <malloc.h>
#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "run.h"

int main(int argc, char** argv) {
  // Large numbers come and go all through the run: a fixed mmap threshold
  // hands their memory back to the system when freed, instead of letting
  // glibc raise the threshold and keep freed blocks in the heap, which adds
  // about a sixth to the peak.
  mallopt(M_MMAP_THRESHOLD, 256 * 1024);
  mallopt(M_TRIM_THRESHOLD, 256 * 1024);
  std::vector<std::string> args(argv + 1, argv + argc);
  return pidigits::RunPiDigits(args, std::cout, std::cerr, ::isatty(STDERR_FILENO) != 0);
}
