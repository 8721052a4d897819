#include "engine/applythread.h"

#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <limits>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

#include "effects/effectbase.h"
#include "engine/picturefiles.h"
#include "engine/targetconversion.h"
#include "platform/metafile/metafile.h"
#include "platform/system/utf8.h"

#ifdef _OPENMP
#include <omp.h>
#endif

TApplyEffectThread* ApplyEffectThread = nullptr;

namespace {
const char* const kConvertCaption = "Convert to selected format";

}  // namespace

int LimitParameter(int value, int limit, const std::string& label, TStringList& log) {
  if (value <= limit) return value;
  log.Add(label + IntToStr(limit));
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
  auto* worker = new TApplyEffectThread(view, true);
  ApplyEffectThread = worker;
  worker->Priority = tpNormal;
  // Runs on the main thread once the run is over, before the worker frees
  // itself: from then on nobody reaches it, and a new run can start.
  worker->OnTerminate = [&view] {
    ApplyEffectThread = nullptr;
    view.WorkerGone();
  };
  worker->Resume();
  // Safe after Resume: the worker's first step waits for the main thread.
  worker->FreeOnTerminate = true;
}

void WaitForApplyEffectThread(bool stop) {
  if (!ApplyEffectThread) return;
  if (stop) ApplyEffectThread->Terminate();
  const std::thread::id worker = ApplyEffectThread->ThreadId();
  while (ApplyEffectThread) CheckSynchronize(20);
  // The worker's thread is past its last hand-over, and may still be ending:
  // a program that ends now must not take the libraries down under it.
  JoinThread(worker);
}

TApplyEffectThread::TApplyEffectThread(TRunView& view, bool createSuspended)
    : StartFolder(GetCurrentDir()), FView(view) {
  if (!createSuspended) Resume();
}

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

// One file of a run on its road: what it took from the job when it entered
// work, and what its road leaves for the commit.
struct TFileWork {
  int Index = 0;
  std::string Path, Name;
  TJobValues Values;
  std::unique_ptr<TBitmap> Pattern;
  // The memory reserved for the file's road while it is in work, and what
  // its header claims. Need: what the road takes with the file's own values,
  // reckoned once it has taken them; it begins its road only once that much
  // fits beside the files in work.
  int64_t Bytes = 0;
  TPictureClaim Claimed;
  int64_t Need = 0;
  // The file as it was opened and claimed, which its load reads.
  std::optional<TClaimedFile> Source;
  // The file's values were taken in the pass that may begin its road; one
  // that waited takes them again before it begins.
  bool Fresh = false;
  // The loader would refuse the file (or it is gone): it never loads, and
  // holds neither memory nor a core.
  bool Refused = false;

  bool Found = true;
  // Stop ended the file's load (a metafile's drawing ends at once): the
  // run stops before it, as it would have before its road began.
  bool Stopped = false;
  // The file's log lines up to its save's outcome.
  TStringList Lines;
  // Between the stages: the picture, and where the effect left it.
  std::unique_ptr<TBitmap> Picture;
  std::unique_ptr<TEffectStep> Step;
  // The road reached the save: Encoded holds the file's data, or null when
  // it could not be encoded.
  bool Saving = false;
  std::unique_ptr<TMemoryStream> Encoded;
  std::string NewBase;
  double LoadMs = 0, EffectMs = 0, SaveMs = 0;
  // The generators' state before the file's effect step drew, for a step
  // that draws.
  std::optional<TEffectRandomState> RandomBefore;
  // Set once the whole road is done (under the run's lock).
  bool Done = false;
  // Dependences between the stages of one file.
  char Loaded = 0, Effected = 0;

  void Fail(const std::string& text) {
    Lines.Add("Error: " + Name);
    Lines.Add(text);
    Picture.reset();
    Step.reset();
  }
};

namespace {

// Bytes of a picture's pixels at bits per pixel, rows padded to 32 bits.
int64_t PixelBytes(int64_t width, int64_t height, int bits) { return (width * bits + 31) / 32 * 4 * height; }
// A picture of more pixels than this is far past any machine's memory: its
// road reserves kMostRoadBytes, more than any smaller picture's road, and
// little enough that the reserves of many files add up without overflow.
constexpr int64_t kMostRoadPixels = int64_t(1) << 45;
constexpr int64_t kMostRoadBytes = int64_t(1) << 50;
// The memory a buffer of that many bytes of pixels takes: whole huge pages
// once it is a few megabytes large.
int64_t HeldBytes(int64_t bytes) { return static_cast<int64_t>(PixelMemorySize(static_cast<size_t>(bytes))); }
// Whether the thread that admits and commits the files claims the file at
// path itself: a BMP, whose claim reads its header alone, or a small file
// whose claim reads no more than its bytes. Any other file is claimed
// aside, a PNG or an icon (whose entries may be PNG) always: their claims
// inflate text, a thousand times as many bytes as they read.
bool ClaimedHere(const std::string& path) {
  constexpr int64_t kSmallFileBytes = 64 << 10;
  const TPictureKind kind = PictureKindOf(ExtractFileExt(path));
  if (kind == TPictureKind::Bmp) return true;
  return kind != TPictureKind::Png && kind != TPictureKind::Icon && FileIdentity(path).Size <= kSmallFileBytes;
}

// ReserveBytes, or without values, with the most that any target format
// may take for the picture.
int64_t ClaimedBytes(const TJobValues* values, const TEffectRoutine& routine, const TPictureClaim& claim) {
  if (!claim.Readable) return 0;
  int64_t road;
  if (values) {
    road = EffectRoadBytes(*values, routine, claim.Width, claim.Height);
  } else {
    TJobValues png, bmp;
    png.TargetExtension = ".png";
    bmp.TargetExtension = ".bmp";
    bmp.BmpPixelFormat = pf32bit;
    road = std::max(RoadBytes(png, claim.Width, claim.Height), RoadBytes(bmp, claim.Width, claim.Height));
  }
  return std::min(std::max(road, ClaimLoadBytes(claim)), kMostRoadBytes);
}

// A file whose picture, once the routine has made it, the target's writer
// would refuse (TargetTakes) is refused before it is loaded: it logs what
// the step logs for its picture's size and reaches its commit with nothing
// to write, as from a writer that refused it. A result of no pixels, or
// past the working bitmap's cap, is left to the step, which fails on it.
bool RefusedForTarget(TFileWork& work, const TEffectRoutine& routine) {
  const TPictureClaim& claim = work.Claimed;
  if (!claim.Readable) return false;
  const int width = static_cast<int>(claim.Width), height = static_cast<int>(claim.Height);
  TResizedSize result{width, height};
  if (routine.ResultSize) result = routine.ResultSize(work.Values, width, height);
  if (result.Width <= 0 || result.Height <= 0 || !FitsWorkingBitmap(result.Width, result.Height) ||
      TargetTakes(work.Values, result.Width, result.Height))
    return false;
  if (routine.SizeLines) routine.SizeLines(work.Values, width, height, work.Lines);
  work.Saving = true;
  work.Source.reset();
  work.Pattern.reset();
  return true;
}

}  // namespace

int64_t ReserveBytes(const TJobValues& values, const TEffectRoutine& routine, const TPictureClaim& claim) {
  return ClaimedBytes(&values, routine, claim);
}

int64_t RoadBytes(const TJobValues& values, int64_t width, int64_t height) {
  // Sides below zero are none. Up to kMostRoadPixels (a side of none
  // counted as one), a road takes at most 30 bytes a pixel and 4 MiB more:
  // nothing below overflows, and it stays under kMostRoadBytes.
  width = std::max<int64_t>(width, 0);
  height = std::max<int64_t>(height, 0);
  if (std::max<int64_t>(width, 1) > kMostRoadPixels / std::max<int64_t>(height, 1)) return kMostRoadBytes;
  const int64_t picture = PixelBytes(width, height, 24);
  // Beside the picture: the effect's copy of it and the encoded data, or
  // what the encoder holds, whichever is more.
  int64_t beside = HeldBytes(picture) + picture;
  if (SameText(values.TargetExtension, ".png")) {
    // The PNG object's copy of the pixels, the filtered rows with their
    // filter bytes, the deflated data (as much as its bound) and the file's
    // data, which takes up to twice its size while it grows.
    beside = std::max(beside, 5 * height * (3 * width + 1));
  } else if (SameText(values.TargetExtension, ".bmp")) {
    // The picture in the file's pixel format, and the file's data.
    const int64_t file = PixelBytes(width, height, PixelFormatBits(values.BmpPixelFormat));
    beside = std::max(beside, HeldBytes(file) + file);
  }
  // Or, while the effect works, the blocks of work that an effect prepares
  // ahead (FinishInOrder) and its list of the rows.
  beside = std::max(beside, InOrderBlocksBytes(width * height) + int64_t(sizeof(uint8_t*)) * height);
  return HeldBytes(picture) + beside;
}

int64_t EffectRoadBytes(const TJobValues& values, const TEffectRoutine& routine, int64_t width, int64_t height) {
  const int64_t road = RoadBytes(values, width, height);
  // A picture past any machine's memory, or whose side no bitmap has, is
  // never worked on.
  constexpr int64_t most = std::numeric_limits<int>::max();
  if (!routine.ResultSize || road >= kMostRoadBytes || width <= 0 || height <= 0 || width > most || height > most)
    return road;
  const TResizedSize result = routine.ResultSize(values, static_cast<int>(width), static_cast<int>(height));
  if (result.Width == width && result.Height == height) return road;
  const int64_t picture = HeldBytes(PixelBytes(width, height, 24));
  return std::min(std::max(road, picture + RoadBytes(values, result.Width, result.Height)), kMostRoadBytes);
}

int64_t RunMemoryBudget() {
  int64_t budget = int64_t(1) << 30;
  long pages = sysconf(_SC_PHYS_PAGES), pageSize = sysconf(_SC_PAGE_SIZE);
  if (pages > 0 && pageSize > 0) budget = std::min(budget, int64_t(pages) * pageSize / 4);
  return budget;
}

void SetUpRunMemory() { mallopt(M_ARENA_MAX, 1); }

// What the files in work of one run share: the list of them in source
// order, the cores and memory they hold, and the lock and signal over those.
struct TRunFlight {
  const TEffectRoutine* Routine = nullptr;
  std::deque<std::unique_ptr<TFileWork>> Files;
  // The files that have entered work (taken their values) after those, in
  // source order, each waiting until its road fits beside the files in
  // work; they hold neither memory nor a core.
  std::deque<std::unique_ptr<TFileWork>> Waiting;
  std::mutex Lock;
  std::condition_variable Changed;
  // Cores not held by a file in work (an effect's row bands take up the
  // threads that are idle, whatever files hold).
  int FreeCores = 1;
  // Set when the team has no thread beside the one that takes files in:
  // that thread then works each file itself, one at a time, before it
  // takes the next.
  bool Inline = false;
  int64_t Budget = 0, Reserved = 0;
  // Set when the run stops taking files: work not yet begun is skipped.
  std::atomic<bool> Dropping{false};
  // The run's stop request: a metafile being drawn ends at once.
  const std::atomic<bool>* Stop = nullptr;
  // The order of the effect steps that draw random numbers.
  char RandomOrder = 0;

  // Any thread, at the start and end of each stage of a file: orders the
  // stage with the one before it for the tools that check threads (the
  // order itself comes from OpenMP's task dependences).
  void Handoff() { std::lock_guard<std::mutex> hold(Lock); }
  // Any thread: the stages of a file's road. Each is skipped once the run
  // drops its files; the last ends the road.
  void Load(TFileWork& work) {
    Handoff();
    if (!Dropping) {
      std::optional<TMetafileStop> stop;
      if (Stop) stop.emplace(*Stop);
      TApplyEffectThread::LoadStage(work, *Routine);
      work.Stopped = !work.Picture && Stop && Stop->load();
      // The reserve was reckoned from the header, which the loader read the
      // same way. A picture that came out larger all the same is refused as
      // unreadable rather than worked on memory nobody reserved.
      if (work.Picture &&
          EffectRoadBytes(work.Values, *Routine, work.Picture->Width(), work.Picture->Height()) > work.Bytes) {
        work.Picture.reset();
        work.Lines.Add("Error: " + work.Name);
      }
    }
    Handoff();
  }
  void Effect(TFileWork& work) {
    Handoff();
    if (!Dropping) {
      if (Routine->DrawsRandom && work.Picture) work.RandomBefore = SaveEffectRandomState();
      TApplyEffectThread::EffectStage(work, *Routine);
      // Had the result come out larger than reckoned, the encoder holds it.
      if (work.Step && work.Step->Result)
        Grow(work, RoadBytes(work.Values, work.Step->Result->Width(), work.Step->Result->Height()));
      else if (work.Picture)
        Grow(work, RoadBytes(work.Values, work.Picture->Width(), work.Picture->Height()));
    }
    Handoff();
  }
  void Encode(TFileWork& work) {
    Handoff();
    if (!Dropping) TApplyEffectThread::EncodeStage(work);
    std::lock_guard<std::mutex> hold(Lock);
    work.Done = true;
    ++FreeCores;
    Changed.notify_all();
  }
  // The file's road turned out larger than reckoned from its header.
  void Grow(TFileWork& work, int64_t bytes) {
    std::lock_guard<std::mutex> hold(Lock);
    if (bytes > work.Bytes) Reserve(work, bytes);
  }
  // Sets what the file reserves (under the lock).
  void Reserve(TFileWork& work, int64_t bytes) {
    Reserved += bytes - work.Bytes;
    work.Bytes = bytes;
    Measure();
  }
  // Notes the peaks (under the lock).
  void Measure() {
    PeakFiles = std::max(PeakFiles, static_cast<int>(Files.size()));
    if (Files.size() > 1) PeakSharedBytes = std::max(PeakSharedBytes, Reserved);
  }
  int PeakFiles = 0;
  int64_t PeakSharedBytes = 0;
};

void TApplyEffectThread::Execute() {
  std::exception_ptr failure;
  bool failedInFile = false;
  try {
    Synchronize([this] { StartLog(); });
    Synchronize([this] { ShowProgressBar(); });
    FileIndex = 0;
    if (const TEffectRoutine* routine = FindEffectRoutine(EffectName)) RunFiles(*routine, failedInFile);
  } catch (...) {
    failure = std::current_exception();
  }
  // What the run's files freed goes back to the system.
  malloc_trim(0);
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

void TApplyEffectThread::RunFiles(const TEffectRoutine& routine, bool& failedInCommit) {
  TRunFlight flight;
  flight.Routine = &routine;
  flight.Budget = MemoryBudget;
  flight.Stop = &TerminateFlag();
  std::exception_ptr failure;
  // One team: this thread takes files in and commits them, waiting without
  // spinning in between; a thread for every core works on the files and on
  // the row bands of their effects, whichever it finds waiting: a run of
  // fewer files than cores keeps every core busy.
  flight.Handoff();
#pragma omp parallel num_threads(Cores + 1)
#pragma omp single
  {
    flight.Handoff();
    // The team the runtime granted may be smaller than the one asked for
    // (a thread limit, no active levels left, dynamic teams): the threads
    // beside this one are the run's cores. With none, nothing would ever
    // take up a task while this thread waits, so it works the files itself.
    int team = 1;
#ifdef _OPENMP
    team = omp_get_num_threads();
    // The files' tasks, and the effects' bands in them, work with the
    // run's cores.
    omp_set_num_threads(Cores);
#endif
    {
      std::lock_guard<std::mutex> hold(flight.Lock);
      flight.Inline = team < 2;
      flight.FreeCores = std::max(std::min(Cores, team - 1), 1);
    }
    std::exception_ptr failed;
    try {
      ProduceFiles(flight, failedInCommit);
    } catch (...) {
      failed = std::current_exception();
    }
    std::lock_guard<std::mutex> hold(flight.Lock);
    failure = failed;
    flight.Dropping = true;
  }
  flight.Handoff();
  PeakFilesInWork = flight.PeakFiles;
  PeakSharedBytes = flight.PeakSharedBytes;
  // Every file's work has ended. Files worked ahead of a stop are dropped;
  // the generators go back to where the last committed file left them.
  for (const auto& work : flight.Files)
    if (work->RandomBefore) {
      RestoreEffectRandomState(*work->RandomBefore);
      break;
    }
  if (failure) std::rethrow_exception(failure);
}

void TApplyEffectThread::ProduceFiles(TRunFlight& flight, bool& failedInCommit) {
  const TEffectRoutine& routine = *flight.Routine;
  TRunFlight* run = &flight;
  int next = 0;
  // Whether a road of that many bytes may go beside that many files, which
  // hold the reserved bytes and leave the cores free: always beside none
  // (the first file of a run even after an early stop; a file whose road
  // alone passes the budget works alone), else up to the limit, while the
  // memory budget and a free core allow.
  auto fits = [&](int64_t bytes, int64_t reserved, size_t files, int cores) {
    if (files == 0) return true;
    return !flight.Inline && !Terminated() && files < static_cast<size_t>(FilesInFlight) && cores > 0 &&
           reserved + bytes <= flight.Budget;
  };
  // The first waiting file may begin its road now: a refused one, which
  // holds nothing, at once (after a stop, only as the first of the files).
  auto mayStart = [&] {
    if (flight.Waiting.empty()) return false;
    const TFileWork& front = *flight.Waiting.front();
    if (front.Refused) return flight.Files.empty() || !Terminated();
    return fits(front.Need, flight.Reserved, flight.Files.size(), flight.FreeCores);
  };
  // A file's values are known once it has taken them: until then its road
  // is reckoned with the values of the file that took them last. While no
  // file has, one file enters at a time, so that the next is reckoned with
  // its values in the next pass. Once a file's own values are known it is
  // reckoned again, its result included, and it begins its road only when
  // that fits; a file that has to wait takes the job's values afresh before
  // it begins, so a value changed meanwhile reaches it.
  std::optional<TJobValues> guide;
  int64_t guidePattern = 0;
  int64_t nextBytes = -1;
  TClaimedFile nextFile;
  const TPictureClaim& nextClaim = nextFile.Claim;
  // The next file is opened and claimed ahead of its entry. A small one is
  // claimed here; a larger one on a thread of its own, while this thread
  // goes on starting and committing the files in work: the claim may walk
  // the whole file and inflate its text.
  std::thread claimer;
  bool claiming = false;
  bool claimedAside = false;  // under the lock
  TClaimedFile fileAside;
  struct TJoin {
    std::thread& Thread;
    ~TJoin() {
      if (Thread.joinable()) Thread.join();
    }
  } joinClaimer{claimer};
  // A file that has taken its values is reckoned with them, and with the
  // copy of the watermark pattern it took; it guides the reckoning of the
  // files after it.
  auto reckonTaken = [&](TFileWork& work) {
    if (RefusedForTarget(work, routine)) {
      // It holds nothing and begins its road as soon as its turn comes.
      work.Refused = true;
      work.Need = 0;
      return;
    }
    const int64_t pattern = work.Pattern ? HeldBytes(PixelBytes(work.Pattern->Width(), work.Pattern->Height(), 24)) : 0;
    work.Need = ClaimedBytes(&work.Values, routine, work.Claimed) + pattern;
    work.Fresh = true;
    guide = work.Values;
    guidePattern = pattern;
  };
  auto reckonNext = [&] {
    nextBytes = nextClaim.Readable ? ClaimedBytes(guide ? &*guide : nullptr, routine, nextClaim) + guidePattern : 0;
  };
  // The next file of the list, reckoned at nextBytes, may enter work beside
  // the files in work and those entering with it (takers of them, which
  // take values, reckoned at withBytes together): only once no file waits.
  // A file its loader refuses enters whenever its turn comes.
  auto mayEnter = [&](int64_t withBytes, int takers) {
    if (next >= FileCount || nextBytes < 0 || !flight.Waiting.empty()) return false;
    if (!nextClaim.Readable) return true;
    if (!guide && takers > 0) return false;
    return fits(nextBytes, flight.Reserved + withBytes, flight.Files.size() + static_cast<size_t>(takers),
                flight.FreeCores - takers);
  };
  for (;;) {
    // Waiting files begin their roads, in their order, while they fit.
    std::vector<TFileWork*> starting;
    for (;;) {
      TFileWork* work = nullptr;
      {
        std::lock_guard<std::mutex> hold(flight.Lock);
        if (!mayStart()) break;
        work = flight.Waiting.front().get();
        if (work->Refused || work->Fresh) {
          flight.Files.push_back(std::move(flight.Waiting.front()));
          flight.Waiting.pop_front();
          if (work->Refused) {
            work->Done = true;
          } else {
            --flight.FreeCores;
            flight.Reserve(*work, work->Need);
            starting.push_back(work);
          }
          continue;
        }
      }
      // It waited: the job may have changed meanwhile (and the next file,
      // claimed aside while it waited, was reckoned before).
      Synchronize([&] { EnterWork(*work, work->Index, routine); });
      reckonTaken(*work);
      if (nextBytes >= 0) reckonNext();
    }
    {
      std::lock_guard<std::mutex> hold(flight.Lock);
      for (const auto& work : flight.Waiting) work->Fresh = false;
    }
    for (TFileWork* work : starting) {
      if (flight.Inline) {
        run->Load(*work);
        run->Effect(*work);
        run->Encode(*work);
      } else if (!routine.DrawsRandom) {
#pragma omp task firstprivate(work, run)
        {
          run->Load(*work);
          run->Effect(*work);
          run->Encode(*work);
        }
      } else {
        // The effect steps wait for one another in the files' order; the
        // loads and the encodings do not.
#pragma omp task firstprivate(work, run) depend(out : work->Loaded)
        run->Load(*work);
#pragma omp task firstprivate(work, run) depend(in : work->Loaded) depend(inout : run->RandomOrder) \
    depend(out : work->Effected)
        run->Effect(*work);
#pragma omp task firstprivate(work, run) depend(in : work->Effected)
        run->Encode(*work);
      }
    }
    if (!starting.empty()) continue;  // more may enter before the first is done
    // Files of the list enter work as far as they are reckoned to fit.
    std::vector<std::unique_ptr<TFileWork>> enter;
    int64_t entering = 0;
    int takers = 0;
    {
      std::unique_lock<std::mutex> hold(flight.Lock);
      for (;;) {
        if (claiming && claimedAside) {
          claimer.join();
          claiming = claimedAside = false;
          nextFile = std::move(fileAside);
          reckonNext();
        } else if (nextBytes < 0 && next < FileCount && !claiming) {
          const std::string path = SourceFiles[next];
          hold.unlock();
          bool here = ClaimedHere(path);
          hold.lock();
          // A file claimed here waits until no file waits; one claimed
          // aside is claimed while they do.
          if (!here || flight.Waiting.empty()) {
            hold.unlock();
            if (!here) {
              try {
                claimer = std::thread([&flight, &fileAside, &claimedAside, path] {
                  TClaimedFile file = ClaimFile(path);
                  std::lock_guard<std::mutex> hold(flight.Lock);
                  fileAside = std::move(file);
                  claimedAside = true;
                  flight.Changed.notify_all();
                });
                claiming = true;
              } catch (const std::system_error&) {
                here = true;  // no thread to be had: claimed here after all
              }
            }
            if (here) {
              nextFile = ClaimFile(path);
              reckonNext();
            }
            hold.lock();
            continue;
          }
        }
        if (!mayEnter(entering, takers)) break;
        auto work = std::make_unique<TFileWork>();
        work->Index = next++;
        work->Claimed = nextClaim;
        work->Refused = !nextClaim.Readable;
        if (!work->Refused) work->Source = std::move(nextFile);
        nextFile = TClaimedFile();
        if (!work->Refused) {
          entering += nextBytes;
          ++takers;
        }
        nextBytes = -1;
        enter.push_back(std::move(work));
      }
    }
    if (!enter.empty()) {
      // A refused file takes no values: it ends with its error, or as not
      // found when it is gone.
      for (const auto& work : enter)
        if (work->Refused) {
          work->Path = SourceFiles[work->Index];
          work->Name = ExtractFileName(work->Path);
          work->Found = FileExists(work->Path);
          if (work->Found) work->Lines.Add("Error: " + work->Name);
        }
      if (takers > 0) {
        Synchronize([&] {
          for (const auto& work : enter)
            if (!work->Refused) EnterWork(*work, work->Index, routine);
        });
        for (const auto& work : enter)
          if (!work->Refused) reckonTaken(*work);
        // The next file was reckoned before these values were known.
        if (nextBytes >= 0) reckonNext();
      }
      std::lock_guard<std::mutex> hold(flight.Lock);
      for (auto& work : enter) flight.Waiting.push_back(std::move(work));
      continue;
    }
    if (flight.Files.empty() && !claiming) return;
    TFileWork* first = flight.Files.empty() ? nullptr : flight.Files.front().get();
    {
      // Waits without spinning for the first file, for a core that lets
      // another file begin or enter, or for the next file's claim.
      std::unique_lock<std::mutex> hold(flight.Lock);
      flight.Changed.wait(hold, [&] { return (first && first->Done) || mayStart() || mayEnter(0, 0) || claimedAside; });
      if (!first || !first->Done) continue;
    }
    if (first->Stopped) return;
    FileIndex = first->Index;
    failedInCommit = true;
    Synchronize([&] { Commit(*first); });
    failedInCommit = false;
    {
      std::lock_guard<std::mutex> hold(flight.Lock);
      flight.Reserved -= first->Bytes;
      flight.Files.pop_front();
    }
    ++FileIndex;
    if (Terminated()) return;
  }
}

void TApplyEffectThread::StartLog() {
  TJobRecord& job = FView.Job();
  job.Busy = true;
  FView.SetRunControls(true);
  FView.SetStatusText(0, "Processing");
  Log = std::make_unique<TStringList>();
  EffectName = job.EffectName;
  TargetDir = AbsolutePath(job.TargetDir, StartFolder);
  SourceFiles.Clear();
  for (int i = 0; i < job.SourceFiles.Count(); ++i) SourceFiles.Add(AbsolutePath(job.SourceFiles[i], StartFolder));
  FileCount = std::min(job.FileCount.load(), SourceFiles.Count());
  Cores = BandThreads();
  FilesInFlight = job.FilesInFlight > 0 ? job.FilesInFlight : Cores;
  MemoryBudget = job.MemoryBudget > 0 ? job.MemoryBudget : RunMemoryBudget();
  FView.ClearLogView();
  double now = Now();
  Log->Add(DateToStr(now) + "   " + TimeToStr(now));
  Log->Add(std::string(29, '-'));
  Log->Add("Source dir: " + AbsolutePath(job.SourceDir, StartFolder));
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
    Log->Add("Stopped: " + DateToStr(Now()) + " " + TimeToStr(finished));
  } else {
    Log->Add("Done: " + DateToStr(Now()) + " " + TimeToStr(finished));
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
  SetGifDefaults();
  FView.FilesInWorkMeasured(PeakFilesInWork, PeakSharedBytes);
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

std::string NewBaseName(const std::string& base, const std::string& suffix, bool lowerCase) {
  std::string newBase = base + suffix;
  return lowerCase ? Utf8LowerCase(newBase) : newBase;
}

void TApplyEffectThread::EnterWork(TFileWork& work, int index, const TEffectRoutine& routine) {
  const TJobRecord& job = FView.Job();
  work.Index = index;
  work.Path = index >= 0 && index < SourceFiles.Count() ? SourceFiles[index] : std::string();
  work.Name = ExtractFileName(work.Path);
  work.Values = job;
  if (routine.UsesPattern && job.WatermarkBitmap) {
    work.Pattern = std::make_unique<TBitmap>();
    work.Pattern->Assign(job.WatermarkBitmap.get());
  }
}

void TApplyEffectThread::LoadStage(TFileWork& work, const TEffectRoutine& routine) {
  if (!FileExists(work.Path)) {
    work.Found = false;
    return;
  }
  TStopwatch clock;
  try {
    work.Picture = std::make_unique<TBitmap>();
    work.Picture->SetPixelFormat(pf24bit);
    // In a run, the file opened and claimed before it entered work; its
    // claim is not read again.
    bool loaded = work.Source ? TJobRecord::LoadClaimedPicture(*work.Source, *work.Picture)
                              : TJobRecord::LoadPictureToBitmap(work.Path, *work.Picture);
    work.Source.reset();
    if (!loaded) {
      work.Lines.Add("Error: " + work.Name);
      work.Picture.reset();
    } else if (!routine.KeepsLoadedFormat) {
      work.Picture->SetPixelFormat(pf24bit);
    }
  } catch (...) {
    work.Fail(ErrorText(std::current_exception()));
  }
  work.LoadMs = clock.Lap();
}

void TApplyEffectThread::EffectStage(TFileWork& work, const TEffectRoutine& routine) {
  if (!work.Picture) return;
  TStopwatch clock;
  try {
    work.Step.reset(new TEffectStep{work.Values, *work.Picture, work.Lines, work.Pattern.get(), nullptr, {}});
    if (routine.Apply) routine.Apply(*work.Step);
    const TBitmap& result = work.Step->Result ? *work.Step->Result : *work.Picture;
    std::string suffix = routine.SuffixFor ? routine.SuffixFor(work.Values, result) : routine.Suffix;
    work.NewBase = NewBaseName(SourceBaseName(work.Name), suffix, work.Values.LowerCaseNames);
  } catch (...) {
    work.Fail(ErrorText(std::current_exception()));
  }
  work.EffectMs = clock.Lap();
}

void TApplyEffectThread::EncodeStage(TFileWork& work) {
  if (!work.Picture || !work.Step) return;
  TStopwatch clock;
  TBitmap& result = work.Step->Result ? *work.Step->Result : *work.Picture;
  work.Encoded = work.Values.EncodeForTarget(result);
  work.Saving = true;
  work.Step.reset();
  work.Picture.reset();
  work.SaveMs = clock.Lap();
}

void TApplyEffectThread::Commit(TFileWork& work) {
  FView.SetStatusText(1, work.Name);
  if (!work.Found) {
    Log->Add("Not found: " + work.Name);
    FView.StepProgressBar();
    return;
  }
  for (int i = 0; i < work.Lines.Count(); ++i) Log->Add(work.Lines[i]);
  if (work.Saving) {
    TStopwatch clock;
    std::string written =
        work.Encoded ? work.Values.WriteToTarget(*work.Encoded, TargetDir, work.NewBase) : std::string("Error");
    work.Encoded.reset();
    // The codec's process-wide defaults follow the options of the last GIF
    // written, once no file is in work (the codec reads them wherever a
    // GIF picture is made).
    if (SameText(work.Values.TargetExtension, ".gif")) LastGif = work.Values;
    if (SameText(written, "Error")) {
      Log->Add("Error: " + work.Name);
      Log->Add("Cannot create new file.");
    } else {
      Log->Add("Success: " + work.Name);
      Log->Add("New name: " + written);
    }
    work.SaveMs += clock.Lap();
  }
  FView.FileTimed(work.Name, work.LoadMs, work.EffectMs, work.SaveMs);
  FView.StepProgressBar();
}

void TApplyEffectThread::ProcessFile(const TEffectRoutine& routine) {
  TFileWork work;
  EnterWork(work, FileIndex, routine);
  TClaimedFile claimed = ClaimFile(work.Path);
  work.Claimed = claimed.Claim;
  if (claimed.Claim.Readable) work.Source = std::move(claimed);
  if (!RefusedForTarget(work, routine)) {
    LoadStage(work, routine);
    EffectStage(work, routine);
    EncodeStage(work);
  }
  Commit(work);
  SetGifDefaults();
}

void TApplyEffectThread::SetGifDefaults() {
  if (LastGif) LastGif->SetGifDefaults();
  LastGif.reset();
}
