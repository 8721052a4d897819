#include "platform/windows/appstyle.h"

#include <QApplication>
#include <QPalette>
#include <QStyleFactory>

void ApplyProgramStyle() {
  QApplication::setStyle(QStyleFactory::create("Fusion"));
  QPalette light;
  light.setColor(QPalette::Window, QColor(236, 233, 216));
  light.setColor(QPalette::WindowText, Qt::black);
  light.setColor(QPalette::Base, Qt::white);
  light.setColor(QPalette::AlternateBase, QColor(245, 244, 238));
  light.setColor(QPalette::ToolTipBase, QColor(255, 255, 225));
  light.setColor(QPalette::ToolTipText, Qt::black);
  light.setColor(QPalette::PlaceholderText, QColor(128, 128, 128));
  light.setColor(QPalette::Text, Qt::black);
  light.setColor(QPalette::Button, QColor(236, 233, 216));
  light.setColor(QPalette::ButtonText, Qt::black);
  light.setColor(QPalette::BrightText, Qt::red);
  light.setColor(QPalette::Light, Qt::white);
  light.setColor(QPalette::Midlight, QColor(241, 239, 226));
  light.setColor(QPalette::Mid, QColor(172, 168, 153));
  light.setColor(QPalette::Dark, QColor(113, 111, 100));
  light.setColor(QPalette::Shadow, QColor(64, 64, 64));
  light.setColor(QPalette::Highlight, QColor(49, 106, 197));
  light.setColor(QPalette::HighlightedText, Qt::white);
  light.setColor(QPalette::Link, QColor(0, 0, 255));
  light.setColor(QPalette::Disabled, QPalette::WindowText, QColor(172, 168, 153));
  light.setColor(QPalette::Disabled, QPalette::Text, QColor(172, 168, 153));
  light.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(172, 168, 153));
  QApplication::setPalette(light);
}
