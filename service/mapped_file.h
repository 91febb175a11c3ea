// mapped_file.h: read-only and read-write memory maps of whole files, and the
// digits file the service answers from.
//
//   std::string error;
//   auto digits = pisvc::DigitsFile::Open("pi-digits.txt", error);
//   if (!digits) { std::cerr << error << "\n"; }
//   std::string_view d = digits->digits();   // "14159265358979..."
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pisvc {

// A whole file mapped into memory. Moves, never copies; unmaps on destruction.
class MappedFile {
 public:
  MappedFile() = default;
  MappedFile(MappedFile&& other) noexcept;
  MappedFile& operator=(MappedFile&& other) noexcept;
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;
  ~MappedFile();

  // Maps an existing file read-only. An empty file maps to an empty view.
  static std::optional<MappedFile> OpenRead(const std::string& path, std::string& error);
  const char* data() const { return static_cast<const char*>(addr_); }
  std::uint64_t size() const { return size_; }
  std::string_view view() const { return {data(), static_cast<std::size_t>(size_)}; }

 private:
  void Reset();
  void* addr_ = nullptr;
  std::uint64_t size_ = 0;
  int fd_ = -1;
};

// Zeroed private memory for building large tables. Unmapped on destruction.
class ScratchMemory {
 public:
  ScratchMemory() = default;
  ScratchMemory(ScratchMemory&& other) noexcept;
  ScratchMemory& operator=(ScratchMemory&& other) noexcept;
  ScratchMemory(const ScratchMemory&) = delete;
  ScratchMemory& operator=(const ScratchMemory&) = delete;
  ~ScratchMemory();

  static std::optional<ScratchMemory> Allocate(std::uint64_t size, std::string& error);
  char* data() { return static_cast<char*>(addr_); }
  std::uint64_t size() const { return size_; }
  std::string_view view() const { return {static_cast<const char*>(addr_), static_cast<std::size_t>(size_)}; }

 private:
  void* addr_ = nullptr;
  std::uint64_t size_ = 0;
};

// Writes `bytes` to a new file at `path` (replacing one there) and waits
// until they are on the disk. False with `error` set on failure.
bool WriteFileDurably(const std::string& path, std::string_view bytes, std::string& error);

// The digits of pi after the decimal point, read from a digits file: plain
// ASCII digits ("14159..."), or a text that begins "3." followed by them, as
// other pi programs write them. White space at the end (a final newline) is
// not counted. Anything else that is not a digit makes the file invalid.
class DigitsFile {
 public:
  // Maps the file and finds where the digits start and end. Checking every
  // byte is left to Validate(), which the index build runs; the checksum kept
  // in the index covers the file afterwards.
  static std::optional<DigitsFile> Open(const std::string& path, std::string& error);

  std::string_view digits() const { return digits_; }
  std::uint64_t count() const { return digits_.size(); }
  std::uint64_t file_size() const { return file_.size(); }
  std::uint64_t offset() const { return offset_; }
  const std::string& path() const { return path_; }

  // True when every counted byte is a digit; else sets `error` to a sentence
  // naming the first offending place.
  bool Validate(int threads, std::string& error) const;

 private:
  MappedFile file_;
  std::string path_;
  std::string_view digits_;
  std::uint64_t offset_ = 0;
};

// A 64-bit checksum of bytes, the same whatever the number of threads used:
// the bytes are hashed in fixed blocks, and the block hashes are combined in
// order.
std::uint64_t Checksum(std::string_view bytes, int threads);

}  // namespace pisvc
