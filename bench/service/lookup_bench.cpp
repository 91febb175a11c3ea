// Lookup latency of the service's index, per query length, found and not
// found, with counts, "find next" and the digits around a place; and the
// whole answer page of each of the two requests (without HTTP).
//
//   service_lookup_bench --digits FILE [benchmark options]
//
// Each benchmark times every query on its own as well, and reports the
// median and the 99th percentile in microseconds (p50_us, p99_us).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "pages.h"
#include "pi_index.h"

namespace {

const pisvc::PiIndex* g_index = nullptr;

struct Samples {
  std::vector<double> us;
  void Report(benchmark::State& state) {
    if (us.empty()) return;
    std::sort(us.begin(), us.end());
    state.counters["p50_us"] = us[us.size() / 2];
    state.counters["p99_us"] = us[std::min(us.size() - 1, us.size() * 99 / 100)];
    state.counters["max_us"] = us.back();
  }
};

template <class Fn>
void Timed(benchmark::State& state, Samples& samples, Fn fn) {
  const auto t0 = std::chrono::steady_clock::now();
  fn();
  const auto t1 = std::chrono::steady_clock::now();
  if (samples.us.size() < 2'000'000) samples.us.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
  (void)state;
}

// 4096 queries of `len` digits: taken from random places (found), or random
// strings that the digits do not hold (not found; none when short strings
// all occur).
std::vector<std::string> Queries(std::size_t len, bool found) {
  std::mt19937_64 rng(len * 2 + found);
  const std::string_view d = g_index->digits();
  std::vector<std::string> out;
  for (int attempt = 0; out.size() < 4096 && attempt < 400000; ++attempt) {
    if (found) {
      out.emplace_back(d.substr(rng() % (d.size() - len), len));
    } else {
      std::string q;
      for (std::size_t i = 0; i < len; ++i) q += static_cast<char>('0' + rng() % 10);
      if (g_index->FindFirst(q) == 0) out.push_back(q);
    }
  }
  return out;
}

void BM_FirstPlace(benchmark::State& state, bool found) {
  const auto qs = Queries(static_cast<std::size_t>(state.range(0)), found);
  if (qs.empty()) {
    state.SkipWithError("every string of this length occurs");
    return;
  }
  Samples s;
  std::size_t i = 0;
  for (auto _ : state) {
    Timed(state, s, [&] { benchmark::DoNotOptimize(g_index->FindFirst(qs[i++ % qs.size()])); });
  }
  s.Report(state);
}

void BM_Count(benchmark::State& state) {
  const auto qs = Queries(static_cast<std::size_t>(state.range(0)), true);
  Samples s;
  std::size_t i = 0;
  for (auto _ : state) {
    Timed(state, s, [&] { benchmark::DoNotOptimize(g_index->Count(qs[i++ % qs.size()])); });
  }
  s.Report(state);
}

// "Find next": the first occurrence after a random place.
void BM_FindNext(benchmark::State& state) {
  const auto qs = Queries(static_cast<std::size_t>(state.range(0)), true);
  std::mt19937_64 rng(7);
  std::vector<std::uint64_t> after(qs.size());
  for (auto& a : after) a = rng() % g_index->size();
  Samples s;
  std::size_t i = 0;
  for (auto _ : state) {
    const std::size_t k = i++ % qs.size();
    Timed(state, s, [&] { benchmark::DoNotOptimize(g_index->FindFirst(qs[k], after[k])); });
  }
  s.Report(state);
}

// What /getNumber.do computes: the digit at a place and those around it.
void BM_Place(benchmark::State& state) {
  std::mt19937_64 rng(11);
  Samples s;
  for (auto _ : state) {
    const std::uint64_t p = 1 + rng() % g_index->size();
    Timed(state, s, [&] {
      benchmark::DoNotOptimize(g_index->DigitsAt(p > 10 ? p - 10 : 1, 10));
      benchmark::DoNotOptimize(g_index->DigitsAt(p, 21));
    });
  }
  s.Report(state);
}

// The whole answer of each request, page text included.
void BM_Page(benchmark::State& state, bool position) {
  const auto qs = Queries(6, true);
  std::mt19937_64 rng(13);
  Samples s;
  std::size_t i = 0;
  for (auto _ : state) {
    const std::string target = position ? "/getNextIndex.do?number=" + qs[i++ % qs.size()]
                                        : "/getNumber.do?index=" + std::to_string(1 + rng() % g_index->size());
    Timed(state, s, [&] { benchmark::DoNotOptimize(pisvc::Answer(*g_index, "GET", target)); });
  }
  s.Report(state);
}

}  // namespace

int main(int argc, char** argv) {
  std::string digits;
  std::vector<char*> rest{argv[0]};
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--digits") == 0 && i + 1 < argc) {
      digits = argv[++i];
    } else {
      rest.push_back(argv[i]);
    }
  }
  if (digits.empty()) {
    std::fprintf(stderr, "usage: service_lookup_bench --digits FILE [benchmark options]\n");
    return 2;
  }
  pisvc::IndexOptions options;
  options.show_progress = true;
  std::string error;
  auto index = pisvc::PiIndex::Open(digits, pisvc::PiIndex::DefaultPath(digits), options, error);
  if (!index) {
    std::fprintf(stderr, "service_lookup_bench: %s\n", error.c_str());
    return 1;
  }
  g_index = &*index;
  std::printf("digits: %llu from %s (table depth %d, key %d)\n", static_cast<unsigned long long>(index->size()),
              digits.c_str(), index->shape().table_depth, index->shape().key_len);

  for (int len : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 12, 15, 20}) {
    benchmark::RegisterBenchmark("first_place/found", BM_FirstPlace, true)->Arg(len);
  }
  for (int len : {5, 6, 7, 8, 9, 10, 12, 15, 20, 1000}) {
    benchmark::RegisterBenchmark("first_place/not_found", BM_FirstPlace, false)->Arg(len);
  }
  for (int len : {1, 4, 7, 8, 9, 12, 20}) benchmark::RegisterBenchmark("count", BM_Count)->Arg(len);
  for (int len : {1, 3, 4, 5, 6, 7, 8, 9, 12, 20}) benchmark::RegisterBenchmark("find_next", BM_FindNext)->Arg(len);
  benchmark::RegisterBenchmark("place_digits", BM_Place);
  benchmark::RegisterBenchmark("page/getNextIndex", BM_Page, true);
  benchmark::RegisterBenchmark("page/getNumber", BM_Page, false);

  int n = static_cast<int>(rest.size());
  benchmark::Initialize(&n, rest.data());
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
