// pi_index.h: the index that answers every digit-string query over the
// digits file in microseconds.
//
//   std::string error;
//   auto index = pisvc::PiIndex::Open("pi-digits.txt", "pi-digits.txt.idx", {}, error);
//   std::uint64_t place = index->FindFirst("926");        // 5
//   std::uint64_t next = index->FindFirst("926", place);  // the next place after 5
//   std::uint64_t times = index->Count("926");
//
// Places count from 1, the first digit after the decimal point; 0 means "not
// found". A match counts only when it lies wholly within the N digits of the
// file. Occurrences may overlap ("11" occurs twice in "111").
//
// What the index file holds, for N digits, with T = the table depth (8 for a
// billion digits, fewer for small files) and K = T - 1:
//  - for every length L <= T, the first place of each of the 10^L strings;
//  - for every length L < T, the number of occurrences of each string, and
//    for L = T the number in one byte (255: "many", then counted as below);
//  - the postings: every even position p (0-based) with p + K <= N, grouped
//    by the K digits that start there, ascending within each group.
// A string of more than K digits that occurs at 0-based q is found exactly
// once through the postings, at the even p = q + (q mod 2), under the key of
// its digits [j, j+K) with j = q mod 2; a second key two digits further on
// narrows the candidates before the digits themselves are compared. Later
// occurrences of short strings come from the groups of every key that holds
// the string at offset 0 or 1, or from a scan when the string is short enough
// to be frequent.
//
// The file starts with a header that ties it to the digits file (digit
// count, file size, where the digits start, checksum of the digits); a file
// that does not match is rebuilt. It is written to a temporary file and
// renamed into place, so a reader never maps a half-written index.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "mapped_file.h"

namespace pisvc {

struct IndexShape {
  int table_depth;  // T: first-place tables for lengths 1..T
  int key_len;      // K = T - 1: digits per posting key
};

// The shape used for a file of n digits: T = floor(log10 n) - 1, kept within
// 2..8, so that a posting group holds about 50 positions whatever n.
IndexShape ShapeFor(std::uint64_t n);

struct IndexOptions {
  int threads = 2;             // threads for building and checking
  bool show_progress = false;  // progress bar on standard error while building
  bool force_rebuild = false;  // build even when a matching index exists
};

class PiIndex {
 public:
  // Maps the digits file and the index beside it, building the index first
  // when it is missing or does not match the digits. On failure returns
  // nullopt and sets `error` to a sentence that says what is wrong.
  static std::optional<PiIndex> Open(const std::string& digits_path, const std::string& index_path,
                                     const IndexOptions& options, std::string& error);

  // Where the index of a digits file lies by default: beside it, ".idx" added.
  static std::string DefaultPath(const std::string& digits_path) { return digits_path + ".idx"; }

  // True when Open had to build the index (missing, stale or forced).
  bool built() const { return built_; }
  // Why it was built ("no index yet", "the digits changed", ...), or empty.
  const std::string& build_reason() const { return build_reason_; }

  std::uint64_t size() const { return n_; }
  std::string_view digits() const { return digits_; }
  IndexShape shape() const { return {t_, k_}; }

  // The first place greater than `after` at which `digits` begins and lies
  // wholly within the N digits; 0 when there is none. `digits` must be a
  // non-empty string of the characters 0-9 (the caller checks its form).
  std::uint64_t FindFirst(std::string_view digits, std::uint64_t after = 0) const;
  // How many times `digits` occurs within the N digits, overlaps included.
  std::uint64_t Count(std::string_view digits) const;

  // Up to `count` digits starting at `place` (from 1); fewer at the end,
  // empty when `place` is outside 1..N.
  std::string_view DigitsAt(std::uint64_t place, std::uint64_t count) const;

 private:
  PiIndex() = default;
  bool Map(std::string& error);
  std::uint64_t PostingFind(std::string_view q, std::uint64_t s_min) const;
  std::uint64_t PostingCount(std::string_view q) const;
  std::uint64_t ShortFind(std::string_view q, std::uint64_t s_min) const;
  template <class Visit>
  void ForEachCandidate(std::string_view q, int j, std::uint64_t p_min, Visit visit) const;

  DigitsFile digits_file_;
  MappedFile index_file_;
  std::string_view digits_;
  std::uint64_t n_ = 0;
  int t_ = 0;
  int k_ = 0;
  const std::uint32_t* first_[9] = {};
  const std::uint32_t* count_[9] = {};  // lengths 1..T-1
  const std::uint8_t* count_top_ = nullptr;
  const std::uint32_t* groups_ = nullptr;  // 10^K + 1 starts into postings_
  const std::uint32_t* postings_ = nullptr;
  bool built_ = false;
  std::string build_reason_;
};

}  // namespace pisvc
