#include "app/qt/integer_box_widget.h"

#include <QFocusEvent>
#include <QKeyEvent>

#include "app/integer_box.h"
#include "app/qt/text_bridge.h"

namespace pl {

IntegerBox::IntegerBox(EditStyle style, QWidget* parent) : QLineEdit(parent), style_(style) {
  setMaxLength(kIntegerBoxMaxLength);
}

void IntegerBox::keyPressEvent(QKeyEvent* event) {
  const QString typed = event->text();
  // A key that types one printable character is filtered; shortcuts (Ctrl+V
  // pastes, and pasted text is not filtered) pass whatever text they carry.
  const bool shortcut = event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
  if (!shortcut && typed.size() == 1 && typed[0].isPrint() && !AcceptsTypedCharacter(typed[0].unicode())) {
    event->accept();
    return;
  }
  QLineEdit::keyPressEvent(event);
}

void IntegerBox::focusOutEvent(QFocusEvent* event) {
  const int caret = hasSelectedText() ? selectionStart() : cursorPosition();
  const Text old_text = TextFromQString(text());
  const Text new_text = RewriteOnLeave(style_, old_text);
  if (!(new_text == old_text)) {
    setText(QStringFromText(new_text));
    setCursorPosition(caret);
  }
  QLineEdit::focusOutEvent(event);
}

}  // namespace pl
