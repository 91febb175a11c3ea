#include "pi_compute.h"

#include <gmpxx.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <future>
#include <stdexcept>
#include <system_error>
#include <vector>

namespace pidigits {

void StringSink::Write(std::uint64_t offset, std::string_view digits) {
  if (offset > digits_.size() || digits.size() > digits_.size() - offset)
    throw std::runtime_error("digit range outside the requested count");
  std::memcpy(digits_.data() + offset, digits.data(), digits.size());
}

void FileSink::Write(std::uint64_t offset, std::string_view digits) {
  const char* p = digits.data();
  std::size_t left = digits.size();
  while (left > 0) {
    ssize_t n = ::pwrite(fd_, p, left, static_cast<off_t>(offset));
    if (n < 0) {
      if (errno == EINTR) continue;
      throw std::system_error(errno, std::generic_category(), "writing the digits file");
    }
    p += n;
    left -= static_cast<std::size_t>(n);
    offset += static_cast<std::uint64_t>(n);
  }
}

std::vector<PhaseWeight> ComputePhases() {
  // Shares of the time measured at 10^7 and 10^8 digits (with two threads
  // the square root runs inside the series phase).
  return {{"series", 0.70}, {"square root", 0.05}, {"division", 0.09},
          {"decimal conversion", 0.16}};
}

namespace {

constexpr unsigned long kA = 13591409;
constexpr unsigned long kB = 545140134;
constexpr unsigned long kC3Over24 = 10939058860032000UL;  // 640320^3 / 24
constexpr double kDigitsPerTerm = 14.181647462725477;     // log10(640320^3 / 1728)
constexpr double kLog2Of10 = 3.321928094887362;

// Operands smaller than this many limbs are multiplied on one thread.
constexpr std::size_t kParallelMulLimbs = 20000;

std::size_t Limbs(const mpz_class& x) { return mpz_size(x.get_mpz_t()); }

// r = x * y, with the larger operand cut into `threads` pieces multiplied at
// once. r may alias neither x nor y.
void ParallelMul(mpz_class& r, const mpz_class& x, const mpz_class& y, unsigned threads) {
  const mpz_class& big = Limbs(x) >= Limbs(y) ? x : y;
  const mpz_class& small = Limbs(x) >= Limbs(y) ? y : x;
  if (threads < 2 || Limbs(small) < kParallelMulLimbs) {
    mpz_mul(r.get_mpz_t(), x.get_mpz_t(), y.get_mpz_t());
    return;
  }
  const std::size_t piece_limbs = (Limbs(big) + threads - 1) / threads;
  const mp_bitcnt_t piece_bits = piece_limbs * GMP_NUMB_BITS;
  std::vector<mpz_class> parts(threads);
  std::vector<std::future<void>> jobs;
  for (unsigned i = 0; i < threads; ++i) {
    jobs.push_back(std::async(std::launch::async, [&, i] {
      mpz_class piece;
      mpz_tdiv_q_2exp(piece.get_mpz_t(), big.get_mpz_t(), piece_bits * i);
      mpz_tdiv_r_2exp(piece.get_mpz_t(), piece.get_mpz_t(), piece_bits);
      mpz_mul(parts[i].get_mpz_t(), piece.get_mpz_t(), small.get_mpz_t());
    }));
  }
  for (auto& j : jobs) j.get();
  r = 0;
  for (unsigned i = threads; i-- > 0;) {
    mpz_mul_2exp(r.get_mpz_t(), r.get_mpz_t(), piece_bits);
    mpz_add(r.get_mpz_t(), r.get_mpz_t(), parts[i].get_mpz_t());
    parts[i] = 0;
  }
}

// Runs a and b, on two threads when `parallel`.
template <class A, class B>
void Both(bool parallel, A&& a, B&& b) {
  if (!parallel) {
    a();
    b();
    return;
  }
  auto left = std::async(std::launch::async, std::forward<A>(a));
  b();
  left.get();
}

// ---------------------------------------------------------------- series

struct Split {
  mpz_class P, Q, T;
};

// Progress of the series: the cost of a merge grows like size * log(size)^2
// (FFT multiplication, and slower memory for the largest numbers);
// the subtrees of at least kTrackTerms terms report their share when done.
class SeriesMeter {
 public:
  static constexpr std::uint64_t kTrackTerms = 512;

  SeriesMeter(std::uint64_t terms, Progress& progress) : progress_(progress) {
    // The top merge is not done as a merge (see ComputePiDigits).
    total_ = Cost(0, terms) - MergeCost(0, terms);
  }
  void Finished(std::uint64_t a, std::uint64_t b, bool subtree) {
    const double c = subtree ? Cost(a, b) : MergeCost(a, b);
    if (total_ > 0) progress_.Advance(kSeries, c / total_);
  }

  static double MergeCost(std::uint64_t a, std::uint64_t b) {
    const double n = static_cast<double>(b - a);
    const double bits = n * (53.3 + 9.97 * std::log2(static_cast<double>(b) + 2));
    const double lg = std::log2(bits + 2);
    return bits * lg * lg;
  }
  // Whole subtree [a, b): merges down to kTrackTerms, then an estimate.
  static double Cost(std::uint64_t a, std::uint64_t b) {
    if (b - a <= kTrackTerms)
      return MergeCost(a, b) * std::log2(static_cast<double>(b - a) + 1);
    const std::uint64_t m = a + (b - a) / 2;
    return Cost(a, m) + Cost(m, b) + MergeCost(a, b);
  }

 private:
  Progress& progress_;
  double total_ = 0;
};

void Term(std::uint64_t a, Split& s) {
  if (a == 0) {
    s.P = 1;
    s.Q = 1;
    s.T = kA;
    return;
  }
  // P = -(6a-5)(2a-1)(6a-1), Q = a^3 * 640320^3/24, T = P * (A + B a).
  const unsigned long u = static_cast<unsigned long>(a);
  s.P = (6 * u - 5) * (2 * u - 1);
  mpz_mul_ui(s.P.get_mpz_t(), s.P.get_mpz_t(), 6 * u - 1);
  mpz_neg(s.P.get_mpz_t(), s.P.get_mpz_t());
  s.Q = u * u;
  mpz_mul_ui(s.Q.get_mpz_t(), s.Q.get_mpz_t(), u);
  mpz_mul_ui(s.Q.get_mpz_t(), s.Q.get_mpz_t(), kC3Over24);
  mpz_mul_ui(s.T.get_mpz_t(), s.P.get_mpz_t(), kA + kB * u);
}

// Sums terms [a, b). need_p: whether the caller needs P (the rightmost path
// of the tree never does).
void Series(std::uint64_t a, std::uint64_t b, bool need_p, unsigned threads, SeriesMeter& meter,
            Split& out) {
  if (b - a == 1) {
    Term(a, out);
    return;
  }
  const std::uint64_t m = a + (b - a) / 2;
  Split right;
  const unsigned left_threads = threads / 2;
  Both(threads > 1,
       [&] { Series(a, m, true, std::max(1u, left_threads), meter, out); },
       [&] { Series(m, b, need_p, std::max(1u, threads - left_threads), meter, right); });

  // T = T(a,m) Q(m,b) + P(a,m) T(m,b); Q = Q(a,m) Q(m,b); P = P(a,m) P(m,b).
  mpz_class tmp;
  if (threads > 1) {
    ParallelMul(tmp, out.T, right.Q, threads);
    out.T = 0;
    ParallelMul(out.T, out.P, right.T, threads);
    right.T = 0;
    mpz_add(out.T.get_mpz_t(), out.T.get_mpz_t(), tmp.get_mpz_t());
    tmp = 0;
    ParallelMul(tmp, out.Q, right.Q, threads);
    out.Q.swap(tmp);
    tmp = 0;
    right.Q = 0;
    if (need_p) {
      ParallelMul(tmp, out.P, right.P, threads);
      out.P.swap(tmp);
    } else {
      out.P = 0;
    }
  } else {
    mpz_mul(out.T.get_mpz_t(), out.T.get_mpz_t(), right.Q.get_mpz_t());
    mpz_mul(right.T.get_mpz_t(), out.P.get_mpz_t(), right.T.get_mpz_t());
    mpz_add(out.T.get_mpz_t(), out.T.get_mpz_t(), right.T.get_mpz_t());
    right.T = 0;
    mpz_mul(out.Q.get_mpz_t(), out.Q.get_mpz_t(), right.Q.get_mpz_t());
    right.Q = 0;
    if (need_p)
      mpz_mul(out.P.get_mpz_t(), out.P.get_mpz_t(), right.P.get_mpz_t());
    else
      out.P = 0;
  }
  const std::uint64_t n = b - a;
  if (n > SeriesMeter::kTrackTerms)
    meter.Finished(a, b, false);
  else if (n * 2 > SeriesMeter::kTrackTerms)
    meter.Finished(a, b, true);
}

// ------------------------------------------------------ decimal conversion

// A cut was too close to a digit boundary for the guard bits to decide it.
struct Undecided {};

class Converter {
 public:
  Converter(std::uint64_t count, unsigned threads, DigitSink& sink, Progress& progress)
      : count_(count), threads_(threads), sink_(sink), progress_(progress) {
    // Leaves of about kLeafDigits digits; left children hold leaf * 2^j
    // digits, so only those powers of ten are needed.
    constexpr std::uint64_t kLeafDigits = 40000;
    levels_ = 0;
    while ((count_ >> levels_) > kLeafDigits) ++levels_;
    leaf_ = (count_ + (std::uint64_t{1} << levels_) - 1) >> levels_;
  }

  // Extra bits kept beyond what the digits need, at every cut.
  void set_guard_bits(unsigned guard) { guard_ = guard; }

  // Bits of fraction that `digits` digits need.
  mp_bitcnt_t BitsFor(std::uint64_t digits) const {
    return static_cast<mp_bitcnt_t>(std::ceil(static_cast<double>(digits) * kLog2Of10)) + guard_;
  }

  // Powers 10^(leaf * 2^j) for j < levels_.
  void MakePowers() {
    powers_.resize(levels_);
    if (levels_ == 0) return;
    mpz_ui_pow_ui(powers_[0].get_mpz_t(), 10, leaf_);
    for (unsigned j = 1; j < levels_; ++j)
      mpz_mul(powers_[j].get_mpz_t(), powers_[j - 1].get_mpz_t(), powers_[j - 1].get_mpz_t());
  }

  // f = F / 2^p (0 <= f < 1) is at most 2^-guard * 10^-n below the true value
  // of the fraction whose next n digits go at `offset`.
  void Run(mpz_class F, mp_bitcnt_t p) { Convert(std::move(F), p, 0, count_, threads_); }

 private:
  // The remainder R / 2^p must stay below 1 - 2^-(guard - margin): the
  // accumulated error of the truncations above is smaller than that.
  void CheckCut(const mpz_class& R, mp_bitcnt_t p) const {
    const unsigned check = guard_ - 8;
    if (p < check) return;
    mpz_class top;
    mpz_tdiv_q_2exp(top.get_mpz_t(), R.get_mpz_t(), p - check);
    mpz_class all_ones = 1;
    mpz_mul_2exp(all_ones.get_mpz_t(), all_ones.get_mpz_t(), check);
    all_ones -= 1;
    if (top == all_ones) throw Undecided{};
  }

  void Convert(mpz_class F, mp_bitcnt_t p, std::uint64_t offset, std::uint64_t n,
               unsigned threads) {
    if (n <= leaf_) {
      Leaf(std::move(F), p, offset, n);
      return;
    }
    // The left part: the largest leaf * 2^j below n.
    unsigned j = 0;
    while ((leaf_ << (j + 1)) < n) ++j;
    const std::uint64_t k = leaf_ << j;

    // Left: the first k digits of f, from f cut to the bits k digits need.
    mpz_class left;
    const mp_bitcnt_t pk = BitsFor(k);
    mpz_tdiv_q_2exp(left.get_mpz_t(), F.get_mpz_t(), p - std::min(p, pk));
    const mp_bitcnt_t left_p = std::min(p, pk);

    // Right: frac(f * 10^k), cut to the bits n - k digits need.
    mpz_class y;
    ParallelMul(y, F, powers_[j], threads);
    F = 0;
    mpz_tdiv_r_2exp(y.get_mpz_t(), y.get_mpz_t(), p);
    CheckCut(y, p);
    const mp_bitcnt_t pr = std::min(p, BitsFor(n - k));
    mpz_tdiv_q_2exp(y.get_mpz_t(), y.get_mpz_t(), p - pr);

    const unsigned left_threads = threads / 2;
    Both(threads > 1,
         [&] { Convert(std::move(left), left_p, offset, k, std::max(1u, left_threads)); },
         [&] { Convert(std::move(y), pr, offset + k, n - k, std::max(1u, threads - left_threads)); });
  }

  void Leaf(mpz_class F, mp_bitcnt_t p, std::uint64_t offset, std::uint64_t n) {
    mpz_class scale;
    if (n == leaf_ && !powers_.empty())
      scale = powers_[0];
    else
      mpz_ui_pow_ui(scale.get_mpz_t(), 10, n);
    mpz_mul(F.get_mpz_t(), F.get_mpz_t(), scale.get_mpz_t());
    mpz_class digits;
    mpz_tdiv_q_2exp(digits.get_mpz_t(), F.get_mpz_t(), p);
    mpz_tdiv_r_2exp(F.get_mpz_t(), F.get_mpz_t(), p);
    CheckCut(F, p);

    std::string text(mpz_sizeinbase(digits.get_mpz_t(), 10) + 2, '\0');
    mpz_get_str(text.data(), 10, digits.get_mpz_t());
    text.resize(std::strlen(text.c_str()));
    if (digits == 0) text.clear();
    if (text.size() > n) throw std::logic_error("leaf produced too many digits");
    text.insert(0, n - text.size(), '0');
    sink_.Write(offset, text);
    progress_.Advance(kConversion, static_cast<double>(n) / static_cast<double>(count_));
  }

  std::uint64_t count_;
  unsigned guard_ = 64;
  unsigned threads_;
  DigitSink& sink_;
  Progress& progress_;
  unsigned levels_ = 0;
  std::uint64_t leaf_ = 1;
  std::vector<mpz_class> powers_;
};

}  // namespace

std::uint64_t SeriesTerms(std::uint64_t count) {
  return static_cast<std::uint64_t>(static_cast<double>(count) / kDigitsPerTerm) + 3;
}

void ComputePiDigits(std::uint64_t count, unsigned threads, DigitSink& sink, Progress& progress) {
  if (count == 0) throw std::invalid_argument("digit count must be at least 1");
  threads = std::max(1u, threads);
  // Fraction bits: the digits' own bits, the conversion's guard and a margin
  // for the error of the steps below (a few units in the last place).
  constexpr unsigned kGuardBits = 64;
  const mp_bitcnt_t b =
      static_cast<mp_bitcnt_t>(std::ceil(static_cast<double>(count) * kLog2Of10)) + 2 * kGuardBits;

  // 1. The series: pi = 426880 sqrt(10005) Q / T with Q = Q(0,n), T = T(0,n).
  // The two halves [0,m) and [m,n) are summed in full; the top merge is not:
  // of T = T1 Q2 + P1 T2 and Q = Q1 Q2 only the ratio counts,
  //   Q / T = Q1 / (T1 + P1 T2 / Q2),
  // and P1 T2 / Q2 is smaller than T1 by the size of the m-th term (about
  // half the digits), so it needs only half the precision. This saves the
  // three largest multiplications and their memory.
  progress.Begin(kSeries);
  const std::uint64_t terms = SeriesTerms(count + 40);
  const std::uint64_t mid = terms / 2;
  Split left, right;
  // S = floor(sqrt(10005) 2^b). With two threads or more it runs on the
  // thread of the left half, which is lighter, once that half is done.
  mpz_class S;
  auto square_root = [&] {
    mpz_class radicand = 10005;
    mpz_mul_2exp(radicand.get_mpz_t(), radicand.get_mpz_t(), 2 * b);
    mpz_sqrt(S.get_mpz_t(), radicand.get_mpz_t());
    progress.Set(kSquareRoot, 1.0);
  };
  {
    SeriesMeter meter(terms, progress);
    const unsigned left_threads = threads / 2;
    Both(threads > 1,
         [&] {
           Series(0, mid, true, std::max(1u, left_threads), meter, left);
           if (threads > 1) square_root();
         },
         [&] { Series(mid, terms, false, std::max(1u, threads - left_threads), meter, right); });
  }
  right.P = 0;
  auto bits = [](const mpz_class& x) {
    return static_cast<std::int64_t>(mpz_sizeinbase(x.get_mpz_t(), 2));
  };
  // Keep b + 96 bits of T1 and the same cut of Q1: their ratio stays exact
  // to about b + 70 bits.
  const std::int64_t keep = static_cast<std::int64_t>(b) + 96;
  // (With few terms T1 is shorter: it is scaled up instead, so that the
  // correction below keeps its fractional bits.)
  const std::int64_t e = bits(left.T) - keep;
  for (mpz_class* x : {&left.T, &left.Q}) {
    if (e >= 0)
      mpz_tdiv_q_2exp(x->get_mpz_t(), x->get_mpz_t(), static_cast<mp_bitcnt_t>(e));
    else
      mpz_mul_2exp(x->get_mpz_t(), x->get_mpz_t(), static_cast<mp_bitcnt_t>(-e));
  }
  // C = P1 T2 / (Q2 2^e), on the scale of the cut T1, to about 64 more bits
  // than its own size.
  const std::int64_t c = bits(left.P) + bits(right.T) - bits(right.Q) - e;
  if (c > 0) {
    const std::int64_t t = c + 64;
    auto cut = [&](mpz_class& x) {
      const std::int64_t shift = std::max<std::int64_t>(0, bits(x) - t);
      mpz_tdiv_q_2exp(x.get_mpz_t(), x.get_mpz_t(), static_cast<mp_bitcnt_t>(shift));
      return shift;
    };
    const std::int64_t shift = cut(left.P) + cut(right.T) - cut(right.Q) - e;
    mpz_class num;
    ParallelMul(num, left.P, right.T, threads);
    if (shift >= 0)
      mpz_mul_2exp(num.get_mpz_t(), num.get_mpz_t(), static_cast<mp_bitcnt_t>(shift));
    else
      mpz_tdiv_q_2exp(num.get_mpz_t(), num.get_mpz_t(), static_cast<mp_bitcnt_t>(-shift));
    mpz_tdiv_q(num.get_mpz_t(), num.get_mpz_t(), right.Q.get_mpz_t());
    left.T += num;
  }
  left.P = 0;
  right = Split{};
  Split& s = left;
  progress.Set(kSeries, 1.0);

  progress.Begin(kSquareRoot);
  if (threads == 1) square_root();

  // 2. R = floor(Q 2^(b+32) / T); beside it, the powers of ten that the
  // conversion needs (they do not depend on pi).
  progress.Begin(kDivision);
  Converter converter(count, threads, sink, progress);
  mpz_class R;
  Both(
      threads > 1,
      [&] {
        mpz_mul_2exp(s.Q.get_mpz_t(), s.Q.get_mpz_t(), b + 32);
        mpz_tdiv_q(R.get_mpz_t(), s.Q.get_mpz_t(), s.T.get_mpz_t());
        s.Q = 0;
        s.T = 0;
        progress.Set(kDivision, 0.8);
      },
      [&] { converter.MakePowers(); });

  // X = 426880 S R / 2^(b+32) = pi 2^b, within a few units of pi 2^b.
  mpz_class X;
  mpz_mul_ui(R.get_mpz_t(), R.get_mpz_t(), 426880);
  ParallelMul(X, S, R, threads);
  S = 0;
  R = 0;
  mpz_tdiv_q_2exp(X.get_mpz_t(), X.get_mpz_t(), b + 32);
  // Step below pi for certain: the conversion's checks assume every
  // approximation lies under the true value.
  X -= 64;
  mpz_class three = 3;
  mpz_mul_2exp(three.get_mpz_t(), three.get_mpz_t(), b);
  X -= three;
  three = 0;
  if (X < 0) throw std::logic_error("pi below 3");
  progress.Set(kDivision, 1.0);

  // 3. The decimal conversion of the fraction X / 2^b.
  progress.Begin(kConversion);
  for (unsigned guard = kGuardBits;; guard *= 2) {
    converter.set_guard_bits(guard);
    const mp_bitcnt_t p = converter.BitsFor(count);
    // More guard bits than were computed: the cut after the last digit
    // cannot be decided (a run of about 20 nines follows it).
    if (p > b) throw std::runtime_error("the digit after the last one requested cannot be decided");
    mpz_class F;
    mpz_tdiv_q_2exp(F.get_mpz_t(), X.get_mpz_t(), b - p);
    try {
      converter.Run(std::move(F), p);
      return;
    } catch (const Undecided&) {
      progress.Set(kConversion, 0.0);
    }
  }
}

std::string PiDigits(std::uint64_t count, unsigned threads) {
  StringSink sink(count);
  Progress silent = Progress::Silent();
  ComputePiDigits(count, threads, sink, silent);
  return sink.digits();
}

}  // namespace pidigits
