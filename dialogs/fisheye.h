// The settings dialog of "Fish eye...": lens zoom, lens radius (at most half
// the preview picture's shorter side) and "reverse", which turns the bulge
// into a pinch.
#pragma once

#include "controls/xpcheckbox.h"
#include "dialogs/effectframe.h"

class TFormFishEye : public TTwoSliderFrame {
  Q_OBJECT

 public:
  TFormFishEye(QWidget* parent, TJobRecord& job);

  TXPCheckBox* CheckBox2 = nullptr;  // "reverse"; TrackBar1 is the zoom, TrackBar2 the radius

 protected:
  void ApplyPictureLimits() override;
  void PositionControls() override;
  void ReadControl(QObject* sender) override;
  void ShowValues(QObject* sender) override;
  void ApplyEffect(TBitmap& result) override;
  void WriteValues() override;

 private:
  int Value1 = 0;
  int Value2 = 0;
};
