// SHA-256 of a file or a string (OpenSSL's libcrypto), as lower-case hex.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace pidigits {

std::string Sha256Hex(std::string_view data);

// Reads the whole file; `on_chunk(bytes_read_so_far)` is called after each
// chunk (for progress), and `inspect(chunk, offset)` sees every chunk. Returns
// nullopt when the file cannot be read.
std::optional<std::string> Sha256File(
    const std::filesystem::path& path,
    const std::function<void(std::string_view chunk, std::uint64_t offset)>& inspect = {});

}  // namespace pidigits
