// Every entry of the effect catalogue in a run: names, suffixes, the limits
// of size-bound parameters, "Resize..." and the Flip entries.
#include "tests/engine/runfixture.h"

class Catalogue : public RunFixture {
 protected:
  // A run of the effect over one picture of that size, alone in the list.
  Lines RunOn(const std::string& effect, int width, int height) {
    Job.SourceFiles.Clear();
    AddPicture("p.bmp", 1, width, height);
    Job.EffectName = effect;
    RunToEnd();
    return Body();
  }
};

TEST_F(Catalogue, EveryEntryRunsWithItsSuffix) {
  ASSERT_EQ(EffectRoutines().size(), 57u);
  Job.ResizeWidth = 12;
  Job.ResizeHeight = 9;
  Job.FlipMode = 1;
  for (const TEffectRoutine& routine : EffectRoutines()) {
    Lines body = RunOn(routine.MatchesFirstFour ? "Flip (vertical)" : routine.Caption, 24, 18);
    std::string suffix = routine.MatchesFirstFour         ? "(Flip_vert)"
                         : routine.Caption == "Resize..." ? "(12 x 9)"
                                                          : routine.Suffix;
    auto success = std::find(body.begin(), body.end(), "Success: p.bmp");
    ASSERT_NE(success, body.end()) << routine.Caption;
    EXPECT_EQ(*(success + 1), "New name: p" + suffix + "_1.bmp") << routine.Caption;
    EXPECT_TRUE(FileExists(Target.File("p" + suffix + "_1.bmp"))) << routine.Caption;
  }
}

TEST_F(Catalogue, LimitsAreLoggedOnlyWhenTheyLimit) {
  // The limit of the first picture is logged; the larger second one needs
  // none. The member itself is never changed.
  AddPicture("small.bmp", 0, 100, 60);
  AddPicture("large.bmp", 1, 400, 300);
  Job.EffectName = "3D grid...";
  Job.GridStep = 64;
  RunToEnd();
  EXPECT_EQ(Body(), (Lines{"Grid step: 50", "Success: small.bmp", "New name: small(3D_grid)_1.bmp",
                           "Success: large.bmp", "New name: large(3D_grid)_1.bmp", "Done: ", "Time span: "}));
  EXPECT_EQ(Job.GridStep, 64);

  struct Case {
    const char* Effect;
    int Width, Height;
    std::function<void(TJobRecord&)> Set;
    Lines Limits;
  };
  const Case cases[] = {
      {"Lens fire...",
       320,
       200,
       [](TJobRecord& j) { j.LensFireX = 500, j.LensFireY = 10; },
       {"Lens fire X: 320"}},
      {"Puzzle...",
       4,
       3,
       [](TJobRecord& j) { j.PuzzleAcross = 5, j.PuzzleDown = 5; },
       {"Accross: 4", "Down: 3"}},
      {"Spheric...", 30, 80, [](TJobRecord& j) { j.SphereX = 50, j.SphereY = 50; }, {"Sphere X: 30"}},
      {"Tile...", 9, 100, [](TJobRecord& j) { j.TileValue = 2; }, {"Value: 1"}},
      {"Fish eye...", 50, 300, [](TJobRecord& j) { j.FishEyeRadius = 40; }, {"Value: 25"}},
      {"Texturing...", 12, 40, [](TJobRecord& j) { j.TexturingLevel = 10; }, {"Level: 6"}},
      {"Figure...", 60, 20, [](TJobRecord& j) { j.FigureValue = 40; }, {"Level: 30"}},
  };
  for (const Case& c : cases) {
    c.Set(Job);
    Lines body = RunOn(c.Effect, c.Width, c.Height);
    Lines expected = c.Limits;
    expected.push_back("Success: p.bmp");
    body.resize(std::min(body.size(), expected.size()));
    EXPECT_EQ(body, expected) << c.Effect;
  }
}

TEST_F(Catalogue, ResizeKeepsOrIgnoresTheAspect) {
  Job.ResizeWidth = 20;
  Job.ResizeHeight = 10;
  Job.ResizeScaleType = 2;
  Job.ResizePercent = 50;
  EXPECT_EQ(RunOn("Resize...", 64, 48), (Lines{"New width: 32", "New height: 24", "Success: p.bmp",
                                               "New name: p(32 x 24)_1.bmp", "Done: ", "Time span: "}));
  Job.ResizePreserveAspect = false;
  EXPECT_EQ(RunOn("Resize...", 64, 48),
            (Lines{"Success: p.bmp", "New name: p(20 x 10)_1.bmp", "Done: ", "Time span: "}));
  TBitmap written;
  written.LoadFromFile(Target.File("p(20 x 10)_1.bmp"));
  EXPECT_EQ(written.Width(), 20);
  EXPECT_EQ(written.Height(), 10);
  // No such scale type: the picture keeps its size.
  Job.ResizePreserveAspect = true;
  Job.ResizeScaleType = 7;
  EXPECT_EQ(RunOn("Resize...", 64, 48), (Lines{"New width: 64", "New height: 48", "Success: p.bmp",
                                               "New name: p(64 x 48)_1.bmp", "Done: ", "Time span: "}));
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

TEST_F(Catalogue, FlipEntriesFollowTheFlipMode) {
  Job.FlipMode = 5;
  RunOn("FLIP whatever", 6, 5);
  EXPECT_TRUE(FileExists(Target.File("p(Flip_horiz_vert)_1.bmp")));
  Job.FlipMode = 0;
  RunOn("FLIP whatever", 6, 5);
  EXPECT_TRUE(FileExists(Target.File("p(Flip_horiz)_1.bmp")));
}
