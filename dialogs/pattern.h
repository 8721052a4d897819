// The settings dialog of "Watermark...": the level, "inverse" and the
// pattern, a square of one colour or a picture file, with a live preview.
// The pattern reaches the job (WatermarkBitmap and where it came from) only
// on OK.
#pragma once

#include "controls/xpcheckbox.h"
#include "dialogs/effectframe.h"
#include "platform/windows/dialogs.h"

class TXiPanel;

class TFormPattern : public TSliderFrame {
  Q_OBJECT

 public:
  TFormPattern(QWidget* parent, TJobRecord& job);
  ~TFormPattern() override;

  // The pattern being edited.
  const TBitmap& Pattern() const { return *PatternBitmap; }

  TXiPanel* XiPanel1 = nullptr;  // the pattern panel
  TXiPanel* XiPanel2 = nullptr;  // the level panel
  TXPCheckBox* CheckBox2 = nullptr;  // "inverse"; TrackBar1 is the level
  TXiButton* XiButton3 = nullptr;  // "Select pattern"
  QScrollArea* ScrollBox2 = nullptr;
  // The pattern view: 70 x 60 at first, showing the pattern's top-left
  // corner; the pattern's own size once it is changed.
  TPaintBox* PaintBoxPattern = nullptr;
  // The colour pattern's chooser: it keeps its own last colour, black at
  // first, and never takes the pattern's.
  TColorDialog ColorDialog1;
  // The picture pattern's chooser: every picture type the program reads.
  TOpenPictureDialog OpenPictureDialog1;

  // Draws the pattern at (0, 0) of its view.
  void PaintBoxPatternPaint(QPainter& canvas);
  // A click on the pattern view: a colour pattern from ColorDialog1.
  void PaintBoxPatternClick();
  // "Select pattern": a picture pattern from OpenPictureDialog1, opened
  // in the folder of the pattern file (the program's folder while there is
  // none).
  void XiButton3Click();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void PositionControls() override;
  void ReadControl(QObject* sender) override;
  void ShowValues(QObject* sender) override;
  void ApplyEffect(TBitmap& result) override;
  void WriteValues() override;

 private:
  // The view takes the new pattern's size and shows it.
  void ShowPattern();

  std::unique_ptr<TBitmap> PatternBitmap;
  std::string PatternFile;
  TColor PatternColor = 0;
  bool FromFile = false;
  int Level = 0;
};
