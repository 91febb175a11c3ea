// fatal_box.h: the fatal error box on Windows, a system message box with no
// owner window, the caption "错误", the error icon and an OK button.
#pragma once

#include "text/text.h"

namespace pl {

void ShowFatalBox(const Text& text, const Text& caption);

// Makes FatalError show its text through ShowFatalBox.
void InstallFatalBox();

}  // namespace pl
