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
  TBitmapView* PaintBoxPattern = nullptr;

  // A click on the pattern view: a colour pattern from the colour dialog.
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
  void ShowPattern();

  std::unique_ptr<TBitmap> PatternBitmap;
  std::string PatternFile;
  TColor PatternColor = 0;
  bool FromFile = false;
  int Level = 0;
};
