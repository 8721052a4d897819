// The gradient button. It can be bound to an action, whose caption,
// enabled state and command it then follows.
#pragma once

#include <QAction>
#include <QPushButton>

class TXiButton : public QPushButton {
  Q_OBJECT

 public:
  explicit TXiButton(const QString& caption = QString(), QWidget* parent = nullptr);
  void SetAction(QAction* action);

 private:
  QAction* FAction = nullptr;
};
