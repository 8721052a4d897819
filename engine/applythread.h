// The batch run: a worker thread that hands every step of the run to the
// main thread (open the log, show the progress bar, one step per file,
// close the log) and checks for a stop request between files.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/jobrecord.h"
#include "platform/system/thread.h"

// What a run reports to and reads from: the main window, or a stand-in in
// tests and tools. Every call happens on the main thread.
class TRunView {
 public:
  virtual ~TRunView() = default;
  virtual TJobRecord& Job() = 0;
  // Running: Start disabled and Stop enabled; idle: the other way round.
  virtual void SetRunControls(bool running) = 0;
  // Text of status-bar panel 0 or 1, shown at once.
  virtual void SetStatusText(int panel, const std::string& text) = 0;
  virtual void ClearLogView() = 0;
  virtual void ShowLog(const TStringList& log) = 0;
  // The target summary and the effect summary, a line each.
  virtual std::vector<std::string> TargetSummary() = 0;
  virtual std::vector<std::string> EffectSummary() = 0;
  virtual void ShowProgressBar(int maximum) = 0;
  virtual void StepProgressBar() = 0;
  virtual void HideProgressBar() = 0;
  virtual void FocusSaveLog() = 0;
  // "auto save the log" is ticked.
  virtual bool AutoSaveLog() = 0;
  // Time spent on one file, for tools that measure runs.
  virtual void FileTimed(const std::string& /*name*/, double /*loadMs*/, double /*effectMs*/,
                         double /*saveMs*/) {}
};

class TApplyEffectThread;

// Milliseconds between laps, for the per-file times.
class TStopwatch {
 public:
  TStopwatch() : FStart(std::chrono::steady_clock::now()) {}
  double Lap() {
    auto now = std::chrono::steady_clock::now();
    double ms = std::chrono::duration<double, std::milli>(now - FStart).count();
    FStart = now;
    return ms;
  }

 private:
  std::chrono::steady_clock::time_point FStart;
};

// What an effect step works with for the file in progress.
struct TEffectStep {
  TJobRecord& Job;
  TBitmap& Picture;  // the working bitmap, 24-bit
  TStringList& Log;
  // Limits a parameter for this file: when value is above limit, appends
  // label + limit to the log. Answers the value to use.
  int Limit(int value, int limit, const std::string& label);
};

// One entry of the effect routine catalogue: the caption that selects it,
// the suffix of the output names, and the effect step. Routines of another
// shape override the suffix or the whole per-file road.
struct TEffectRoutine {
  std::string Caption;
  std::string Suffix;
  void (*Apply)(TEffectStep& step) = nullptr;  // none for plain conversion
  std::string (*SuffixFor)(const TJobRecord& job) = nullptr;
  void (*Process)(TApplyEffectThread& worker) = nullptr;
  bool MatchesFirstFour = false;  // selected by the first four characters
};

// The catalogue in the order the worker tests it.
const std::vector<TEffectRoutine>& EffectRoutines();
// The routine a run uses for an effect name, or null when none matches.
const TEffectRoutine* FindEffectRoutine(const std::string& effectName);

// The base of an output name: the source file name up to the first
// (case-sensitive) occurrence of its extension text, cut to 40 characters
// (never inside a UTF-8 character).
std::string SourceBaseName(const std::string& fileName);

class TApplyEffectThread : public TThread {
 public:
  explicit TApplyEffectThread(TRunView& view);
  ~TApplyEffectThread() override;

  std::string EffectName;
  std::string TargetDir;
  std::unique_ptr<TStringList> Log;
  int FileIndex = 0;
  // The run's own copy of the job's source list and count, taken when the
  // log is opened: a rescan during the run changes neither the files nor the
  // count of this run.
  TStringList SourceFiles;
  int FileCount = 0;

  // The steps, each run on the main thread.
  void StartLog();
  void ShowProgressBar();
  void FinishLog();
  // The common per-file road with the routine's effect step.
  void ProcessFile(const TEffectRoutine& routine);

  TRunView& View() { return FView; }
  // The source file in progress, or empty when the run's list does not hold
  // the index.
  std::string CurrentPath();

  // The pieces every per-file road shares.
  // Shows the file's name; when the file has gone, logs "Not found: ",
  // steps the bar and answers false.
  bool BeginFile(const std::string& path, const std::string& name);
  // The output base name: base and suffix, lower-cased when the job asks.
  std::string NewBaseName(const std::string& base, const std::string& suffix);
  // Saves the picture under newBase and logs the outcome for name.
  void SaveAndLog(TBitmap& picture, const std::string& name, const std::string& newBase);
  // Reports the file's times and steps the bar.
  void EndFile(const std::string& name, double loadMs, double effectMs, double saveMs);
  // Runs the part of a file's road from the load to the save. A failure
  // anywhere on it (a picture too large for the working bitmap, an effect
  // that raises, a name that cannot be formed) becomes "Error: " + name and
  // the error's text in the log, and the run goes on with the next file.
  void Guarded(const std::string& name, const std::function<void()>& road);

 protected:
  void Execute() override;

 private:
  TRunView& FView;
};

// The worker of the current run; null when no worker exists. Set by the
// Start command, cleared on the main thread when the worker has finished.
extern TApplyEffectThread* ApplyEffectThread;

// Creates the worker of a new run for the view, suspended, keeps it in
// ApplyEffectThread, lets it free itself when it ends and starts it. Does
// nothing while a worker exists (one at a time).
void StartApplyEffectThread(TRunView& view);
// Main thread: when a worker exists, asks it to stop (if stop is set) and
// serves its remaining steps until it has ended.
void WaitForApplyEffectThread(bool stop);

// Text of a date and a time in the run log: "2026-12-06" and "21:07:03".
std::string LogDate(double dateTime);
std::string LogTime(double dateTime);
