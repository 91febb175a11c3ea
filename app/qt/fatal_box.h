// fatal_box.h: the message box of a fatal stop. Once installed (after the
// QApplication exists), FatalError shows its text in a modal box captioned
// "错误" with the error icon and one OK button; when the box is closed the
// process ends with exit code -1.
#pragma once

#include "text/text.h"

namespace pl {

void ShowFatalBox(const Text& text, const Text& caption);
void InstallFatalBox();

}  // namespace pl
