// pi-lookup-pictures: saves PNG pictures of the window for a person to look
// at: both pages at start, after a found answer, after a not-found answer and
// after a request that failed. The answers are canned; nothing is fetched.
//
//   pi-lookup-pictures OUTPUT_DIR            # offscreen grab of the widgets
//   pi-lookup-pictures OUTPUT_DIR --screen   # the window system's pixels (X)
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QScreen>
#include <QTest>

#include <cstdio>
#include <cstring>

#include "app/qt/main_window.h"
#include "app/qt/text_bridge.h"
#include "app/tests/canned_pages.h"

namespace {

struct Shot {
  const char* file;
  int page;
  pl::Bytes answer;  // empty: no lookup (the start state) unless failed is set
  bool failed;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || (argc == 3 && std::strcmp(argv[2], "--screen") != 0) || argc > 3) {
    std::fprintf(stderr, "usage: %s OUTPUT_DIR [--screen]\n", argv[0]);
    return 2;
  }
  const bool from_screen = argc == 3;
  if (!from_screen && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  int qt_argc = 1;
  QApplication app(qt_argc, argv);
  const QDir out(QString::fromLocal8Bit(argv[1]));
  if (!out.mkpath(QStringLiteral("."))) {
    std::fprintf(stderr, "cannot make %s\n", argv[1]);
    return 1;
  }

  pl::Bytes answer;
  pl::WindowServices services{[&answer](const pl::Text&) { return answer; }, "http://service.test/", nullptr, ""};
  const Shot shots[] = {
      {"page1-start.png", 0, {}, false},
      {"page1-found.png", 0, pl::testing::PositionFoundPage(), false},
      {"page1-not-found.png", 0, pl::testing::PositionNotFoundPage(), false},
      {"page1-no-connection.png", 0, {}, true},
      {"page2-start.png", 1, {}, false},
      {"page2-found.png", 1, pl::testing::DigitsFoundPage(), false},
      {"page2-not-found.png", 1, pl::testing::DigitsNotFoundPage(), false},
      {"page2-no-connection.png", 1, {}, true},
  };
  for (const Shot& shot : shots) {
    // A new window for each picture, so that each shows one state only.
    pl::MainWindow window(services);
    window.ShowCentred();
    if (!QTest::qWaitForWindowExposed(&window)) {
      std::fprintf(stderr, "the window was not shown\n");
      return 1;
    }
    window.tabs().SetCurrent(shot.page);
    if (!shot.answer.empty() || shot.failed) {
      answer = shot.answer;
      if (shot.page == 0) {
        window.controls().WriteText(pl::TextFromUtf8("编辑框1"), "926");
        pl::LookUpPosition(window.controls(), services.fetch, services.base_address);
      } else {
        window.controls().WriteText(pl::TextFromUtf8("编辑框3"), "5");
        pl::LookUpDigits(window.controls(), services.fetch, services.base_address);
      }
    }
    QTest::qWait(from_screen ? 300 : 20);
    const QPixmap picture = from_screen ? window.screen()->grabWindow(window.winId()) : window.grab();
    const QString path = out.filePath(QString::fromLatin1(shot.file));
    if (picture.isNull() || !picture.save(path, "PNG")) {
      std::fprintf(stderr, "cannot save %s\n", qPrintable(path));
      return 1;
    }
    std::printf("%s\n", qPrintable(path));
  }
  return 0;
}
