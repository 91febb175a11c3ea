// The digits file and its manifest: where they live and how the manifest reads.
//
// A digits file holds exactly N ASCII digits, the digits of pi after the
// decimal point ("1415926535..."), with no "3.", no newline. Beside it lies a
// small JSON manifest named after it with ".json" appended:
//
//   ~/.local/share/pi-lookup/pi-digits.txt
//   ~/.local/share/pi-lookup/pi-digits.txt.json
//
// A digits file is complete only when its manifest exists and agrees with it:
// the writer renames the finished file into place first and writes the
// manifest last, both atomically (temporary file + rename).
//
//   std::string error;
//   auto m = pidigits::ReadManifest(pidigits::ManifestPath(file), error);
//   if (!m) { std::cerr << error; }
//   else if (m->digits >= 1000000000) { ... }
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace pidigits {

// $XDG_DATA_HOME/pi-lookup when XDG_DATA_HOME is set to an absolute path,
// else $HOME/.local/share/pi-lookup. Does not create the folder. When neither
// variable is usable, returns the relative path ".local/share/pi-lookup".
std::filesystem::path DefaultDataDir();

// DefaultDataDir() / "pi-digits.txt".
std::filesystem::path DefaultDigitsPath();

// The manifest path of a digits file: the same path with ".json" appended
// ("pi-digits.txt" -> "pi-digits.txt.json").
std::filesystem::path ManifestPath(const std::filesystem::path& digits_path);

struct Manifest {
  std::uint64_t digits = 0;           // digits after the decimal point in the file
  std::string sha256;                 // lower-case hex SHA-256 of the file's bytes
  std::string formula;                // how the digits were computed
  std::string date;                   // UTC, ISO 8601, when the run finished
  double seconds = 0;                 // wall time of the run
  std::uint64_t peak_memory_bytes = 0;  // peak resident memory of the run
  std::string verified;               // how the file was checked before it was kept
};

// Reads a manifest. On failure (missing, unreadable, not JSON, a field missing
// or of the wrong type, digits of 0, a checksum that is not 64 hex digits)
// returns nullopt and sets `error` to a sentence naming the file and the fault.
std::optional<Manifest> ReadManifest(const std::filesystem::path& manifest_path,
                                     std::string& error);

// The manifest as JSON text (what WriteManifest stores).
std::string ManifestJson(const Manifest& manifest);

// Writes the manifest atomically: a temporary file beside it, flushed, then
// renamed over `manifest_path`. Returns false and sets `error` on failure.
bool WriteManifest(const std::filesystem::path& manifest_path, const Manifest& manifest,
                   std::string& error);

}  // namespace pidigits
