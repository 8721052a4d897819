// A whole run: the worker, its log, the per-file road, stop and the end.
#include <gtest/gtest.h>

#include "tests/engine/runfixture.h"

class Run : public RunFixture {};

TEST_F(Run, ConvertsEveryFileAndLogsIt) {
  AddPicture("one.bmp");
  AddPicture("Two.BMP", 1);
  AddPicture("three.bmp", 2);
  View.TargetLines = {"Target: BMP files", "Pixel format: 24 bit"};
  RunToEnd();

  const auto& log = View.LogView;
  ASSERT_GE(log.size(), 17u);
  EXPECT_EQ(log[0].size(), std::string("2026-12-06   21:07:03").size());
  EXPECT_EQ(log[0].substr(10, 3), "   ");
  EXPECT_EQ(log[1], std::string(29, '-'));
  EXPECT_EQ(log[2], "Source dir: " + Source.Path());
  EXPECT_EQ(log[3], "All files: 3");
  EXPECT_EQ(log[4], "Target dir: " + Target.Path());
  EXPECT_EQ(log[5], "Effect: Convert to selected format");
  EXPECT_EQ(log[6], "Target: BMP files");
  EXPECT_EQ(log[7], "Pixel format: 24 bit");
  EXPECT_EQ(log[8], "Convert to : .bmp");
  std::vector<std::string> files = {"Success: one.bmp",   "New name: one(Convert)_1.bmp",
                                    "Success: Two.BMP",   "New name: Two(Convert)_1.bmp",
                                    "Success: three.bmp", "New name: three(Convert)_1.bmp"};
  for (size_t i = 0; i < files.size(); ++i) EXPECT_EQ(log[9 + i], files[i]);
  EXPECT_TRUE(StartsWith(log[15], "Done: "));
  EXPECT_EQ(log[15].size(), std::string("Done: 2026-12-06 21:07:03").size());
  EXPECT_EQ(log[16], "Time span: 0.0 s");
  EXPECT_EQ(log.size(), 17u);

  EXPECT_TRUE(FileExists(Target.File("Two(Convert)_1.bmp")));
  EXPECT_EQ(View.ProgressMaximum, 3);
  EXPECT_EQ(View.ProgressAtEnd, 3);
  EXPECT_FALSE(View.ProgressVisible);
  EXPECT_TRUE(View.StartEnabled);
  EXPECT_FALSE(View.StopEnabled);
  EXPECT_EQ(View.Status[0], "");
  EXPECT_EQ(View.Status[1], "");
  EXPECT_FALSE(Job.Busy);
  EXPECT_EQ(ApplyEffectThread, nullptr);
  EXPECT_FALSE(FileExists(Target.File("log.txt")));
  EXPECT_EQ(View.Timings.size(), 3u);
}

TEST_F(Run, FailuresBecomeLogLinesAndTheRunGoesOn) {
  AddPicture("gone.bmp");
  DeleteFile(Source.File("gone.bmp"));
  WriteTextFile(Source.File("broken.jpg"), "not a picture");
  AddFile(Source.File("broken.jpg"));
  AddPicture("fine.bmp");
  View.EffectLines = {"Ignored: 1"};
  RunToEnd();
  std::vector<std::string> expected = {"Not found: gone.bmp", "Error: broken.jpg", "Success: fine.bmp",
                                       "New name: fine(Convert)_1.bmp"};
  auto body = Body();
  ASSERT_GE(body.size(), expected.size() + 2);
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(body[i], expected[i]);
  EXPECT_TRUE(StartsWith(body[4], "Done: "));  // failed files count as processed
  EXPECT_EQ(View.ProgressAtEnd, 3);          // the bar steps on every road
}

TEST_F(Run, UnwritableTargetIsLoggedPerFile) {
  AddPicture("a.bmp");
  AddPicture("b.bmp");
  // The target folder vanishes once the run has taken it.
  View.OnFile = [&](const std::string&) { rmdir(Target.Path().c_str()); };
  RunToEnd();
  auto body = Body();
  std::vector<std::string> expected = {"Error: a.bmp", "Cannot create new file.", "Error: b.bmp",
                                       "Cannot create new file."};
  ASSERT_GE(body.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(body[i], expected[i]);
  EXPECT_TRUE(StartsWith(body[4], "Done: "));
}

TEST_F(Run, StopFinishesTheFileInProgress) {
  for (int i = 1; i <= 5; ++i) AddPicture("p" + std::to_string(i) + ".bmp", i);
  View.OnFile = [&](const std::string& name) {
    if (name == "p2.bmp") ApplyEffectThread->Terminate();
  };
  RunToEnd();
  auto body = Body();
  ASSERT_GE(body.size(), 6u);
  EXPECT_EQ(body[2], "Success: p2.bmp");
  EXPECT_EQ(body[4], "It was processed only 2 from 5 files");
  EXPECT_TRUE(StartsWith(body[5], "Stopped: "));
  EXPECT_FALSE(FileExists(Target.File("p3(Convert)_1.bmp")));
  EXPECT_FALSE(Job.Busy);
}

TEST_F(Run, StopOnTheLastFileReadsDone) {
  AddPicture("x.bmp");
  AddPicture("y.bmp");
  View.OnFile = [&](const std::string& name) {
    if (name == "y.bmp") ApplyEffectThread->Terminate();
  };
  RunToEnd();
  auto body = Body();
  ASSERT_GE(body.size(), 5u);
  EXPECT_TRUE(StartsWith(body[4], "Done: "));
}

TEST_F(Run, UnknownEffectProcessesNothing) {
  AddPicture("a.bmp");
  AddPicture("b.bmp");
  Job.EffectName = "No such effect...";
  View.EffectLines = {"Level: 3"};
  RunToEnd();
  const auto& log = View.LogView;
  ASSERT_EQ(log.size(), 10u);
  EXPECT_EQ(log[5], "Effect: No such effect...");
  EXPECT_EQ(log[6], "Level: 3");  // the effect summary instead of "Convert to : "
  EXPECT_EQ(log[7], "It was processed only 0 from 2 files");
  EXPECT_TRUE(StartsWith(log[8], "Stopped: "));
}

TEST_F(Run, AutoSavedLogEqualsTheShownOne) {
  AddPicture("a.bmp");
  View.AutoSave = true;
  WriteTextFile(Target.File("log.txt"), "an earlier run\n");
  RunToEnd();
  TStringList saved;
  saved.LoadFromFile(Target.File("log.txt"));
  ASSERT_EQ(static_cast<size_t>(saved.Count()), View.LogView.size());
  for (int i = 0; i < saved.Count(); ++i) EXPECT_EQ(saved[i], View.LogView[static_cast<size_t>(i)]);
  auto bytes = ReadFile(Target.File("log.txt"));
  EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\r'), 0);  // Linux line ends
}

TEST_F(Run, LowerCaseNamesIncludeTheSuffix) {
  AddPicture("IMG_01.bmp");
  Job.LowerCaseNames = true;
  RunToEnd();
  EXPECT_TRUE(FileExists(Target.File("img_01(convert)_1.bmp")));
}

TEST_F(Run, ListThatShrinksEndsTheRunCleanly) {
  for (int i = 1; i <= 4; ++i) AddPicture("s" + std::to_string(i) + ".bmp", i);
  // The list loses two entries after file 2 while the worker still holds
  // the old count: the third index is never read.
  View.OnStep = [&](int step) {
    if (step == 2) {
      Job.SourceFiles.Delete(3);
      Job.SourceFiles.Delete(2);
    }
  };
  RunToEnd();
  auto body = Body();
  ASSERT_GE(body.size(), 5u);
  EXPECT_EQ(body[3], "New name: s2(Convert)_1.bmp");
  EXPECT_EQ(body[4], "It was processed only 2 from 4 files");
  EXPECT_EQ(ApplyEffectThread, nullptr);
}

TEST_F(Run, UnexpectedFailureStillClosesTheLog) {
  AddPicture("a.bmp");
  AddPicture("b.bmp");
  View.OnStep = [&](int step) {
    if (step == 1) throw EZeroDivide("Floating point division by zero");
  };
  RunToEnd();
  auto body = Body();
  ASSERT_GE(body.size(), 6u);
  EXPECT_EQ(body[2], "Error: a.bmp");
  EXPECT_EQ(body[3], "Floating point division by zero");
  EXPECT_EQ(body[4], "It was processed only 0 from 2 files");
  EXPECT_FALSE(Job.Busy);
  EXPECT_TRUE(View.StartEnabled);
  EXPECT_EQ(ApplyEffectThread, nullptr);
}

TEST(EffectChoice, CaptionsMatchWholeAndWithoutCase) {
  ASSERT_NE(FindEffectRoutine("convert TO selected FORMAT"), nullptr);
  EXPECT_EQ(FindEffectRoutine("convert TO selected FORMAT")->Suffix, "(Convert)");
  EXPECT_EQ(FindEffectRoutine("Convert to selected"), nullptr);
  EXPECT_EQ(FindEffectRoutine("Convert to selected format "), nullptr);
  EXPECT_EQ(FindEffectRoutine(""), nullptr);
}

TEST(BaseName, PartBeforeTheFirstOccurrenceOfTheExtension) {
  EXPECT_EQ(SourceBaseName("Photo.JPG.jpg"), "Photo.JPG");
  EXPECT_EQ(SourceBaseName("a.jpg.jpg"), "a");
  EXPECT_EQ(SourceBaseName("IMG_01.bmp"), "IMG_01");
  EXPECT_EQ(SourceBaseName(".bmp"), "");
  EXPECT_EQ(SourceBaseName("noext"), "");
  std::string sixty(60, 'n');
  EXPECT_EQ(SourceBaseName(sixty + ".png"), std::string(40, 'n'));
  // Forty characters, not forty bytes, and never half a character.
  std::string word;
  for (int i = 0; i < 45; ++i) word += "\xC3\xA9";  // é
  std::string base = SourceBaseName(word + ".gif");
  EXPECT_EQ(base.size(), 80u);
  std::string mixed = std::string(39, 'x') + "\xE2\x82\xAC" + "yy.bmp";  // euro sign at 40
  EXPECT_EQ(SourceBaseName(mixed), std::string(39, 'x') + "\xE2\x82\xAC");
}
