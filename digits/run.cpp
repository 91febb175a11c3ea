#include "run.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <thread>

#include "checksum.h"
#include "digits_file.h"
#include "pi_compute.h"
#include "progress.h"
#include "reference.h"

namespace pidigits {

namespace fs = std::filesystem;

namespace {

constexpr std::uint64_t kDefaultDigits = 1000000000;
// After computing, the first digits are compared with MPFR's (a fraction of a second).
constexpr std::uint64_t kCheckDigits = 100000;
constexpr const char* kFormula =
    "Chudnovsky series by binary splitting (GMP), integer square root of 10005, "
    "one division, divide-and-conquer decimal conversion";

const char* kUsage =
    "usage: pi-digits [--digits N] [--out FILE] [--threads T]\n"
    "       pi-digits verify FILE [--digits K]\n"
    "Computes the first N digits of pi after the decimal point (default 1000000000)\n"
    "into FILE (default: $XDG_DATA_HOME/pi-lookup/pi-digits.txt, else\n"
    "~/.local/share/pi-lookup/pi-digits.txt) with a manifest FILE.json beside it.\n"
    "verify checks FILE against its manifest and against MPFR's pi at all its\n"
    "digits, or at the first K.\n";

std::uint64_t PeakRssBytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<std::uint64_t>(usage.ru_maxrss) * 1024;
}

std::uint64_t PhysicalMemoryBytes() {
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long size = sysconf(_SC_PAGE_SIZE);
  if (pages <= 0 || size <= 0) return 0;
  return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(size);
}

std::string UtcNow() {
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  gmtime_r(&t, &tm);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &tm);
  return buf;
}

std::string Gib(std::uint64_t bytes) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.2f GiB", static_cast<double>(bytes) / (1024.0 * 1024 * 1024));
  return buf;
}

struct Args {
  std::optional<std::uint64_t> digits;
  std::optional<fs::path> out;
  std::optional<fs::path> verify_file;
  unsigned threads = 0;
  bool verify = false;
  bool help = false;
};

// Parses the arguments; on a fault sets `error` and returns nullopt.
std::optional<Args> Parse(const std::vector<std::string>& args, std::string& error) {
  Args a;
  std::size_t i = 0;
  if (!args.empty() && args[0] == "verify") {
    a.verify = true;
    i = 1;
  }
  for (; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto value = [&](const char* name) -> const std::string* {
      if (i + 1 >= args.size()) {
        error = std::string(name) + " needs a value";
        return nullptr;
      }
      return &args[++i];
    };
    if (arg == "--help" || arg == "-h") {
      a.help = true;
    } else if (arg == "--digits") {
      const std::string* v = value("--digits");
      if (!v) return std::nullopt;
      const std::uint64_t n = ParseCount(*v);
      if (n == 0) {
        error = "--digits must be a whole number of at least 1, not \"" + *v + "\"";
        return std::nullopt;
      }
      a.digits = n;
    } else if (arg == "--threads" && a.verify) {
      error = "verify computes its pi with MPFR on one thread; --threads does not apply";
      return std::nullopt;
    } else if (arg == "--threads") {
      const std::string* v = value("--threads");
      if (!v) return std::nullopt;
      const std::uint64_t t = ParseCount(*v);
      if (t == 0 || t > 256) {
        error = "--threads must be a whole number from 1 to 256, not \"" + *v + "\"";
        return std::nullopt;
      }
      a.threads = static_cast<unsigned>(t);
    } else if (arg == "--out" && !a.verify) {
      const std::string* v = value("--out");
      if (!v) return std::nullopt;
      if (v->empty()) {
        error = "--out needs a file name";
        return std::nullopt;
      }
      a.out = fs::path(*v);
    } else if (a.verify && !a.verify_file && !arg.starts_with("-")) {
      a.verify_file = fs::path(arg);
    } else {
      error = "unknown argument \"" + arg + "\"";
      return std::nullopt;
    }
  }
  if (a.verify && !a.verify_file && !a.help) {
    error = "verify needs the digits file to check";
    return std::nullopt;
  }
  if (a.threads == 0) a.threads = std::max(1u, std::thread::hardware_concurrency());
  return a;
}

// An output file being written: an unnamed file in the target folder
// (O_TMPFILE), so that a run interrupted at any point leaves nothing behind;
// linked under its final name only once complete and checked.
class PendingFile {
 public:
  PendingFile() = default;
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;
  ~PendingFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!named_.empty()) ::unlink(named_.c_str());
  }

  // Opens the file in `dir`; false when the folder cannot be written.
  bool Open(const fs::path& dir, const fs::path& target) {
    fd_ = ::open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0644);
    if (fd_ >= 0) return true;
    // File systems without unnamed files: a hidden temporary name, removed on
    // failure; it never carries the final name nor a manifest.
    std::string name = ".";
    name += target.filename().string();
    name += ".partial-";
    name += std::to_string(::getpid());
    named_ = dir / name;
    fd_ = ::open(named_.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd_ < 0) named_.clear();
    return fd_ >= 0;
  }
  int fd() const { return fd_; }
  // A path that reads the file's current contents.
  fs::path ReadPath() const {
    return named_.empty() ? fs::path("/proc/self/fd/" + std::to_string(fd_)) : named_;
  }

  // Gives the file the name `target`, replacing any file there.
  bool Commit(const fs::path& target, std::string& error) {
    if (::fsync(fd_) != 0) {
      error = "cannot flush the digits to disk";
      return false;
    }
    fs::path staged = named_;
    if (staged.empty()) {
      staged = target;
      staged += ".partial-" + std::to_string(::getpid());
      ::unlink(staged.c_str());
      const std::string proc = "/proc/self/fd/" + std::to_string(fd_);
      if (::linkat(AT_FDCWD, proc.c_str(), AT_FDCWD, staged.c_str(), AT_SYMLINK_FOLLOW) != 0) {
        error = "cannot give the digits file a name in " + target.parent_path().string();
        return false;
      }
      named_ = staged;
    }
    if (std::rename(staged.c_str(), target.c_str()) != 0) {
      error = "cannot rename the digits file to " + target.string();
      return false;
    }
    named_.clear();
    return true;
  }

 private:
  int fd_ = -1;
  fs::path named_;  // a named temporary file to remove on failure, if any
};

// Compares `digits` (the file's, starting at digit 1) with pi's and describes
// the differences in `report`; returns the count of differing digits.
std::uint64_t Compare(std::string_view file, std::string_view pi, std::ostream& report) {
  std::uint64_t differing = 0;
  int ranges = 0;
  const std::size_t n = std::min(file.size(), pi.size());
  for (std::size_t i = 0; i < n;) {
    if (file[i] == pi[i]) {
      ++i;
      continue;
    }
    std::size_t j = i;
    while (j < n && file[j] != pi[j]) ++j;
    differing += j - i;
    if (++ranges <= 10) {
      const std::size_t shown = std::min<std::size_t>(j - i, 20);
      report << "  digits " << (i + 1) << " to " << j << " differ: the file has \""
             << file.substr(i, shown) << "\", pi has \"" << pi.substr(i, shown) << "\""
             << (shown < j - i ? " (first 20 shown)" : "") << "\n";
    }
    i = j;
  }
  if (ranges > 10) report << "  ... and " << (ranges - 10) << " more differing ranges\n";
  return differing;
}

// MPFR's pi gives no sign of progress: the phase advances with the time a
// smaller run took, scaled by MPFR's growth (n log^2 n).
std::string MpfrWithProgress(std::uint64_t count, Progress& progress, std::size_t phase) {
  constexpr std::uint64_t kCalibrateAbove = 200000;
  if (count <= kCalibrateAbove) return MpfrPiDigits(count);
  const std::uint64_t small = std::clamp<std::uint64_t>(count / 64, 20000, 2000000);
  const auto t0 = std::chrono::steady_clock::now();
  MpfrPiDigits(small);
  const double t_small = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  const double ratio = static_cast<double>(count) / static_cast<double>(small);
  const double logs = std::log2(static_cast<double>(count)) / std::log2(static_cast<double>(small));
  const double expected = std::max(0.1, t_small * ratio * logs * logs);

  std::atomic<bool> stop{false};
  const auto start = std::chrono::steady_clock::now();
  std::thread ticker([&] {
    while (!stop.load()) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      progress.Set(phase, std::min(0.99, elapsed / expected));
    }
  });
  std::string pi;
  try {
    pi = MpfrPiDigits(count);
  } catch (...) {
    stop = true;
    ticker.join();
    throw;
  }
  stop = true;
  ticker.join();
  progress.Set(phase, 1.0);
  return pi;
}

int Verify(const Args& a, std::ostream& out, std::ostream& err, bool terminal) {
  const fs::path file = *a.verify_file;
  std::error_code ec;
  if (!fs::is_regular_file(file, ec)) {
    err << "pi-digits: " << file.string() << " is not a readable file\n";
    return 2;
  }
  const std::uint64_t size = fs::file_size(file, ec);
  std::string error;
  std::optional<Manifest> manifest = ReadManifest(ManifestPath(file), error);
  const std::uint64_t known = manifest ? manifest->digits : size;
  const std::uint64_t count = a.digits.value_or(known);
  if (count > known) {
    err << "pi-digits: --digits " << count << " is more than the " << known
        << " digits the file should hold\n";
    return 2;
  }
  // MPFR's pi and the file's digits are both held in memory; MPFR's working
  // memory is taken to be twice the computation's own.
  const std::uint64_t need = 2 * EstimatedPeakBytes(count) + count;
  const std::uint64_t have = PhysicalMemoryBytes();
  if (have > 0 && need > have) {
    err << "pi-digits: checking " << count << " digits needs about " << Gib(need)
        << " of memory; this machine has " << Gib(have) << "; choose fewer with --digits\n";
    return 2;
  }

  Progress progress(err, terminal, {{"checksum", 0.1}, {"computing pi (MPFR)", 0.85},
                                    {"comparing", 0.05}});
  bool ok = true;
  std::ostringstream report;
  if (!manifest) {
    report << "  " << error << "\n";
    ok = false;
  } else if (size != manifest->digits) {
    report << "  the file has " << size << " bytes, the manifest says " << manifest->digits
           << " digits: the file is " << (size < manifest->digits ? "truncated" : "too long")
           << "\n";
    ok = false;
  }
  progress.Begin(0);
  std::string head;  // the first `count` bytes of the file
  head.reserve(std::min(count, size));
  std::uint64_t non_digits = 0, first_non_digit = 0;
  std::optional<std::string> sum = Sha256File(file, [&](std::string_view chunk, std::uint64_t off) {
    for (std::size_t i = 0; i < chunk.size(); ++i)
      if (chunk[i] < '0' || chunk[i] > '9') {
        if (non_digits++ == 0) first_non_digit = off + i + 1;
      }
    if (off < count) head.append(chunk.substr(0, static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), count - off))));
    if (size > 0) progress.Set(0, static_cast<double>(off + chunk.size()) / static_cast<double>(size));
  });
  if (!sum) {
    err << "pi-digits: cannot read " << file.string() << "\n";
    return 1;
  }
  if (manifest && *sum != manifest->sha256) {
    report << "  the SHA-256 of the file (" << *sum << ") differs from the manifest's ("
           << manifest->sha256 << "): the file was altered\n";
    ok = false;
  }
  if (non_digits > 0) {
    report << "  " << non_digits << " bytes are not digits, the first at position "
           << first_non_digit << "\n";
    ok = false;
  }

  progress.Begin(1);
  const std::string pi = MpfrWithProgress(count, progress, 1);
  progress.Begin(2);
  if (pi.empty()) {
    report << "  MPFR cannot decide digit " << count << " (a run of nines follows it)\n";
    ok = false;
  } else {
    const std::uint64_t differing = Compare(head, pi, report);
    if (differing > 0) {
      report << "  " << differing << " of the first " << head.size()
             << " digits differ from pi\n";
      ok = false;
    }
    if (head.size() < count) {
      report << "  digits " << (head.size() + 1) << " to " << count << " are missing\n";
      ok = false;
    }
  }
  progress.Done();
  if (ok) {
    out << file.string() << ": verified: " << size << " digits, SHA-256 " << *sum
        << " as in the manifest; the first " << count
        << " digits agree with MPFR's mpfr_const_pi\n";
    return 0;
  }
  out << file.string() << ": NOT verified:\n" << report.str();
  return 1;
}

int Compute(const Args& a, std::ostream& out, std::ostream& err, bool terminal) {
  const std::uint64_t count = a.digits.value_or(kDefaultDigits);
  const bool default_path = !a.out.has_value();
  const fs::path target = default_path ? DefaultDigitsPath() : *a.out;
  fs::path dir = target.parent_path();
  if (dir.empty()) dir = ".";
  std::error_code ec;
  if (default_path) fs::create_directories(dir, ec);
  if (!fs::is_directory(dir, ec)) {
    err << "pi-digits: the folder " << dir.string() << " does not exist\n";
    return 2;
  }
  if (fs::is_directory(target, ec)) {
    err << "pi-digits: " << target.string() << " is a folder, not a file name\n";
    return 2;
  }
  const std::uint64_t need = EstimatedPeakBytes(count);
  const std::uint64_t have = PhysicalMemoryBytes();
  if (have > 0 && need > have) {
    err << "pi-digits: " << count << " digits need about " << Gib(need)
        << " of memory; this machine has " << Gib(have) << "\n";
    return 2;
  }
  struct statvfs fsinfo{};
  if (::statvfs(dir.c_str(), &fsinfo) == 0) {
    const std::uint64_t free_bytes =
        static_cast<std::uint64_t>(fsinfo.f_bavail) * static_cast<std::uint64_t>(fsinfo.f_frsize);
    if (free_bytes < count + (std::uint64_t{1} << 20)) {
      err << "pi-digits: " << dir.string() << " has " << free_bytes
          << " bytes free; the digits need " << count << "\n";
      return 2;
    }
  }
  PendingFile pending;
  if (!pending.Open(dir, target)) {
    err << "pi-digits: cannot write in " << dir.string() << "\n";
    return 2;
  }

  const auto start = std::chrono::steady_clock::now();
  std::vector<PhaseWeight> phases = ComputePhases();
  const std::size_t kChecking = phases.size();
  phases.push_back({"checking", 0.02});
  Progress progress(err, terminal, phases);
  try {
    FileSink sink(pending.fd());
    ComputePiDigits(count, a.threads, sink, progress);
  } catch (const std::exception& e) {
    progress.Done();
    err << "pi-digits: " << e.what() << "\n";
    return 1;
  }

  // Check what is on disk: the size, that every byte is a digit, the first
  // digits against MPFR; and take the checksum of exactly those bytes.
  progress.Begin(kChecking);
  const std::uint64_t check = std::min(count, kCheckDigits);
  std::string head;
  std::uint64_t read = 0;
  bool digits_only = true;
  std::optional<std::string> sum =
      Sha256File(pending.ReadPath(), [&](std::string_view chunk, std::uint64_t off) {
        digits_only = digits_only && chunk.find_first_not_of("0123456789") == std::string_view::npos;
        if (off < check) head.append(chunk.substr(0, static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), check - off))));
        read = off + chunk.size();
        progress.Set(kChecking, 0.8 * static_cast<double>(read) / static_cast<double>(count));
      });
  const std::string reference = MpfrPiDigits(check);
  const std::string phase_times = progress.PhaseTimes();
  progress.Done();
  if (!sum || read != count || !digits_only) {
    err << "pi-digits: the digits file read back wrong (" << read << " of " << count
        << " bytes)\n";
    return 1;
  }
  if (!reference.empty() && head != reference) {
    err << "pi-digits: the computed digits disagree with MPFR within the first " << check
        << "; the file was not kept\n";
    return 1;
  }

  Manifest m;
  m.digits = count;
  m.sha256 = *sum;
  m.formula = kFormula;
  m.date = UtcNow();
  m.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  m.peak_memory_bytes = PeakRssBytes();
  m.verified = "every cut of the decimal conversion decided with guard bits; file read back: " +
               std::to_string(count) + " digits, SHA-256 taken; the first " +
               std::to_string(check) + " digits agree with MPFR's mpfr_const_pi";

  // The old manifest goes first, so that a crash in between leaves a file
  // without a manifest, never a manifest that describes other digits.
  const fs::path manifest_path = ManifestPath(target);
  std::string error;
  if (::unlink(manifest_path.c_str()) != 0 && errno != ENOENT) {
    err << "pi-digits: cannot replace " << manifest_path.string() << "\n";
    return 1;
  }
  if (!pending.Commit(target, error) || !WriteManifest(manifest_path, m, error)) {
    err << "pi-digits: " << error << "\n";
    return 1;
  }
  char secs[32];
  std::snprintf(secs, sizeof secs, "%.1f", m.seconds);
  out << "wrote " << count << " digits to " << target.string() << " in " << secs
      << " s, peak memory " << Gib(m.peak_memory_bytes) << "\n"
      << "phases: " << phase_times << "\n";
  return 0;
}

}  // namespace

std::uint64_t ParseCount(const std::string& text) {
  if (text.empty() || text.size() > 19 ||
      text.find_first_not_of("0123456789") != std::string::npos)
    return 0;
  return std::stoull(text);
}

std::uint64_t EstimatedPeakBytes(std::uint64_t digits) {
  // Measured peak resident memory: 8.6 bytes a digit at 10^7 and 10^8
  // digits; 9 with a margin, plus the program's fixed cost.
  return digits * 9 + (std::uint64_t{64} << 20);
}

int RunPiDigits(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                bool terminal) {
  std::string error;
  std::optional<Args> a = Parse(args, error);
  if (!a) {
    err << "pi-digits: " << error << "\n" << kUsage;
    return 2;
  }
  if (a->help) {
    out << kUsage;
    return 0;
  }
  return a->verify ? Verify(*a, out, err, terminal) : Compute(*a, out, err, terminal);
}

}  // namespace pidigits
