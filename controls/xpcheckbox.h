// The flat check box: a 13 x 13 box drawn from small pictures (shaded face,
// orange hover ring, green tick or square, grey forms when disabled) beside
// its caption. Three states; a left click or Space toggles it and raises
// clicked(); setting the state in code raises nothing.
#pragma once

#include <QWidget>
#include <cstdint>

#include "controls/xpglyphs.h"
#include "platform/gdi.h"

enum TXPCheckBoxState : uint8_t { cbUnchecked, cbChecked, cbGrayed };

class TXPCheckBox : public QWidget {
  Q_OBJECT

 public:
  explicit TXPCheckBox(const QString& caption = QString(), QWidget* parent = nullptr);

  // Checked reads true only for cbChecked (a grayed box reads false).
  bool GetChecked() const { return FState == cbChecked; }
  bool Checked() const { return GetChecked(); }
  void SetChecked(bool value) { SetState(value ? cbChecked : cbUnchecked); }
  TXPCheckBoxState State() const { return FState; }
  void SetState(TXPCheckBoxState value);
  // A user toggle goes unchecked -> checked (or grayed when AllowGrayed) ->
  // unchecked; grayed -> checked.
  virtual void Toggle();

  bool AllowGrayed() const { return FAllowGrayed; }
  void SetAllowGrayed(bool value) { FAllowGrayed = value; }
  TXPCheckBoxAlign Alignment() const { return FAlignment; }
  void SetAlignment(TXPCheckBoxAlign value);
  // The caption; "&" marks the accelerator letter.
  QString Caption() const { return FCaption; }
  void SetCaption(const QString& value);
  // Background of the whole control (default the window colour).
  TColor Color() const { return FColor; }
  void SetColor(TColor value);

  // Where the dotted focus rectangle goes (it may reach past the edges).
  QRect GetFocusRect() const;
  bool MouseIn() const { return FMouseIn; }
  // Left button or Space held down on the box.
  bool Pressed() const { return FPressed; }

  QSize sizeHint() const override;

 signals:
  // A user toggle: left release, or the release of a Space press.
  void clicked();
  void OnMouseEnter();
  void OnMouseLeave();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void RedrawFlag() { update(); }

  TXPCheckBoxState FState = cbUnchecked;
  TXPCheckBoxAlign FAlignment = taLeft;
  bool FAllowGrayed = false;
  QString FCaption;
  TColor FColor = clWindow;
  bool FMouseIn = false;
  bool FPressed = false;
  xpglyphs::TPaintSwitch FPaint{this};
};
