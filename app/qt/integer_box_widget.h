// integer_box_widget.h: the integer input box on Qt. It holds at most ten
// characters, typed or pasted; a typed printable character other than a
// digit or "-" is refused (control keys, and pasting, work as usual; text
// composed by an input method keeps its digits and "-" only); and on
// losing the keyboard focus it rewrites its text by the rule of its style
// (app/integer_box.h), putting the caret where the old selection began.
#pragma once

#include <QLineEdit>

#include "app/window_definition.h"

namespace pl {

class IntegerBox final : public QLineEdit {
 public:
  IntegerBox(EditStyle style, QWidget* parent);
  EditStyle style() const { return style_; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void inputMethodEvent(QInputMethodEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  EditStyle style_;
};

}  // namespace pl
