// The flat group box: a container with a rounded frame of chosen colour and
// width and its caption set into the top edge, on its own background. The
// TXPRadioButton children it holds form one group.
#pragma once

#include <QWidget>
#include <cstdint>

#include "platform/graphics/gdi.h"

enum TCaptionAlignment : uint8_t { caLeft, caRight, caCenter };

class TXPGroupBox : public QWidget {
  Q_OBJECT

 public:
  explicit TXPGroupBox(const QString& caption = QString(), QWidget* parent = nullptr);

  // The caption; "&" marks the accelerator letter (pressing it does nothing).
  QString Caption() const { return FCaption; }
  void SetCaption(const QString& value);
  TCaptionAlignment CaptionAlignment() const { return FCaptionAlignment; }
  void SetCaptionAlignment(TCaptionAlignment value);
  // The background (default the button face colour).
  TColor Color() const { return FColor; }
  void SetColor(TColor value);
  TColor BorderColor() const { return FBorderColor; }
  void SetBorderColor(TColor value);
  // Kept within 1..10.
  int BorderWidth() const { return FBorderWidth; }
  void SetBorderWidth(int value);
  // Distance of the caption from the side it is aligned to; 1..30.
  int CaptionOffset() const { return FCaptionOffset; }
  void SetCaptionOffset(int value);
  // Sets the corners' roundness; 1..30.
  int CornersOffset() const { return FCornersOffset; }
  void SetCornersOffset(int value);
  // Colour of the caption (default D05300, a strong blue); children keep
  // their own text colours.
  TColor FontColor() const { return FFontColor; }
  void SetFontColor(TColor value);
  // The diameter of the corners' rounding.
  int CornerSize() const;

  QSize sizeHint() const override { return QSize(185, 105); }

 signals:
  void clicked();
  void OnMouseEnter();
  void OnMouseLeave();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  QString FCaption;
  TCaptionAlignment FCaptionAlignment = caLeft;
  TColor FColor = clBtnFace;
  TColor FBorderColor = 0xB8D8D7;
  TColor FFontColor = 0xD05300;
  int FBorderWidth = 1;
  int FCaptionOffset = 10;
  int FCornersOffset = 10;
  bool FPressed = false;
};
