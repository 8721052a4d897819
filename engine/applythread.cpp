#include "engine/applythread.h"

#include "platform/system/utf8.h"

TApplyEffectThread* ApplyEffectThread = nullptr;

namespace {
const char* const kConvertCaption = "Convert to selected format";

}  // namespace

// The log's dates and times are ISO-style, the same on every machine.
std::string LogDate(double dateTime) { return FormatDateTime("yyyy-mm-dd", dateTime); }
std::string LogTime(double dateTime) { return FormatDateTime("hh:nn:ss", dateTime); }

int TEffectStep::Limit(int value, int limit, const std::string& label) {
  if (value <= limit) return value;
  Log.Add(label + IntToStr(limit));
  return limit;
}

std::string SourceBaseName(const std::string& fileName) {
  std::string ext = ExtractFileExt(fileName);
  // The extension's first occurrence ends the base; a name without one has
  // no base.
  size_t at = ext.empty() ? 0 : fileName.find(ext);
  if (at == std::string::npos || at == 0) return std::string();
  return Utf8Left(fileName.substr(0, at), 40);
}

void StartApplyEffectThread(TRunView& view) {
  if (ApplyEffectThread) return;
  auto* worker = new TApplyEffectThread(view);
  ApplyEffectThread = worker;
  worker->Priority = tpNormal;
  // Runs on the main thread once the run is over, before the worker frees
  // itself: from then on nobody reaches it.
  worker->OnTerminate = [] { ApplyEffectThread = nullptr; };
  worker->Resume();
  // Safe after Resume: the worker's first step waits for the main thread.
  worker->FreeOnTerminate = true;
}

void WaitForApplyEffectThread(bool stop) {
  if (!ApplyEffectThread) return;
  if (stop) ApplyEffectThread->Terminate();
  while (ApplyEffectThread) CheckSynchronize(20);
}

TApplyEffectThread::TApplyEffectThread(TRunView& view) : FView(view) {}

TApplyEffectThread::~TApplyEffectThread() = default;

namespace {
// The text of a failure, for the log.
std::string ErrorText(const std::exception_ptr& failure) {
  try {
    std::rethrow_exception(failure);
  } catch (const std::bad_alloc&) {
    return "Out of memory";
  } catch (const std::exception& error) {
    return error.what();
  } catch (...) {
    return "Unknown error";
  }
}
}  // namespace

void TApplyEffectThread::Execute() {
  std::exception_ptr failure;
  bool failedInFile = false;
  try {
    Synchronize([this] { StartLog(); });
    Synchronize([this] { ShowProgressBar(); });
    FileIndex = 0;
    if (const TEffectRoutine* routine = FindEffectRoutine(EffectName)) {
      while (FileIndex < FileCount) {
        bool processed = false;
        failedInFile = true;
        Synchronize([&] {
          // The run's count never passes its list; should it, the index past
          // the end is never read and ends the run.
          if (FileIndex >= SourceFiles.Count()) return;
          if (routine->Process) routine->Process(*this);
          else ProcessFile(*routine);
          processed = true;
        });
        failedInFile = false;
        if (!processed) break;
        ++FileIndex;
        if (Terminated()) break;
      }
    }
  } catch (...) {
    failure = std::current_exception();
  }
  // The log is closed on every way out, so the window always returns to its
  // idle state; a failure the per-file step did not turn into log lines is
  // logged here.
  Synchronize([&] {
    if (failure) {
      if (!Log) Log = std::make_unique<TStringList>();
      if (failedInFile) Log->Add("Error: " + ExtractFileName(CurrentPath()));
      Log->Add(ErrorText(failure));
    }
    FinishLog();
  });
}

void TApplyEffectThread::StartLog() {
  TJobRecord& job = FView.Job();
  job.Busy = true;
  FView.SetRunControls(true);
  FView.SetStatusText(0, "Processing");
  Log = std::make_unique<TStringList>();
  EffectName = job.EffectName;
  TargetDir = job.TargetDir;
  SourceFiles.Assign(&job.SourceFiles);
  FileCount = std::min(job.FileCount.load(), SourceFiles.Count());
  FView.ClearLogView();
  double now = Now();
  Log->Add(LogDate(now) + "   " + LogTime(now));
  Log->Add(std::string(29, '-'));
  Log->Add("Source dir: " + job.SourceDir);
  Log->Add("All files: " + IntToStr(FileCount));
  Log->Add("Target dir: " + TargetDir);
  Log->Add("Effect: " + EffectName);
  for (const std::string& line : FView.TargetSummary()) Log->Add(line);
  if (SameText(EffectName, kConvertCaption)) {
    Log->Add("Convert to : " + job.TargetExtension);
  } else {
    for (const std::string& line : FView.EffectSummary()) Log->Add(line);
  }
}

void TApplyEffectThread::ShowProgressBar() { FView.ShowProgressBar(FileCount); }

void TApplyEffectThread::FinishLog() {
  TJobRecord& job = FView.Job();
  double finished = Now();
  if (!Log) Log = std::make_unique<TStringList>();
  int count = FileCount;
  if (FileIndex < count) {
    Log->Add("It was processed only " + IntToStr(FileIndex) + " from " + IntToStr(count) + " files");
    Log->Add("Stopped: " + LogDate(Now()) + " " + LogTime(finished));
  } else {
    Log->Add("Done: " + LogDate(Now()) + " " + LogTime(finished));
  }
  uint32_t milliseconds = GetTickCount() - job.StartTicks;
  Log->Add("Time span: " + FormatFloat("#,#0.0", milliseconds * 0.001) + " s");
  // The file takes the place of an earlier "log.txt" only once it is
  // complete; when it cannot, the old one stays and the window's log says
  // why.
  if (FView.AutoSaveLog()) {
    std::string error;
    if (!SaveTextAtomically(TargetDir + "log.txt", Log->Text(), &error))
      Log->Add("The log file could not be saved: " + error);
  }
  FView.SetStatusText(0, "");
  FView.SetStatusText(1, "");
  FView.HideProgressBar();
  FView.ShowLog(*Log);
  FView.FocusSaveLog();
  FView.SetRunControls(false);
  job.Busy = false;
  Log.reset();
}

std::string TApplyEffectThread::CurrentPath() {
  return FileIndex >= 0 && FileIndex < SourceFiles.Count() ? SourceFiles[FileIndex] : std::string();
}

void TApplyEffectThread::Guarded(const std::string& name, const std::function<void()>& road) {
  try {
    road();
  } catch (...) {
    Log->Add("Error: " + name);
    Log->Add(ErrorText(std::current_exception()));
  }
}

void TApplyEffectThread::SaveAndLog(TBitmap& picture, const std::string& name, const std::string& newBase) {
  std::string written = FView.Job().SaveBitmapToTarget(picture, TargetDir, newBase);
  if (SameText(written, "Error")) {
    Log->Add("Error: " + name);
    Log->Add("Cannot create new file.");
  } else {
    Log->Add("Success: " + name);
    Log->Add("New name: " + written);
  }
}

bool TApplyEffectThread::BeginFile(const std::string& path, const std::string& name) {
  FView.SetStatusText(1, name);
  if (FileExists(path)) return true;
  Log->Add("Not found: " + name);
  FView.StepProgressBar();
  return false;
}

std::string TApplyEffectThread::NewBaseName(const std::string& base, const std::string& suffix) {
  std::string newBase = base + suffix;
  return FView.Job().LowerCaseNames ? Utf8LowerCase(newBase) : newBase;
}

void TApplyEffectThread::EndFile(const std::string& name, double loadMs, double effectMs, double saveMs) {
  FView.FileTimed(name, loadMs, effectMs, saveMs);
  FView.StepProgressBar();
}

void TApplyEffectThread::ProcessFile(const TEffectRoutine& routine) {
  TJobRecord& job = FView.Job();
  std::string path = CurrentPath();
  std::string name = ExtractFileName(path);
  if (!BeginFile(path, name)) return;
  TStopwatch clock;
  double loadMs = 0, effectMs = 0, saveMs = 0;
  Guarded(name, [&] {
    TBitmap picture;
    picture.SetPixelFormat(pf24bit);
    bool loaded = TJobRecord::LoadPictureToBitmap(path, picture);
    loadMs = clock.Lap();
    if (!loaded) {
      Log->Add("Error: " + name);
      return;
    }
    picture.SetPixelFormat(pf24bit);
    if (routine.Apply) {
      TEffectStep step{job, picture, *Log};
      routine.Apply(step);
    }
    effectMs = clock.Lap();
    std::string suffix = routine.SuffixFor ? routine.SuffixFor(job) : routine.Suffix;
    SaveAndLog(picture, name, NewBaseName(SourceBaseName(name), suffix));
    saveMs = clock.Lap();
  });
  EndFile(name, loadMs, effectMs, saveMs);
}
