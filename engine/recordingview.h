// A run view without a window: it keeps what a window would show, for the
// tests, the benchmarks and tools that run jobs headless.
#pragma once

#include <functional>

#include "engine/applythread.h"

class TRecordingRunView : public TRunView {
 public:
  explicit TRecordingRunView(TJobRecord& job) : FJob(job) {}

  TJobRecord& Job() override { return FJob; }
  void SetRunControls(bool running) override {
    StartEnabled = !running;
    StopEnabled = running;
  }
  void SetStatusText(int panel, const std::string& text) override;
  void ClearLogView() override { LogView.clear(); }
  void ShowLog(const TStringList& log) override;
  std::vector<std::string> TargetSummary() override { return TargetLines; }
  std::vector<std::string> EffectSummary() override { return EffectLines; }
  void ShowProgressBar(int maximum) override;
  void StepProgressBar() override;
  void HideProgressBar() override {
    ProgressAtEnd = Progress;
    ProgressVisible = false;
  }
  void FocusSaveLog() override {}
  bool AutoSaveLog() override { return AutoSave; }
  void FileTimed(const std::string& name, double loadMs, double effectMs, double saveMs) override;
  void FilesInWorkMeasured(int peakFiles, int64_t peakSharedBytes) override {
    PeakFilesInWork = peakFiles;
    PeakSharedBytes = peakSharedBytes;
  }

  bool StartEnabled = true, StopEnabled = false;
  std::string Status[2];
  std::vector<std::string> LogView;
  std::vector<std::string> TargetLines, EffectLines;
  bool AutoSave = false;
  bool ProgressVisible = false;
  int Progress = 0, ProgressMaximum = 0;
  // Progress when the bar was hidden, for checking it was full.
  int ProgressAtEnd = -1;
  struct Timing {
    std::string Name;
    double LoadMs, EffectMs, SaveMs;
  };
  std::vector<Timing> Timings;
  int PeakFilesInWork = 0;
  int64_t PeakSharedBytes = 0;
  // Hooks for acting in the middle of a run: when a file's name is shown
  // (before it is read) and after each step of the bar.
  std::function<void(const std::string& name)> OnFile;
  std::function<void(int progress)> OnStep;

 private:
  TJobRecord& FJob;
};
