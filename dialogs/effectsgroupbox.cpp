#include "dialogs/effectsgroupbox.h"

#include <algorithm>

#include "controls/xipanel.h"
#include "controls/xitrackbar.h"
#include "effects/function.h"

namespace {

// How a picture-dependent maximum is set.
enum class TLimit { Fixed, HalfWidth };

struct TGroupEffect {
  const char* Caption;  // of the radio group
  int Height;           // of the radio group
  int Columns;
  std::vector<const char*> Items;
  int Min, Max;  // Max is the resource's 10 until a picture gives HalfWidth
  TLimit Limit;
  bool Ticks;
  int TJobRecord::*Member;
  int TJobRecord::*Variant;  // null for Rotate, whose variant is RotateSmooth
  void (*Apply)(TBitmap&, int, int);
};

// By GroupEffectKind.
const TGroupEffect GroupEffects[] = {
    {"Type", 48, 2, {"overlap", "tile"}, 2, 10, TLimit::HalfWidth, false, &TJobRecord::TexturingLevel,
     &TJobRecord::TexturingType, ApplyTexturing},
    {"Type", 68, 3, {"1", "2", "3", "4", "box blur", "triangle blur"}, 1, 120, TLimit::Fixed, false,
     &TJobRecord::SoftenedLevel, &TJobRecord::SoftenedType, ApplySoftened},
    {"Type", 48, 3, {"best", "color", "mono"}, 1, 250, TLimit::Fixed, false, &TJobRecord::NoiseDegree,
     &TJobRecord::NoiseType, ApplyNoise},
    {"Direction", 48, 2, {"horizontal", "vertical"}, 0, 50, TLimit::Fixed, true, &TJobRecord::ShakeValue,
     &TJobRecord::ShakeDirection, ApplyShake},
    {"Type", 48, 4, {"tooth", "triangle", "random1", "random2"}, 0, 50, TLimit::Fixed, true,
     &TJobRecord::RippleValue, &TJobRecord::RippleType, ApplyRipple},
    {"Type", 48, 7, {"1", "2", "3", "4", "5", "6", "7"}, 0, 10, TLimit::HalfWidth, false, &TJobRecord::FigureValue,
     &TJobRecord::FigureType, ApplyFigure},
    {"Type", 48, 4, {"1", "2", "3", "4"}, 0, 50, TLimit::Fixed, false, &TJobRecord::SharpnessLevel,
     &TJobRecord::SharpnessType, ApplySharpness},
    {"Type", 48, 6, {"1", "2", "3", "4", "5", "6"}, 0, 255, TLimit::Fixed, false, &TJobRecord::EmbossLevel,
     &TJobRecord::EmbossType, ApplyEmboss},
    {"Type", 48, 4, {"1", "2", "3", "4"}, 0, 255, TLimit::Fixed, false, &TJobRecord::DetectEdgeLevel,
     &TJobRecord::DetectEdgeType, ApplyDetectEdge},
    {"Type", 48, 2, {"Pixelate", "Interpolation"}, 1, 10, TLimit::Fixed, true, &TJobRecord::IncreaseZoom,
     &TJobRecord::IncreaseType, ApplyIncrease},
    {"Type", 48, 4, {"1", "2", "3", "4"}, 0, 255, TLimit::Fixed, false, &TJobRecord::VideoLightness,
     &TJobRecord::VideoType, ApplyVideo},
    {"Type", 48, 2, {"as is", "smooth"}, 0, 360, TLimit::Fixed, false, &TJobRecord::RotateAngle, nullptr,
     ApplyRotate},
};

const TGroupEffect* EffectOfKind(int kind) {
  return kind >= 0 && kind < int(std::size(GroupEffects)) ? &GroupEffects[kind] : nullptr;
}

constexpr int DefaultGroupHeight = 59;  // with no kind to set it
constexpr int TickLimit = 50;           // a picture-bound slider gets ticks up to this maximum

}  // namespace

TFormGroupEffect::TFormGroupEffect(QWidget* parent, TJobRecord& job)
    : TSliderFrame(parent, job), FKind(job.GroupEffectKind) {
  setWindowFlag(Qt::WindowStaysOnTopHint);
  constexpr int Width = 597, ListWidth = 171;
  BuildFrame(Width, 567, 79, 398, 498, 530);
  SetFaceColor(clInfoBk);
  setWindowTitle(QString::fromStdString(job.EffectName));

  XiPanel2 = static_cast<TXiPanel*>(ParameterPanel());
  XiPanel2->setObjectName("XiPanel2");
  AddSlider(XiPanel2, 62, 36, Width - 124);

  const TGroupEffect* effect = EffectOfKind(FKind);
  // The type group lies between the preview and the slider panel.
  int groupHeight = effect ? effect->Height : DefaultGroupHeight;
  RadioGroup1 = new TRadioGroup(effect ? effect->Caption : "", this);
  RadioGroup1->setObjectName("RadioGroup1");
  RadioGroup1->SetGroupColor(clInfoBk);
  int groupTop = XiPanel2->y() - groupHeight;
  RadioGroup1->setGeometry(0, groupTop, Width - ListWidth, groupHeight);
  ScrollBox1->resize(ScrollBox1->width(), groupTop);

  if (effect) {
    QStringList items;
    for (const char* item : effect->Items) items << item;
    RadioGroup1->SetColumns(effect->Columns);
    RadioGroup1->SetItems(items);
    int variant = effect->Variant ? job.*effect->Variant : (job.RotateSmooth ? 1 : 0);
    RadioGroup1->SetItemIndex(std::clamp(variant, 0, RadioGroup1->Count() - 1));
    SetSliderRange(*TrackBar1, effect->Min, effect->Max);
    if (effect->Ticks) TrackBar1->SetTickStyle(TXiTrackBar::tsAuto);
    Value = job.*effect->Member;
    Label3->setText(QString::number(effect->Min));
    if (effect->Limit == TLimit::Fixed) Label4->setText(QString::number(effect->Max));
  }
  connect(RadioGroup1, &TRadioGroup::Click, this, [this] { TrackBar1Change(RadioGroup1); });
  StartPreview();
}

void TFormGroupEffect::ApplyPictureLimits() {
  const TGroupEffect* effect = EffectOfKind(FKind);
  if (!effect || effect->Limit != TLimit::HalfWidth) return;
  // Never below the slider's minimum, also on a picture a few pixels wide.
  int maximum = SetSliderRange(*TrackBar1, effect->Min, SourceBitmap->Width() / 2);
  Label4->setText(QString::number(maximum));
  // Ticks come once the range is short enough and stay for the dialog's life.
  if (maximum <= TickLimit) TrackBar1->SetTickStyle(TXiTrackBar::tsAuto);
  Value = std::min(Value, maximum);
}

void TFormGroupEffect::PositionControls() {
  if (EffectOfKind(FKind)) Value = PositionSlider(*TrackBar1, Value);
}

void TFormGroupEffect::ReadControl(QObject* sender) {
  // Until a picture has loaded the slider moves nothing.
  if (sender == TrackBar1 && SourceBitmap) Value = TrackBar1->Position();
}

void TFormGroupEffect::ShowValues(QObject* sender) {
  if (!SourceBitmap) return;
  // A variant click keeps the number as it is.
  if (sender == TrackBar1 || sender == ListView1) ShowLabel(Label1, QString::number(Value));
}

void TFormGroupEffect::ApplyEffect(TBitmap& result) {
  if (const TGroupEffect* effect = EffectOfKind(FKind)) effect->Apply(result, Value, RadioGroup1->ItemIndex());
  // A rotated picture changes its size: the view takes the result's.
  PaintEffect->resize(result.Width(), result.Height());
}

void TFormGroupEffect::WriteValues() {
  const TGroupEffect* effect = EffectOfKind(FKind);
  if (!effect) return;
  Job.*effect->Member = Value;
  int variant = std::max(RadioGroup1->ItemIndex(), 0);
  if (effect->Variant) Job.*effect->Variant = variant;
  else Job.RotateSmooth = variant == 1;
}
