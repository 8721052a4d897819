// Every entry of the effect catalogue in a run: names, suffixes, the limits
// of size-bound parameters, "Resize..." and the Flip entries.
#include "tests/engine/runfixture.h"

class Catalogue : public RunFixture {};

TEST_F(Catalogue, EveryEntryRunsWithItsSuffix) {
  ASSERT_EQ(EffectRoutines().size(), 57u);
  AddPicture("pic.bmp", 3, 24, 18);
  Job.ResizeWidth = 12;
  Job.ResizeHeight = 9;
  for (const TEffectRoutine& routine : EffectRoutines()) {
    Job.EffectName = routine.MatchesFirstFour ? "Flip (vertical)" : routine.Caption;
    Job.FlipMode = 1;
    RunToEnd();
    std::string suffix = routine.MatchesFirstFour            ? "(Flip_vert)"
                         : routine.Caption == "Resize..."    ? "(12 x 9)"
                                                              : routine.Suffix;
    auto body = Body();
    auto success = std::find(body.begin(), body.end(), "Success: pic.bmp");
    ASSERT_NE(success, body.end()) << routine.Caption;
    EXPECT_EQ(*(success + 1), "New name: pic" + suffix + "_1.bmp") << routine.Caption;
    EXPECT_TRUE(FileExists(Target.File("pic" + suffix + "_1.bmp"))) << routine.Caption;
  }
}

TEST_F(Catalogue, LimitsAreLoggedOnlyWhenTheyLimit) {
  AddPicture("small.bmp", 0, 100, 60);
  AddPicture("large.bmp", 1, 400, 300);
  Job.EffectName = "3D grid...";
  Job.GridStep = 64;
  RunToEnd();
  auto body = Body();
  std::vector<std::string> expected = {"Grid step: 50", "Success: small.bmp", "New name: small(3D_grid)_1.bmp",
                                       "Success: large.bmp", "New name: large(3D_grid)_1.bmp"};
  ASSERT_GE(body.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(body[i], expected[i]);
  EXPECT_EQ(Job.GridStep, 64);  // the member itself is never changed
}

TEST_F(Catalogue, LimitLinesByEntry) {
  struct Case {
    const char* Effect;
    int Width, Height;
    std::function<void(TJobRecord&)> Set;
    std::vector<std::string> Lines;
  };
  std::vector<Case> cases = {
      {"Lens fire...", 320, 200, [](TJobRecord& j) { j.LensFireX = 500, j.LensFireY = 10; }, {"Lens fire X: 320"}},
      {"Puzzle...", 4, 3, [](TJobRecord& j) { j.PuzzleAcross = 5, j.PuzzleDown = 5; }, {"Accross: 4", "Down: 3"}},
      {"Spheric...", 30, 80, [](TJobRecord& j) { j.SphereX = 50, j.SphereY = 50; }, {"Sphere X: 30"}},
      {"Tile...", 9, 100, [](TJobRecord& j) { j.TileValue = 2; }, {"Value: 1"}},
      {"Fish eye...", 50, 300, [](TJobRecord& j) { j.FishEyeRadius = 40; }, {"Value: 25"}},
      {"Texturing...", 12, 40, [](TJobRecord& j) { j.TexturingLevel = 10; }, {"Level: 6"}},
      {"Figure...", 60, 20, [](TJobRecord& j) { j.FigureValue = 40; }, {"Level: 30"}},
  };
  for (const Case& c : cases) {
    TempDir source, target;
    TJobRecord job(Programs.Path());
    TRecordingRunView view(job);
    MakeTestBitmap(c.Width, c.Height)->SaveToFile(source.File("p.bmp"));
    job.SourceFiles.Add(source.File("p.bmp"));
    job.FileCount = 1;
    job.TargetDir = target.Path();
    job.EffectName = c.Effect;
    c.Set(job);
    StartApplyEffectThread(view);
    WaitForApplyEffectThread(false);
    auto at = std::find(view.LogView.begin(), view.LogView.end(), c.Lines.front());
    ASSERT_NE(at, view.LogView.end()) << c.Effect;
    for (size_t i = 0; i < c.Lines.size(); ++i) EXPECT_EQ(*(at + static_cast<long>(i)), c.Lines[i]) << c.Effect;
    EXPECT_EQ(*(at + static_cast<long>(c.Lines.size())), "Success: p.bmp") << c.Effect;
  }
}

TEST_F(Catalogue, ResizeKeepsOrIgnoresTheAspect) {
  AddPicture("wide.bmp", 0, 64, 48);
  Job.EffectName = "Resize...";
  Job.ResizeWidth = 20;
  Job.ResizeHeight = 10;
  Job.ResizeScaleType = 2;
  Job.ResizePercent = 50;
  RunToEnd();
  auto body = Body();
  ASSERT_GE(body.size(), 4u);
  EXPECT_EQ(body[0], "New width: 32");
  EXPECT_EQ(body[1], "New height: 24");
  EXPECT_EQ(body[3], "New name: wide(32 x 24)_1.bmp");

  Job.ResizePreserveAspect = false;
  RunToEnd();
  body = Body();
  EXPECT_EQ(body[0], "Success: wide.bmp");
  EXPECT_EQ(body[1], "New name: wide(20 x 10)_1.bmp");
  TBitmap written;
  written.LoadFromFile(Target.File("wide(20 x 10)_1.bmp"));
  EXPECT_EQ(written.Width(), 20);
  EXPECT_EQ(written.Height(), 10);

  Job.ResizePreserveAspect = true;
  Job.ResizeScaleType = 7;  // no such type: the picture keeps its size
  RunToEnd();
  body = Body();
  EXPECT_EQ(body[0], "New width: 64");
  EXPECT_EQ(body[3], "New name: wide(64 x 48)_1.bmp");
}

TEST_F(Catalogue, FlipEntriesFollowTheFlipMode) {
  AddPicture("f.bmp");
  Job.EffectName = "FLIP whatever";
  Job.FlipMode = 5;
  RunToEnd();
  EXPECT_TRUE(FileExists(Target.File("f(Flip_horiz_vert)_1.bmp")));
  Job.FlipMode = 0;
  RunToEnd();
  EXPECT_TRUE(FileExists(Target.File("f(Flip_horiz)_1.bmp")));
}

TEST_F(Catalogue, AChangeDuringARunReachesTheNextFile) {
  AddPicture("a.bmp", 0, 40, 20);
  AddPicture("b.bmp", 1, 40, 20);
  Job.EffectName = "Resize...";
  Job.ResizeWidth = 10;
  Job.ResizeHeight = 10;
  Job.ResizeScaleType = 0;
  View.OnFile = [&](const std::string& name) {
    if (name == "b.bmp") Job.ResizeWidth = 20;
  };
  RunToEnd();
  EXPECT_TRUE(FileExists(Target.File("a(10 x 5)_1.bmp")));
  EXPECT_TRUE(FileExists(Target.File("b(20 x 10)_1.bmp")));
}
