#include "engine/recordingview.h"

void TRecordingRunView::ShowLog(const TStringList& log) {
  LogView.clear();
  for (int i = 0; i < log.Count(); ++i) LogView.push_back(log[i]);
}

void TRecordingRunView::ShowProgressBar(int maximum) {
  ProgressVisible = true;
  Progress = 0;
  ProgressMaximum = maximum;
}

void TRecordingRunView::FileTimed(const std::string& name, double loadMs, double effectMs, double saveMs) {
  Timings.push_back({name, loadMs, effectMs, saveMs});
}

void TRecordingRunView::SetStatusText(int panel, const std::string& text) {
  Status[panel & 1] = text;
  if (panel == 1 && !text.empty() && OnFile) OnFile(text);
}

void TRecordingRunView::StepProgressBar() {
  ++Progress;
  if (OnStep) OnStep(Progress);
}
