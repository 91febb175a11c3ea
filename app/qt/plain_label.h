// plain_label.h: the window's transparent label. It has no background of
// its own and draws its text as plain text (never as rich text, whatever the
// text holds) in its colour, font and alignment: word-wrapped from the top of
// its box, or on one line centred vertically.
//
// A label never clips its text: when the text needs more room than the box
// of the definition, the widget grows beyond the box (to the right, to the
// left or both, as the alignment asks; downwards for a wrapped text) while
// the text stays placed as in the box. The label lets mouse clicks through to
// what lies behind it.
#pragma once

#include <QColor>
#include <QRect>
#include <QString>
#include <QWidget>

#include "app/window_definition.h"
#include "text/text.h"

namespace pl {

class PlainLabel final : public QWidget {
 public:
  PlainLabel(const ControlDefinition& definition, QWidget* parent);

  void SetText(const Text& text);
  const Text& text() const { return text_; }
  // The text as drawn: CR LF pairs become line breaks.
  const QString& shown_text() const { return shown_; }
  // The box of the definition, in the parent's coordinates.
  QRect box() const { return box_; }
  QColor color() const { return color_; }
  int text_flags() const { return flags_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void FitToText();

  QRect box_;
  QColor color_;
  int flags_;
  Text text_;
  QString shown_;
};

// The font a control of the definition uses.
QFont FontFor(const FontChoice& choice);

}  // namespace pl
