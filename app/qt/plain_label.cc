#include "app/qt/plain_label.h"

#include <QApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QPainter>

#include "app/qt/text_bridge.h"

namespace pl {
namespace {

int HorizontalFlag(Alignment a) {
  switch (a) {
    case Alignment::kCenter:
      return Qt::AlignHCenter;
    case Alignment::kRight:
      return Qt::AlignRight;
    case Alignment::kLeft:
      break;
  }
  return Qt::AlignLeft;
}

}  // namespace

QFont FontFor(const FontChoice& choice) {
  QFont font = QApplication::font();
  if (choice.is_default_gui_font()) return font;
  // No face name: the family stays the system's default one.
  font.setPixelSize(choice.pixel_size);
  font.setWeight(static_cast<QFont::Weight>(choice.weight));
  return font;
}

PlainLabel::PlainLabel(const ControlDefinition& d, QWidget* parent)
    : QWidget(parent),
      box_(d.place.x, d.place.y, d.place.width, d.place.height),
      color_(QColor::fromRgb(static_cast<QRgb>(d.color))),
      flags_(HorizontalFlag(d.alignment) | Qt::TextDontClip |
             (d.word_wrap ? (Qt::AlignTop | Qt::TextWordWrap) : (Qt::AlignVCenter | Qt::TextSingleLine))) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setAutoFillBackground(false);
  setFont(FontFor(d.font));
  SetText(d.text_at_start);
}

void PlainLabel::SetText(const Text& text) {
  text_ = text;
  shown_ = QStringFromText(text);
  shown_.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  FitToText();
  update();
}

void PlainLabel::FitToText() {
  const QRect needed = QFontMetrics(font()).boundingRect(box_, flags_, shown_);
  setGeometry(box_.united(needed));
}

void PlainLabel::changeEvent(QEvent* event) {
  if (event->type() == QEvent::FontChange) FitToText();
  QWidget::changeEvent(event);
}

void PlainLabel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setPen(color_);
  painter.setFont(font());
  painter.drawText(box_.translated(-geometry().topLeft()), flags_, shown_);
}

}  // namespace pl
