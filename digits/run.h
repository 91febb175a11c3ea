// The pi-digits command line, as a function the tests can call.
//
//   pi-digits [--digits N] [--out FILE] [--threads T]
//   pi-digits verify FILE [--digits K]
//
// Exit codes: 0 done (or the file verified), 1 the work failed (or the file
// did not verify), 2 bad arguments, reported before any work starts.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace pidigits {

// `args` excludes the program name. Messages and the progress bar go to
// `err` (redrawn in place when `terminal`), results to `out`.
int RunPiDigits(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                bool terminal);

// Parses a count written in decimal digits only ("1000000"; "1e9", "+5",
// "1_000", " 7" are refused). Returns 0 when the text is not such a number,
// is 0, or has more than 19 digits.
std::uint64_t ParseCount(const std::string& text);

// Estimated peak memory in bytes of computing `digits` digits.
std::uint64_t EstimatedPeakBytes(std::uint64_t digits);

}  // namespace pidigits
