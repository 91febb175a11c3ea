#include "multiply.h"

#include <algorithm>
#include <future>
#include <vector>

namespace pidigits {
namespace {

// Operands smaller than this many limbs are multiplied on one thread.
constexpr std::size_t kParallelMulLimbs = 20000;

std::size_t Limbs(const mpz_class& x) { return mpz_size(x.get_mpz_t()); }

// r = x * y, with the larger operand cut into `threads` pieces multiplied at
// once. r may alias neither x nor y.
void ParallelMul(mpz_class& r, const mpz_class& x, const mpz_class& y, unsigned threads) {
  const mpz_class& big = Limbs(x) >= Limbs(y) ? x : y;
  const mpz_class& small = Limbs(x) >= Limbs(y) ? y : x;
  const std::size_t limbs = Limbs(big);
  const std::size_t piece_limbs = (limbs + threads - 1) / threads;
  const mp_bitcnt_t piece_bits = piece_limbs * GMP_NUMB_BITS;
  const mp_limb_t* data = mpz_limbs_read(big.get_mpz_t());
  const bool negative = mpz_sgn(big.get_mpz_t()) < 0;
  std::vector<mpz_class> parts(threads);
  std::vector<std::future<void>> jobs;
  for (unsigned i = 0; i < threads; ++i) {
    const std::size_t start = std::min(limbs, piece_limbs * i);
    const auto len = static_cast<mp_size_t>(std::min(piece_limbs, limbs - start));
    jobs.push_back(std::async(std::launch::async, [&, start, len, i] {
      // A read-only view of the piece's limbs: no copy of the operand.
      mpz_t piece;
      mpz_roinit_n(piece, data + start, negative ? -len : len);
      mpz_mul(parts[i].get_mpz_t(), piece, small.get_mpz_t());
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

}  // namespace

void Multiply(mpz_class& r, const mpz_class& x, const mpz_class& y, unsigned threads) {
  if (threads < 2 || std::min(Limbs(x), Limbs(y)) < kParallelMulLimbs) {
    mpz_mul(r.get_mpz_t(), x.get_mpz_t(), y.get_mpz_t());
    return;
  }
  if (&r == &x || &r == &y) {
    mpz_class product;
    ParallelMul(product, x, y, threads);
    r.swap(product);
    return;
  }
  ParallelMul(r, x, y, threads);
}

void Square(mpz_class& r, const mpz_class& x, unsigned threads) {
  if (threads < 2 || Limbs(x) < kParallelMulLimbs) {
    mpz_mul(r.get_mpz_t(), x.get_mpz_t(), x.get_mpz_t());
    return;
  }
  Multiply(r, x, x, threads);
}

}  // namespace pidigits
