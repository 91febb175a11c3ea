#include "app/win32/fatal_box.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "app/win32/wide_text.h"

namespace pl {

void ShowFatalBox(const Text& text, const Text& caption) {
  MessageBoxW(nullptr, WideFromText(text).c_str(), WideFromText(caption).c_str(), MB_OK | MB_ICONERROR);
}

void InstallFatalBox() { SetFatalMessageBox(&ShowFatalBox); }

}  // namespace pl
