// Draws a picture-layer bitmap into a Qt widget. A 24-bit bitmap is drawn
// straight from its own rows (no copy of its pixels); other formats are
// converted on a copy first.
#pragma once

#include <QWidget>

#include "platform/graphics/graphics.h"

class QPainter;

// Draws the bitmap unscaled with its top-left corner at (x, y).
void PaintBitmap(QPainter& painter, int x, int y, const TBitmap& bitmap);
// The same, but a Transparent bitmap leaves out its pixels of the
// transparent colour (as the canvas's draw does), so that what lies below
// shows through.
void DrawBitmap(QPainter& painter, int x, int y, const TBitmap& bitmap);

// A widget that shows one bitmap it does not own, unscaled, at its top-left
// corner or centred; the area around it is filled with the widget's window
// colour. Call update() after changing the bitmap's pixels.
class TBitmapView : public QWidget {
  Q_OBJECT

 public:
  explicit TBitmapView(QWidget* parent = nullptr);
  // The bitmap must outlive the view or be replaced (nullptr shows nothing).
  void SetBitmap(const TBitmap* bitmap);
  const TBitmap* Bitmap() const { return FBitmap; }
  void SetCentered(bool centered);
  // Resizes the widget to the bitmap's size.
  void FitToBitmap();
  // Draws a Transparent bitmap without its pixels of the transparent colour
  // (over the window colour); off by default.
  void SetDrawTransparent(bool value);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  const TBitmap* FBitmap = nullptr;
  bool FCentered = false;
  bool FDrawTransparent = false;
};
