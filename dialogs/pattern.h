// The settings dialog of "Watermark...": the level, "inverse" and the
// pattern, a square of one colour or a picture file, with a live preview.
// The pattern reaches the job (WatermarkBitmap and where it came from) only
// on OK.
#pragma once

#include "controls/xpcheckbox.h"
#include "dialogs/effectframe.h"

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

  // Draws the pattern at (0, 0) of its view.
  void PaintBoxPatternPaint(QPainter& canvas);
  // A click on the pattern view: a colour pattern from the colour dialog,
  // which offers its own last colour (black at first), not the pattern's.
  void PaintBoxPatternClick();
  // "Select pattern": a picture pattern from the open-picture dialog.
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
  TColor FChooserColor = clBlack;  // the colour dialog's own last colour
};
