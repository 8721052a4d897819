// Runs with several files in work at once: the same files, names and log
// as one file at a time; also with fewer files than threads, whose effects'
// bands the idle threads take up; values changed during a run reach the
// files that enter work after the change; a stop drops what was worked
// ahead; the pictures in work stay within the memory budget.
#include <omp.h>

#include <algorithm>
#include <limits>
#include <list>
#include <map>

#include "effects/effectbase.h"
#include "tests/platform/metafile/metafilebuild.h"
#include "tests/engine/runfixture.h"

namespace {

// The source pictures of the mixed folder: four formats, names in capitals,
// a damaged JPEG and PNG, a file that goes before the run, and one picture
// large enough for row bands.
void WriteAs(const std::string& path, TBitmap& picture, const std::string& extension) {
  TJobValues values;
  values.TargetExtension = extension;
  values.JpegQuality = 90;
  std::unique_ptr<TMemoryStream> data = values.EncodeForTarget(picture);
  ASSERT_TRUE(data) << path;
  TFileStream(path, fmCreate).WriteBuffer(data->Memory(), data->Size());
}

// Every file of a folder with its bytes.
std::map<std::string, std::vector<uint8_t>> FolderBytes(const TempDir& folder) {
  std::map<std::string, std::vector<uint8_t>> files;
  for (const std::string& name : FolderEntries(folder.Path())) files[name] = ReadFile(folder.File(name));
  return files;
}

}  // namespace

class Flight : public RunFixture {
 protected:
  void MakeMixedFolder() {
    const std::pair<const char*, const char*> pictures[] = {
        {"one.bmp", ".bmp"}, {"TWO.JPG", ".jpg"}, {"three.png", ".png"}, {"Four.gif", ".gif"},
        {"five.BMP", ".bmp"}, {"six.jpg", ".jpg"}, {"seven.png", ".png"}, {"eight.gif", ".gif"}};
    int seed = 1;
    for (const auto& [name, extension] : pictures) {
      WriteAs(Source.File(name), *MakeNoiseBitmap(23 + seed, 17 + 2 * seed, seed), extension);
      AddFile(Source.File(name));
      if (++seed == 4) {
        // Damaged files, and one that is gone when its turn comes.
        WriteTextFile(Source.File("cut.jpg"), std::string("\xFF\xD8\xFF\xE0\x00\x10JFIF", 10));
        AddFile(Source.File("cut.jpg"));
        WriteTextFile(Source.File("junk.png"), "\x89PNG\r\n\x1A\n not really");
        AddFile(Source.File("junk.png"));
        AddFile(Source.File("gone.bmp"));
      }
    }
    WriteAs(Source.File("large.png"), *MakeNoiseBitmap(530, 500, 9), ".png");
    AddFile(Source.File("large.png"));
  }

  // A run of the job into a fresh target folder that holds some of the
  // names already; answers the folder's files and the log's body.
  std::pair<std::map<std::string, std::vector<uint8_t>>, Lines> RunInto(int filesInFlight) {
    Targets.emplace_back();
    TempDir& target = Targets.back();
    Job.TargetDir = target.Path();
    for (const char* taken : {"one(Convert)_1", "two(gauss)_1", "three(Noise)_1", "Four(RainDrops)_2"})
      WriteTextFile(target.File(taken + Job.TargetExtension), "taken");
    Job.FilesInFlight = filesInFlight;
    ResetEffectRandomGenerators();
    RunToEnd();
    return {FolderBytes(target), Body()};
  }
  // A run on this many threads, whatever the machine has.
  void RunOnThreads(int threads) {
    const int most = omp_get_max_threads();
    omp_set_num_threads(threads);
    RunToEnd();
    omp_set_num_threads(most);
  }
  // What the run reserves for the source file with the values (the job's
  // by default) and the job's effect.
  int64_t Reserve(const std::string& name) { return Reserve(name, Job); }
  int64_t Reserve(const std::string& name, const TJobValues& values) {
    return ReserveBytes(values, *FindEffectRoutine(Job.EffectName), ClaimPictureFile(Source.File(name)));
  }
  std::list<TempDir> Targets;
};

TEST_F(Flight, SeveralFilesInWorkGiveTheFilesNamesAndLogOfOneAtATime) {
  MakeMixedFolder();
  struct TCase {
    const char* Effect;
    bool LowerCase;
  };
  // A plain conversion, an effect in row bands, effects that draw random
  // numbers, one that reads the pattern and one of another size.
  const TCase cases[] = {{"Convert to selected format", false},
                         {"Gauss blur...", true},
                         {"Noise...", false},
                         {"Rain drops...", false},
                         {"Watermark...", true},
                         {"Resize...", false}};
  Job.ResizeWidth = 20;
  Job.ResizeHeight = 20;
  Job.GifDitherMode = dmFloydSteinberg;
  for (const char* format : {".bmp", ".jpg", ".png", ".gif"})
    for (const TCase& c : cases) {
      Job.TargetExtension = format;
      Job.EffectName = c.Effect;
      Job.LowerCaseNames = c.LowerCase;
      auto alone = RunInto(1);
      auto together = RunInto(8);
      // Nine pictures written, two that cannot be read, one gone.
      EXPECT_EQ(std::count_if(alone.second.begin(), alone.second.end(),
                              [](const std::string& line) { return line.rfind("New name: ", 0) == 0; }),
                9)
          << c.Effect << format;
      EXPECT_EQ(alone.first.size(), 9u + 4u);
      EXPECT_EQ(together.second, alone.second) << c.Effect << format;
      EXPECT_TRUE(together.first == alone.first) << c.Effect << format;
      EXPECT_EQ(View.ProgressAtEnd, 12);
    }
}

TEST_F(Flight, AFewFilesOnManyThreadsGiveTheFilesAndLogOfOneAtATimeOnOneThread) {
  // Three pictures of odd sizes on eight threads, whatever the machine has:
  // the files are in work at once and the bands of their effects go to
  // whichever thread is idle. Every routine of the catalogue, against one
  // file at a time on one thread and one file at a time with bands.
  const int most = omp_get_max_threads();
#ifndef __SANITIZE_THREAD__
  // Bands from far smaller pictures than a run splits (ThreadSanitizer's
  // build keeps to one thread in the effects).
  const int64_t threshold = BandThresholdPixels;
  BandThresholdPixels = 4096;
#endif
  int seed = 1;
  for (auto [w, h] : {std::pair{257, 131}, {131, 203}, {199, 97}}) {
    std::string name = "p" + std::to_string(seed) + ".bmp";
    WriteAs(Source.File(name), *MakeNoiseBitmap(w, h, seed++), ".bmp");
    AddFile(Source.File(name));
  }
  Job.ResizeWidth = 300;
  Job.ResizeHeight = 170;
  for (const TEffectRoutine& routine : EffectRoutines()) {
    Job.EffectName = routine.Caption;
    omp_set_num_threads(1);
    auto alone = RunInto(1);
    omp_set_num_threads(8);
    auto together = RunInto(0);
    EXPECT_EQ(View.PeakFilesInWork, 3);
    auto bands = RunInto(1);
    EXPECT_EQ(together.second, alone.second) << routine.Caption;
    EXPECT_TRUE(together.first == alone.first) << routine.Caption;
    EXPECT_EQ(bands.second, alone.second) << routine.Caption;
    EXPECT_TRUE(bands.first == alone.first) << routine.Caption;
  }
  omp_set_num_threads(most);
#ifndef __SANITIZE_THREAD__
  BandThresholdPixels = threshold;
#endif
}

TEST_F(Flight, AValueChangedDuringARunReachesTheFilesThatEnterWorkAfterIt) {
  for (const char* name : {"a.bmp", "b.bmp", "c.bmp", "d.bmp"}) AddPicture(name, 0, 40, 20);
  Job.EffectName = "Resize...";
  Job.ResizeWidth = 10;
  Job.ResizeHeight = 10;
  // As a dialog's OK does it while a is committed: b is in work already,
  // c and d enter after.
  Job.FilesInFlight = 2;
  View.OnFile = [&](const std::string& name) {
    if (name == "a.bmp") Job.ResizeWidth = 20;
  };
  RunToEnd();
  EXPECT_EQ(FolderEntries(Target.Path()),
            (Lines{"a(10 x 5)_1.bmp", "b(10 x 5)_1.bmp", "c(20 x 10)_1.bmp", "d(20 x 10)_1.bmp"}));
}

TEST_F(Flight, AValueChangedReachesEveryFileThatHasNotBegun) {
  // Resize to a width of 400 makes each 40 x 20 picture work alone under a
  // budget of one such file, though the budget holds many of the pictures
  // themselves. A width changed while the first is committed reaches the
  // others, none of which had begun.
  for (const char* name : {"a.bmp", "b.bmp", "c.bmp"}) AddPicture(name, 0, 40, 20);
  Job.EffectName = "Resize...";
  Job.ResizeWidth = Job.ResizeHeight = 400;
  Job.FilesInFlight = 8;
  Job.MemoryBudget = EffectRoadBytes(Job, *FindEffectRoutine("Resize..."), 40, 20) + 100;
  ASSERT_GT(Job.MemoryBudget, 8 * RoadBytes(Job, 40, 20));
  View.OnFile = [&](const std::string& name) {
    if (name == "a.bmp") Job.ResizeWidth = Job.ResizeHeight = 200;
  };
  RunOnThreads(8);
  EXPECT_EQ(FolderEntries(Target.Path()),
            (Lines{"a(400 x 199)_1.bmp", "b(200 x 99)_1.bmp", "c(200 x 99)_1.bmp"}));
  // A file that took its values and then waited for room takes them again
  // before it begins. The budget holds two files at a width of 100: c takes
  // 400 once a is committed, waits beside b, and begins at 60 once b is.
  Job.SourceFiles.Clear();
  for (const char* name : {"a.bmp", "b.bmp", "c.bmp"}) AddFile(Source.File(name));
  TempDir target;
  Job.TargetDir = target.Path();
  Job.ResizeWidth = Job.ResizeHeight = 100;
  Job.MemoryBudget = 2 * EffectRoadBytes(Job, *FindEffectRoutine("Resize..."), 40, 20) + 100;
  View.OnFile = [&](const std::string& name) {
    if (name == "a.bmp") Job.ResizeWidth = Job.ResizeHeight = 400;
    if (name == "b.bmp") Job.ResizeWidth = Job.ResizeHeight = 60;
  };
  RunOnThreads(8);
  EXPECT_EQ(FolderEntries(target.Path()), (Lines{"a(100 x 49)_1.bmp", "b(100 x 49)_1.bmp", "c(60 x 29)_1.bmp"}));
}

TEST_F(Flight, AStopDropsTheFilesWorkedAheadAndTheirRandomNumbers) {
  // Noise draws from the process-wide sequence: after a stop, the next run
  // draws what it would after a run of one file at a time stopped there.
  for (int i = 1; i <= 6; ++i) AddPicture("p" + std::to_string(i) + ".bmp", i, 30, 20);
  Job.EffectName = "Noise...";
  Job.NoiseType = 1;
  auto stopAtSecond = [&](int filesInFlight) {
    TempDir target;
    Job.TargetDir = target.Path();
    Job.FilesInFlight = filesInFlight;
    View.OnFile = [&](const std::string& name) {
      if (name == "p2.bmp") ApplyEffectThread->Terminate();
    };
    ResetEffectRandomGenerators();
    RunToEnd();
    Lines stopped = Body();
    EXPECT_EQ(FolderEntries(target.Path()), (Lines{"p1(Noise)_1.bmp", "p2(Noise)_1.bmp"}));
    // The next run, over the same files.
    View.OnFile = nullptr;
    TempDir next;
    Job.TargetDir = next.Path();
    RunToEnd();
    return std::make_pair(stopped, FolderBytes(next));
  };
  auto alone = stopAtSecond(1);
  auto together = stopAtSecond(6);
  EXPECT_EQ(together.first, alone.first);
  EXPECT_EQ(alone.first[4], "It was processed only 2 from 6 files");
  EXPECT_TRUE(together.second == alone.second);
}

TEST_F(Flight, PicturesInWorkStayWithinTheMemoryBudget) {
  // The budget holds two 40 x 40 pictures' reserves. The 100 x 100 one
  // alone passes it: it is worked on alone.
  for (int i = 0; i < 6; ++i) AddPicture("s" + std::to_string(i) + ".bmp", i, 40, 40);
  AddPicture("big.bmp", 9, 100, 100);
  for (int i = 6; i < 9; ++i) AddPicture("s" + std::to_string(i) + ".bmp", i, 40, 40);
  Job.FilesInFlight = 8;
  Job.MemoryBudget = 2 * Reserve("s0.bmp") + 100;
  ASSERT_GT(Reserve("big.bmp"), Job.MemoryBudget);
  RunToEnd();
  EXPECT_EQ(FolderEntries(Target.Path()).size(), 10u);
  EXPECT_EQ(View.PeakFilesInWork, std::min(2, omp_get_max_threads()));
  EXPECT_LE(View.PeakSharedBytes, Job.MemoryBudget);
}

TEST_F(Flight, TheSecondFileIsReckonedWithTheFirstFilesFormat) {
  // Reckoned with the most any format takes (a PNG's road, some six
  // pictures' worth), the second file would not fit beside the first; it is
  // reckoned with the first file's values instead: written as BMP, two fit.
  AddPicture("a.bmp", 1, 40, 40);
  AddPicture("b.bmp", 2, 40, 40);
  Job.FilesInFlight = 2;
  Job.MemoryBudget = 2 * Reserve("a.bmp") + 100;
  TJobValues png = Job;
  png.TargetExtension = ".png";
  ASSERT_GT(Reserve("b.bmp", png), Job.MemoryBudget - Reserve("a.bmp"));
  RunOnThreads(2);
  EXPECT_EQ(FolderEntries(Target.Path()), (Lines{"a(Convert)_1.bmp", "b(Convert)_1.bmp"}));
  EXPECT_EQ(View.PeakFilesInWork, 2);
}

TEST_F(Flight, HeadersClaimingPicturesPastAnyMemoryHoldNoneOfTheBudget) {
  // A PNG claiming 4294967295 x 4294967295 and a BMP claiming 2147483647 x
  // 2147483648, the most their headers can, among 40 x 40 pictures of which
  // the budget holds two: the loader refuses both, so they reserve nothing
  // and the budget keeps the others two at a time.
  const std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'I', 'H', 'D', 'R',
                                    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 8, 2, 0, 0, 0, 0, 0, 0, 0};
  std::vector<uint8_t> bmp(54);
  const uint8_t bmpHeader[] = {'B', 'M', 54, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x7F, 0, 0, 0, 0x80};
  std::copy(std::begin(bmpHeader), std::end(bmpHeader), bmp.begin());
  WriteFile(Source.File("huge.png"), png);
  WriteFile(Source.File("huge.bmp"), bmp);
  AddFile(Source.File("huge.png"));
  for (int i = 0; i < 8; ++i) {
    if (i == 4) AddFile(Source.File("huge.bmp"));
    AddPicture("s" + std::to_string(i) + ".bmp", i, 40, 40);
  }
  Job.FilesInFlight = 8;
  Job.MemoryBudget = 2 * RoadBytes(Job, 40, 40) + 100;
  RunOnThreads(8);
  Lines expected = {"Error: huge.png"};
  for (int i = 0; i < 8; ++i) {
    if (i == 4) expected.push_back("Error: huge.bmp");
    const std::string name = "s" + std::to_string(i);
    expected.insert(expected.end(), {"Success: " + name + ".bmp", "New name: " + name + "(Convert)_1.bmp"});
  }
  expected.insert(expected.end(), {"Done: ", "Time span: "});
  EXPECT_EQ(Body(), expected);
  EXPECT_EQ(FolderEntries(Target.Path()).size(), 8u);
  // Two pictures, and the two refused files beside them at most.
  EXPECT_LE(View.PeakFilesInWork, 4);
  EXPECT_GE(View.PeakSharedBytes, 0);
  EXPECT_LE(View.PeakSharedBytes, Job.MemoryBudget);
}

TEST(RoadBytes, GrowsWithThePictureAndNeverOverflows) {
  // Every side a header, a bitmap or a caller can give, in every format
  // whose road is reckoned its own way: never below the road of a smaller
  // picture, never negative, and many of the largest add up.
  const int64_t sides[] = {0, 1, 40, 65535, int64_t(1) << 31, (int64_t(1) << 32) - 1, int64_t(1) << 40,
                           std::numeric_limits<int64_t>::max()};
  for (const char* format : {".png", ".bmp", ".jpg"})
    for (TPixelFormat bits : {pf1bit, pf24bit, pf32bit}) {
      TJobValues values;
      values.TargetExtension = format;
      values.BmpPixelFormat = bits;
      for (int64_t w : sides)
        for (int64_t h : sides) {
          const int64_t bytes = RoadBytes(values, w, h);
          EXPECT_GT(bytes, 0) << format << " " << w << " x " << h;
          EXPECT_LE(bytes, std::numeric_limits<int64_t>::max() / 4096) << format << " " << w << " x " << h;
          EXPECT_GE(bytes, RoadBytes(values, w / 2, h)) << format << " " << w << " x " << h;
          EXPECT_GE(bytes, RoadBytes(values, w, h / 2)) << format << " " << w << " x " << h;
          // With a result far larger, or past any memory: no overflow either.
          values.ResizeScaleType = 2;
          values.ResizePercent = 9999;
          const int64_t resized = EffectRoadBytes(values, *FindEffectRoutine("Resize..."), w, h);
          EXPECT_GE(resized, bytes) << format << " " << w << " x " << h;
          EXPECT_LE(resized, RoadBytes(values, int64_t(1) << 40, int64_t(1) << 40)) << format << " " << w << " x " << h;
        }
      EXPECT_EQ(RoadBytes(values, -5, 40), RoadBytes(values, 0, 40)) << format;
      EXPECT_GT(RoadBytes(values, (int64_t(1) << 32) - 1, (int64_t(1) << 32) - 1), RunMemoryBudget()) << format;
    }
}

TEST_F(Flight, PngFilesCountWithWhatTheirEncoderHolds) {
  // A 40 x 40 picture takes 4800 bytes; written as PNG, its road holds
  // some six times as much (a copy of the pixels, the filtered rows and the
  // compressed data beside the picture): the budget holds two such roads,
  // where it would hold four of three pictures' worth.
  for (int i = 0; i < 6; ++i) AddPicture("s" + std::to_string(i) + ".bmp", i, 40, 40);
  Job.TargetExtension = ".png";
  Job.MemoryBudget = 60000;
  RunOnThreads(8);
  EXPECT_EQ(FolderEntries(Target.Path()).size(), 6u);
  EXPECT_EQ(View.PeakFilesInWork, 2);
  EXPECT_LE(View.PeakSharedBytes, Job.MemoryBudget);
}

TEST_F(Flight, AResultLargerThanItsPictureIsReservedBeforeTheEffectMakesIt) {
  // Effects that make each picture many times larger: a file counts with
  // its result before its effect runs, so a budget that holds two such
  // files keeps them two at a time, and one whose result alone passes the
  // budget works alone. Resize to a width of 200 makes 40 x 40 pictures
  // 200 x 200 (and a 40 x 400 one 200 x 2000); a turn by 45 degrees makes
  // 200 x 2 strips squares of 143 x 143 (and a 600 x 2 one of 426 x 426).
  const struct {
    const char* Effect;
    const char* Name;
    int Width, Height, LargeWidth, LargeHeight;
  } cases[] = {{"Resize...", "r", 40, 40, 40, 400}, {"Rotate...", "t", 200, 2, 600, 2}};
  Job.ResizeWidth = 200;
  Job.RotateAngle = 45;
  Job.FilesInFlight = 8;
  for (const auto& c : cases) {
    Job.EffectName = c.Effect;
    Job.SourceFiles.Clear();
    for (int i = 0; i < 6; ++i) {
      if (i == 3) AddPicture(c.Name + std::string("large.bmp"), 9, c.LargeWidth, c.LargeHeight);
      AddPicture(c.Name + std::to_string(i) + ".bmp", i, c.Width, c.Height);
    }
    const TEffectRoutine& routine = *FindEffectRoutine(c.Effect);
    Job.MemoryBudget = 2 * EffectRoadBytes(Job, routine, c.Width, c.Height) + 100;
    ASSERT_GT(EffectRoadBytes(Job, routine, c.LargeWidth, c.LargeHeight), Job.MemoryBudget);
    TempDir target;
    Job.TargetDir = target.Path();
    RunOnThreads(8);
    EXPECT_EQ(FolderEntries(target.Path()).size(), 7u) << c.Effect;
    EXPECT_EQ(View.PeakFilesInWork, 2) << c.Effect;
    EXPECT_LE(View.PeakSharedBytes, Job.MemoryBudget) << c.Effect;
  }
}

TEST_F(Flight, EachFileCountsItsCopyOfTheWatermarkPattern) {
  // A 400 x 400 pattern is some thirty times a 40 x 40 picture's road;
  // every file in work holds a copy of it, so a budget of two such files
  // keeps them two at a time.
  for (int i = 0; i < 6; ++i) AddPicture("s" + std::to_string(i) + ".bmp", i, 40, 40);
  Job.EffectName = "Watermark...";
  Job.WatermarkBitmap = MakeNoiseBitmap(400, 400, 3);
  Job.FilesInFlight = 8;
  Job.MemoryBudget = 2 * (Reserve("s0.bmp") + 400 * 400 * 3) + 100;
  RunOnThreads(8);
  EXPECT_EQ(FolderEntries(Target.Path()).size(), 6u);
  EXPECT_EQ(View.PeakFilesInWork, 2);
  EXPECT_LE(View.PeakSharedBytes, Job.MemoryBudget);
}

TEST_F(Flight, AMetafileCountsTheBitmapsItDecodesBeforeItEntersWork) {
  // Small metafiles, each drawing a bitmap of 4096 x 4096 pixels that its
  // record holds in a few bytes: the bitmap, many times the picture, is
  // held while the file is drawn, so a budget of two and a half drawings
  // keeps the files two at a time.
  const std::vector<uint8_t> wmf =
      mftest::Wmf().StretchDib(0, 0, 96, 96, 4096, 4096, mftest::RleDib(4096, 4096, clRed)).Finish();
  ASSERT_GE(MetafileBitmapBytes(wmf.data(), wmf.size()), int64_t(3) * 4096 * 4096);
  const int64_t drawing = MetafileDrawBytes(wmf.data(), wmf.size(), 96, 96);
  mftest::Render(wmf);  // the first drawing makes the program's Qt application, on this thread
  for (int i = 0; i < 6; ++i) {
    WriteFile(Source.File("m" + std::to_string(i) + ".wmf"), wmf);
    AddFile(Source.File("m" + std::to_string(i) + ".wmf"));
  }
  Job.FilesInFlight = 8;
  Job.MemoryBudget = drawing * 5 / 2;
  RunOnThreads(8);
  EXPECT_EQ(FolderEntries(Target.Path()).size(), 6u);
  EXPECT_EQ(View.PeakFilesInWork, 2);
  EXPECT_LE(View.PeakSharedBytes, Job.MemoryBudget);
}
