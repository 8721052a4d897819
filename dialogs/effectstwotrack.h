// The two-slider settings dialog of 3D grid, Glasstile, Lens fire, Oil
// paint, Puzzle, Rain drops, Ribbon and Spheric; TwoTrackKind (0..7) tells
// which one it edits.
#pragma once

#include "dialogs/effectframe.h"

class TFormTwoTrack : public TEffectFrame {
  Q_OBJECT

 public:
  TFormTwoTrack(QWidget* parent, TJobRecord& job);

  TXiTrackBar* TrackBar1 = nullptr;
  TXiTrackBar* TrackBar2 = nullptr;
  QLabel* Label1 = nullptr;  // values
  QLabel* Label2 = nullptr;
  QLabel* Label3 = nullptr;  // TrackBar1's ends
  QLabel* Label4 = nullptr;
  QLabel* Label5 = nullptr;  // TrackBar2's ends
  QLabel* Label6 = nullptr;

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
