// The one-slider settings dialog of the 22 effects with a single integer
// parameter; OneTrackKind (0..21) tells which one it edits.
#pragma once

#include "dialogs/effectframe.h"

class TFormEffect : public TEffectFrame {
  Q_OBJECT

 public:
  TFormEffect(QWidget* parent, TJobRecord& job);

  TXiTrackBar* TrackBar1 = nullptr;
  QLabel* Label1 = nullptr;  // the value
  QLabel* Label3 = nullptr;  // minimum
  QLabel* Label4 = nullptr;  // maximum

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
