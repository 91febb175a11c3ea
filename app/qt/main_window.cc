#include "app/qt/main_window.h"

#include <QDesktopServices>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QUrl>

#include <climits>
#include <cstdio>
#include <cstdlib>

#include "app/qt/integer_box_widget.h"
#include "app/qt/plain_label.h"
#include "app/qt/text_bridge.h"

namespace pl {

void OpenInBrowser(const Text& address) { QDesktopServices::openUrl(QUrl(QStringFromText(address))); }

QPixmap PiPicture() { return QPixmap(QStringLiteral(":/pi_lookup/pi.png")); }

// The control operations over the widgets. Labels keep the Text they were
// given; an edit box keeps the Text last written together with what it then
// showed, so that reading back an untouched box yields the same bytes even
// where the widget would normalise them.
class MainWindow::WidgetControls final : public Controls {
 public:
  explicit WidgetControls(const MainWindow& window) : window_(window) {}

  Text ReadText(const Text& control) const override {
    QWidget* w = Find(control);
    if (auto* label = dynamic_cast<PlainLabel*>(w)) return label->text();
    const QString now = EditText(w);
    auto it = written_.find(control.str());
    if (it != written_.end() && it->second.shown == now) return it->second.text;
    return TextFromQString(now);
  }

  void WriteText(const Text& control, const Text& text) override {
    QWidget* w = Find(control);
    if (auto* label = dynamic_cast<PlainLabel*>(w)) {
      label->SetText(text);
      return;
    }
    const QString shown = QStringFromText(text);
    if (auto* line = dynamic_cast<QLineEdit*>(w)) {
      line->setText(shown);
    } else if (auto* area = dynamic_cast<QPlainTextEdit*>(w)) {
      area->setPlainText(shown);
    } else if (auto* button = dynamic_cast<QPushButton*>(w)) {
      button->setText(shown);
    }
    written_[control.str()] = Written{text, EditText(w)};
  }

  void SetVisible(const Text& control, bool visible) override { Find(control)->setVisible(visible); }
  bool IsVisible(const Text& control) const override { return !Find(control)->isHidden(); }

 private:
  struct Written {
    Text text;
    QString shown;
  };

  static QString EditText(QWidget* w) {
    if (auto* line = dynamic_cast<QLineEdit*>(w)) return line->text();
    if (auto* area = dynamic_cast<QPlainTextEdit*>(w)) return area->toPlainText();
    if (auto* button = dynamic_cast<QPushButton*>(w)) return button->text();
    return QString();
  }

  QWidget* Find(const Text& control) const {
    QWidget* w = window_.Control(control);
    if (!w) {
      std::fprintf(stderr, "no control named %s in the window definition\n", Cp936ToUtf8(control).c_str());
      std::abort();
    }
    return w;
  }

  const MainWindow& window_;
  std::map<std::string, Written> written_;
};

MainWindow::MainWindow(WindowServices services)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      services_(std::move(services)),
      tabs_(QStringFromText(MainWindowDefinition().first_page_title),
            QStringFromText(MainWindowDefinition().second_page_title), this),
      controls_(std::make_unique<WidgetControls>(*this)) {
  const WindowDefinition& def = MainWindowDefinition();
  setWindowTitle(QStringFromText(def.title));
  setWindowIcon(QIcon(PiPicture()));
  setFixedSize(def.client_width, def.client_height);
  // The window's background is the button-face colour.
  setBackgroundRole(QPalette::Button);
  setAutoFillBackground(true);

  for (const ControlDefinition& c : def.controls) {
    if (c.kind == ControlKind::kTabControl) {
      tabs_.setObjectName(QStringFromText(c.name));
      tabs_.setGeometry(c.place.x, c.place.y, c.place.width, c.place.height);
      tabs_.setVisible(c.visible_at_start);
      by_name_[c.name] = &tabs_;
      continue;
    }
    QWidget* w = MakeControl(c);
    w->setObjectName(QStringFromText(c.name));
    if (c.kind != ControlKind::kLabel) {
      w->setGeometry(c.place.x, c.place.y, c.place.width, c.place.height);
      w->setFont(FontFor(c.font));
    }
    w->setVisible(c.visible_at_start);
    by_name_[c.name] = w;
  }
  // Controls on the window lie above the tab control (the picture button
  // over its top right-hand corner).
  for (const ControlDefinition& c : def.controls) {
    if (c.parent == ControlParent::kWindow && c.kind != ControlKind::kTabControl) Control(c.name)->raise();
  }
  for (const ControlDefinition& c : def.controls) {
    if (c.focus_at_start) Control(c.name)->setFocus();
    if (c.kind == ControlKind::kButton) Wire(*dynamic_cast<QPushButton*>(Control(c.name)), c.action);
  }
}

void MainWindow::Wire(QPushButton& button, ButtonAction action) {
  switch (action) {
    case ButtonAction::kLookUpPosition:
      QObject::connect(&button, &QPushButton::clicked, this,
                       [this] { LookUpPosition(*controls_, services_.fetch, services_.base_address); });
      break;
    case ButtonAction::kLookUpDigits:
      QObject::connect(&button, &QPushButton::clicked, this,
                       [this] { LookUpDigits(*controls_, services_.fetch, services_.base_address); });
      break;
    case ButtonAction::kOpenProfile:
      QObject::connect(&button, &QPushButton::clicked, this, [this] {
        if (services_.open_address) services_.open_address(services_.profile_address);
      });
      break;
    case ButtonAction::kNone:
      break;
  }
}

MainWindow::~MainWindow() = default;

Controls& MainWindow::controls() { return *controls_; }

QWidget* MainWindow::MakeControl(const ControlDefinition& c) {
  QWidget* parent = this;
  if (c.parent == ControlParent::kFirstPage) parent = &tabs_.page(0);
  if (c.parent == ControlParent::kSecondPage) parent = &tabs_.page(1);

  std::unique_ptr<QWidget> made;
  switch (c.kind) {
    case ControlKind::kLabel:
      made = std::make_unique<PlainLabel>(c, parent);
      break;
    case ControlKind::kButton: {
      auto button = std::make_unique<QPushButton>(QStringFromText(c.text_at_start), parent);
      if (c.picture == Picture::kPi) {
        button->setIcon(QIcon(PiPicture()));
        button->setIconSize(QSize(c.picture_size, c.picture_size));
      }
      made = std::move(button);
      break;
    }
    case ControlKind::kEditBox:
      if (c.edit_style == EditStyle::kMultiLine) {
        auto area = std::make_unique<QPlainTextEdit>(parent);
        area->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        area->setPlainText(QStringFromText(c.text_at_start));
        made = std::move(area);
      } else if (c.edit_style == EditStyle::kSingleLine) {
        auto line = std::make_unique<QLineEdit>(QStringFromText(c.text_at_start), parent);
        line->setMaxLength(INT_MAX);
        made = std::move(line);
      } else {
        auto box = std::make_unique<IntegerBox>(c.edit_style, parent);
        box->setText(QStringFromText(c.text_at_start));
        made = std::move(box);
      }
      break;
    case ControlKind::kTabControl:
      break;
  }
  widgets_.push_back(std::move(made));
  return widgets_.back().get();
}

QWidget* MainWindow::Control(const Text& name) const {
  auto it = by_name_.find(name.str());
  return it == by_name_.end() ? nullptr : it->second;
}

void MainWindow::ShowCentred() {
  const WindowDefinition& def = MainWindowDefinition();
  const QRect screen = this->screen()->geometry();
  const Point at = CentredOrigin(screen.width(), screen.height(), def.outer_width, def.outer_height);
  move(screen.x() + at.x, screen.y() + at.y);
  show();
}

}  // namespace pl
