#include "dialogs/centreddialog.h"

#include <QGuiApplication>
#include <QScreen>
#include <QShowEvent>
#include <algorithm>

void CentreOnScreen(QWidget& window) {
  const QWidget* owner = window.parentWidget() ? window.parentWidget()->window() : nullptr;
  QScreen* screen = owner ? owner->screen() : window.screen();
  if (!screen) screen = QGuiApplication::primaryScreen();
  if (!screen) return;
  // The frame's size; before the desktop has framed the window, the
  // owner's frame tells how large it will be.
  QSize outer = window.frameGeometry().size();
  if (outer == window.size() && owner) outer += owner->frameGeometry().size() - owner->size();
  const QRect area = screen->availableGeometry();
  const int left = area.x() + (area.width() - outer.width()) / 2;
  const int top = area.y() + (area.height() - outer.height()) / 2;
  // move() places a window by its frame.
  window.move(std::max(left, area.x()), std::max(top, area.y()));
}

void TCentredDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous()) CentreOnScreen(*this);
}
