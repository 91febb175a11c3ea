// The pi-digits command: files and manifests, verify, bad arguments, and an
// interrupted run.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "checksum.h"
#include "digits_file.h"
#include "reference.h"
#include "run.h"

namespace pidigits {
namespace {

namespace fs = std::filesystem;

struct Result {
  int code;
  std::string out, err;
};

Result Cli(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  const int code = RunPiDigits(args, out, err, false);
  return {code, out.str(), err.str()};
}

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteAll(const fs::path& p, const std::string& text) {
  std::ofstream(p, std::ios::binary | std::ios::trunc) << text;
}

std::vector<std::string> Listing(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

class PiDigitsRun : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("pl_digits_run_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    file_ = dir_ / "pi.txt";
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_, file_;
};

TEST_F(PiDigitsRun, WritesExactlyTheDigitsAndAMatchingManifest) {
  Result r = Cli({"--digits", "20000", "--out", file_.string(), "--threads", "2"});
  ASSERT_EQ(r.code, 0) << r.err;
  const std::string digits = ReadAll(file_);
  EXPECT_EQ(digits, MpfrPiDigits(20000));
  std::string error;
  auto m = ReadManifest(ManifestPath(file_), error);
  ASSERT_TRUE(m) << error;
  EXPECT_EQ(m->digits, 20000u);
  EXPECT_EQ(m->sha256, Sha256Hex(digits));
  EXPECT_FALSE(m->formula.empty());
  EXPECT_FALSE(m->date.empty());
  EXPECT_GT(m->peak_memory_bytes, 0u);
  EXPECT_NE(m->verified.find("MPFR"), std::string::npos);
  // Nothing else is left in the folder: no temporary files.
  EXPECT_EQ(Listing(dir_), (std::vector<std::string>{"pi.txt", "pi.txt.json"}));
  // The progress went to the error stream, ending at 100 %.
  EXPECT_NE(r.err.find("series"), std::string::npos);
  EXPECT_NE(r.err.find("100%"), std::string::npos);

  Result v = Cli({"verify", file_.string()});
  EXPECT_EQ(v.code, 0) << v.out << v.err;
  EXPECT_NE(v.out.find("verified"), std::string::npos);
}

TEST_F(PiDigitsRun, ReplacesAnEarlierFileAndManifest) {
  ASSERT_EQ(Cli({"--digits", "3000", "--out", file_.string()}).code, 0);
  ASSERT_EQ(Cli({"--digits", "1000", "--out", file_.string()}).code, 0);
  EXPECT_EQ(ReadAll(file_).size(), 1000u);
  std::string error;
  EXPECT_EQ(ReadManifest(ManifestPath(file_), error)->digits, 1000u);
  EXPECT_EQ(Cli({"verify", file_.string()}).code, 0);
}

TEST_F(PiDigitsRun, VerifyRejectsTruncatedAlteredAndUndescribedFiles) {
  ASSERT_EQ(Cli({"--digits", "5000", "--out", file_.string()}).code, 0);
  const std::string good = ReadAll(file_);

  WriteAll(file_, good.substr(0, 4990));
  Result r = Cli({"verify", file_.string()});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.out.find("truncated"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("digits 4991 to 5000 are missing"), std::string::npos) << r.out;

  std::string altered = good;
  altered[1233] = altered[1233] == '7' ? '8' : '7';  // digit 1234
  altered[1234] = altered[1234] == '7' ? '8' : '7';  // digit 1235
  altered[4000] = altered[4000] == '1' ? '2' : '1';  // digit 4001
  WriteAll(file_, altered);
  r = Cli({"verify", file_.string()});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.out.find("SHA-256"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("digits 1234 to 1235 differ"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("digits 4001 to 4001 differ"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("3 of the first 5000 digits differ"), std::string::npos) << r.out;

  // The same altered digits, checked only up to digit 2000.
  r = Cli({"verify", file_.string(), "--digits", "2000"});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out.find("4001"), std::string::npos) << r.out;

  // A file whose checksum is right for its manifest but whose digits are
  // wrong (both rewritten) fails on the comparison with pi.
  std::string error;
  Manifest m = *ReadManifest(ManifestPath(file_), error);
  m.sha256 = Sha256Hex(altered);
  ASSERT_TRUE(WriteManifest(ManifestPath(file_), m, error));
  r = Cli({"verify", file_.string()});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out.find("SHA-256"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("digits 1234 to 1235 differ"), std::string::npos) << r.out;

  // Right digits, no manifest: not complete.
  WriteAll(file_, good);
  fs::remove(ManifestPath(file_));
  r = Cli({"verify", file_.string()});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.out.find("manifest"), std::string::npos) << r.out;

  // A stray byte that is not a digit.
  ASSERT_EQ(Cli({"--digits", "5000", "--out", file_.string()}).code, 0);
  WriteAll(file_, good.substr(0, 99) + "x" + good.substr(100));
  r = Cli({"verify", file_.string()});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.out.find("not digits, the first at position 100"), std::string::npos) << r.out;
}

TEST_F(PiDigitsRun, BadArgumentsExitWithTwoBeforeAnyWork) {
  const std::string out = file_.string();
  const std::vector<std::vector<std::string>> cases = {
      {"--digits", "0", "--out", out},
      {"--digits", "-5", "--out", out},
      {"--digits", "abc", "--out", out},
      {"--digits", "1e9", "--out", out},
      {"--digits", "12.5", "--out", out},
      {"--digits", "", "--out", out},
      {"--digits", "99999999999999999999", "--out", out},  // does not fit
      {"--digits", "1000000000000000", "--out", out},      // more than memory allows
      {"--digits"},
      {"--threads", "0", "--out", out},
      {"--threads", "many", "--out", out},
      {"--frobnicate"},
      {"--digits", "100", "--out", (dir_ / "no-such-folder" / "pi.txt").string()},
      {"--digits", "100", "--out", "/proc/pi-digits-test.txt"},  // cannot be written
      {"--digits", "100", "--out", dir_.string()},               // a folder
      {"verify"},
      {"verify", out, "--threads", "2"},
      {"verify", (dir_ / "missing.txt").string()},
  };
  for (const auto& args : cases) {
    std::string shown;
    for (const auto& a : args) shown += a + " ";
    Result r = Cli(args);
    EXPECT_EQ(r.code, 2) << shown;
    EXPECT_NE(r.err.find("pi-digits: "), std::string::npos) << shown << r.err;
    EXPECT_EQ(r.err.find("series"), std::string::npos) << shown << ": work started";
    EXPECT_TRUE(Listing(dir_).empty()) << shown;
  }
}

TEST_F(PiDigitsRun, VerifyRefusesMoreDigitsThanTheFileHolds) {
  ASSERT_EQ(Cli({"--digits", "1000", "--out", file_.string()}).code, 0);
  Result r = Cli({"verify", file_.string(), "--digits", "1001"});
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("more than the 1000 digits"), std::string::npos) << r.err;
}

// Kills the real program while it works: the old, complete file and its
// manifest stay as they were, and no other file appears.
TEST_F(PiDigitsRun, InterruptedRunLeavesNothingThatLooksComplete) {
  ASSERT_EQ(Cli({"--digits", "1000", "--out", file_.string()}).code, 0);
  const std::string before = ReadAll(file_);
  const std::string manifest_before = ReadAll(ManifestPath(file_));

  const fs::path log = dir_.parent_path() / (dir_.filename().string() + ".log");
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    FILE* f = std::freopen(log.c_str(), "w", stderr);
    (void)f;
    execl(PI_DIGITS_EXE, PI_DIGITS_EXE, "--digits", "200000000", "--out", file_.c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  // Wait until the computation is under way, then kill it.
  for (int i = 0; i < 200 && ReadAll(log).find("series") == std::string::npos; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  kill(child, SIGKILL);
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFSIGNALED(status));
  EXPECT_NE(ReadAll(log).find("series"), std::string::npos);
  fs::remove(log);

  EXPECT_EQ(Listing(dir_), (std::vector<std::string>{"pi.txt", "pi.txt.json"}));
  EXPECT_EQ(ReadAll(file_), before);
  EXPECT_EQ(ReadAll(ManifestPath(file_)), manifest_before);
  EXPECT_EQ(Cli({"verify", file_.string()}).code, 0);
}

}  // namespace
}  // namespace pidigits
