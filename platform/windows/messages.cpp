#include "platform/windows/messages.h"

#include <QApplication>
#include <QMessageBox>

namespace {
std::function<void(const std::string&)>& Handler() {
  static std::function<void(const std::string&)> handler;
  return handler;
}
}  // namespace

void SetMessageHandler(std::function<void(const std::string&)> handler) { Handler() = std::move(handler); }

void ShowMessage(const std::string& text) {
  if (Handler()) {
    Handler()(text);
    return;
  }
  QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(), QString::fromStdString(text),
                  QMessageBox::Ok, QApplication::activeWindow());
  box.exec();
}
