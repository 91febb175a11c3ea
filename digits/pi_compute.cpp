#include "pi_compute.h"

#include "multiply.h"

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

// ------------------------------------------ common factors of small nodes
//
// P(a,m) and Q(m,b) share many small primes. Dividing both by their common
// part g before the merge divides P, Q and T of the merged node by g, which
// leaves every ratio above unchanged and makes all the numbers above
// smaller. The common part is found from factorizations, which are kept for
// the nodes of at most SeriesMeter::kTrackTerms terms only.

// A factorization: (prime, exponent) pairs, sorted by prime.
using Factors = std::vector<std::pair<std::uint32_t, std::uint32_t>>;

Factors Merged(const Factors& x, const Factors& y) {
  Factors r;
  r.reserve(x.size() + y.size());
  std::size_t i = 0, j = 0;
  while (i < x.size() || j < y.size()) {
    if (j == y.size() || (i < x.size() && x[i].first < y[j].first)) {
      r.push_back(x[i++]);
    } else if (i == x.size() || y[j].first < x[i].first) {
      r.push_back(y[j++]);
    } else {
      r.emplace_back(x[i].first, x[i].second + y[j].second);
      ++i;
      ++j;
    }
  }
  return r;
}

// Removes the common part of x and y from both; returns it.
mpz_class RemoveCommon(Factors& x, Factors& y) {
  mpz_class g = 1;
  unsigned long acc = 1;
  Factors nx, ny;
  std::size_t i = 0, j = 0;
  while (i < x.size() && j < y.size()) {
    if (x[i].first < y[j].first) {
      nx.push_back(x[i++]);
    } else if (y[j].first < x[i].first) {
      ny.push_back(y[j++]);
    } else {
      const std::uint32_t e = std::min(x[i].second, y[j].second);
      for (std::uint32_t k = 0; k < e; ++k) {
        if (acc > (~0UL >> 32)) {
          mpz_mul_ui(g.get_mpz_t(), g.get_mpz_t(), acc);
          acc = 1;
        }
        acc *= x[i].first;
      }
      if (x[i].second > e) nx.emplace_back(x[i].first, x[i].second - e);
      if (y[j].second > e) ny.emplace_back(y[j].first, y[j].second - e);
      ++i;
      ++j;
    }
  }
  nx.insert(nx.end(), x.begin() + static_cast<std::ptrdiff_t>(i), x.end());
  ny.insert(ny.end(), y.begin() + static_cast<std::ptrdiff_t>(j), y.end());
  x.swap(nx);
  y.swap(ny);
  mpz_mul_ui(g.get_mpz_t(), g.get_mpz_t(), acc);
  return g;
}

// Primes up to sqrt(6 * terms) and the inverses of 2 and 6 modulo each (0
// where there is none), for sieving the values of one node's terms.
class SmallPrimes {
 public:
  explicit SmallPrimes(std::uint64_t terms) {
    const std::uint32_t limit =
        static_cast<std::uint32_t>(std::sqrt(6.0 * static_cast<double>(terms) + 6)) + 2;
    std::vector<bool> composite(limit + 1, false);
    for (std::uint32_t p = 2; p <= limit; ++p) {
      if (composite[p]) continue;
      primes.push_back(p);
      for (std::uint64_t q = std::uint64_t{p} * p; q <= limit; q += p) composite[q] = true;
      inv2.push_back(p == 2 ? 0 : Inverse(2, p));
      inv6.push_back(p <= 3 ? 0 : Inverse(6, p));
    }
  }
  std::vector<std::uint32_t> primes, inv2, inv6;

 private:
  static std::uint32_t Inverse(std::uint32_t a, std::uint32_t p) {
    for (std::uint32_t x = 1; x < p; ++x)
      if ((std::uint64_t{a} * x) % p == 1) return x;
    return 0;
  }
};

// The factorizations of p(k) = (6k-5)(2k-1)(6k-1) and q(k) = k^3 C^3/24 for
// k in [a, b), 1 <= a, by sieving each of the four progressions.
void FactorTerms(std::uint64_t a, std::uint64_t b, const SmallPrimes& sp,
                 std::vector<Factors>& fp, std::vector<Factors>& fq) {
  const std::size_t n = b - a;
  fp.assign(n, {});
  fq.assign(n, {});
  // value(k) = c1 k - c0: 6k-5, 2k-1, 6k-1, k.
  const std::uint64_t c1[4] = {6, 2, 6, 1};
  const std::uint64_t c0[4] = {5, 1, 1, 0};
  std::vector<std::uint64_t> rest[4];
  for (int v = 0; v < 4; ++v) {
    rest[v].resize(n);
    for (std::size_t i = 0; i < n; ++i) rest[v][i] = c1[v] * (a + i) - c0[v];
  }
  for (std::size_t pi = 0; pi < sp.primes.size(); ++pi) {
    const std::uint64_t p = sp.primes[pi];
    if (p * p > 6 * b) break;
    for (int v = 0; v < 4; ++v) {
      // k with c1 k = c0 (mod p).
      std::uint64_t r;
      if (v == 3) {
        r = 0;
      } else {
        const std::uint64_t inv = v == 1 ? sp.inv2[pi] : sp.inv6[pi];
        if (inv == 0) continue;  // p divides c1, so not c1 k - c0
        r = (c0[v] % p) * inv % p;
      }
      for (std::uint64_t k = a + (r + p - a % p) % p; k < b; k += p) {
        std::uint64_t& x = rest[v][k - a];
        std::uint32_t e = 0;
        while (x % p == 0) {
          x /= p;
          ++e;
        }
        if (v == 3)
          fq[k - a].emplace_back(static_cast<std::uint32_t>(p), 3 * e);
        else
          fp[k - a].emplace_back(static_cast<std::uint32_t>(p), e);
      }
    }
  }
  // C^3 / 24 = 2^15 3^2 5^3 23^3 29^3.
  static const Factors kConstant = {{2, 15}, {3, 2}, {5, 3}, {23, 3}, {29, 3}};
  for (std::size_t i = 0; i < n; ++i) {
    for (int v = 0; v < 3; ++v)
      if (rest[v][i] > 1) fp[i].emplace_back(static_cast<std::uint32_t>(rest[v][i]), 1);
    std::sort(fp[i].begin(), fp[i].end());
    if (rest[3][i] > 1) fq[i].emplace_back(static_cast<std::uint32_t>(rest[3][i]), 3);
    fq[i] = Merged(fq[i], kConstant);
  }
}

struct FactoredSplit {
  Split s;
  Factors fp, fq;
};

// Series over [a, b) inside a node whose terms were factored from `base`.
void FactoredSeries(std::uint64_t a, std::uint64_t b, bool need_p, std::uint64_t base,
                    std::vector<Factors>& fp, std::vector<Factors>& fq, FactoredSplit& out) {
  if (b - a == 1) {
    Term(a, out.s);
    if (a > 0) {
      out.fp = std::move(fp[a - base]);
      out.fq = std::move(fq[a - base]);
    }
    return;
  }
  const std::uint64_t m = a + (b - a) / 2;
  FactoredSplit right;
  FactoredSeries(a, m, true, base, fp, fq, out);
  FactoredSeries(m, b, need_p, base, fp, fq, right);
  const mpz_class g = RemoveCommon(out.fp, right.fq);
  if (g != 1) {
    mpz_divexact(out.s.P.get_mpz_t(), out.s.P.get_mpz_t(), g.get_mpz_t());
    mpz_divexact(right.s.Q.get_mpz_t(), right.s.Q.get_mpz_t(), g.get_mpz_t());
  }
  Split& l = out.s;
  Split& r = right.s;
  mpz_mul(l.T.get_mpz_t(), l.T.get_mpz_t(), r.Q.get_mpz_t());
  mpz_mul(r.T.get_mpz_t(), l.P.get_mpz_t(), r.T.get_mpz_t());
  mpz_add(l.T.get_mpz_t(), l.T.get_mpz_t(), r.T.get_mpz_t());
  mpz_mul(l.Q.get_mpz_t(), l.Q.get_mpz_t(), r.Q.get_mpz_t());
  if (need_p)
    mpz_mul(l.P.get_mpz_t(), l.P.get_mpz_t(), r.P.get_mpz_t());
  else
    l.P = 0;
  out.fp = Merged(out.fp, right.fp);
  out.fq = Merged(out.fq, right.fq);
}

// A node small enough to factor: its terms are factored, summed with common
// factors removed, and the factorizations dropped.
void SmallSeries(std::uint64_t a, std::uint64_t b, bool need_p, const SmallPrimes& sp,
                 Split& out) {
  std::vector<Factors> fp, fq;
  const std::uint64_t base = std::max<std::uint64_t>(a, 1);
  FactorTerms(base, b, sp, fp, fq);
  FactoredSplit f;
  FactoredSeries(a, b, need_p, base, fp, fq, f);
  out = std::move(f.s);
}

// Sums terms [a, b). need_p: whether the caller needs P (the rightmost path
// of the tree never does).
void Series(std::uint64_t a, std::uint64_t b, bool need_p, unsigned threads, SeriesMeter& meter,
            const SmallPrimes& primes, Split& out) {
  if (b - a <= SeriesMeter::kTrackTerms) {
    SmallSeries(a, b, need_p, primes, out);
    meter.Finished(a, b, true);
    return;
  }
  const std::uint64_t m = a + (b - a) / 2;
  Split right;
  const unsigned left_threads = threads / 2;
  Both(threads > 1,
       [&] { Series(a, m, true, std::max(1u, left_threads), meter, primes, out); },
       [&] { Series(m, b, need_p, std::max(1u, threads - left_threads), meter, primes, right); });

  // T = T(a,m) Q(m,b) + P(a,m) T(m,b); Q = Q(a,m) Q(m,b); P = P(a,m) P(m,b).
  mpz_class tmp;
  if (threads > 1) {
    Multiply(tmp, out.T, right.Q, threads);
    out.T = 0;
    Multiply(out.T, out.P, right.T, threads);
    right.T = 0;
    mpz_add(out.T.get_mpz_t(), out.T.get_mpz_t(), tmp.get_mpz_t());
    tmp = 0;
    Multiply(tmp, out.Q, right.Q, threads);
    out.Q.swap(tmp);
    tmp = 0;
    right.Q = 0;
    if (need_p) {
      Multiply(tmp, out.P, right.P, threads);
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
  meter.Finished(a, b, false);
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
    Multiply(y, F, powers_[j], threads);
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
    const SmallPrimes primes(terms);
    const unsigned left_threads = threads / 2;
    Both(threads > 1,
         [&] {
           Series(0, mid, true, std::max(1u, left_threads), meter, primes, left);
           if (threads > 1) square_root();
         },
         [&] {
           Series(mid, terms, false, std::max(1u, threads - left_threads), meter, primes, right);
         });
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
    Multiply(num, left.P, right.T, threads);
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
  Multiply(X, S, R, threads);
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
