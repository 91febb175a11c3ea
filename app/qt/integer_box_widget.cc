#include "app/qt/integer_box_widget.h"

#include <QFocusEvent>
#include <QInputMethodEvent>
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
  const bool types_text = !typed.isEmpty() && (typed[0].isPrint() || typed[0].isSurrogate());
  if (!shortcut && types_text && !(typed.size() == 1 && AcceptsTypedCharacter(typed[0].unicode()))) {
    event->accept();
    return;
  }
  QLineEdit::keyPressEvent(event);
}

void IntegerBox::inputMethodEvent(QInputMethodEvent* event) {
  // Text composed by an input method is typed text too: only digits and "-"
  // of it enter the box.
  QString kept;
  for (QChar c : event->commitString()) {
    if (AcceptsTypedCharacter(c.unicode())) kept += c;
  }
  if (kept == event->commitString()) {
    QLineEdit::inputMethodEvent(event);
    return;
  }
  QInputMethodEvent filtered(event->preeditString(), event->attributes());
  filtered.setCommitString(kept, event->replacementStart(), event->replacementLength());
  QLineEdit::inputMethodEvent(&filtered);
}

void IntegerBox::focusOutEvent(QFocusEvent* event) {
  // The box's own context menu takes the focus only for a moment: the text
  // is rewritten when the focus really leaves.
  if (event->reason() == Qt::PopupFocusReason) {
    QLineEdit::focusOutEvent(event);
    return;
  }
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
