#include "pi_index.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>

#include "test_support.h"

namespace pisvc {
namespace {

using test::MillionDigits;
using test::NaiveCount;
using test::NaiveFind;
using test::TempDir;
using test::WriteFile;

PiIndex OpenOrDie(const std::string& digits, const std::string& index, IndexOptions options = {}) {
  std::string error;
  auto opened = PiIndex::Open(digits, index, options, error);
  if (!opened) throw std::runtime_error(error);
  return std::move(*opened);
}

// The index over the million digits, shared by the tests of one process; its
// file lies in the build folder beside the digits (built once, then mapped).
const PiIndex& Million() {
  static const PiIndex index =
      OpenOrDie(test::MillionDigitsPath(), PiIndex::DefaultPath(test::MillionDigitsPath()));
  return index;
}

TEST(PiIndex, KnownPlacesInTheMillionDigits) {
  const PiIndex& index = Million();
  const std::string& d = MillionDigits();
  ASSERT_EQ(index.size(), 1000000u);
  EXPECT_EQ(index.shape().table_depth, 5);
  EXPECT_EQ(index.FindFirst("926"), 5u);
  EXPECT_EQ(index.FindFirst("999999"), 762u);
  EXPECT_EQ(index.FindFirst("1"), 1u);
  EXPECT_EQ(index.FindFirst(d.substr(0, 1000)), 1u);  // the longest query there is
  EXPECT_EQ(index.FindFirst(d.substr(500000, 1000)), 500001u);
  EXPECT_EQ(index.DigitsAt(1, 5), "14159");
  EXPECT_EQ(index.DigitsAt(1000000, 20), d.substr(999999));
  EXPECT_EQ(index.DigitsAt(0, 5), "");
  EXPECT_EQ(index.DigitsAt(1000001, 5), "");
  // The very last digits are found where they stand (or earlier).
  const std::string last = d.substr(d.size() - 12);
  EXPECT_EQ(index.FindFirst(last), NaiveFind(d, last));
  EXPECT_EQ(index.FindFirst(last, index.FindFirst(last)), 0u);
  EXPECT_EQ(index.Count(d.substr(0, 1000)), 1u);
}

// Every kind of query against a brute-force scan: lengths 1 to 30 drawn
// from the digits (found) and at random (mostly not found, for the longer
// ones), with and without a place to search after, and the counts.
TEST(PiIndex, AgreesWithAScanOfTheMillionDigits) {
  const PiIndex& index = Million();
  const std::string& d = MillionDigits();
  std::mt19937_64 rng(20261211);
  auto pick = [&](std::uint64_t below) { return std::uniform_int_distribution<std::uint64_t>(0, below - 1)(rng); };
  int checked = 0;
  for (int round = 0; round < 1200; ++round) {
    const std::size_t len = 1 + pick(round % 3 == 0 ? 30 : 12);
    std::string q;
    if (round % 2 == 0) {
      q = d.substr(pick(d.size() - len + 1), len);
    } else {
      for (std::size_t i = 0; i < len; ++i) q += static_cast<char>('0' + pick(10));
    }
    const std::uint64_t after = round % 4 < 2 ? 0 : pick(d.size());
    ASSERT_EQ(index.FindFirst(q, after), NaiveFind(d, q, after)) << "q=" << q << " after=" << after;
    if (round % 3 == 0 && len >= 4) {
      ASSERT_EQ(index.Count(q), NaiveCount(d, q)) << "q=" << q;
    }
    ++checked;
  }
  // Walking all occurrences with "find next" gives exactly the scan's list.
  for (const std::string& q : {std::string("0"), std::string("31"), std::string("592"), std::string("6535"),
                              std::string("77777"), d.substr(100, 6), d.substr(123456, 7), d.substr(654321, 8),
                              d.substr(999000, 9), d.substr(777, 20)}) {
    std::uint64_t place = 0, seen = 0;
    std::size_t s = d.find(q);
    for (int step = 0; step < 40; ++step) {
      place = index.FindFirst(q, place);
      ASSERT_EQ(place, s == std::string::npos ? 0 : s + 1) << "q=" << q << " step " << step;
      if (place == 0) break;
      ++seen;
      s = d.find(q, s + 1);
    }
    EXPECT_GT(seen, 0u) << q;
    EXPECT_EQ(index.Count(q), NaiveCount(d, q)) << q;
  }
  EXPECT_EQ(checked, 1200);
}

// Small files take the smaller shapes, and their ends are where the tails
// of the tables and the postings are easiest to get wrong: every string of
// one to three digits, and every place to search after, against the scan.
TEST(PiIndex, SmallFilesAnswerEveryShortString) {
  TempDir dir;
  for (std::size_t n : {1u, 2u, 3u, 7u, 10u, 11u, 99u, 100u, 101u, 1000u, 12345u}) {
    const std::string d = MillionDigits().substr(0, n);
    const std::string path = dir.File("pi-" + std::to_string(n) + ".txt");
    WriteFile(path, d);
    const PiIndex index = OpenOrDie(path, path + ".idx");
    ASSERT_EQ(index.size(), n);
    for (std::size_t len = 1; len <= 3; ++len) {
      std::uint64_t total = 1;
      for (std::size_t i = 0; i < len; ++i) total *= 10;
      for (std::uint64_t v = 0; v < total; ++v) {
        std::string q = std::to_string(v);
        q.insert(0, len - q.size(), '0');
        ASSERT_EQ(index.FindFirst(q), NaiveFind(d, q)) << "n=" << n << " q=" << q;
        ASSERT_EQ(index.Count(q), NaiveCount(d, q)) << "n=" << n << " q=" << q;
        const std::uint64_t step = n > 200 ? n / 37 : 1;
        for (std::uint64_t after = 1; after <= n; after += step)
          ASSERT_EQ(index.FindFirst(q, after), NaiveFind(d, q, after)) << "n=" << n << " q=" << q << " after=" << after;
      }
    }
    // Strings from the end, of every length up to the whole file.
    for (std::size_t len = 1; len <= n && len <= 40; ++len) {
      const std::string q = d.substr(n - len);
      ASSERT_EQ(index.FindFirst(q), NaiveFind(d, q)) << "n=" << n << " tail of " << len;
      ASSERT_EQ(index.Count(q), NaiveCount(d, q)) << "n=" << n << " tail of " << len;
    }
  }
}

// A match must lie wholly within the N digits: the last digits of a file
// followed by the digits that come next in pi are not found there.
TEST(PiIndex, AStringRunningPastTheEndIsNotFoundThere) {
  TempDir dir;
  const std::string& pi = MillionDigits();
  for (std::size_t n : {1000u, 100000u}) {
    const std::string path = dir.File("cut.txt");
    WriteFile(path, pi.substr(0, n));
    const PiIndex index = OpenOrDie(path, path + ".idx");
    for (std::size_t inside : {1u, 3u, 6u, 11u}) {
      const std::string q = pi.substr(n - inside, inside + 5);
      const std::uint64_t place = index.FindFirst(q);
      EXPECT_NE(place, n - inside + 1) << "n=" << n << " q=" << q;
      EXPECT_EQ(place, NaiveFind(pi.substr(0, n), q));
      EXPECT_EQ(index.Count(q), NaiveCount(pi.substr(0, n), q));
    }
    const std::string longer = pi.substr(0, n + 1);
    EXPECT_EQ(index.FindFirst(longer), 0u);
    EXPECT_EQ(index.Count(longer), 0u);
    EXPECT_EQ(index.FindFirst(pi.substr(0, n)), 1u);
  }
}

TEST(PiIndex, AStaleOrDamagedIndexIsRebuilt) {
  TempDir dir;
  const std::string path = dir.File("pi.txt");
  const std::string idx = path + ".idx";
  std::string d = MillionDigits().substr(0, 20000);
  WriteFile(path, d);

  PiIndex first = OpenOrDie(path, idx);
  EXPECT_TRUE(first.built());
  EXPECT_TRUE(std::filesystem::exists(idx));
  EXPECT_FALSE(OpenOrDie(path, idx).built());  // matches: mapped as it is

  // One digit changed, same size: the checksum no longer matches.
  std::string q;  // five digits that the first 20000 do not hold
  for (int v = 0; q.empty(); ++v) {
    std::string c = std::to_string(100000 + v).substr(1);
    if (NaiveFind(d, c) == 0) q = c;
  }
  d.replace(1234, 5, q);
  WriteFile(path, d);
  {
    PiIndex fresh = OpenOrDie(path, idx);
    EXPECT_TRUE(fresh.built());
    EXPECT_EQ(fresh.build_reason(), "the digits file has changed since the index was built");
    EXPECT_EQ(fresh.FindFirst(q), NaiveFind(d, q));
    EXPECT_NE(fresh.FindFirst(q), 0u);
    EXPECT_EQ(fresh.FindFirst(d.substr(1230, 12)), 1231u);
  }
  // A cut-off index, and one whose header is garbage.
  std::filesystem::resize_file(idx, std::filesystem::file_size(idx) / 2);
  EXPECT_TRUE(OpenOrDie(path, idx).built());
  WriteFile(idx, std::string(8192, 'x'));
  EXPECT_TRUE(OpenOrDie(path, idx).built());
  // Longer digits: another size and shape.
  d += MillionDigits().substr(20000, 1000);
  WriteFile(path, d);
  PiIndex longer = OpenOrDie(path, idx);
  EXPECT_TRUE(longer.built());
  EXPECT_EQ(longer.size(), 21000u);
  EXPECT_EQ(longer.FindFirst(d.substr(20500, 30)), NaiveFind(d, d.substr(20500, 30)));
  // No temporary file is left beside it.
  int files = 0;
  for (const auto& e : std::filesystem::directory_iterator(std::filesystem::path(path).parent_path())) {
    (void)e;
    ++files;
  }
  EXPECT_EQ(files, 2);
}

TEST(PiIndex, ReadsTextThatBeginsWithThreePoint) {
  TempDir dir;
  const std::string path = dir.File("pi.txt");
  WriteFile(path, "3." + MillionDigits().substr(0, 5000) + "\r\n");
  const PiIndex index = OpenOrDie(path, path + ".idx");
  EXPECT_EQ(index.size(), 5000u);
  EXPECT_EQ(index.FindFirst("14159"), 1u);
  EXPECT_EQ(index.FindFirst("3"), 9u);  // the "3" before the point is not a digit after it
  EXPECT_EQ(index.DigitsAt(5000, 5), MillionDigits().substr(4999, 1));
}

TEST(PiIndex, RefusesWhatIsNotADigitsFile) {
  TempDir dir;
  struct Case {
    const char* name;
    std::string bytes;
    const char* says;
  };
  const Case cases[] = {
      {"empty", "", "holds no digits"},
      {"point only", "3.", "holds no digits"},
      {"a letter", "14159x65", "byte 6 is not a digit"},
      {"a minus sign", "-1415", "byte 1 is not a digit"},
      {"a blank inside", "1415 9265", "byte 5 is not a digit"},
      {"after 3.", "3.14a", "byte 5 is not a digit"},
  };
  for (const Case& c : cases) {
    const std::string path = dir.File("bad.txt");
    WriteFile(path, c.bytes);
    std::string error;
    EXPECT_FALSE(PiIndex::Open(path, path + ".idx", {}, error)) << c.name;
    EXPECT_NE(error.find(c.says), std::string::npos) << c.name << ": " << error;
  }
  std::string error;
  EXPECT_FALSE(PiIndex::Open(dir.File("missing.txt"), dir.File("missing.idx"), {}, error));
  EXPECT_NE(error.find("cannot open"), std::string::npos) << error;
  EXPECT_FALSE(PiIndex::Open(dir.File(""), dir.File("dir.idx"), {}, error));  // a folder
}

TEST(PiIndex, ShapeGrowsWithTheDigits) {
  EXPECT_EQ(ShapeFor(1).table_depth, 2);
  EXPECT_EQ(ShapeFor(1000000).table_depth, 5);
  EXPECT_EQ(ShapeFor(10000000).table_depth, 6);
  EXPECT_EQ(ShapeFor(1000000000).table_depth, 8);
  EXPECT_EQ(ShapeFor(4000000000ULL).table_depth, 8);
  EXPECT_EQ(ShapeFor(1000000000).key_len, 7);
}

}  // namespace
}  // namespace pisvc
