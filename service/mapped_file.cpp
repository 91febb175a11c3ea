#include "mapped_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <thread>
#include <vector>

namespace pisvc {
namespace {

std::string SystemError(const std::string& what, const std::string& path) {
  return what + " " + path + ": " + std::strerror(errno);
}

// Places are kept as 32-bit numbers in the index.
constexpr std::uint64_t kMaxDigits = 4'000'000'000ULL;

}  // namespace

MappedFile::MappedFile(MappedFile&& other) noexcept
    : addr_(other.addr_), size_(other.size_), fd_(other.fd_) {
  other.addr_ = nullptr;
  other.size_ = 0;
  other.fd_ = -1;
}

MappedFile& MappedFile::operator=(MappedFile&& other) noexcept {
  if (this != &other) {
    Reset();
    addr_ = other.addr_;
    size_ = other.size_;
    fd_ = other.fd_;
    other.addr_ = nullptr;
    other.size_ = 0;
    other.fd_ = -1;
  }
  return *this;
}

MappedFile::~MappedFile() { Reset(); }

void MappedFile::Reset() {
  if (addr_) munmap(addr_, static_cast<std::size_t>(size_));
  if (fd_ >= 0) close(fd_);
  addr_ = nullptr;
  size_ = 0;
  fd_ = -1;
}

std::optional<MappedFile> MappedFile::OpenRead(const std::string& path, std::string& error) {
  MappedFile m;
  m.fd_ = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (m.fd_ < 0) {
    error = SystemError("cannot open", path);
    return std::nullopt;
  }
  struct stat st {};
  if (fstat(m.fd_, &st) != 0) {
    error = SystemError("cannot read the size of", path);
    return std::nullopt;
  }
  if (!S_ISREG(st.st_mode)) {
    error = path + " is not a regular file";
    return std::nullopt;
  }
  m.size_ = static_cast<std::uint64_t>(st.st_size);
  if (m.size_ > 0) {
    void* p = mmap(nullptr, static_cast<std::size_t>(m.size_), PROT_READ, MAP_SHARED, m.fd_, 0);
    if (p == MAP_FAILED) {
      m.size_ = 0;
      error = SystemError("cannot map", path);
      return std::nullopt;
    }
    m.addr_ = p;
  }
  return m;
}

ScratchMemory::ScratchMemory(ScratchMemory&& other) noexcept : addr_(other.addr_), size_(other.size_) {
  other.addr_ = nullptr;
  other.size_ = 0;
}

ScratchMemory& ScratchMemory::operator=(ScratchMemory&& other) noexcept {
  if (this != &other) {
    if (addr_) munmap(addr_, static_cast<std::size_t>(size_));
    addr_ = other.addr_;
    size_ = other.size_;
    other.addr_ = nullptr;
    other.size_ = 0;
  }
  return *this;
}

ScratchMemory::~ScratchMemory() {
  if (addr_) munmap(addr_, static_cast<std::size_t>(size_));
}

std::optional<ScratchMemory> ScratchMemory::Allocate(std::uint64_t size, std::string& error) {
  ScratchMemory m;
  if (size == 0) return m;
  void* p = mmap(nullptr, static_cast<std::size_t>(size), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) {
    error = "cannot get " + std::to_string(size) + " bytes of memory: " + std::strerror(errno);
    return std::nullopt;
  }
  m.addr_ = p;
  m.size_ = size;
  return m;
}

bool WriteFileDurably(const std::string& path, std::string_view bytes, std::string& error) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    error = SystemError("cannot create", path);
    return false;
  }
  std::size_t done = 0;
  while (done < bytes.size()) {
    const std::size_t chunk = std::min<std::size_t>(bytes.size() - done, 64u << 20);
    const ssize_t n = write(fd, bytes.data() + done, chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error = SystemError("cannot write", path);
      close(fd);
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  if (fsync(fd) != 0) {
    error = SystemError("cannot flush", path);
    close(fd);
    return false;
  }
  if (close(fd) != 0) {
    error = SystemError("cannot close", path);
    return false;
  }
  return true;
}

std::optional<DigitsFile> DigitsFile::Open(const std::string& path, std::string& error) {
  auto file = MappedFile::OpenRead(path, error);
  if (!file) return std::nullopt;
  DigitsFile d;
  d.path_ = path;
  d.file_ = std::move(*file);
  std::string_view all = d.file_.view();
  if (all.size() >= 2 && all[0] == '3' && all[1] == '.') d.offset_ = 2;
  std::size_t end = all.size();
  while (end > d.offset_ && (all[end - 1] == '\n' || all[end - 1] == '\r' || all[end - 1] == ' ' ||
                             all[end - 1] == '\t')) {
    --end;
  }
  d.digits_ = all.substr(static_cast<std::size_t>(d.offset_), end - static_cast<std::size_t>(d.offset_));
  if (d.digits_.empty()) {
    error = path + " holds no digits";
    return std::nullopt;
  }
  if (d.digits_.size() > kMaxDigits) {
    error = path + " holds " + std::to_string(d.digits_.size()) + " digits; at most " +
            std::to_string(kMaxDigits) + " are served";
    return std::nullopt;
  }
  return d;
}

bool DigitsFile::Validate(int threads, std::string& error) const {
  threads = std::max(1, threads);
  const std::size_t n = digits_.size();
  std::vector<std::size_t> bad(static_cast<std::size_t>(threads), n);
  std::vector<std::thread> pool;
  for (int t = 0; t < threads; ++t) {
    pool.emplace_back([&, t] {
      std::size_t from = n * static_cast<std::size_t>(t) / static_cast<std::size_t>(threads);
      std::size_t to = n * static_cast<std::size_t>(t + 1) / static_cast<std::size_t>(threads);
      for (std::size_t i = from; i < to; ++i) {
        if (static_cast<unsigned char>(digits_[i] - '0') > 9) {
          bad[static_cast<std::size_t>(t)] = i;
          return;
        }
      }
    });
  }
  for (auto& th : pool) th.join();
  std::size_t first = *std::min_element(bad.begin(), bad.end());
  if (first == n) return true;
  error = path_ + ": byte " + std::to_string(first + offset_ + 1) +
          " is not a digit; a digits file holds only the digits 0-9 after the decimal point "
          "(optionally after \"3.\")";
  return false;
}

namespace {

constexpr std::size_t kBlock = 1 << 20;

std::uint64_t Mix(std::uint64_t h) {
  h ^= h >> 33;
  h *= 0xff51afd7ed558ccdULL;
  h ^= h >> 33;
  h *= 0xc4ceb9fe1a85ec53ULL;
  h ^= h >> 33;
  return h;
}

std::uint64_t HashBlock(const char* p, std::size_t n) {
  std::uint64_t a = 0x9e3779b97f4a7c15ULL, b = 0x632be59bd9b4e019ULL;
  std::size_t i = 0;
  for (; i + 16 <= n; i += 16) {
    std::uint64_t x, y;
    std::memcpy(&x, p + i, 8);
    std::memcpy(&y, p + i + 8, 8);
    a = (a ^ x) * 0x100000001b3ULL;
    b = (b ^ y) * 0x100000001b3ULL;
    a = (a << 29) | (a >> 35);
    b = (b << 31) | (b >> 33);
  }
  for (; i < n; ++i) a = (a ^ static_cast<unsigned char>(p[i])) * 0x100000001b3ULL;
  return Mix(a ^ Mix(b) ^ n);
}

}  // namespace

std::uint64_t Checksum(std::string_view bytes, int threads) {
  threads = std::max(1, threads);
  const std::size_t blocks = (bytes.size() + kBlock - 1) / kBlock;
  std::vector<std::uint64_t> h(blocks);
  std::vector<std::thread> pool;
  for (int t = 0; t < threads; ++t) {
    pool.emplace_back([&, t] {
      for (std::size_t b = static_cast<std::size_t>(t); b < blocks; b += static_cast<std::size_t>(threads)) {
        std::size_t from = b * kBlock;
        h[b] = HashBlock(bytes.data() + from, std::min(kBlock, bytes.size() - from));
      }
    });
  }
  for (auto& th : pool) th.join();
  std::uint64_t all = Mix(bytes.size());
  for (std::uint64_t x : h) all = Mix(all ^ x) + 0x9e3779b97f4a7c15ULL;
  return all;
}

}  // namespace pisvc
