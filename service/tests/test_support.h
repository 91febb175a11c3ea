// Helpers shared by the service's tests: the million-digit file made in the
// build, private temporary folders, and a reference search by brute force.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>

namespace pisvc::test {

// The first 1,000,000 digits of pi after the decimal point, computed with
// MPFR when the tests are built (PI_TEST_DIGITS names the file).
inline const std::string& MillionDigitsPath() {
  static const std::string path = PI_TEST_DIGITS;
  return path;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void WriteFile(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

inline const std::string& MillionDigits() {
  static const std::string digits = ReadFile(MillionDigitsPath());
  return digits;
}

// A folder of its own for one test, removed afterwards.
class TempDir {
 public:
  TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "pi-service-test-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    path_ = tmpl;
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// The reference answers, by scanning the digits.
inline std::uint64_t NaiveFind(std::string_view d, std::string_view q, std::uint64_t after = 0) {
  if (after >= d.size()) return 0;
  std::size_t s = d.find(q, static_cast<std::size_t>(after));
  return s == std::string_view::npos ? 0 : s + 1;
}

inline std::uint64_t NaiveCount(std::string_view d, std::string_view q) {
  std::uint64_t n = 0;
  for (std::size_t s = d.find(q); s != std::string_view::npos; s = d.find(q, s + 1)) ++n;
  return n;
}

}  // namespace pisvc::test
