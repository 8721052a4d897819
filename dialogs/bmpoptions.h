// The BMP options dialog: the pixel format of BMP output, with the preview
// picture before and after the writer's change of pixel format.
#pragma once

#include <array>

#include "dialogs/formatpreview.h"

class TRadioGroup;

// The pixel formats in the order of the radio items, and the summary text
// OK stores for each.
struct TBmpFormatItem {
  const char* Caption;  // "1 bit"
  TPixelFormat Format;
  const char* Text;  // "Pixel format: 1 bit"
};
extern const std::array<TBmpFormatItem, 6> BmpFormatItems;

class TBMPForm : public TFormatPreviewDialog {
  Q_OBJECT

 public:
  TBMPForm(QWidget* parent, TJobRecord& job);

  // A fresh copy of BeforeBitmap in the selected pixel format becomes
  // AfterBitmap.
  void UpdatePreview();

  // Draws the converted picture at (0, 0) of its paint box.
  void ImageBMPPaint(QPainter& canvas);
  void RadioGroup1Click();
  void XiButton3Click();  // "by default"
  void XiButton1Click();  // OK

  QLabel* Label1 = nullptr;  // "Before"
  QLabel* Label2 = nullptr;  // "After"
  TXiPanel* Panel1 = nullptr;  // "before" panel
  TXiPanel* Panel2 = nullptr;  // "after" panel, the one the picture is fitted to
  TPaintBox* ImageSrc = nullptr;
  TPaintBox* ImageBMP = nullptr;
  TRadioGroup* RadioGroup1 = nullptr;  // "Pixel format", items by BmpFormatItems
};
