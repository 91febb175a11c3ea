// tab_control.h: the window's tab control. A row of tab headers 24 pixels
// high at the top, a framed panel below, and one page widget per tab that
// covers the whole control, so that a control placed on a page at (x, y)
// stands at (x, y) from the tab control's top left-hand corner. Only the
// current page is shown; switching tabs changes no text and no visibility
// setting of the pages' controls.
#pragma once

#include <QTabBar>
#include <QWidget>

namespace pl {

class TabControl final : public QWidget {
 public:
  static constexpr int kHeaderHeight = 24;

  TabControl(const QString& first_title, const QString& second_title, QWidget* parent);

  QWidget& page(int index) { return index == 0 ? first_ : second_; }
  QTabBar& bar() { return bar_; }
  int current() const { return bar_.currentIndex(); }
  void SetCurrent(int index) { bar_.setCurrentIndex(index); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void ShowCurrentPage();

  QWidget first_;
  QWidget second_;
  QTabBar bar_;  // after the pages, so that it lies above them
};

}  // namespace pl
