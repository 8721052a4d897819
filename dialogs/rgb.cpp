#include "dialogs/rgb.h"

#include "controls/xitrackbar.h"
#include "effects/function.h"
#include "platform/system/sysutils.h"
#include "platform/windows/colors.h"

namespace {

struct TRgbEffect {
  int TJobRecord::*Members[3];
  int Min[3], Max[3];
  const char* Ends[3][2];  // what the min/max labels show
  const char* Hints[3];
};

// By RgbKind.
const TRgbEffect RgbEffects[] = {
    {{&TJobRecord::RgbRed, &TJobRecord::RgbGreen, &TJobRecord::RgbBlue},
     {-255, -255, -255},
     {255, 255, 255},
     {{"-255", "255"}, {"-255", "255"}, {"-255", "255"}},
     {"Red", "Green", "Blue"}},
    {{&TJobRecord::HlsHue, &TJobRecord::HlsLightness, &TJobRecord::HlsSaturation},
     {0, 0, 0},
     {30, 20, 20},
     {{"-150", "150"}, {"-1", "1"}, {"-1", "1"}},
     {"Hue", "Lightness", "Saturation"}},
    {{&TJobRecord::RedTone, &TJobRecord::GreenTone, &TJobRecord::BlueTone},
     {0, 0, 0},
     {255, 255, 255},
     {{"0", "255"}, {"0", "255"}, {"0", "255"}},
     {"Red", "Green", "Blue"}},
    {{&TJobRecord::TileReflectionAngle, &TJobRecord::TileReflectionSize, &TJobRecord::TileReflectionCurvature},
     {0, 2, 0},
     {90, 100, 40},
     {{"-45", "45"}, {"2", "100"}, {"-20", "20"}},
     {"Angle", "Square size", "Curvature"}},
};
constexpr int RgbKind = 0, HlsKind = 1, ToneKind = 2, TileReflectionKind = 3;

const TRgbEffect* EffectOfKind(int kind) {
  return kind >= 0 && kind < int(std::size(RgbEffects)) ? &RgbEffects[kind] : nullptr;
}

// The HLS indices as the steps they stand for.
QString HueText(int index) { return QString::fromStdString(FormatFloat("###0", -150 + 10 * index)); }
QString StepText(int index) { return QString::fromStdString(FormatFloat("#,#0.0", -1.0 + 0.1 * index)); }

}  // namespace

TFormRGB::TFormRGB(QWidget* parent, TJobRecord& job) : TEffectFrame(parent, job), FKind(job.RgbKind) {
  setWindowFlag(Qt::WindowStaysOnTopHint);
  BuildFrame(530, 551, 194, 326, 426, 514);
  const char* names[3][4] = {{"TrackBar1", "Label1", "Label3", "Label4"},
                             {"TrackBar2", "Label2", "Label5", "Label6"},
                             {"TrackBar3", "Label7", "Label8", "Label9"}};
  TSliderRow rows[3];
  for (int i = 0; i < 3; ++i)
    rows[i] = AddSliderRow(ParameterPanel(), 112, 30 + 58 * i, 256, names[i][0], names[i][1], names[i][2],
                           names[i][3]);
  TrackBar1 = rows[0].Bar, Label1 = rows[0].Value, Label3 = rows[0].MinLabel, Label4 = rows[0].MaxLabel;
  TrackBar2 = rows[1].Bar, Label2 = rows[1].Value, Label5 = rows[1].MinLabel, Label6 = rows[1].MaxLabel;
  TrackBar3 = rows[2].Bar, Label7 = rows[2].Value, Label8 = rows[2].MinLabel, Label9 = rows[2].MaxLabel;
  Panel4 = new QFrame(ParameterPanel());
  Panel4->setObjectName("Panel4");
  Panel4->setGeometry(430, 26, 17, 139);
  Panel4->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  Panel4->setAutoFillBackground(true);
  Panel4->hide();
  setWindowTitle(QString::fromStdString(job.EffectName));

  if (const TRgbEffect* effect = EffectOfKind(FKind)) {
    for (int i = 0; i < 3; ++i) {
      SetSliderRange(*rows[i].Bar, effect->Min[i], effect->Max[i]);
      rows[i].Bar->SetHint(effect->Hints[i]);
      rows[i].MinLabel->setText(effect->Ends[i][0]);
      rows[i].MaxLabel->setText(effect->Ends[i][1]);
    }
    Value1 = job.*effect->Members[0];
    Value2 = job.*effect->Members[1];
    Value3 = job.*effect->Members[2];
    Panel4->setVisible(FKind == ToneKind);
  }
  for (TXiTrackBar* bar : {TrackBar1, TrackBar2, TrackBar3})
    connect(bar, &TXiTrackBar::OnChange, this, [this, bar] { TrackBar1Change(bar); });
  StartPreview();
}

TColor TFormRGB::ToneColor() const {
  return TColor((Value1 & 0xFF) | (Value2 & 0xFF) << 8 | (Value3 & 0xFF) << 16);
}

void TFormRGB::PositionControls() {
  if (!EffectOfKind(FKind)) return;
  Value1 = PositionSlider(*TrackBar1, Value1);
  Value2 = PositionSlider(*TrackBar2, Value2);
  Value3 = PositionSlider(*TrackBar3, Value3);
}

void TFormRGB::ReadControl(QObject* sender) {
  if (sender == TrackBar1) Value1 = TrackBar1->Position();
  else if (sender == TrackBar2) Value2 = TrackBar2->Position();
  else if (sender == TrackBar3) Value3 = TrackBar3->Position();
}

void TFormRGB::ShowValues(QObject* sender) {
  if (FKind == ToneKind) {
    QPalette colours = Panel4->palette();
    colours.setColor(QPalette::Window, ToQColor(ToneColor()));
    Panel4->setPalette(colours);
    Panel4->repaint();
  }
  QString texts[3] = {QString::number(Value1), QString::number(Value2), QString::number(Value3)};
  if (FKind == HlsKind) {
    texts[0] = HueText(Value1);
    texts[1] = StepText(Value2);
    texts[2] = StepText(Value3);
  } else if (FKind == TileReflectionKind) {
    texts[0] = QString::number(Value1 - 45);
    texts[2] = QString::number(Value3 - 20);
  }
  bool all = sender == ListView1;
  if (all || sender == TrackBar1) ShowLabel(Label1, texts[0]);
  if (all || sender == TrackBar2) ShowLabel(Label2, texts[1]);
  if (all || sender == TrackBar3) ShowLabel(Label7, texts[2]);
}

void TFormRGB::ApplyEffect(TBitmap& result) {
  switch (FKind) {
    case RgbKind: ApplyRGB(result, Value1, Value2, Value3); break;
    case HlsKind: ApplyHLS(result, Value1, Value2, Value3); break;
    case ToneKind: ApplyColorTone(result, int(ToneColor())); break;
    case TileReflectionKind: ApplyTileReflection(result, Value1, Value2, Value3); break;
    default: break;
  }
}

void TFormRGB::WriteValues() {
  if (const TRgbEffect* effect = EffectOfKind(FKind)) {
    Job.*effect->Members[0] = Value1;
    Job.*effect->Members[1] = Value2;
    Job.*effect->Members[2] = Value3;
  }
}
