// The fatal error stop: its box text, the message box it hands that text to,
// and the process ending with exit code -1 (255 as the shell sees it).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "text/tests/test_print.h"
#include "text/text.h"

namespace pl {
namespace {

using testing::HasSubstr;

// Exit code -1 as the parent sees it: 255 in a POSIX wait status, -1 on Windows.
#ifdef _WIN32
constexpr int kExitMinusOne = -1;
#else
constexpr int kExitMinusOne = 255;
#endif

// What a death test sees of the child's standard error. GoogleTest on Windows
// reads it back in text mode, so each CR LF written arrives as LF.
std::string Utf8Str(std::u8string_view s) {
  std::string bytes(reinterpret_cast<const char*>(s.data()), s.size());
#ifdef _WIN32
  std::erase(bytes, '\r');
#endif
  return bytes;
}

TEST(FatalErrorText, PiecesInOrder) {
  struct Case {
    int code;
    Text message;
    int routine, place;
    Text expected;
  };
  const Case cases[] = {
      {1, "数组成员引用下标超出定义范围", 7, 3,
       "运行时出错!\r\n\r\n错误代码：1\r\n\r\n错误信息：数组成员引用下标超出定义范围\r\n\r\n7, 3\r\n"},
      {0, "分配 12 字节内存失败!", 0, 0, "运行时出错!\r\n\r\n错误信息：分配 12 字节内存失败!\r\n\r\n0, 0\r\n"},
      {-2, "", 1, -1, "运行时出错!\r\n\r\n错误代码：-2\r\n\r\n1, -1\r\n"},
      {0, "", 0, 0, "运行时出错!\r\n\r\n0, 0\r\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FatalErrorText(c.code, c.message, c.routine, c.place), c.expected);
  }
  // The box text is code page 936 bytes.
  EXPECT_EQ(TextLeft(FatalErrorText(0, "", 0, 0), 5), Text("\xD4\xCB\xD0\xD0\xCA"));
}

TEST(FatalErrorDeathTest, WritesTheBoxTextAsUtf8AndExitsWithMinusOne) {
  const std::string expected =
      Utf8Str(u8"运行时出错!\r\n\r\n错误代码：3\r\n\r\n错误信息：坏了\r\n\r\n12, 34\r\n");
  EXPECT_EXIT(FatalError(3, "坏了", 12, 34), testing::ExitedWithCode(kExitMinusOne), HasSubstr(expected));
}

// The installed message box receives the code page 936 text and caption; the
// process still ends afterwards.
void BoxToStderrTagged(const Text& text, const Text& caption) {
  std::string shown = Cp936ToUtf8(Concat("[", caption, "]", text));
  std::fputs(shown.c_str(), stderr);
}

TEST(FatalErrorDeathTest, HandsTheTextToTheInstalledBox) {
  EXPECT_EXIT(
      {
        SetFatalMessageBox(BoxToStderrTagged);
        FatalError(0, "x", 1, 2);
      },
      testing::ExitedWithCode(kExitMinusOne), HasSubstr(Utf8Str(u8"[错误]运行时出错!\r\n\r\n错误信息：x\r\n")));
}

TEST(FatalErrorDeathTest, ArrayIndexOutOfRange) {
  TextArray a;
  ArrayAppend(a, "x");
  EXPECT_EXIT(a.Item(2, {21, 5}), testing::ExitedWithCode(kExitMinusOne),
              HasSubstr(Utf8Str(u8"错误代码：1\r\n\r\n错误信息：数组成员引用下标超出定义范围\r\n\r\n21, 5\r\n")));
  EXPECT_EXIT(a.Item(0, {21, 6}), testing::ExitedWithCode(kExitMinusOne),
              HasSubstr(Utf8Str(u8"错误代码：4\r\n\r\n错误信息：数组成员引用下标必须大于等于1\r\n\r\n21, 6\r\n")));
  // Below 1 is tested first, also on an empty array.
  EXPECT_EXIT(TextArray().Item(-1, {2, 2}), testing::ExitedWithCode(kExitMinusOne), HasSubstr(Utf8Str(u8"错误代码：4")));
  EXPECT_EXIT(TextArray().Item(1, {2, 3}), testing::ExitedWithCode(kExitMinusOne), HasSubstr(Utf8Str(u8"错误代码：1")));
}

}  // namespace
}  // namespace pl
