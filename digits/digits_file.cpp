#include "digits_file.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include <fcntl.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

namespace pidigits {

namespace fs = std::filesystem;

fs::path DefaultDataDir() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg != nullptr && xdg[0] == '/') return fs::path(xdg) / "pi-lookup";
  const char* home = std::getenv("HOME");
  fs::path base = (home != nullptr && home[0] != '\0') ? fs::path(home) : fs::path();
  return base / ".local" / "share" / "pi-lookup";
}

fs::path DefaultDigitsPath() { return DefaultDataDir() / "pi-digits.txt"; }

fs::path ManifestPath(const fs::path& digits_path) {
  fs::path p = digits_path;
  p += ".json";
  return p;
}

std::optional<Manifest> ReadManifest(const fs::path& manifest_path, std::string& error) {
  std::ifstream in(manifest_path, std::ios::binary);
  if (!in) {
    error = "cannot open the manifest " + manifest_path.string();
    return std::nullopt;
  }
  std::ostringstream text;
  text << in.rdbuf();
  nlohmann::json j = nlohmann::json::parse(text.str(), nullptr, /*allow_exceptions=*/false);
  if (j.is_discarded() || !j.is_object()) {
    error = "the manifest " + manifest_path.string() + " is not a JSON object";
    return std::nullopt;
  }
  auto bad = [&](const char* field) {
    error = "the manifest " + manifest_path.string() + " has no valid \"" + field + "\"";
    return std::nullopt;
  };
  Manifest m;
  if (!j.contains("digits") || !j["digits"].is_number_unsigned()) return bad("digits");
  m.digits = j["digits"].get<std::uint64_t>();
  if (m.digits == 0) return bad("digits");
  if (!j.contains("sha256") || !j["sha256"].is_string()) return bad("sha256");
  m.sha256 = j["sha256"].get<std::string>();
  if (m.sha256.size() != 64 ||
      m.sha256.find_first_not_of("0123456789abcdef") != std::string::npos)
    return bad("sha256");
  // The descriptive fields are optional: a manifest without them still
  // describes the file.
  if (j.contains("formula") && j["formula"].is_string()) m.formula = j["formula"];
  if (j.contains("date") && j["date"].is_string()) m.date = j["date"];
  if (j.contains("seconds") && j["seconds"].is_number()) m.seconds = j["seconds"];
  if (j.contains("peak_memory_bytes") && j["peak_memory_bytes"].is_number_unsigned())
    m.peak_memory_bytes = j["peak_memory_bytes"];
  if (j.contains("verified") && j["verified"].is_string()) m.verified = j["verified"];
  return m;
}

std::string ManifestJson(const Manifest& m) {
  nlohmann::ordered_json j;
  j["digits"] = m.digits;
  j["sha256"] = m.sha256;
  j["formula"] = m.formula;
  j["date"] = m.date;
  j["seconds"] = m.seconds;
  j["peak_memory_bytes"] = m.peak_memory_bytes;
  j["verified"] = m.verified;
  return j.dump(2) + "\n";
}

bool WriteManifest(const fs::path& manifest_path, const Manifest& m, std::string& error) {
  const std::string text = ManifestJson(m);
  fs::path tmp = manifest_path;
  tmp += ".tmp";
  int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    error = "cannot write " + tmp.string();
    return false;
  }
  bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  ok = ::fsync(fd) == 0 && ok;
  ok = ::close(fd) == 0 && ok;
  if (!ok || std::rename(tmp.c_str(), manifest_path.c_str()) != 0) {
    ::unlink(tmp.c_str());
    error = "cannot write the manifest " + manifest_path.string();
    return false;
  }
  return true;
}

}  // namespace pidigits
