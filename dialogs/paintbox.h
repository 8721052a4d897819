// The paint box of the dialogs: a plain area its dialog draws on in a paint
// handler (a preview, a pattern), cleared to its window colour first.
#pragma once

#include <QWidget>
#include <functional>

class QPainter;

class TPaintBox : public QWidget {
  Q_OBJECT

 public:
  using TPaintHandler = std::function<void(QPainter& canvas)>;

  explicit TPaintBox(QWidget* parent = nullptr);
  // The handler runs on every paint (none: the window colour alone).
  void SetOnPaint(TPaintHandler handler);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  TPaintHandler FOnPaint;
};
