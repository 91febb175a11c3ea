#include "app/qt/tab_control.h"

#include <QStyleOptionTabWidgetFrame>
#include <QStylePainter>

namespace pl {

TabControl::TabControl(const QString& first_title, const QString& second_title, QWidget* parent)
    : QWidget(parent), first_(this), second_(this), bar_(this) {
  bar_.setDrawBase(false);
  bar_.setExpanding(false);
  bar_.addTab(first_title);
  bar_.addTab(second_title);
  bar_.raise();
  QObject::connect(&bar_, &QTabBar::currentChanged, this, [this](int) { ShowCurrentPage(); });
  ShowCurrentPage();
}

void TabControl::ShowCurrentPage() {
  first_.setVisible(current() == 0);
  second_.setVisible(current() == 1);
}

void TabControl::resizeEvent(QResizeEvent*) {
  first_.setGeometry(rect());
  second_.setGeometry(rect());
  bar_.setGeometry(0, 0, std::min(width(), bar_.sizeHint().width()), kHeaderHeight);
}

void TabControl::paintEvent(QPaintEvent*) {
  QStylePainter painter(this);
  QStyleOptionTabWidgetFrame frame;
  frame.initFrom(this);
  frame.rect = QRect(0, kHeaderHeight - 1, width(), height() - kHeaderHeight + 1);
  frame.shape = QTabBar::RoundedNorth;
  frame.tabBarSize = QSize(bar_.width(), kHeaderHeight);
  frame.lineWidth = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
  painter.drawPrimitive(QStyle::PE_FrameTabWidget, frame);
}

}  // namespace pl
