// main_window.h: the main window on Qt, built from the window definition
// (app/window_definition.h), with the three buttons wired to their handlers.
//
//   pl::MainWindow w(pl::ProgramServices(pl::OpenInBrowser));  // app/window_services.h
//   w.ShowCentred();
//
// Each control is a widget whose object name is the control's name (UTF-8),
// so that tests find it with findChild<QWidget*>(name).
#pragma once

#include <QPushButton>
#include <QWidget>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/controls.h"
#include "app/lookup.h"
#include "app/qt/tab_control.h"
#include "app/window_definition.h"
#include "app/window_services.h"
#include "text/text.h"

namespace pl {

// Asks the desktop to open the address in the default web browser; a failure
// to open it is ignored.
void OpenInBrowser(const Text& address);

// The picture of 按钮3 and of the program's icon: a drawing of pi.
QPixmap PiPicture();

class MainWindow final : public QWidget {
 public:
  explicit MainWindow(WindowServices services);
  ~MainWindow() override;

  // The control operations over this window's widgets.
  Controls& controls();
  // The widget of the named control; null when there is none.
  QWidget* Control(const Text& name) const;
  TabControl& tabs() { return tabs_; }
  // Shows the window with its frame centred on its screen.
  void ShowCentred();

 private:
  class WidgetControls;
  QWidget* MakeControl(const ControlDefinition& d);
  void Wire(QPushButton& button, ButtonAction action);

  WindowServices services_;
  TabControl tabs_;
  std::vector<std::unique_ptr<QWidget>> widgets_;  // every control but the tab control
  std::map<std::string, QWidget*> by_name_;
  std::unique_ptr<WidgetControls> controls_;
};

}  // namespace pl
