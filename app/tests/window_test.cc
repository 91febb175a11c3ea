// The window built on Qt: its controls against the definition, the integer
// input boxes under QTest, the picture button, the fatal error box, and a
// lookup end to end against a loopback page server.
#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QFocusEvent>
#include <QImage>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/qt/fatal_box.h"
#include "app/qt/integer_box_widget.h"
#include "app/qt/main_window.h"
#include "app/qt/plain_label.h"
#include "app/qt/text_bridge.h"
#include "app/tests/canned_pages.h"
#include "app/tests/loopback_server.h"
#include "app/tests/test_print.h"
#include "web/fetch_page.h"

// Failure output for Qt strings.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace pl {
namespace {

// This file's literals are UTF-8 (Qt's headers need it); T gives the
// program's code page 936 text of one, Q the Qt string.
Text T(const char* utf8) { return TextFromUtf8(utf8); }
QString Q(const char* utf8) { return QString::fromUtf8(utf8); }

// A window whose services are recorded instead of reaching anything.
struct Fixture {
  std::vector<std::string> asked;
  std::vector<std::string> opened;
  Bytes answer;
  MainWindow window;

  explicit Fixture(Bytes page = Bytes())
      : answer(std::move(page)), window(WindowServices{[this](const Text& url) {
                                                         asked.push_back(url.str());
                                                         return answer;
                                                       },
                                                       "http://service.test/",
                                                       [this](const Text& address) { opened.push_back(address.str()); },
                                                       "https://profile.test/me"}) {
    window.ShowCentred();
    window.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
  }

  template <class W>
  W& Get(const char* name) {
    W* w = dynamic_cast<W*>(window.Control(T(name)));
    if (!w) {
      ADD_FAILURE() << "no control " << name;
      std::abort();
    }
    return *w;
  }
};

QRect ToQRect(const Rect& r) { return QRect(r.x, r.y, r.width, r.height); }

TEST(Window, EveryControlStandsAsDefined) {
  Fixture f;
  const WindowDefinition& def = MainWindowDefinition();
  EXPECT_EQ(f.window.size(), QSize(def.client_width, def.client_height));
  EXPECT_EQ(f.window.minimumSize(), f.window.maximumSize());
  EXPECT_FALSE(f.window.windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_TRUE(f.window.windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_TRUE(f.window.windowTitle().isEmpty());
  EXPECT_FALSE(f.window.windowIcon().isNull());
  const QRect screen = f.window.screen()->geometry();
  EXPECT_EQ(f.window.frameGeometry().topLeft(),
            QPoint((screen.width() - def.outer_width) / 2, (screen.height() - def.outer_height) / 2));
  // A font for the Chinese texts is installed.
  EXPECT_FALSE(QFontDatabase::families(QFontDatabase::SimplifiedChinese).isEmpty());
  EXPECT_EQ(f.window.tabs().bar().tabText(0), Q("找找我的数字"));
  EXPECT_EQ(f.window.tabs().bar().tabText(1), Q("看看那儿的情况"));
  EXPECT_EQ(f.window.tabs().current(), 0);

  for (const ControlDefinition& c : def.controls) {
    SCOPED_TRACE(Cp936ToUtf8(c.name));
    QWidget* w = f.window.Control(c.name);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->objectName(), QStringFromText(c.name));
    EXPECT_EQ(!w->isHidden(), c.visible_at_start);
    QWidget* reference = c.parent == ControlParent::kWindow ? static_cast<QWidget*>(&f.window) : &f.window.tabs();
    const QRect place = ToQRect(c.place);
    if (auto* label = dynamic_cast<PlainLabel*>(w)) {
      ASSERT_EQ(c.kind, ControlKind::kLabel);
      EXPECT_EQ(label->box(), place);
      EXPECT_TRUE(label->geometry().contains(label->box()));
      EXPECT_EQ(label->text(), Text(c.text_at_start));
      EXPECT_EQ(label->color(), QColor::fromRgb(c.color));
      EXPECT_EQ((label->text_flags() & Qt::TextWordWrap) != 0, c.word_wrap);
    } else {
      EXPECT_EQ(QRect(w->mapTo(reference, QPoint(0, 0)), w->size()), place);
      if (c.kind != ControlKind::kTabControl) {
        EXPECT_EQ(f.window.controls().ReadText(c.name), Text(c.text_at_start));
      }
    }
    if (c.parent != ControlParent::kWindow) {
      EXPECT_EQ(w->parentWidget(), &f.window.tabs().page(c.parent == ControlParent::kFirstPage ? 0 : 1));
    }
    const QFont font = w->font();
    if (c.font.is_default_gui_font()) {
      EXPECT_EQ(font, QApplication::font());
    } else {
      EXPECT_EQ(font.pixelSize(), c.font.pixel_size);
      EXPECT_EQ(font.weight(), c.font.weight);
    }
    switch (c.kind) {
      case ControlKind::kButton:
        EXPECT_NE(dynamic_cast<QPushButton*>(w), nullptr);
        break;
      case ControlKind::kEditBox:
        if (c.edit_style == EditStyle::kMultiLine) {
          ASSERT_NE(dynamic_cast<QPlainTextEdit*>(w), nullptr);
          EXPECT_EQ(dynamic_cast<QPlainTextEdit*>(w)->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        } else if (c.edit_style == EditStyle::kSingleLine) {
          ASSERT_NE(dynamic_cast<QLineEdit*>(w), nullptr);
          EXPECT_GE(dynamic_cast<QLineEdit*>(w)->maxLength(), 1 << 30);
        } else {
          ASSERT_NE(dynamic_cast<IntegerBox*>(w), nullptr);
          EXPECT_EQ(dynamic_cast<IntegerBox*>(w)->style(), c.edit_style);
          EXPECT_EQ(dynamic_cast<IntegerBox*>(w)->maxLength(), 10);
        }
        break;
      default:
        break;
    }
  }

  // What a person sees at start: the first page's input row and no result
  // headings; the page box beyond the right-hand edge; the picture button
  // above the tab control.
  EXPECT_TRUE(f.Get<QWidget>("透明标签2").isVisible());
  EXPECT_TRUE(f.Get<QWidget>("编辑框1").isVisible());
  EXPECT_TRUE(f.Get<QWidget>("编辑框1").hasFocus());
  EXPECT_FALSE(f.Get<QWidget>("透明标签3").isVisible());
  EXPECT_FALSE(f.Get<QWidget>("编辑框3").isVisible());
  EXPECT_GE(f.Get<QWidget>("编辑框2").x(), f.window.width());
  auto& picture = f.Get<QPushButton>("按钮3");
  EXPECT_EQ(picture.iconSize(), QSize(48, 48));
  EXPECT_FALSE(picture.icon().isNull());
  EXPECT_GT(f.window.children().indexOf(&picture), f.window.children().indexOf(&f.window.tabs()));
}

TEST(Window, ShowsTheSecondPageOnlyWhenChosen) {
  Fixture f;
  f.window.tabs().SetCurrent(1);
  EXPECT_FALSE(f.Get<QWidget>("编辑框1").isVisible());
  EXPECT_TRUE(f.Get<QWidget>("透明标签11").isVisible());
  EXPECT_TRUE(f.Get<QWidget>("编辑框3").isVisible());
  EXPECT_FALSE(f.Get<QWidget>("透明标签13").isVisible());
  EXPECT_FALSE(f.Get<QWidget>("编辑框4").isVisible());
}

TEST(Window, SwitchingPagesKeepsTextsAndVisibility) {
  Fixture f(testing::PositionFoundPage());
  f.Get<QLineEdit>("编辑框1").setText("926");
  LookUpPosition(f.window.controls(), [](const Text&) { return testing::PositionFoundPage(); }, "http://x/");
  f.window.tabs().SetCurrent(1);
  f.window.tabs().SetCurrent(0);
  EXPECT_EQ(f.window.controls().ReadText(T("透明标签6")), Text("5"));
  EXPECT_EQ(f.window.controls().ReadText(T("编辑框2")), Utf8ToCp936(testing::PositionFoundPage()));
  EXPECT_TRUE(f.Get<QWidget>("透明标签7").isVisible());
  EXPECT_TRUE(f.Get<QWidget>("透明标签15").isVisible());
}

TEST(Window, EditBoxesGiveBackTheBytesWritten) {
  Fixture f;
  const Text page = Utf8ToCp936(testing::Utf8(u8"<p>第一行</p>\r\n<p>\t第二行</p>\n\r\n"));
  for (const char* box : {"编辑框2", "编辑框4"}) {
    f.window.controls().WriteText(T(box), page);
    EXPECT_EQ(f.window.controls().ReadText(T(box)), page) << box;
  }
}

TEST(Window, LabelsDrawPlainTextBeyondTheirBox) {
  Fixture f;
  auto& position = f.Get<PlainLabel>("透明标签6");
  auto& before = f.Get<PlainLabel>("透明标签8");
  const Text long_digits = "<b>1234567890123456789012345678901234567890</b>";
  f.window.controls().WriteText(T("透明标签6"), long_digits);
  f.window.controls().WriteText(T("透明标签8"), long_digits);
  EXPECT_EQ(position.shown_text(), QStringFromText(long_digits));  // no markup is interpreted
  // The left-aligned label grows to the right, the right-aligned one to the left.
  EXPECT_EQ(position.geometry().left(), position.box().left());
  EXPECT_GT(position.geometry().right(), position.box().right());
  EXPECT_EQ(before.geometry().right(), before.box().right());
  EXPECT_LT(before.geometry().left(), before.box().left());

  // Red pixels stand to the right of 透明标签6's box.
  const QImage picture = f.window.grab().toImage();
  const QRect box = position.box().translated(f.window.tabs().page(0).mapTo(&f.window, QPoint(0, 0)));
  int red = 0;
  for (int x = box.right() + 1; x < f.window.width(); ++x) {
    for (int y = box.top(); y <= box.bottom(); ++y) {
      const QColor c = picture.pixelColor(x, y);
      if (c.red() > 200 && c.green() < 80 && c.blue() < 80) ++red;
    }
  }
  EXPECT_GT(red, 10);
}

// Moves the focus away from the box, as a click on a button does.
void LeaveBox(Fixture& f, QWidget& box) {
  box.setFocus();
  ASSERT_TRUE(QTest::qWaitFor([&] { return box.hasFocus(); }));
  QWidget& away = f.window.tabs().current() == 0 ? f.Get<QWidget>("按钮1") : f.Get<QWidget>("按钮2");
  away.setFocus();
  ASSERT_TRUE(QTest::qWaitFor([&] { return away.hasFocus(); }));
}

TEST(IntegerBoxWidget, RefusesTypedCharactersButNotPastedOnes) {
  Fixture f;
  auto& box = f.Get<IntegerBox>("编辑框1");
  box.setFocus();
  QTest::keyClicks(&box, "9a2.6 x");
  EXPECT_EQ(box.text(), QStringLiteral("926"));
  QTest::keyClick(&box, Qt::Key_Backspace);
  EXPECT_EQ(box.text(), QStringLiteral("92"));
  QTest::keyClicks(&box, "-345678901");  // the eleventh character is refused
  EXPECT_EQ(box.text(), QStringLiteral("92-3456789"));

  // A character outside the basic plane, and text composed by an input method.
  box.clear();
  QKeyEvent smile(QEvent::KeyPress, 0, Qt::NoModifier, QString::fromUcs4(U"\U0001F600"));
  QApplication::sendEvent(&box, &smile);
  QInputMethodEvent composed;
  composed.setCommitString(Q("4中a-5"));
  QApplication::sendEvent(&box, &composed);
  EXPECT_EQ(box.text(), QStringLiteral("4-5"));

  box.clear();
  QApplication::clipboard()->setText(QStringLiteral("12ab"));
  QTest::keySequence(&box, QKeySequence::Paste);
  EXPECT_EQ(box.text(), QStringLiteral("12ab"));
  box.clear();
  QApplication::clipboard()->setText(QStringLiteral("1234567890123"));
  QTest::keySequence(&box, QKeySequence::Paste);
  EXPECT_EQ(box.text(), QStringLiteral("1234567890"));
}

TEST(IntegerBoxWidget, RewritesOnLosingTheFocus) {
  struct Case {
    const char* typed;
    const char* first_box;   // 编辑框1, the digits looked for
    const char* second_box;  // 编辑框3, a place
  };
  const Case cases[] = {
      {"0926", "0926", "926"},          {"0", "0", ""},       {"000", "000", ""},
      {"-", "", ""},                    {"12-3", "12", "12"}, {"9999999999", "9999999999", "2147483647"},
      {"1000000000", "1000000000", "1000000000"}, {"-999999999", "-999999999", "-999999999"},
      {"12ab", "12", "12"},
  };
  Fixture f;
  for (const Case& k : cases) {
    SCOPED_TRACE(k.typed);
    for (int page : {0, 1}) {
      f.window.tabs().SetCurrent(page);
      auto& box = f.Get<IntegerBox>(page == 0 ? "编辑框1" : "编辑框3");
      box.setText(QString::fromLatin1(k.typed));
      LeaveBox(f, box);
      EXPECT_EQ(box.text(), QString::fromLatin1(page == 0 ? k.first_box : k.second_box));
    }
  }
}

TEST(IntegerBoxWidget, OpeningTheContextMenuIsNotLeaving) {
  Fixture f;
  auto& box = f.Get<IntegerBox>("编辑框1");
  box.setFocus();
  box.setText(QStringLiteral("12ab"));
  QFocusEvent popup(QEvent::FocusOut, Qt::PopupFocusReason);
  QApplication::sendEvent(&box, &popup);
  EXPECT_EQ(box.text(), QStringLiteral("12ab"));
  LeaveBox(f, box);
  EXPECT_EQ(box.text(), QStringLiteral("12"));
}

TEST(IntegerBoxWidget, CaretStandsWhereTheSelectionBegan) {
  Fixture f;
  f.window.tabs().SetCurrent(1);
  auto& box = f.Get<IntegerBox>("编辑框3");
  box.setFocus();
  QTest::keyClicks(&box, "00926");
  box.setSelection(1, 2);
  LeaveBox(f, box);
  EXPECT_EQ(box.text(), QStringLiteral("926"));
  EXPECT_EQ(box.cursorPosition(), 1);
}

TEST(IntegerBoxWidget, ClickReadsTheRewrittenText) {
  Fixture f(testing::DigitsFoundPage());
  f.window.tabs().SetCurrent(1);
  auto& box = f.Get<IntegerBox>("编辑框3");
  box.setFocus();
  QApplication::clipboard()->setText(QStringLiteral("12ab"));
  QTest::keySequence(&box, QKeySequence::Paste);
  QTest::mouseClick(&f.Get<QPushButton>("按钮2"), Qt::LeftButton);
  EXPECT_EQ(f.asked, std::vector<std::string>{"http://service.test/getNumber.do?index=12"});
  EXPECT_EQ(box.text(), QStringLiteral("12"));
}

TEST(Window, PictureButtonOpensTheProfileAndNothingElse) {
  Fixture f;
  const auto top_levels = QApplication::topLevelWidgets().size();
  QTest::mouseClick(&f.Get<QPushButton>("按钮3"), Qt::LeftButton);
  EXPECT_EQ(f.opened, std::vector<std::string>{"https://profile.test/me"});
  EXPECT_TRUE(f.asked.empty());
  EXPECT_EQ(QApplication::topLevelWidgets().size(), top_levels);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST(FatalBox, ShowsTheErrorAndEndsTheProcess) {
  EXPECT_EXIT(
      {
        InstallFatalBox();
        QTimer::singleShot(0, [] {
          auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
          if (!box) std::_Exit(3);
          const bool ok = box->windowTitle() == Q("错误") && box->icon() == QMessageBox::Critical &&
                          box->standardButtons() == QMessageBox::Ok && box->textFormat() == Qt::PlainText &&
                          box->text().startsWith(Q("运行时出错!")) &&
                          box->text().contains(Q("<不是标记>"));
          std::fprintf(stderr, ok ? "box as expected\n" : "box differs\n");
          box->button(QMessageBox::Ok)->click();
        });
        FatalError(1, T("<不是标记>"), 7, 8);
      },
      ::testing::ExitedWithCode(255), "box as expected");
}

TEST(WindowEndToEnd, FindsTheDigitsThroughTheLoopbackService) {
  testing::LoopbackServer server(std::string(testing::PositionFoundPage().view()));
  MainWindow window(WindowServices{[](const Text& url) { return FetchPage(url); }, server.base_address(), nullptr, ""});
  window.ShowCentred();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

  auto* box = dynamic_cast<IntegerBox*>(window.Control(T("编辑框1")));
  auto* button = dynamic_cast<QPushButton*>(window.Control(T("按钮1")));
  auto* position = dynamic_cast<PlainLabel*>(window.Control(T("透明标签6")));
  auto* heading = dynamic_cast<PlainLabel*>(window.Control(T("透明标签3")));
  ASSERT_TRUE(box && button && position && heading);
  box->setFocus();
  QTest::keyClicks(box, "926");
  QTest::mouseClick(button, Qt::LeftButton);

  EXPECT_EQ(position->text(), Text("5"));
  EXPECT_EQ(position->shown_text(), QStringLiteral("5"));
  EXPECT_EQ(heading->text(), T("在小数后"));
  EXPECT_TRUE(heading->isVisible());
  EXPECT_EQ(window.controls().ReadText(T("透明标签15")), T("0.012秒"));
  EXPECT_EQ(server.request_lines(), std::vector<std::string>{"GET /getNextIndex.do?number=926 HTTP/1.1"});

  // Leading zeros go to the service as typed.
  box->clear();
  box->setFocus();
  QTest::keyClicks(box, "0926");
  QTest::mouseClick(button, Qt::LeftButton);
  EXPECT_EQ(server.request_lines().back(), "GET /getNextIndex.do?number=0926 HTTP/1.1");
  EXPECT_EQ(box->text(), QStringLiteral("0926"));
}

TEST(WindowEndToEnd, NoServiceListeningIsNotANotFound) {
  const std::string base = "http://127.0.0.1:" + std::to_string(testing::LoopbackServer::UnusedPort()) + "/";
  MainWindow window(WindowServices{[](const Text& url) { return FetchPage(url); }, base, nullptr, ""});
  window.ShowCentred();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  window.tabs().SetCurrent(1);
  auto* box = dynamic_cast<IntegerBox*>(window.Control(T("编辑框3")));
  box->setFocus();
  QTest::keyClicks(box, "5");
  QTest::mouseClick(dynamic_cast<QPushButton*>(window.Control(T("按钮2"))), Qt::LeftButton);
  EXPECT_EQ(window.controls().ReadText(T("透明标签13")), T("无法连接到服务器！"));
  EXPECT_TRUE(window.Control(T("透明标签13"))->isVisible());
  EXPECT_FALSE(window.Control(T("透明标签18"))->isVisible());
}

}  // namespace
}  // namespace pl
