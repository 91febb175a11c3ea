#include "pi_index.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <thread>
#include <vector>

#include "progress.h"

namespace pisvc {
namespace {

constexpr char kMagic[8] = {'P', 'I', 'D', 'X', 'I', 'D', 'X', '1'};
constexpr std::uint32_t kVersion = 1;
constexpr std::uint64_t kHeaderSize = 4096;
constexpr std::uint64_t kNone = std::numeric_limits<std::uint64_t>::max();

std::uint64_t Pow10(int e) {
  std::uint64_t r = 1;
  while (e-- > 0) r *= 10;
  return r;
}

std::uint32_t Value(const char* p, int len) {
  std::uint32_t v = 0;
  for (int i = 0; i < len; ++i) v = v * 10 + static_cast<std::uint32_t>(p[i] - '0');
  return v;
}

// The fixed-size start of the index file. Every offset is from the file's
// start; sections are aligned to 64 bytes.
struct Header {
  char magic[8];
  std::uint32_t version;
  std::uint32_t table_depth;
  std::uint32_t key_len;
  std::uint32_t reserved;
  std::uint64_t digit_count;
  std::uint64_t digits_file_size;
  std::uint64_t digits_offset;
  std::uint64_t digits_checksum;
  std::uint64_t first_at[9];
  std::uint64_t count_at[9];  // [T] is the one-byte table
  std::uint64_t groups_at;
  std::uint64_t postings_at;
  std::uint64_t posting_count;
  std::uint64_t total_size;
};
static_assert(sizeof(Header) <= kHeaderSize);

// Where each section lies for n digits: a function of n alone, so that a
// header can be checked against it.
Header LayoutFor(std::uint64_t n) {
  Header h{};
  std::memcpy(h.magic, kMagic, sizeof kMagic);
  h.version = kVersion;
  IndexShape s = ShapeFor(n);
  h.table_depth = static_cast<std::uint32_t>(s.table_depth);
  h.key_len = static_cast<std::uint32_t>(s.key_len);
  h.digit_count = n;
  std::uint64_t at = kHeaderSize;
  auto place = [&at](std::uint64_t bytes) {
    std::uint64_t here = at;
    at = (at + bytes + 63) / 64 * 64;
    return here;
  };
  for (int len = 1; len <= s.table_depth; ++len) h.first_at[len] = place(Pow10(len) * 4);
  for (int len = 1; len < s.table_depth; ++len) h.count_at[len] = place(Pow10(len) * 4);
  h.count_at[s.table_depth] = place(Pow10(s.table_depth));
  h.groups_at = place((Pow10(s.key_len) + 1) * 4);
  h.posting_count = n >= static_cast<std::uint64_t>(s.key_len) ? (n - s.key_len) / 2 + 1 : 0;
  h.postings_at = place(h.posting_count * 4);
  h.total_size = at;
  return h;
}

bool SameLayout(const Header& a, const Header& b) {
  return a.version == b.version && a.table_depth == b.table_depth && a.key_len == b.key_len &&
         a.digit_count == b.digit_count && std::memcmp(a.first_at, b.first_at, sizeof a.first_at) == 0 &&
         std::memcmp(a.count_at, b.count_at, sizeof a.count_at) == 0 && a.groups_at == b.groups_at &&
         a.postings_at == b.postings_at && a.posting_count == b.posting_count && a.total_size == b.total_size;
}

template <class T>
T* At(char* base, std::uint64_t offset) {
  return reinterpret_cast<T*>(base + offset);
}

// Runs fn(t) on `threads` threads, t = 0..threads-1; thread 0 is this one.
template <class Fn>
void OnThreads(int threads, Fn fn) {
  std::vector<std::thread> pool;
  for (int t = 1; t < threads; ++t) pool.emplace_back(fn, t);
  fn(0);
  for (auto& th : pool) th.join();
}

// The weights of the build's stages in the progress bar, measured on a
// billion digits.
constexpr double kWValidate = 0.02, kWCount = 0.08, kWScatter = 0.70, kWDerive = 0.01;  // the rest: writing

bool Build(const DigitsFile& file, std::uint64_t checksum, const std::string& index_path,
           const IndexOptions& options, std::string& error) {
  const int threads = std::max(1, options.threads);
  ProgressBar bar("building index", options.show_progress);
  // How long each stage took, shown after the bar.
  std::string stages;
  auto stage_start = std::chrono::steady_clock::now();
  auto stage = [&](const char* name) {
    const auto now = std::chrono::steady_clock::now();
    char buf[64];
    std::snprintf(buf, sizeof buf, "%s%s %.1f s", stages.empty() ? "" : ", ", name,
                  std::chrono::duration<double>(now - stage_start).count());
    stages += buf;
    stage_start = now;
  };
  if (!file.Validate(threads, error)) return false;
  stage("check");
  double base = kWValidate;
  bar.Set(base);

  const std::string_view d = file.digits();
  const std::uint64_t n = d.size();
  Header h = LayoutFor(n);
  h.digits_file_size = file.file_size();
  h.digits_offset = file.offset();
  h.digits_checksum = checksum;
  const int T = static_cast<int>(h.table_depth);
  const int K = static_cast<int>(h.key_len);

  // Built in memory, then written out in one sequential pass: writes into a
  // file map would fault again on every page the kernel has written back in
  // the meantime. Every pass below reads and writes in a few streams, or
  // within a few megabytes, so small pages serve as well as huge ones.
  auto out = ScratchMemory::Allocate(h.total_size, error);
  if (!out) return false;
  char* o = out->data();

  // Postings: the even positions sorted by their K-digit key, ascending
  // within each key's group, in two cache-friendly passes: first into one of
  // 1000 buckets by the key's leading digits (1000 sequential streams), with
  // the rest of the key beside each position; then, bucket by bucket, a
  // counting sort into the groups of that bucket, which span a few
  // megabytes. Thread t takes a contiguous run of positions, and in every
  // bucket its positions follow those of the threads before it.
  const std::uint64_t keys = Pow10(K);
  const std::uint64_t m = h.posting_count;
  auto key_at = [&](std::uint64_t i) { return Value(d.data() + 2 * i, K); };
  auto from_of = [&](int t) { return m * static_cast<std::uint64_t>(t) / static_cast<std::uint64_t>(threads); };
  auto share = [&](std::uint64_t i, int t) {
    const std::uint64_t from = from_of(t), to = from_of(t + 1);
    return to > from ? static_cast<double>(i - from) / static_cast<double>(to - from) : 1.0;
  };
  const int bucket_digits = std::min(K, 3);
  const std::uint64_t buckets = Pow10(bucket_digits);
  const std::uint64_t per_bucket = Pow10(K - bucket_digits);  // keys in one bucket
  std::vector<std::vector<std::uint64_t>> bucket_next(static_cast<std::size_t>(threads),
                                                      std::vector<std::uint64_t>(buckets, 0));
  OnThreads(threads, [&](int t) {
    std::uint64_t* c = bucket_next[static_cast<std::size_t>(t)].data();
    const std::uint64_t to = from_of(t + 1);
    for (std::uint64_t i = from_of(t); i < to; ++i) {
      ++c[key_at(i) / per_bucket];
      if (t == 0 && (i & 0xFFFFF) == 0) bar.Set(base + kWCount * share(i, t));
    }
  });
  base += kWCount;
  stage("count buckets");
  std::vector<std::uint64_t> bucket_start(buckets + 1);
  std::uint64_t run = 0;
  for (std::uint64_t b = 0; b < buckets; ++b) {
    bucket_start[b] = run;
    for (int t = 0; t < threads; ++t) {
      const std::uint64_t c = bucket_next[static_cast<std::size_t>(t)][b];
      bucket_next[static_cast<std::size_t>(t)][b] = run;  // becomes thread t's next slot
      run += c;
    }
  }
  bucket_start[buckets] = run;
  std::uint32_t* groups = At<std::uint32_t>(o, h.groups_at);
  groups[keys] = static_cast<std::uint32_t>(m);
  // Length T = K + 1 comes out of the same passes: a T-digit string at an
  // even start p is p's key and the digit after it; at an odd start p-1, the
  // digit before and the key of p. Both digits are read in the first,
  // sequential pass and carried beside the position, so the tables are
  // written bucket by bucket, never read at random. Each thread owns a range
  // of buckets, and with it the entries that either kind of start writes;
  // the odd starts come in a pass of their own, since an odd and an even
  // start of two threads may meet in one entry.
  const std::uint64_t top_keys = Pow10(T);
  auto top_scratch = ScratchMemory::Allocate(top_keys * 4, error);
  if (!top_scratch) return false;
  std::uint32_t* top_count = reinterpret_cast<std::uint32_t*>(top_scratch->data());
  std::uint32_t* top_first = At<std::uint32_t>(o, h.first_at[T]);
  constexpr std::uint64_t kNoDigit = 15;
  // A staged entry: bits 0-31 the position, 32-35 the digit after its key
  // (15: none), 36-39 the digit before it (15: none), 40- the key's digits
  // after the bucket's.
  auto staged_memory = ScratchMemory::Allocate(m * 8, error);
  if (!staged_memory) return false;
  std::uint64_t* staged = reinterpret_cast<std::uint64_t*>(staged_memory->data());
  OnThreads(threads, [&](int t) {
    std::uint64_t* next = bucket_next[static_cast<std::size_t>(t)].data();
    const std::uint64_t to = from_of(t + 1);
    for (std::uint64_t i = from_of(t); i < to; ++i) {
      const std::uint64_t p = 2 * i;
      const std::uint64_t key = key_at(i);
      const std::uint64_t after = p + K < n ? static_cast<std::uint64_t>(d[p + K] - '0') : kNoDigit;
      const std::uint64_t before = p > 0 ? static_cast<std::uint64_t>(d[p - 1] - '0') : kNoDigit;
      staged[next[key / per_bucket]++] = (key % per_bucket) << 40 | before << 36 | after << 32 | p;
      if (t == 0 && (i & 0xFFFFF) == 0) bar.Set(base + kWScatter / 2 * share(i, t));
    }
  });
  std::uint32_t* postings = At<std::uint32_t>(o, h.postings_at);
  for (int odd = 0; odd < 2; ++odd) {
    OnThreads(threads, [&](int t) {
      const std::uint64_t b_from = buckets * static_cast<std::uint64_t>(t) / static_cast<std::uint64_t>(threads);
      const std::uint64_t b_to = buckets * static_cast<std::uint64_t>(t + 1) / static_cast<std::uint64_t>(threads);
      std::vector<std::uint32_t> next(static_cast<std::size_t>(per_bucket));
      for (std::uint64_t b = b_from; b < b_to; ++b) {
        const std::uint64_t start = bucket_start[b], end = bucket_start[b + 1];
        if (!odd) {
          // The bucket's groups: counted, then laid out one after another.
          std::fill(next.begin(), next.end(), 0);
          for (std::uint64_t j = start; j < end; ++j) ++next[staged[j] >> 40];
          std::uint64_t at = start;
          for (std::uint64_t k = 0; k < per_bucket; ++k) {
            const std::uint32_t c = next[k];
            groups[b * per_bucket + k] = static_cast<std::uint32_t>(at);
            next[k] = static_cast<std::uint32_t>(at);
            at += c;
          }
        }
        for (std::uint64_t j = start; j < end; ++j) {
          const std::uint64_t e = staged[j];
          const std::uint64_t low = e >> 40;
          const std::uint64_t k = b * per_bucket + low;
          const std::uint32_t p = static_cast<std::uint32_t>(e);
          if (!odd) {
            postings[next[low]++] = p;
            const std::uint64_t after = (e >> 32) & 15;
            if (after != kNoDigit) {
              const std::uint64_t v = k * 10 + after;
              if (top_count[v]++ == 0) top_first[v] = p + 1;
            }
          } else {
            const std::uint64_t before = (e >> 36) & 15;
            if (before != kNoDigit) {
              const std::uint64_t v = before * keys + k;
              ++top_count[v];
              if (top_first[v] == 0 || top_first[v] > p) top_first[v] = p;  // the place of p-1
            }
          }
        }
        if (t == 0)
          bar.Set(base + kWScatter / 2 * (1 + (odd + static_cast<double>(b - b_from) / static_cast<double>(b_to - b_from)) / 2));
      }
    });
  }
  *staged_memory = ScratchMemory();
  base += kWScatter;
  stage("postings and longest table");
  bar.Set(base);


  // Shorter lengths from longer ones: every occurrence of an L-digit string
  // but the one that ends the digits is the start of an (L+1)-digit one.
  const std::uint32_t* upper_count = top_count;
  for (int len = T - 1; len >= 1; --len) {
    const std::uint64_t len_keys = Pow10(len);
    std::uint32_t* first = At<std::uint32_t>(o, h.first_at[len]);
    std::uint32_t* count = At<std::uint32_t>(o, h.count_at[len]);
    const std::uint32_t* upper_first = At<std::uint32_t>(o, h.first_at[len + 1]);
    for (std::uint64_t v = 0; v < len_keys; ++v) {
      std::uint32_t f = 0;
      std::uint64_t c = 0;
      for (std::uint64_t e = v * 10; e < v * 10 + 10; ++e) {
        if (upper_first[e] != 0 && (f == 0 || upper_first[e] < f)) f = upper_first[e];
        c += upper_count[e];
      }
      first[v] = f;
      count[v] = static_cast<std::uint32_t>(c);
    }
    if (n >= static_cast<std::uint64_t>(len)) {
      const std::uint64_t s = n - len;
      const std::uint32_t v = Value(d.data() + s, len);
      count[v] += 1;
      if (first[v] == 0 || first[v] > s + 1) first[v] = static_cast<std::uint32_t>(s + 1);
    }
    if (len == T - 1) {
      std::uint8_t* top = At<std::uint8_t>(o, h.count_at[T]);
      for (std::uint64_t v = 0; v < top_keys; ++v) top[v] = static_cast<std::uint8_t>(std::min<std::uint32_t>(upper_count[v], 255));
    }
    upper_count = count;
  }
  *top_scratch = ScratchMemory();
  base += kWDerive;
  bar.Set(base);
  stage("shorter tables");

  std::memcpy(o, &h, sizeof h);
  const std::string tmp = index_path + ".tmp." + std::to_string(getpid());
  if (!WriteFileDurably(tmp, out->view(), error)) {
    unlink(tmp.c_str());
    return false;
  }
  *out = ScratchMemory();
  stage("write");
  if (rename(tmp.c_str(), index_path.c_str()) != 0) {
    error = "cannot move the new index into place at " + index_path + ": " + std::strerror(errno);
    unlink(tmp.c_str());
    return false;
  }
  bar.Done();
  if (options.show_progress) std::fprintf(stderr, "index stages: %s\n", stages.c_str());
  return true;
}

}  // namespace

IndexShape ShapeFor(std::uint64_t n) {
  int log10 = 0;
  for (std::uint64_t x = n; x >= 10; x /= 10) ++log10;
  int t = std::clamp(log10 - 1, 2, 8);
  return {t, t - 1};
}

std::optional<PiIndex> PiIndex::Open(const std::string& digits_path, const std::string& index_path,
                                     const IndexOptions& options, std::string& error) {
  auto file = DigitsFile::Open(digits_path, error);
  if (!file) return std::nullopt;
  PiIndex index;
  index.digits_file_ = std::move(*file);
  index.digits_ = index.digits_file_.digits();
  index.n_ = index.digits_.size();
  const std::uint64_t checksum = Checksum(index.digits_, options.threads);

  Header want = LayoutFor(index.n_);
  want.digits_file_size = index.digits_file_.file_size();
  want.digits_offset = index.digits_file_.offset();
  want.digits_checksum = checksum;

  std::string reason;
  if (options.force_rebuild) {
    reason = "a rebuild was asked for";
  } else {
    std::string ignored;
    auto existing = MappedFile::OpenRead(index_path, ignored);
    if (!existing) {
      reason = "there is no index yet";
    } else {
      Header got{};
      if (existing->size() >= sizeof got) std::memcpy(&got, existing->data(), sizeof got);
      if (std::memcmp(got.magic, kMagic, sizeof kMagic) != 0 || !SameLayout(got, want) ||
          existing->size() != want.total_size) {
        reason = "the index has another format or size";
      } else if (got.digits_file_size != want.digits_file_size || got.digits_offset != want.digits_offset ||
                 got.digits_checksum != want.digits_checksum) {
        reason = "the digits file has changed since the index was built";
      } else {
        index.index_file_ = std::move(*existing);
        if (index.Map(reason)) return index;
        index.index_file_ = MappedFile();
      }
    }
  }
  if (!Build(index.digits_file_, checksum, index_path, options, error)) return std::nullopt;
  auto fresh = MappedFile::OpenRead(index_path, error);
  if (!fresh) return std::nullopt;
  index.index_file_ = std::move(*fresh);
  if (!index.Map(error)) return std::nullopt;
  index.built_ = true;
  index.build_reason_ = reason;
  return index;
}

bool PiIndex::Map(std::string& error) {
  Header h{};
  std::memcpy(&h, index_file_.data(), sizeof h);
  const char* base = index_file_.data();
  t_ = static_cast<int>(h.table_depth);
  k_ = static_cast<int>(h.key_len);
  for (int len = 1; len <= t_; ++len) first_[len] = reinterpret_cast<const std::uint32_t*>(base + h.first_at[len]);
  for (int len = 1; len < t_; ++len) count_[len] = reinterpret_cast<const std::uint32_t*>(base + h.count_at[len]);
  count_top_ = reinterpret_cast<const std::uint8_t*>(base + h.count_at[t_]);
  groups_ = reinterpret_cast<const std::uint32_t*>(base + h.groups_at);
  postings_ = reinterpret_cast<const std::uint32_t*>(base + h.postings_at);
  // The group starts must rise to the number of postings, or a damaged file
  // would lead a query outside the postings.
  const std::uint64_t keys = Pow10(k_);
  for (std::uint64_t k = 0; k < keys; ++k) {
    if (groups_[k] > groups_[k + 1]) {
      error = "the index is damaged (posting groups out of order)";
      return false;
    }
  }
  if (groups_[0] != 0 || groups_[keys] != h.posting_count) {
    error = "the index is damaged (posting count)";
    return false;
  }
  madvise(const_cast<char*>(base), static_cast<std::size_t>(index_file_.size()), MADV_WILLNEED);
  return true;
}

std::string_view PiIndex::DigitsAt(std::uint64_t place, std::uint64_t count) const {
  if (place < 1 || place > n_) return {};
  return digits_.substr(static_cast<std::size_t>(place - 1), static_cast<std::size_t>(std::min(count, n_ - place + 1)));
}

// Calls visit(p) for each even p >= p_min whose K digits are those of q at
// j, in ascending order, until visit returns false. When q is long enough,
// only those p whose K digits two places on are q's at j+2 are visited.
template <class Visit>
void PiIndex::ForEachCandidate(std::string_view q, int j, std::uint64_t p_min, Visit visit) const {
  const int len = static_cast<int>(q.size());
  const std::uint32_t ka = Value(q.data() + j, k_);
  const std::uint32_t* a = std::lower_bound(postings_ + groups_[ka], postings_ + groups_[ka + 1], p_min);
  const std::uint32_t* a_end = postings_ + groups_[ka + 1];
  if (j + 2 + k_ <= len) {
    const std::uint32_t kb = Value(q.data() + j + 2, k_);
    const std::uint32_t* b = std::lower_bound(postings_ + groups_[kb], postings_ + groups_[kb + 1], p_min + 2);
    const std::uint32_t* b_end = postings_ + groups_[kb + 1];
    for (; a != a_end && b != b_end; ++a) {
      const std::uint64_t want = static_cast<std::uint64_t>(*a) + 2;
      while (b != b_end && *b < want) ++b;
      if (b != b_end && *b == want && !visit(*a)) return;
    }
    return;
  }
  for (const std::uint32_t* c = a; c != a_end; ++c) {
    if (c + 8 < a_end) __builtin_prefetch(digits_.data() + c[8]);
    if (!visit(*c)) return;
  }
}

std::uint64_t PiIndex::PostingFind(std::string_view q, std::uint64_t s_min) const {
  const std::uint64_t len = q.size();
  std::uint64_t best = kNone;
  for (int j = 0; j < 2; ++j) {
    ForEachCandidate(q, j, s_min + j, [&](std::uint64_t p) {
      const std::uint64_t s = p - j;
      if (s >= best) return false;
      if (s + len <= n_ && std::memcmp(digits_.data() + s, q.data(), len) == 0) {
        best = s;
        return false;
      }
      return true;
    });
  }
  return best == kNone ? 0 : best + 1;
}

std::uint64_t PiIndex::PostingCount(std::string_view q) const {
  const std::uint64_t len = q.size();
  std::uint64_t count = 0;
  for (int j = 0; j < 2; ++j) {
    ForEachCandidate(q, j, j, [&](std::uint64_t p) {
      const std::uint64_t s = p - j;
      if (s + len <= n_ && std::memcmp(digits_.data() + s, q.data(), len) == 0) ++count;
      return true;
    });
  }
  return count;
}

// The first occurrence at or after s_min of a string of at most K digits,
// from the groups of every key holding it at offset 0 (even starts) or 1
// (odd starts), and a look at the last starts, which no key covers.
std::uint64_t PiIndex::ShortFind(std::string_view q, std::uint64_t s_min) const {
  const int len = static_cast<int>(q.size());
  const std::uint32_t v = Value(q.data(), len);
  std::uint64_t best = kNone;
  auto first_in = [&](std::uint64_t key, std::uint64_t p_min) -> const std::uint32_t* {
    const std::uint32_t* end = postings_ + groups_[key + 1];
    const std::uint32_t* it = std::lower_bound(postings_ + groups_[key], end, p_min);
    return it == end ? nullptr : it;
  };
  // Even starts s = p: keys q followed by any K-len digits.
  const std::uint64_t tail_keys = Pow10(k_ - len);
  for (std::uint64_t y = 0; y < tail_keys; ++y) {
    if (const std::uint32_t* it = first_in(v * tail_keys + y, s_min)) best = std::min<std::uint64_t>(best, *it);
  }
  // Odd starts s = p + 1: keys of one digit x, then q.
  const std::uint64_t p_min = s_min > 0 ? s_min - 1 : 0;
  const std::uint64_t lead = Pow10(k_ - 1);
  if (len < k_) {
    const std::uint64_t inner = Pow10(k_ - 1 - len);
    for (std::uint64_t x = 0; x < 10; ++x) {
      for (std::uint64_t y = 0; y < inner; ++y) {
        if (const std::uint32_t* it = first_in(x * lead + v * inner + y, p_min))
          best = std::min<std::uint64_t>(best, static_cast<std::uint64_t>(*it) + 1);
      }
    }
  } else {
    // The key holds all but q's last digit, which is compared in the digits.
    const std::uint32_t head = Value(q.data(), len - 1);
    for (std::uint64_t x = 0; x < 10; ++x) {
      const std::uint64_t key = x * lead + head;
      const std::uint32_t* end = postings_ + groups_[key + 1];
      for (const std::uint32_t* it = first_in(key, p_min); it && it != end; ++it) {
        const std::uint64_t p = *it;
        if (p + 1 >= best) break;
        if (p + k_ < n_ && digits_[p + k_] == q[len - 1]) {
          best = p + 1;
          break;
        }
      }
    }
  }
  // The last starts, beyond every key.
  if (n_ >= static_cast<std::uint64_t>(len)) {
    std::uint64_t from = n_ >= static_cast<std::uint64_t>(k_) ? n_ - k_ + 1 : 0;
    from = std::max(from, s_min);
    for (std::uint64_t s = from; s + len <= n_ && s < best; ++s) {
      if (digits_.compare(s, len, q) == 0) {
        best = s;
        break;
      }
    }
  }
  return best == kNone ? 0 : best + 1;
}

std::uint64_t PiIndex::FindFirst(std::string_view q, std::uint64_t after) const {
  const std::uint64_t len = q.size();
  if (len == 0 || len > n_ || after > n_ - len) return 0;
  const int L = static_cast<int>(len);
  if (L <= t_) {
    const std::uint64_t f = first_[L][Value(q.data(), L)];
    if (f == 0 || f > n_ - len + 1) return 0;
    if (f > after) return f;
  } else if (first_[t_][Value(q.data(), t_)] == 0) {
    return 0;  // not even its first T digits occur
  }
  if (L > k_) return PostingFind(q, after);
  if (k_ - L <= 2) return ShortFind(q, after);
  // Strings this short occur every 10^L digits or so: a scan is quickest.
  std::size_t s = digits_.find(q, static_cast<std::size_t>(after));
  return s == std::string_view::npos ? 0 : s + 1;
}

std::uint64_t PiIndex::Count(std::string_view q) const {
  const std::uint64_t len = q.size();
  if (len == 0 || len > n_) return 0;
  const int L = static_cast<int>(len);
  if (L < t_) return count_[L][Value(q.data(), L)];
  const std::uint32_t top = Value(q.data(), t_);
  if (L == t_ && count_top_[top] < 255) return count_top_[top];
  if (first_[t_][top] == 0) return 0;
  return PostingCount(q);
}

}  // namespace pisvc
