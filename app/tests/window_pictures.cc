// pi-lookup-pictures: saves PNG pictures of the window for a person to look
// at: both pages at start, after a found answer, after a not-found answer and
// after a request that failed.
//
//   pi-lookup-pictures OUTPUT_DIR [--screen] [--service BASE_ADDRESS]
//
// By default the answers are canned and nothing is fetched, and each picture
// is an offscreen grab of the window. --screen takes the window system's own
// pixels instead (run it under X, e.g. Xvfb). --service asks a running
// pi-digit service (e.g. http://127.0.0.1:8314/) for the found and not-found
// answers instead of using canned ones.
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QScreen>
#include <QTest>

#include <cstdio>
#include <cstring>
#include <string>

#include "app/qt/main_window.h"
#include "app/qt/text_bridge.h"
#include "app/tests/canned_pages.h"
#include "web/fetch_page.h"

namespace {

enum class Answer { kNone, kFound, kNotFound, kFailed };

struct Shot {
  const char* file;
  int page;
  Answer answer;
  const char* typed;  // what the box holds when 查找 is clicked
};

int Usage(const char* program) {
  std::fprintf(stderr, "usage: %s OUTPUT_DIR [--screen] [--service BASE_ADDRESS]\n", program);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage(argv[0]);
  bool from_screen = false;
  std::string service;
  for (int i = 2; i < argc; ++i) {
    if (std::strcmp(argv[i], "--screen") == 0) {
      from_screen = true;
    } else if (std::strcmp(argv[i], "--service") == 0 && i + 1 < argc) {
      service = argv[++i];
    } else {
      return Usage(argv[0]);
    }
  }
  if (!from_screen && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  int qt_argc = 1;
  QApplication app(qt_argc, argv);
  const QDir out(QString::fromLocal8Bit(argv[1]));
  if (!out.mkpath(QStringLiteral("."))) {
    std::fprintf(stderr, "cannot make %s\n", argv[1]);
    return 1;
  }

  const Shot shots[] = {
      {"page1-start.png", 0, Answer::kNone, ""},
      {"page1-found.png", 0, Answer::kFound, "926"},
      {"page1-not-found.png", 0, Answer::kNotFound, "0123456789"},
      {"page1-no-connection.png", 0, Answer::kFailed, "926"},
      {"page2-start.png", 1, Answer::kNone, ""},
      {"page2-found.png", 1, Answer::kFound, "5"},
      {"page2-not-found.png", 1, Answer::kNotFound, "2000000000"},
      {"page2-no-connection.png", 1, Answer::kFailed, "5"},
  };
  for (const Shot& shot : shots) {
    pl::FetchFunction fetch = [&shot, &service](const pl::Text& url) -> pl::Bytes {
      if (shot.answer == Answer::kFailed) return {};
      if (!service.empty()) return pl::FetchPage(url);
      if (shot.page == 0) {
        return shot.answer == Answer::kFound ? pl::testing::PositionFoundPage() : pl::testing::PositionNotFoundPage();
      }
      return shot.answer == Answer::kFound ? pl::testing::DigitsFoundPage() : pl::testing::DigitsNotFoundPage();
    };
    // A new window for each picture, so that each shows one state only.
    pl::MainWindow window(pl::WindowServices{fetch, service.empty() ? "http://service.test/" : service, nullptr, ""});
    window.ShowCentred();
    if (!QTest::qWaitForWindowExposed(&window)) {
      std::fprintf(stderr, "the window was not shown\n");
      return 1;
    }
    window.tabs().SetCurrent(shot.page);
    if (shot.answer != Answer::kNone) {
      pl::Controls& c = window.controls();
      const pl::Text base = service.empty() ? "http://service.test/" : service;
      if (shot.page == 0) {
        c.WriteText(pl::TextFromUtf8("编辑框1"), shot.typed);
        pl::LookUpPosition(c, fetch, base);
      } else {
        c.WriteText(pl::TextFromUtf8("编辑框3"), shot.typed);
        pl::LookUpDigits(c, fetch, base);
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
