// fatal_error.cpp: the one way the program stops on an error it cannot
// recover from, and the checked reading of array items.
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "text/text.h"

namespace pl {

namespace {

// The message box of the window back end; null until one is installed.
std::atomic<MessageBoxFn> installed_box{nullptr};

Text Decimal(long long n) { return Text(std::to_string(n)); }

// Without a window the box text goes to standard error as UTF-8, so that a
// terminal shows it readably.
void WriteToStandardError(const Text& box) {
  std::string shown = Cp936ToUtf8(box);
  std::fwrite(shown.data(), 1, shown.size(), stderr);
  std::fflush(stderr);
}

}  // namespace

Text FatalErrorText(int code, const Text& message, int routine, int place) {
  const Text crlf = "\r\n";
  Text box = Concat("运行时出错!", crlf);
  if (code != 0) box += Concat(crlf, "错误代码：", Decimal(code), crlf);
  if (!message.empty()) box += Concat(crlf, "错误信息：", message, crlf);
  box += Concat(crlf, Decimal(routine), ", ", Decimal(place), crlf);
  return box;
}

void FatalError(int code, const Text& message, int routine, int place) {
  Text box = FatalErrorText(code, message, routine, place);
  MessageBoxFn show = installed_box.load();
  if (show) {
    show(box, "错误");
  } else {
    WriteToStandardError(box);
  }
  // What the program wrote so far still reaches its files; nothing else runs.
  std::fflush(nullptr);
  std::_Exit(-1);
}

void FatalOutOfMemory(std::size_t bytes) {
  // Building and showing the box needs a little memory of its own. Should
  // that fail too, stop with the plain message rather than recurse.
  static std::atomic<bool> stopping{false};
  if (stopping.exchange(true)) {
    static const char kPlain[] = "out of memory\n";
    std::fwrite(kPlain, 1, sizeof kPlain - 1, stderr);
    std::_Exit(-1);
  }
  FatalError(0, Concat("分配 ", std::to_string(bytes), " 字节内存失败!"), 0, 0);
}

void SetFatalMessageBox(MessageBoxFn show) { installed_box.store(show); }

const Text& TextArray::Item(int i, ErrorSpot spot) const {
  if (i < 1) FatalError(4, "数组成员引用下标必须大于等于1", spot.routine, spot.place);
  if (i > size()) FatalError(1, "数组成员引用下标超出定义范围", spot.routine, spot.place);
  return items_[static_cast<std::size_t>(i - 1)];
}

}  // namespace pl
