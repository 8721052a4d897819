// The one-slider settings dialog of the 22 effects with a single integer
// parameter; OneTrackKind (0..21) tells which one it edits.
#pragma once

#include "dialogs/effectframe.h"

class TFormEffect : public TSliderFrame {
  Q_OBJECT

 public:
  TFormEffect(QWidget* parent, TJobRecord& job);

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
