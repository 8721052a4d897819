// A whole run: the worker, its log, the per-file road, stop and the end.
#include <sys/inotify.h>
#include <unistd.h>

#include <map>

#include "tests/engine/runfixture.h"
#include "tests/support/craftedfiles.h"
#include "tests/support/picturefiles.h"

class Run : public RunFixture {};

TEST_F(Run, ConvertsEveryFileAndLogsIt) {
  AddPicture("one.bmp");
  AddPicture("Two.BMP", 1);
  AddPicture("three.bmp", 2);
  View.TargetLines = {"Target: BMP files", "Pixel format: 24 bit"};
  const uint32_t took = RunToEnd();

  const Lines& log = View.LogView;
  ASSERT_EQ(log.size(), 17u);
  EXPECT_EQ(
      Lines(log.begin() + 1, log.begin() + 9),
      (Lines{std::string(29, '-'), "Source dir: " + Source.Path(), "All files: 3", "Target dir: " + Target.Path(),
             "Effect: Convert to selected format", "Target: BMP files", "Pixel format: 24 bit", "Convert to : .bmp"}));
  EXPECT_EQ(Body(), (Lines{"Success: one.bmp", "New name: one(Convert)_1.bmp", "Success: Two.BMP",
                           "New name: Two(Convert)_1.bmp", "Success: three.bmp", "New name: three(Convert)_1.bmp",
                           "Done: ", "Time span: "}));
  // However busy the machine, the span is what the run took, rounded to a
  // tenth of a second.
  const double span = TimeSpanSeconds(log[16]);
  EXPECT_GE(span, 0.0) << log[16];
  EXPECT_LE(span, took * 0.001 + 0.05) << log[16];

  EXPECT_TRUE(FileExists(Target.File("Two(Convert)_1.bmp")));
  EXPECT_EQ(View.ProgressAtEnd, 3);
  EXPECT_TRUE(View.StartEnabled && !View.StopEnabled && !Job.Busy);
  EXPECT_FALSE(FileExists(Target.File("log.txt")));
}

TEST_F(Run, FailuresBecomeLogLinesAndTheRunGoesOn) {
  AddPicture("gone.bmp");
  DeleteFile(Source.File("gone.bmp"));
  WriteTextFile(Source.File("broken.jpg"), "not a picture");
  AddFile(Source.File("broken.jpg"));
  AddPicture("fine.bmp");
  View.EffectLines = {"Ignored: 1"};
  RunToEnd();
  // Failed files count as processed; the bar steps on every road.
  EXPECT_EQ(Body(), (Lines{"Not found: gone.bmp", "Error: broken.jpg", "Success: fine.bmp",
                           "New name: fine(Convert)_1.bmp", "Done: ", "Time span: "}));
  EXPECT_EQ(View.ProgressAtEnd, 3);
}

TEST_F(Run, UnwritableTargetIsLoggedPerFile) {
  AddPicture("a.bmp");
  AddPicture("b.bmp");
  // The target folder vanishes once the run has taken it.
  View.OnFile = [&](const std::string&) { rmdir(Target.Path().c_str()); };
  RunToEnd();
  EXPECT_EQ(Body(), (Lines{"Error: a.bmp", "Cannot create new file.", "Error: b.bmp", "Cannot create new file.",
                           "Done: ", "Time span: "}));
}

TEST_F(Run, StopFinishesTheFileInProgress) {
  // Stopped within the second of five files; within the last, it reads Done.
  for (int i = 1; i <= 5; ++i) AddPicture("p" + std::to_string(i) + ".bmp", i);
  View.OnFile = [&](const std::string& name) {
    if (name == "p2.bmp" || name == "y.bmp") ApplyEffectThread->Terminate();
  };
  RunToEnd();
  EXPECT_EQ(Body(),
            (Lines{"Success: p1.bmp", "New name: p1(Convert)_1.bmp", "Success: p2.bmp", "New name: p2(Convert)_1.bmp",
                   "It was processed only 2 from 5 files", "Stopped: ", "Time span: "}));
  EXPECT_FALSE(FileExists(Target.File("p3(Convert)_1.bmp")));
  EXPECT_FALSE(Job.Busy);

  Job.SourceFiles.Clear();
  AddPicture("x.bmp");
  AddPicture("y.bmp");
  RunToEnd();
  EXPECT_EQ(Body(), (Lines{"Success: x.bmp", "New name: x(Convert)_1.bmp", "Success: y.bmp",
                           "New name: y(Convert)_1.bmp", "Done: ", "Time span: "}));
}

TEST_F(Run, UnknownEffectProcessesNothing) {
  AddPicture("a.bmp");
  AddPicture("b.bmp");
  Job.EffectName = "No such effect...";
  View.EffectLines = {"Level: 3"};
  RunToEnd();
  // The effect summary stands instead of "Convert to : ".
  EXPECT_EQ(View.LogView[5], "Effect: No such effect...");
  EXPECT_EQ(View.LogView[6], "Level: 3");
  EXPECT_EQ(Body(), (Lines{"It was processed only 0 from 2 files", "Stopped: ", "Time span: "}));
}

TEST_F(Run, RescanDuringTheRunChangesNeitherItsFilesNorItsCount) {
  for (int i = 1; i <= 4; ++i) AddPicture("s" + std::to_string(i) + ".bmp", i);
  // After file 2 a rescan empties the list and fills it anew, once shorter
  // and once longer, with other files.
  View.OnStep = [&](int step) {
    if (step == 2) {
      Job.SourceFiles.Clear();
      AddPicture("other.bmp");
    } else if (step == 3) {
      for (int i = 0; i < 5; ++i) AddPicture("more" + std::to_string(i) + ".bmp");
    }
  };
  RunToEnd();
  EXPECT_EQ(View.LogView[3], "All files: 4");
  Lines body = Body();
  ASSERT_EQ(body.size(), 10u);
  EXPECT_EQ(body[6], "Success: s4.bmp");
  EXPECT_EQ(body[8], "Done: ");
  EXPECT_EQ(View.ProgressMaximum, 4);
  EXPECT_EQ(View.ProgressAtEnd, 4);
  EXPECT_FALSE(FileExists(Target.File("other(Convert)_1.bmp")));
}

TEST_F(Run, UnexpectedFailureStillClosesTheLog) {
  AddPicture("a.bmp");
  AddPicture("b.bmp");
  View.OnStep = [&](int step) {
    if (step == 1) throw EZeroDivide("Floating point division by zero");
  };
  RunToEnd();
  Lines body = Body();
  ASSERT_GE(body.size(), 5u);
  EXPECT_EQ(Lines(body.begin() + 2, body.begin() + 5),
            (Lines{"Error: a.bmp", "Floating point division by zero", "It was processed only 0 from 2 files"}));
  EXPECT_FALSE(Job.Busy);
  EXPECT_TRUE(View.StartEnabled);
  EXPECT_EQ(ApplyEffectThread, nullptr);
}

TEST(BaseName, PartBeforeTheFirstOccurrenceOfTheExtension) {
  const std::pair<std::string, std::string> names[] = {
      {"Photo.JPG.jpg", "Photo.JPG"},
      {"a.jpg.jpg", "a"},
      {"noext", ""},
      {std::string(60, 'n') + ".png", std::string(40, 'n')},
      // Forty characters, not forty bytes, and never half a character.
      {std::string(39, 'x') + "\xE2\x82\xAC" + "yy.bmp", std::string(39, 'x') + "\xE2\x82\xAC"}};
  for (const auto& [file, base] : names) EXPECT_EQ(SourceBaseName(file), base) << file;
}

TEST_F(Run, AWorkerMadeRunningStartsByItself) {
  // Made suspended, the worker hands nothing over until it is resumed;
  // made running, it starts once it is built.
  AddPicture("a.bmp");
  Job.StartTicks = GetTickCount();
  {
    TApplyEffectThread waiting(View, true);
    EXPECT_FALSE(CheckSynchronize(200));
    EXPECT_FALSE(waiting.Finished());
  }
  EXPECT_TRUE(View.LogView.empty());
  TApplyEffectThread running(View, false);
  running.WaitFor();
  EXPECT_EQ(Body(), (Lines{"Success: a.bmp", "New name: a(Convert)_1.bmp", "Done: ", "Time span: "}));
}

TEST_F(Run, RelativeFoldersStayWhereTheRunBegan) {
  // The source paths and the target are named from the current directory,
  // which a folder picked during the run moves elsewhere: to a folder with
  // an "out" of its own, where a run that lost its folders would write.
  TempDir here, elsewhere;
  CreateDir(here.File("pictures"));
  CreateDir(here.File("out"));
  CreateDir(elsewhere.File("out"));
  const std::string before = GetCurrentDir();
  struct Back {
    std::string Dir;
    ~Back() { SetCurrentDir(Dir); }
  } back{before};
  ASSERT_TRUE(SetCurrentDir(here.Path()));
  const std::string real = GetCurrentDir();
  Job.SourceDir = "./pictures/";
  Job.TargetDir = "out/";
  for (int i = 0; i < 3; ++i) {
    const std::string name = "pictures/p" + std::to_string(i) + ".bmp";
    MakeTestBitmap(6, 5, i)->SaveToFile(here.File(name));
    AddFile(i == 1 ? "./" + name : name);
  }
  Job.FilesInFlight = 1;  // the next file is read once one is committed
  View.AutoSave = true;
  View.OnFile = [&](const std::string& name) {
    if (name == "p0.bmp") {
      ASSERT_TRUE(SetCurrentDir(elsewhere.Path()));
    }
  };
  RunToEnd();
  EXPECT_EQ(Lines(View.LogView.begin() + 2, View.LogView.begin() + 5),
            (Lines{"Source dir: " + real + "/pictures/", "All files: 3", "Target dir: " + real + "/out/"}));
  EXPECT_EQ(Body(), (Lines{"Success: p0.bmp", "New name: p0(Convert)_1.bmp", "Success: p1.bmp",
                           "New name: p1(Convert)_1.bmp", "Success: p2.bmp", "New name: p2(Convert)_1.bmp", "Done: ",
                           "Time span: "}));
  EXPECT_EQ(FolderEntries(here.File("out/")),
            (std::vector<std::string>{"log.txt", "p0(Convert)_1.bmp", "p1(Convert)_1.bmp", "p2(Convert)_1.bmp"}));
  EXPECT_TRUE(FolderEntries(elsewhere.File("out/")).empty());
  // The job keeps the folders as they were given.
  EXPECT_EQ(Job.TargetDir, "out/");
  EXPECT_EQ(Job.SourceFiles[0], "pictures/p0.bmp");
}

TEST_F(Run, EachFileIsOpenedOnceAndOneChangedAfterItsClaimIsRefused) {
  // One file at a time, of every kind but metafiles: each is opened once,
  // for its claim and its load. b is claimed while a is in work, then
  // another picture is saved in its place while a is committed: its load
  // finds the file it claimed replaced and refuses it, where a second
  // opening would load a picture nobody claimed.
  AddPicture("a.bmp", 1, 40, 20);
  AddPicture("b.bmp", 2, 40, 20);
  for (const auto& [name, data] : {std::pair{"c.jpg", CraftedJpeg(30, 20, TJpegCraft::Baseline)},
                                   {"d.png", CraftedPng(30, 20)}, {"e.gif", CraftedGif(30, 20, 10, 10)},
                                   {"f.ico", MakeIcoFile(16, 16, clRed, {3})}}) {
    WriteFile(Source.File(name), data);
    AddFile(Source.File(name));
  }
  Job.FilesInFlight = 1;
  View.OnFile = [&](const std::string& name) {
    if (name == "a.bmp") MakeTestBitmap(20, 10, 2)->SaveToFile(Source.File("b.bmp"));
  };
  const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  ASSERT_GE(inotify_add_watch(watch, Source.Path().c_str(), IN_OPEN), 0);
  RunToEnd();
  std::map<std::string, int> opened;
  alignas(inotify_event) char events[1 << 16];
  for (ssize_t got; (got = read(watch, events, sizeof events)) > 0;)
    for (const char* at = events; at < events + got; at += sizeof(inotify_event) + ((const inotify_event*)at)->len)
      if (((const inotify_event*)at)->len) ++opened[((const inotify_event*)at)->name];
  close(watch);
  EXPECT_EQ(opened.size(), 6u);
  for (const auto& [name, count] : opened) EXPECT_EQ(count, 1) << name;
  EXPECT_EQ(Body().at(2), "Error: b.bmp");
  EXPECT_EQ(FolderEntries(Target.Path()).size(), 5u);
}
