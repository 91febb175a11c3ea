#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "digits_file.h"

namespace pidigits {
namespace {

namespace fs = std::filesystem;

// Sets an environment variable for the scope of a test.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value)
      setenv(name, value, 1);
    else
      unsetenv(name);
  }
  ~ScopedEnv() {
    if (old_)
      setenv(name_, old_->c_str(), 1);
    else
      unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(DigitsFile, DataFolderFollowsXdgThenHome) {
  ScopedEnv home("HOME", "/home/ada");
  {
    ScopedEnv xdg("XDG_DATA_HOME", "/data/xdg");
    EXPECT_EQ(DefaultDataDir(), fs::path("/data/xdg/pi-lookup"));
    EXPECT_EQ(DefaultDigitsPath(), fs::path("/data/xdg/pi-lookup/pi-digits.txt"));
  }
  for (const char* ignored : {static_cast<const char*>(nullptr), "", "relative/dir"}) {
    ScopedEnv xdg("XDG_DATA_HOME", ignored);
    EXPECT_EQ(DefaultDigitsPath(), fs::path("/home/ada/.local/share/pi-lookup/pi-digits.txt"));
  }
  EXPECT_EQ(ManifestPath("/x/pi-digits.txt"), fs::path("/x/pi-digits.txt.json"));
}

class ManifestTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("pl_digits_manifest_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
            "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path Write(const std::string& text) {
    const fs::path p = dir_ / "m.json";
    std::ofstream(p, std::ios::binary) << text;
    return p;
  }
  fs::path dir_;
};

TEST_F(ManifestTest, WritesAndReadsBack) {
  Manifest m;
  m.digits = 1000000000;
  m.sha256 = std::string(64, 'a');
  m.formula = "Chudnovsky";
  m.date = "2026-01-02T03:04:05Z";
  m.seconds = 361.5;
  m.peak_memory_bytes = 123456789;
  m.verified = "guard digits";
  std::string error;
  ASSERT_TRUE(WriteManifest(dir_ / "m.json", m, error)) << error;
  EXPECT_FALSE(fs::exists(dir_ / "m.json.tmp"));
  std::optional<Manifest> back = ReadManifest(dir_ / "m.json", error);
  ASSERT_TRUE(back) << error;
  EXPECT_EQ(back->digits, m.digits);
  EXPECT_EQ(back->sha256, m.sha256);
  EXPECT_EQ(back->formula, m.formula);
  EXPECT_EQ(back->date, m.date);
  EXPECT_DOUBLE_EQ(back->seconds, m.seconds);
  EXPECT_EQ(back->peak_memory_bytes, m.peak_memory_bytes);
  EXPECT_EQ(back->verified, m.verified);
}

TEST_F(ManifestTest, RejectsBrokenManifestsNamingTheFault) {
  const std::string sha = "\"" + std::string(64, '0') + "\"";
  struct Case {
    std::string text;
    std::string fault;
  };
  for (const Case& c : {
           Case{"", "not a JSON object"},
           Case{"[1, 2]", "not a JSON object"},
           Case{"{\"digits\": 10", "not a JSON object"},
           Case{"{\"sha256\": " + sha + "}", "\"digits\""},
           Case{"{\"digits\": 0, \"sha256\": " + sha + "}", "\"digits\""},
           Case{"{\"digits\": -5, \"sha256\": " + sha + "}", "\"digits\""},
           Case{"{\"digits\": \"10\", \"sha256\": " + sha + "}", "\"digits\""},
           Case{"{\"digits\": 10}", "\"sha256\""},
           Case{"{\"digits\": 10, \"sha256\": \"abc\"}", "\"sha256\""},
           Case{"{\"digits\": 10, \"sha256\": \"" + std::string(64, 'G') + "\"}", "\"sha256\""},
       }) {
    std::string error;
    EXPECT_FALSE(ReadManifest(Write(c.text), error)) << c.text;
    EXPECT_NE(error.find(c.fault), std::string::npos) << c.text << " -> " << error;
    EXPECT_NE(error.find("m.json"), std::string::npos) << error;
  }
  std::string error;
  EXPECT_FALSE(ReadManifest(dir_ / "missing.json", error));
  EXPECT_NE(error.find("cannot open"), std::string::npos);
}

TEST_F(ManifestTest, OptionalFieldsMayBeAbsent) {
  std::string error;
  auto m = ReadManifest(Write("{\"digits\": 7, \"sha256\": \"" + std::string(64, 'f') + "\"}"), error);
  ASSERT_TRUE(m) << error;
  EXPECT_EQ(m->digits, 7u);
  EXPECT_TRUE(m->formula.empty());
}

}  // namespace
}  // namespace pidigits
