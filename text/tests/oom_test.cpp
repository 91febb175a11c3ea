// Running out of memory stops the program through the fatal error box with
// the number of bytes asked for.
//
// The child of each death test lowers its address space limit so that a
// large request really fails. Under AddressSanitizer, which reserves far more
// address space than any limit allows, the allocator instead refuses
// requests above 256 MiB and hands back null, as a failing system would.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cstdio>
#include <fstream>

#include "text/text.h"

#if defined(__SANITIZE_ADDRESS__)
extern "C" const char* __asan_default_options() { return "allocator_may_return_null=1:max_allocation_size_mb=256"; }
#endif

namespace pl {
namespace {

using testing::HasSubstr;

std::string Utf8Str(std::u8string_view s) { return std::string(reinterpret_cast<const char*>(s.data()), s.size()); }

constexpr int kHuge = 1 << 30;  // 1 GiB

// Leaves the process 128 MiB of address space beyond what it uses now.
void LimitAddressSpace() {
#if !defined(__SANITIZE_ADDRESS__)
  std::ifstream statm("/proc/self/statm");
  unsigned long long pages = 0;
  statm >> pages;
  rlimit limit{};
  limit.rlim_cur = limit.rlim_max = pages * 4096ull + (128ull << 20);
  if (setrlimit(RLIMIT_AS, &limit) != 0) std::perror("setrlimit");
#endif
}

TEST(OutOfMemoryDeathTest, BlankBytes) {
  EXPECT_EXIT(
      {
        LimitAddressSpace();
        Bytes b = BlankBytes(kHuge);
        std::fprintf(stderr, "obtained %d bytes\n", b.size());
      },
      testing::ExitedWithCode(255),
      HasSubstr(Utf8Str(u8"运行时出错!\r\n\r\n错误信息：分配 1073741824 字节内存失败!\r\n\r\n0, 0\r\n")));
}

TEST(OutOfMemoryDeathTest, BlankText) {
  // A text asks for one byte more than its length, for its terminating zero.
  EXPECT_EXIT(
      {
        LimitAddressSpace();
        Text t = BlankText(kHuge);
        std::fprintf(stderr, "obtained %d bytes\n", t.size());
      },
      testing::ExitedWithCode(255), HasSubstr(Utf8Str(u8"错误信息：分配 1073741825 字节内存失败!")));
}

TEST(OutOfMemoryDeathTest, GrowingText) {
  // Growth by appending goes through the same allocator.
  EXPECT_EXIT(
      {
        LimitAddressSpace();
        Text t = BlankText(1 << 20);
        for (int i = 0; i < 20; ++i) t += t;
        std::fprintf(stderr, "obtained %d bytes\n", t.size());
      },
      testing::ExitedWithCode(255), HasSubstr(Utf8Str(u8"字节内存失败!")));
}

}  // namespace
}  // namespace pl
