// The GIF options dialog: colour reduction, dither mode, colour count,
// transparency and LZW or RLE compression, with the preview picture before
// and after the GIF writer's conversion with the chosen options.
#pragma once

#include "dialogs/formatpreview.h"
#include "engine/targetconversion.h"

class QComboBox;
class TXPCheckBox;
class TRadioGroup;
class TXPGroupBox;

// The reduction methods in the order of the reduction list, and the dither
// modes in the order of the dither list.
inline constexpr TColorReduction GifReductionItems[] = {rmNetscape,  rmMonochrome, rmGrayScale, rmWindowsGray,
                                                        rmWindows20, rmWindows256, rmQuantize,  rmQuantizeWindows};
inline constexpr TDitherMode GifDitherItems[] = {dmFloydSteinberg, dmStucki, dmSierra,  dmJaJuNI,
                                                 dmSteveArche,     dmBurkes, dmNearest};

// The picture the GIF writer makes of the bitmap with the options, as a
// reader shows it: 24-bit, and when the written file has transparent
// pixels they hold a colour of their own that is the bitmap's
// (Transparent) transparent colour. The bitmap itself is not changed.
std::unique_ptr<TBitmap> GifAfterPicture(const TBitmap& bitmap, const TGifConversion& options);

class TFormGif : public TFormatPreviewDialog {
  Q_OBJECT

 public:
  TFormGif(QWidget* parent, TJobRecord& job);

  // The options as the controls show them (the job's transparent colour
  // added).
  TGifConversion ChosenOptions() const;
  // One conversion of BeforeBitmap with the chosen options into
  // AfterBitmap.
  void UpdatePreview();

  // Draws the converted picture at (0, 0) of its paint box, its
  // transparent pixels left out (the panel shows through).
  void ImageGifPaint(QPainter& canvas);
  void ComboReductionChange();
  void ComboDitherChange();
  void ComboColorChange();
  void CompressGroupClick();
  void CheckBox1Click();
  void XiButton3Click();  // "by default"
  void XiButton1Click();  // OK

  QLabel* Label1 = nullptr;  // "Before"
  QLabel* Label2 = nullptr;  // "After"
  TXiPanel* Panel1 = nullptr;  // "before" panel
  TXiPanel* Panel2 = nullptr;  // "after" panel, the one the picture is fitted to
  TPaintBox* ImageSrc = nullptr;
  TPaintBox* ImageGif = nullptr;
  TXPGroupBox* GroupBox1 = nullptr;
  QLabel* Label3 = nullptr;  // "reduction:"
  QComboBox* ComboReduction = nullptr;
  QLabel* Label4 = nullptr;  // "dither:"
  QComboBox* ComboDither = nullptr;
  QLabel* Label5 = nullptr;  // "colors:"
  QComboBox* ComboColor = nullptr;
  TXPCheckBox* CheckBox1 = nullptr;  // "transparent"
  TRadioGroup* CompressGroup = nullptr;  // "LZW", "RLE"

 private:
  // Selects the lists, the box and the compression without their events.
  void ShowOptions(const TGifConversion& options);
  void Connect();
  void Disconnect();
  // The chosen reduction and dither mode; the previous one for an index
  // outside the lists.
  TColorReduction FReduction = rmQuantize;
  TDitherMode FDither = dmNearest;
  std::vector<QMetaObject::Connection> FEvents;
};
