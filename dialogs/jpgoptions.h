// The JPEG options dialog: the job's JPEG quality (1..100) on a slider, with
// the preview picture before and after a real JPEG encode and decode at
// that quality.
#pragma once

#include "dialogs/formatpreview.h"

class TXiTrackBar;

class TJPGForm : public TFormatPreviewDialog {
  Q_OBJECT

 public:
  TJPGForm(QWidget* parent, TJobRecord& job);

  // One JPEG round trip of BeforeBitmap into AfterBitmap.
  void UpdatePreview(int quality);

  // Draws the JPEG round trip's result at (0, 0) of its paint box.
  void ImageJPGPaint(QPainter& canvas);
  void XiTrackBar1Change();
  void XiButton3Click();  // "by default"
  void XiButton1Click();  // OK

  QLabel* Label1 = nullptr;  // "Compression/Quality"
  QLabel* Label2 = nullptr;  // "Before"
  QLabel* Label3 = nullptr;  // "After"
  QLabel* Label4 = nullptr;  // "1"
  QLabel* Label5 = nullptr;  // "100"
  TXiPanel* Panel1 = nullptr;  // the quality as a number
  TXiPanel* Panel2 = nullptr;  // "before" panel, the one the picture is fitted to
  TXiPanel* Panel3 = nullptr;  // "after" panel
  TPaintBox* ImageSrc = nullptr;
  TPaintBox* ImageJPG = nullptr;
  TXiTrackBar* XiTrackBar1 = nullptr;
};
