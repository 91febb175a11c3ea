// The digits of pi after the decimal point, computed with GMP integers.
//
// Method: the Chudnovsky series summed by binary splitting, sqrt(10005) as an
// integer square root, one division, then a divide-and-conquer conversion of
// the binary fraction to decimal (each step multiplies by a power of ten and
// splits the result into the leading digits and the remaining fraction), whose
// leaves write their digits straight to the sink at their offsets. The two
// halves of the splitting and of the conversion, and the largest
// multiplications, run on `threads` threads; the square root runs beside the
// lighter half of the series, the powers of ten beside the division.
//
// Every digit written is correct, the last ones included: all approximations
// are kept below the true value with a known error bound, and each cut of the
// conversion checks that its remainder is far enough from 1 (a run of nines
// there would make the cut undecidable; the conversion then runs again with
// more guard bits).
//
//   pidigits::StringSink sink(1000);
//   pidigits::ComputePiDigits(1000, 2, sink, progress);
//   sink.digits();  // "1415926535..."
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "progress.h"

namespace pidigits {

// Where the digits go. Write may be called from several threads at once for
// distinct, non-overlapping ranges.
class DigitSink {
 public:
  virtual ~DigitSink() = default;
  // Stores `digits` at `offset` (0 = the first digit after the decimal point).
  // Throws std::runtime_error on failure.
  virtual void Write(std::uint64_t offset, std::string_view digits) = 0;
};

// Collects the digits in memory.
class StringSink : public DigitSink {
 public:
  explicit StringSink(std::uint64_t count) : digits_(count, '?') {}
  void Write(std::uint64_t offset, std::string_view digits) override;
  const std::string& digits() const { return digits_; }

 private:
  std::string digits_;
};

// Writes the digits into an open file descriptor with pwrite.
class FileSink : public DigitSink {
 public:
  explicit FileSink(int fd) : fd_(fd) {}
  void Write(std::uint64_t offset, std::string_view digits) override;

 private:
  int fd_;
};

// The phases ComputePiDigits reports to a Progress, in order, with their
// share of the time. Callers may append their own phases after these.
enum ComputePhase : std::size_t { kSeries = 0, kSquareRoot, kDivision, kConversion };
std::vector<PhaseWeight> ComputePhases();

// Computes the first `count` digits after the decimal point (count >= 1) on
// `threads` threads (>= 1) and writes all of them to `sink`.
void ComputePiDigits(std::uint64_t count, unsigned threads, DigitSink& sink, Progress& progress);

// Convenience: the first `count` digits as a string.
std::string PiDigits(std::uint64_t count, unsigned threads = 1);

// Number of series terms used for `count` digits (for memory estimates).
std::uint64_t SeriesTerms(std::uint64_t count);

}  // namespace pidigits
