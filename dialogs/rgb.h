// The three-slider settings dialog of RGB, HLS, Color tone (with a swatch of
// the tone colour) and Tile reflection; RgbKind (0..3) tells which one it
// edits. The values are the sliders' raw positions; the labels may show
// quantities derived from them.
#pragma once

#include "dialogs/effectframe.h"

class TFormRGB : public TEffectFrame {
  Q_OBJECT

 public:
  TFormRGB(QWidget* parent, TJobRecord& job);

  TXiTrackBar* TrackBar1 = nullptr;
  TXiTrackBar* TrackBar2 = nullptr;
  TXiTrackBar* TrackBar3 = nullptr;
  QLabel* Label1 = nullptr;  // values
  QLabel* Label2 = nullptr;
  QLabel* Label7 = nullptr;
  QLabel* Label3 = nullptr;  // ends, slider by slider
  QLabel* Label4 = nullptr;
  QLabel* Label5 = nullptr;
  QLabel* Label6 = nullptr;
  QLabel* Label8 = nullptr;
  QLabel* Label9 = nullptr;
  QFrame* Panel4 = nullptr;  // the Color tone swatch

 protected:
  void PositionControls() override;
  void ReadControl(QObject* sender) override;
  void ShowValues(QObject* sender) override;
  void ApplyEffect(TBitmap& result) override;
  void WriteValues() override;

 private:
  TColor ToneColor() const;
  int FKind;
  int Value1 = 0;
  int Value2 = 0;
  int Value3 = 0;
};
