// The batch run: a worker thread that hands every step of the run to the
// main thread (open the log, show the progress bar, one step per file,
// close the log) and checks for a stop request between files.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "effects/random.h"
#include "engine/jobrecord.h"
#include "engine/picturefiles.h"
#include "engine/resizestep.h"
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
  // The run's worker has gone (after the closing step): a new run can
  // start from here on.
  virtual void WorkerGone() {}
  // Time spent on one file, for tools that measure runs.
  virtual void FileTimed(const std::string& /*name*/, double /*loadMs*/, double /*effectMs*/,
                         double /*saveMs*/) {}
  // At the end of a run, for tools that measure runs: the most files that
  // were in work at once, and the most memory reserved for their pictures
  // while more than one was.
  virtual void FilesInWorkMeasured(int /*peakFiles*/, int64_t /*peakSharedBytes*/) {}
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

// What an effect step works with for the file in progress: the values the
// file took from the job when it entered work, its picture and its own log
// lines (written to the run log when the file is committed).
struct TEffectStep {
  const TJobValues& Job;
  TBitmap& Picture;  // the working bitmap, 24-bit (as loaded for a step that keeps the loaded format)
  TStringList& Log;
  const TBitmap* Pattern = nullptr;  // the file's copy of the watermark pattern
  // A step whose result is another bitmap sets it here; null: the result
  // is Picture.
  TBitmap* Result = nullptr;
  // A second bitmap for such a result.
  TBitmap Spare;
};

// Limits a parameter to the picture of the file in progress: when value is
// above limit, appends label + limit to the log. Answers the value to use.
int LimitParameter(int value, int limit, const std::string& label, TStringList& log);

// One entry of the effect routine catalogue: the caption that selects it,
// the suffix of the output names, and the effect step.
struct TEffectRoutine {
  std::string Caption;
  std::string Suffix;
  void (*Apply)(TEffectStep& step) = nullptr;  // its TApplyEffectThread::Process... step
  // The suffix, for routines whose suffix depends on the job or on the
  // finished picture.
  std::string (*SuffixFor)(const TJobValues& job, const TBitmap& result) = nullptr;
  bool MatchesFirstFour = false;  // selected by the first four characters
  // The step draws from the effects' random generators: the run keeps the
  // files' steps in their order, so each file draws what it would draw in a
  // run of one file at a time.
  bool DrawsRandom = false;
  // The step takes the picture in the format it was loaded in.
  bool KeepsLoadedFormat = false;
  // The step reads the watermark pattern: each file takes a copy of it.
  bool UsesPattern = false;
  // The size of the step's result for a width x height picture, worked out
  // before the step as the step works it out, for a step whose result may
  // have another size than its picture; null: the picture's size.
  TResizedSize (*ResultSize)(const TJobValues& job, int width, int height) = nullptr;
  // The lines the step logs ahead of its effect for a width x height
  // picture (its parameters limited to the picture, the size a resize in
  // proportion gives), as the step logs them; null for a step that logs
  // none.
  void (*SizeLines)(const TJobValues& job, int width, int height, TStringList& log) = nullptr;
};

// The catalogue in the order the worker tests it.
const std::vector<TEffectRoutine>& EffectRoutines();
// The routine a run uses for an effect name, or null when none matches.
const TEffectRoutine* FindEffectRoutine(const std::string& effectName);

// The base of an output name: the source file name up to the first
// (case-sensitive) occurrence of its extension text, cut to 40 characters
// (never inside a UTF-8 character).
std::string SourceBaseName(const std::string& fileName);
// The output base name: base and suffix, lower-cased when asked.
std::string NewBaseName(const std::string& base, const std::string& suffix, bool lowerCase);

struct TFileWork;
struct TRunFlight;

// The memory a file's road holds at most for a picture of width x height
// written in the values' target format: the picture, and beside it the
// effect's copy and the encoded data, what the encoder holds, or what an
// effect works with, whichever is more. Sides below zero count as none; a
// picture past any machine's memory answers 2^50 bytes, more than any
// smaller picture, so that reserves add up without overflow.
int64_t RoadBytes(const TJobValues& values, int64_t width, int64_t height);
// The memory a file's road holds at most when the routine works a width x
// height picture with the values: RoadBytes of the picture, or, when its
// result has another size, the picture held while the result is made
// beside the road of the result (its copies and what its encoder holds),
// whichever is more. Never more than RoadBytes of a picture past any
// machine's memory.
int64_t EffectRoadBytes(const TJobValues& values, const TEffectRoutine& routine, int64_t width, int64_t height);
// What a run reserves for a file of that claim worked by the routine with
// the values: its road (its result included), or its load when that holds
// more; nothing for a file its loader refuses.
int64_t ReserveBytes(const TJobValues& values, const TEffectRoutine& routine, const TPictureClaim& claim);
// The memory that the pictures of a run's files in work may take together:
// the smaller of 1 GiB and a quarter of the machine's memory. A file whose
// picture alone needs more is worked on alone.
int64_t RunMemoryBudget();
// Sets the allocator up for runs; a program that runs jobs calls it first,
// before it starts any thread. Every thread takes its memory from one
// arena, so that what a finished file freed is what the next file takes,
// on whichever thread it is loaded: with an arena a thread (the
// allocator's default) that memory stays with the thread that loaded the
// file, and a run's peak grows with every thread that loaded a costly file
// rather than following the claims of the files in work.
void SetUpRunMemory();

class TApplyEffectThread : public TThread {
 public:
  // Made suspended, the worker waits for Resume (a run's worker is, so that
  // its creator can set it up first); otherwise it starts once it is built.
  explicit TApplyEffectThread(TRunView& view, bool createSuspended = true);
  ~TApplyEffectThread() override;

  std::string EffectName;
  std::string TargetDir;
  std::unique_ptr<TStringList> Log;
  // The index of the file being committed; when the run ends, the number of
  // files committed (failed ones included).
  int FileIndex = 0;
  // The run's own copy of the job's source list and count, taken when the
  // log is opened: a rescan during the run changes neither the files nor the
  // count of this run.
  TStringList SourceFiles;
  int FileCount = 0;
  // The current directory when the worker was made (by Start, right after
  // its checks of the folders). The run's copies of the target folder and
  // of the source paths are made absolute against it when the log is
  // opened: a folder picked during the run moves the current directory,
  // and the run's files and "log.txt" stay where the run began.
  std::string StartFolder;
  // How many files are in work at once at most, and how many cores the run
  // uses; taken when the log is opened.
  int FilesInFlight = 1;
  int Cores = 1;
  int64_t MemoryBudget = 0;
  // What FilesInWorkMeasured reports.
  int PeakFilesInWork = 0;
  int64_t PeakSharedBytes = 0;

  // The steps, each run on the main thread.
  void StartLog();
  void ShowProgressBar();
  void FinishLog();
  // The whole road of file FileIndex with the routine, here and now: its
  // work and its commit.
  void ProcessFile(const TEffectRoutine& routine);

  // The effect step of each routine of the catalogue (EffectRoutines, which
  // lists them with their captions and suffixes): what the file's road does
  // between loading the picture and saving it. ProcessConvert does nothing;
  // ProcessFlip serves the three flip entries.
  static void Process3DGrid(TEffectStep& step);
  static void ProcessAntialias(TEffectStep& step);
  static void ProcessAutoColor(TEffectStep& step);
  static void ProcessBlurRadial(TEffectStep& step);
  static void ProcessColorTone(TEffectStep& step);
  static void ProcessContrast(TEffectStep& step);
  static void ProcessContrastAuto(TEffectStep& step);
  static void ProcessConvert(TEffectStep& step);
  static void ProcessCylinder(TEffectStep& step);
  static void ProcessFractal(TEffectStep& step);
  static void ProcessGamma(TEffectStep& step);
  static void ProcessGauss(TEffectStep& step);
  static void ProcessGlasstile(TEffectStep& step);
  static void ProcessGreyscale(TEffectStep& step);
  static void ProcessHalftone(TEffectStep& step);
  static void ProcessIllusion(TEffectStep& step);
  static void ProcessInverse(TEffectStep& step);
  static void ProcessLensFire(TEffectStep& step);
  static void ProcessLightness(TEffectStep& step);
  static void ProcessMoire(TEffectStep& step);
  static void ProcessMonochrome(TEffectStep& step);
  static void ProcessOilPaint(TEffectStep& step);
  static void ProcessPixelate(TEffectStep& step);
  static void ProcessPosterized(TEffectStep& step);
  static void ProcessPuzzle(TEffectStep& step);
  static void ProcessRainDrops(TEffectStep& step);
  static void ProcessRibbon(TEffectStep& step);
  static void ProcessSpheric(TEffectStep& step);
  static void ProcessSaturation(TEffectStep& step);
  static void ProcessSepia(TEffectStep& step);
  static void ProcessSolorized(TEffectStep& step);
  static void ProcessSplitLight(TEffectStep& step);
  static void ProcessSwirl(TEffectStep& step);
  static void ProcessThreshold(TEffectStep& step);
  static void ProcessTile(TEffectStep& step);
  static void ProcessTwist(TEffectStep& step);
  static void ProcessWarp(TEffectStep& step);
  static void ProcessWind(TEffectStep& step);
  static void ProcessRGB(TEffectStep& step);
  static void ProcessTileReflection(TEffectStep& step);
  static void ProcessHLS(TEffectStep& step);
  static void ProcessFishEye(TEffectStep& step);
  static void ProcessTexturing(TEffectStep& step);
  static void ProcessSoftened(TEffectStep& step);
  static void ProcessNoise(TEffectStep& step);
  static void ProcessShake(TEffectStep& step);
  static void ProcessRipple(TEffectStep& step);
  static void ProcessFigure(TEffectStep& step);
  static void ProcessSharpness(TEffectStep& step);
  static void ProcessEmboss(TEffectStep& step);
  static void ProcessDetectEdge(TEffectStep& step);
  static void ProcessIncrease(TEffectStep& step);
  static void ProcessWatermark(TEffectStep& step);
  static void ProcessResize(TEffectStep& step);
  static void ProcessVideo(TEffectStep& step);
  static void ProcessFlip(TEffectStep& step);
  static void ProcessRotate(TEffectStep& step);

  TRunView& View() { return FView; }
  // The source file being committed, or empty when the run's list does not
  // hold the index.
  std::string CurrentPath();

  // A file's road in three parts, for the files in work.
  // Main thread: the file at index takes its values from the job.
  void EnterWork(TFileWork& work, int index, const TEffectRoutine& routine);
  // Any thread: load, effect and encoding, without the live job or the
  // window. Failures become the file's log lines.
  static void LoadStage(TFileWork& work, const TEffectRoutine& routine);
  static void EffectStage(TFileWork& work, const TEffectRoutine& routine);
  static void EncodeStage(TFileWork& work);
  // Main thread: the status text, the file's log lines, the write under a
  // new name and its outcome, the progress step.
  void Commit(TFileWork& work);

 protected:
  void Execute() override;

 private:
  // Keeps up to FilesInFlight files in work and commits them in order,
  // until the list is done or a stop after a commit.
  void RunFiles(const TEffectRoutine& routine, bool& failedInCommit);
  void ProduceFiles(TRunFlight& flight, bool& failedInCommit);
  // Sets the GIF codec's process-wide defaults from the options of the last
  // GIF the run wrote.
  void SetGifDefaults();
  std::optional<TJobValues> LastGif;
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
