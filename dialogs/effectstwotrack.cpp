#include "dialogs/effectstwotrack.h"

#include <algorithm>

#include "controls/xitrackbar.h"
#include "effects/function.h"

namespace {

struct TTwoTrackEffect {
  int TJobRecord::*Member1;
  int TJobRecord::*Member2;
  int Min1, Max1, Min2, Max2;  // a maximum of 0 follows the preview picture
  bool Ticks2;
  bool ShowEnds;  // the min/max labels show all four ends from the start
  const char* Hints[2];
  void (*Apply)(TBitmap&, int, int);
};

// By TwoTrackKind.
constexpr TTwoTrackEffect TwoTrackEffects[] = {
    {&TJobRecord::GridStep, &TJobRecord::GridTransparency, 0, 0, 0, 255, false, false, {"Grid step", "Transparency"},
     Apply3DGrid},
    {&TJobRecord::GlasstileX, &TJobRecord::GlasstileY, 2, 100, 2, 100, false, true, {"X", "Y"}, ApplyGlasstile},
    {&TJobRecord::LensFireX, &TJobRecord::LensFireY, 0, 0, 0, 0, false, false, {"X", "Y"}, ApplyLensFire},
    {&TJobRecord::OilSmooth, &TJobRecord::OilBrush, 1, 255, 1, 5, true, true, {"Smoothness", "Width of pen"},
     ApplyOilPaint},
    {&TJobRecord::PuzzleAcross, &TJobRecord::PuzzleDown, 1, 0, 1, 0, false, false, {"Across", "Down"}, ApplyPuzzle},
    {&TJobRecord::RainDropCount, &TJobRecord::RainDropSize, 1, 255, 2, 50, true, true,
     {"Amount of drops", "Size of drops"}, ApplyRainDrops},
    {&TJobRecord::RibbonWidth, &TJobRecord::RibbonFrequency, 0, 100, 0, 100, false, true, {"Width", "Frequency"},
     ApplyRibbon},
    {&TJobRecord::SphereX, &TJobRecord::SphereY, 1, 0, 1, 0, false, false, {"", ""}, ApplySpheric},
};
constexpr int GridKind = 0, LensFireKind = 2;

const TTwoTrackEffect* EffectOfKind(int kind) {
  return kind >= 0 && kind < int(std::size(TwoTrackEffects)) ? &TwoTrackEffects[kind] : nullptr;
}

}  // namespace

TFormTwoTrack::TFormTwoTrack(QWidget* parent, TJobRecord& job)
    : TTwoSliderFrame(parent, job), FKind(job.TwoTrackKind) {
  setWindowFlag(Qt::WindowStaysOnTopHint);
  BuildFrame(622, 555, 149, 422, 521, 514);
  AddSliders(ParameterPanel(), 62, 30, 96, 498);
  for (TXiTrackBar* bar : {TrackBar1, TrackBar2}) {
    SetSliderRange(*bar, 1, 10);
    PositionSlider(*bar, 1);
    bar->SetShowHint(false);  // the hints are set but not shown here
  }
  setWindowTitle(QString::fromStdString(job.EffectName));

  if (const TTwoTrackEffect* effect = EffectOfKind(FKind)) {
    Value1 = job.*effect->Member1;
    Value2 = job.*effect->Member2;
    TrackBar1->SetHint(effect->Hints[0]);
    TrackBar2->SetHint(effect->Hints[1]);
    // Ends that depend on the picture are set when one has loaded.
    if (effect->Max1 > 0) SetSliderRange(*TrackBar1, effect->Min1, effect->Max1);
    if (effect->Max2 > 0) SetSliderRange(*TrackBar2, effect->Min2, effect->Max2);
    if (effect->Ticks2) TrackBar2->SetTickStyle(TXiTrackBar::tsAuto);
    if (effect->ShowEnds) {
      Label3->setText(QString::number(effect->Min1));
      Label4->setText(QString::number(effect->Max1));
      Label5->setText(QString::number(effect->Min2));
      Label6->setText(QString::number(effect->Max2));
    } else if (FKind == GridKind || FKind == LensFireKind) {
      Label3->setText("0");
      Label5->setText("0");
      if (FKind == GridKind) {
        Label6->setText("255");
        SetSliderRange(*TrackBar1, 0, TrackBar1->Max());
      }
    }
  }
  StartPreview();
}

void TFormTwoTrack::ApplyPictureLimits() {
  const TTwoTrackEffect* effect = EffectOfKind(FKind);
  if (!effect) return;
  int width = SourceBitmap->Width(), height = SourceBitmap->Height();
  if (FKind == GridKind) {
    int larger = std::max(width, height);
    Label4->setText(QString::number(SetSliderRange(*TrackBar1, 0, larger)));
    // Small pictures get a tick at every step; they stay once set.
    if (larger <= 50) TrackBar1->SetTickStyle(TXiTrackBar::tsAuto);
    Value1 = std::min(Value1, larger / 2);
  } else if (effect->Max1 == 0) {
    Label4->setText(QString::number(SetSliderRange(*TrackBar1, effect->Min1, width)));
    Label6->setText(QString::number(SetSliderRange(*TrackBar2, effect->Min2, height)));
    Value1 = std::min(Value1, width);
    Value2 = std::min(Value2, height);
  }
}

void TFormTwoTrack::PositionControls() {
  if (!EffectOfKind(FKind)) return;
  Value1 = PositionSlider(*TrackBar1, Value1);
  Value2 = PositionSlider(*TrackBar2, Value2);
}

void TFormTwoTrack::ReadControl(QObject* sender) {
  if (sender == TrackBar1) Value1 = TrackBar1->Position();
  else if (sender == TrackBar2) Value2 = TrackBar2->Position();
}

void TFormTwoTrack::ShowValues(QObject* sender) {
  bool all = sender == ListView1;
  if (all || sender == TrackBar1) ShowLabel(Label1, QString::number(Value1));
  if (all || sender == TrackBar2) ShowLabel(Label2, QString::number(Value2));
}

void TFormTwoTrack::ApplyEffect(TBitmap& result) {
  if (const TTwoTrackEffect* effect = EffectOfKind(FKind)) effect->Apply(result, Value1, Value2);
}

void TFormTwoTrack::WriteValues() {
  if (const TTwoTrackEffect* effect = EffectOfKind(FKind)) {
    Job.*effect->Member1 = Value1;
    Job.*effect->Member2 = Value2;
  }
}
