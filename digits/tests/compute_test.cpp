// The computed digits against MPFR's, digit for digit.
#include <gtest/gtest.h>

#include <string>

#include "pi_compute.h"
#include "reference.h"

namespace pidigits {
namespace {

// First position (1-based) where the strings differ, 0 if none.
std::size_t FirstDifference(const std::string& a, const std::string& b) {
  for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i)
    if (a[i] != b[i]) return i + 1;
  return a.size() == b.size() ? 0 : std::min(a.size(), b.size()) + 1;
}

TEST(ComputePiDigits, StartsWithKnownDigits) {
  EXPECT_EQ(PiDigits(1), "1");
  EXPECT_EQ(PiDigits(50), "14159265358979323846264338327950288419716939937510");
}

// Counts chosen for the shape of the conversion: a single leaf, just past one
// leaf (40000 digits), an uneven tree, and cuts at and inside the six nines at
// digits 762 to 767, where the remainder after the cut is nearly 1.
TEST(ComputePiDigits, EqualsMpfrForAwkwardCounts) {
  const std::string reference = MpfrPiDigits(130007);
  ASSERT_EQ(reference.size(), 130007u);
  for (std::uint64_t count : {761, 762, 763, 766, 767, 768, 39999, 40000, 40001, 80001, 130007}) {
    for (unsigned threads : {1u, 2u}) {
      const std::string digits = PiDigits(count, threads);
      EXPECT_EQ(FirstDifference(digits, reference.substr(0, count)), 0u)
          << count << " digits on " << threads << " threads";
    }
  }
}

TEST(ComputePiDigits, MillionDigitsEqualMpfr) {
  const std::string reference = MpfrPiDigits(1000000);
  const std::string digits = PiDigits(1000000, 2);
  ASSERT_EQ(digits.size(), 1000000u);
  EXPECT_EQ(FirstDifference(digits, reference), 0u);
}

TEST(ComputePiDigits, ReportsEveryPhaseToTheEnd) {
  std::ostringstream out;
  Progress progress(out, false, ComputePhases());
  StringSink sink(5000);
  ComputePiDigits(5000, 2, sink, progress);
  EXPECT_DOUBLE_EQ(progress.Percent(), 100.0);
  for (const auto& phase : ComputePhases())
    EXPECT_NE(out.str().find(phase.name), std::string::npos) << phase.name;
}

TEST(ComputePiDigits, RefusesZeroDigits) {
  StringSink sink(0);
  Progress progress = Progress::Silent();
  EXPECT_THROW(ComputePiDigits(0, 1, sink, progress), std::invalid_argument);
}

}  // namespace
}  // namespace pidigits
