#include "dialogs/fisheye.h"

#include <algorithm>

#include "controls/xitrackbar.h"
#include "effects/function.h"

namespace {
constexpr int MinRadius = 4;  // the lens does nothing below this
}

TFormFishEye::TFormFishEye(QWidget* parent, TJobRecord& job) : TTwoSliderFrame(parent, job) {
  setWindowFlag(Qt::WindowStaysOnTopHint);
  setWindowTitle("Fish eye");
  BuildFrame(622, 599, 163, 418, 524, 562);
  CheckBox2 = new TXPCheckBox("reverse", ParameterPanel());
  CheckBox2->setObjectName("CheckBox2");
  CheckBox2->setGeometry(10, 8, 80, 17);
  CheckBox2->SetColor(PanelColorAt(ParameterPanel(), 16));
  AddSliders(ParameterPanel(), 120, 48, 112, 360);

  SetSliderRange(*TrackBar1, 1, 200);
  TrackBar1->SetHint("Zoom");
  Label3->setText("1");
  Label4->setText("200");
  Value1 = job.FishEyeZoom;
  // The radius's maximum follows the picture.
  SetSliderRange(*TrackBar2, MinRadius, std::max(TrackBar2->Max(), MinRadius));
  TrackBar2->SetHint("Radius");
  Label5->setText(QString::number(MinRadius));
  Value2 = job.FishEyeRadius;
  CheckBox2->SetChecked(job.FishEyeInversion);  // raises no click

  connect(CheckBox2, &TXPCheckBox::clicked, this, [this] { TrackBar1Change(CheckBox2); });
  StartPreview();
}

void TFormFishEye::ApplyPictureLimits() {
  int maximum = SetSliderRange(*TrackBar2, MinRadius, std::min(SourceBitmap->Width(), SourceBitmap->Height()) / 2);
  Label6->setText(QString::number(maximum));
  Value2 = std::min(Value2, maximum);
}

void TFormFishEye::PositionControls() {
  Value1 = PositionSlider(*TrackBar1, Value1);
  Value2 = PositionSlider(*TrackBar2, Value2);
}

void TFormFishEye::ReadControl(QObject* sender) {
  if (sender == TrackBar1) Value1 = TrackBar1->Position();
  else if (sender == TrackBar2) Value2 = TrackBar2->Position();
}

void TFormFishEye::ShowValues(QObject* sender) {
  bool all = sender == ListView1;
  if (all || sender == TrackBar1) ShowLabel(Label1, QString::number(Value1));
  if (all || sender == TrackBar2) ShowLabel(Label2, QString::number(Value2));
}

void TFormFishEye::ApplyEffect(TBitmap& result) { ApplyFishEye(result, Value1, Value2, CheckBox2->GetChecked()); }

void TFormFishEye::WriteValues() {
  Job.FishEyeInversion = CheckBox2->GetChecked();
  Job.FishEyeZoom = Value1;
  Job.FishEyeRadius = Value2;
}
