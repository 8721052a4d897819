// The two-slider settings dialog of 3D grid, Glasstile, Lens fire, Oil
// paint, Puzzle, Rain drops, Ribbon and Spheric; TwoTrackKind (0..7) tells
// which one it edits.
#pragma once

#include "dialogs/effectframe.h"

class TFormTwoTrack : public TTwoSliderFrame {
  Q_OBJECT

 public:
  TFormTwoTrack(QWidget* parent, TJobRecord& job);

 protected:
  void ApplyPictureLimits() override;
  void PositionControls() override;
  void ReadControl(QObject* sender) override;
  void ShowValues(QObject* sender) override;
  void ApplyEffect(TBitmap& result) override;
  void WriteValues() override;

 private:
  int FKind;
  int Value1 = 0;
  int Value2 = 0;
};
