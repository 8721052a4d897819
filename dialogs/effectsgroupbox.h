// The settings dialog of the twelve effects that take one integer parameter
// and one choice among named variants (Texturing, Softened, Noise, Shake,
// Ripple, Figure, Sharpness, Emboss, Detect edge, Increase, Video, Rotate);
// GroupEffectKind (0..11, in that order) tells which one it edits. The
// variant is the radio group's item index and has no member of its own.
#pragma once

#include "dialogs/effectframe.h"
#include "dialogs/radiogroup.h"

class TXiPanel;

class TFormGroupEffect : public TSliderFrame {
  Q_OBJECT

 public:
  TFormGroupEffect(QWidget* parent, TJobRecord& job);

  TXiPanel* XiPanel2 = nullptr;
  TRadioGroup* RadioGroup1 = nullptr;

 protected:
  void ApplyPictureLimits() override;
  void PositionControls() override;
  void ReadControl(QObject* sender) override;
  void ShowValues(QObject* sender) override;
  void ApplyEffect(TBitmap& result) override;
  void WriteValues() override;

 private:
  int FKind;
  int Value = 0;
};
