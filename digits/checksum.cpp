#include "checksum.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <vector>

namespace pidigits {

namespace {

struct CtxFree {
  void operator()(EVP_MD_CTX* c) const { EVP_MD_CTX_free(c); }
};
using Ctx = std::unique_ptr<EVP_MD_CTX, CtxFree>;

Ctx NewCtx() {
  Ctx ctx(EVP_MD_CTX_new());
  if (!ctx || EVP_DigestInit_ex(ctx.get(), EVP_sha256(), nullptr) != 1) return nullptr;
  return ctx;
}

std::string Finish(EVP_MD_CTX* ctx) {
  unsigned char md[EVP_MAX_MD_SIZE];
  unsigned int len = 0;
  EVP_DigestFinal_ex(ctx, md, &len);
  static const char kHex[] = "0123456789abcdef";
  std::string hex;
  for (unsigned i = 0; i < len; ++i) {
    hex += kHex[md[i] >> 4];
    hex += kHex[md[i] & 15];
  }
  return hex;
}

}  // namespace

std::string Sha256Hex(std::string_view data) {
  Ctx ctx = NewCtx();
  EVP_DigestUpdate(ctx.get(), data.data(), data.size());
  return Finish(ctx.get());
}

std::optional<std::string> Sha256File(
    const std::filesystem::path& path,
    const std::function<void(std::string_view, std::uint64_t)>& inspect) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  Ctx ctx = NewCtx();
  std::vector<char> buf(std::size_t{8} << 20);
  std::uint64_t offset = 0;
  for (;;) {
    ssize_t n = ::read(fd, buf.data(), buf.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      ::close(fd);
      return std::nullopt;
    }
    if (n == 0) break;
    EVP_DigestUpdate(ctx.get(), buf.data(), static_cast<std::size_t>(n));
    if (inspect) inspect(std::string_view(buf.data(), static_cast<std::size_t>(n)), offset);
    offset += static_cast<std::uint64_t>(n);
  }
  ::close(fd);
  return Finish(ctx.get());
}

}  // namespace pidigits
