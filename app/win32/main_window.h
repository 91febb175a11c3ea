// main_window.h: the main window on the Win32 API, built from the window
// definition (app/window_definition.h), with the three buttons wired to
// their handlers.
//
//   pl::MainWindow w(pl::ProgramServices(pl::OpenInBrowser));  // app/window_services.h
//   w.ShowCentred();
//   return pl::RunMessageLoop(w);
//
// The window is a fixed frame with a caption, a system menu and a minimise
// button. The tab control is a standard one; the controls of its pages are
// its children, placed relative to its top left-hand corner, and shown only
// while their page is current. Edit boxes and buttons are standard
// controls; the transparent labels are drawn by the tab control (or the
// window) over its own background, in their colour, font and alignment,
// never clipped to their box. Texts are code page 936 inside and UTF-16 at
// the window (the wide-character functions).
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/controls.h"
#include "app/lookup.h"
#include "app/window_definition.h"
#include "app/window_services.h"
#include "text/text.h"

namespace pl {

// Asks the shell to "open" the address (the default web browser); the
// result is not examined.
void OpenInBrowser(const Text& address);

class MainWindow {
 public:
  explicit MainWindow(WindowServices services);
  ~MainWindow();
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  HWND hwnd() const { return hwnd_; }
  // The control operations over this window's controls.
  Controls& controls();
  // The window of the named edit box, button or tab control; null for a
  // label (labels are drawn, not windows) or an unknown name.
  HWND Control(const Text& name) const;
  // Where the named control lies, in the main window's client coordinates.
  RECT PlaceOnWindow(const Text& name) const;
  // Shows the window with its frame centred on the screen, the first page
  // current and the focus in the control the definition names.
  void ShowCentred();
  // Makes page 0 or 1 current, as a click on its tab does.
  void SelectPage(int page);

 private:
  class WindowControls;
  struct Item {
    const ControlDefinition* definition = nullptr;
    HWND hwnd = nullptr;  // null for a label
    HFONT font = nullptr;  // owned when made from the definition's size
    bool visible = false;
    Text text;             // a label's caption; an edit box's last written text
    std::wstring shown;    // what the edit box showed right after that write
  };

  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  static LRESULT CALLBACK TabProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR id,
                                  DWORD_PTR data);
  static LRESULT CALLBACK IntegerBoxProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR id,
                                         DWORD_PTR data);
  LRESULT Handle(UINT message, WPARAM wparam, LPARAM lparam);

  void Build();
  HWND MakeControl(Item& item, int id);
  void Click(int id);
  void ApplyVisibility(Item& item);
  void Invalidate(const Item& item);
  void PaintLabels(HDC dc, ControlParent parent);
  int CurrentPage() const;
  Item& Find(const Text& name);
  const Item& Find(const Text& name) const;

  WindowServices services_;
  HWND hwnd_ = nullptr;
  HWND tab_ = nullptr;
  HICON picture_ = nullptr;  // the 48 x 48 picture of 按钮3
  std::vector<Item> items_;
  std::map<std::string, std::size_t> by_name_;
  std::unique_ptr<WindowControls> controls_;
};

// Runs the window's message loop until the window is closed; returns the
// exit code that the loop ended with.
int RunMessageLoop(MainWindow& window);

}  // namespace pl
