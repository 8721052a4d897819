#include "dialogs/effects.h"

#include <algorithm>

#include "controls/xitrackbar.h"
#include "effects/function.h"
#include "platform/system/sysutils.h"

namespace {

struct TOneTrackEffect {
  int TJobRecord::*Member;
  int Min, Max;
  bool Ticks;
  void (*Apply)(TBitmap&, int);
};

// By OneTrackKind. Tile's maximum comes from the preview picture.
constexpr TOneTrackEffect OneTrackEffects[] = {
    {&TJobRecord::AntialiasPasses, 0, 50, true, ApplyAntialias},
    {&TJobRecord::BlurAngle, 1, 90, false, ApplyBlurRadial},
    {&TJobRecord::ContrastRange, 0, 200, false, ApplyContrast},
    {&TJobRecord::CylinderStretch, 1, 10, true, ApplyCylinder},
    {&TJobRecord::FractalIterations, 1, 10, true, ApplyFractal},
    {&TJobRecord::GammaValue, 0, 48, true, ApplyGamma},
    {&TJobRecord::GaussPasses, 0, 5, true, ApplyGauss},
    {&TJobRecord::IllusionAmount, 1, 30, true, ApplyIllusion},
    {&TJobRecord::LightnessAmount, 0, 255, false, ApplyLightness},
    {&TJobRecord::MoireDegree, 1, 180, false, ApplyMoire},
    {&TJobRecord::PixelSize, 1, 25, true, ApplyPixelate},
    {&TJobRecord::PosterizeStep, 1, 255, false, ApplyPosterized},
    {&TJobRecord::SaturationDepth, 0, 255, false, ApplySaturation},
    {&TJobRecord::SepiaValue, 0, 255, false, ApplySepia},
    {&TJobRecord::SolorizedValue, 1, 255, false, ApplySolorized},
    {&TJobRecord::SplitLightValue, 1, 10, true, ApplySplitLight},
    {&TJobRecord::SwirlDegree, 0, 180, false, ApplySwirl},
    {&TJobRecord::ThresholdLevel, 0, 255, false, ApplyThreshold},
    {&TJobRecord::TileValue, 1, 1, false, ApplyTile},
    {&TJobRecord::TwistValue, 1, 300, false, ApplyTwist},
    {&TJobRecord::WarpFactor, 0, 180, false, ApplyWarp},
    {&TJobRecord::WindLevel, 0, 50, true, ApplyWind},
};
constexpr int GammaKind = 5;
constexpr int TileKind = 18;

const TOneTrackEffect* EffectOfKind(int kind) {
  return kind >= 0 && kind < int(std::size(OneTrackEffects)) ? &OneTrackEffects[kind] : nullptr;
}

}  // namespace

TFormEffect::TFormEffect(QWidget* parent, TJobRecord& job) : TSliderFrame(parent, job), FKind(job.OneTrackKind) {
  setWindowFlag(Qt::WindowStaysOnTopHint);
  BuildFrame(625, 518, 104, 428, 528, 482);
  SetFaceColor(clInfoBk);

  AddSlider(ParameterPanel(), 62, 40, 501);
  setWindowTitle(QString::fromStdString(job.EffectName));

  if (const TOneTrackEffect* effect = EffectOfKind(FKind)) {
    SetSliderRange(*TrackBar1, effect->Min, effect->Max);
    if (effect->Ticks) TrackBar1->SetTickStyle(TXiTrackBar::tsAuto);
    Value = job.*effect->Member;
    if (FKind == GammaKind) {
      Label3->setText("0");
      Label4->setText("5");
    } else if (FKind == TileKind) {
      Label3->setText("1");  // the maximum follows the picture
    } else {
      Label3->setText(QString::number(effect->Min));
      Label4->setText(QString::number(effect->Max));
    }
  }
  StartPreview();
}

void TFormEffect::ApplyPictureLimits() {
  if (FKind != TileKind) return;
  int maximum = SetSliderRange(*TrackBar1, 1, std::min(SourceBitmap->Width() / 5, SourceBitmap->Height() / 5));
  Label4->setText(QString::number(maximum));
  Value = std::min(Value, maximum);
}

void TFormEffect::PositionControls() {
  if (EffectOfKind(FKind)) Value = PositionSlider(*TrackBar1, Value);
}

void TFormEffect::ReadControl(QObject* sender) {
  if (sender == TrackBar1) Value = TrackBar1->Position();
}

void TFormEffect::ShowValues(QObject*) {
  if (FKind == GammaKind) ShowLabel(Label1, QString::fromStdString(FormatFloat("#,#0.0", (Value + 2) * 0.1)));
  else ShowLabel(Label1, QString::number(Value));
}

void TFormEffect::ApplyEffect(TBitmap& result) {
  if (const TOneTrackEffect* effect = EffectOfKind(FKind)) effect->Apply(result, Value);
}

void TFormEffect::WriteValues() {
  if (const TOneTrackEffect* effect = EffectOfKind(FKind)) Job.*effect->Member = Value;
}
