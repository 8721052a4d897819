// The effect list's catalogue (captions, positions, dialogs, summary lines)
// and the engine's routines in a run: names, suffixes, the limits of
// size-bound parameters, "Resize..." and the Flip entries.
#include <map>
#include <numeric>
#include <set>

#include "engine/effectcatalogue.h"
#include "tests/engine/runfixture.h"

class Catalogue : public RunFixture {
 protected:
  using RunFixture::RunOn;
  // A run of the effect over one picture of that size, alone in the list.
  Lines RunOn(const std::string& effect, int width, int height) {
    MakeTestBitmap(width, height, 1)->SaveToFile(Source.File("p.bmp"));
    return RunOn(effect, Source.File("p.bmp"));
  }
};

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
      {"Puzzle...", 4, 3, [](TJobRecord& j) { j.PuzzleAcross = 5, j.PuzzleDown = 5; }, {"Accross: 4", "Down: 3"}},
      {"Spheric...", 30, 80, [](TJobRecord& j) { j.SphereX = 50, j.SphereY = 50; }, {"Sphere X: 30"}},
      {"Fish eye...", 50, 300, [](TJobRecord& j) { j.FishEyeRadius = 40; }, {"Value: 25"}},
      {"Texturing...", 12, 40, [](TJobRecord& j) { j.TexturingLevel = 10; }, {"Level: 6"}},
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
  // With one file in work at a time, b enters work once a is committed,
  // and takes the value changed meanwhile.
  Job.FilesInFlight = 1;
  View.OnFile = [&](const std::string& name) {
    if (name == "a.bmp") Job.ResizeWidth = 20;
  };
  RunToEnd();
  EXPECT_TRUE(FileExists(Target.File("a(10 x 5)_1.bmp")));
  EXPECT_TRUE(FileExists(Target.File("b(20 x 10)_1.bmp")));
}

// --- The effect list's catalogue ---------------------------------------------

TEST(EffectCatalogue, EntriesPositionsAndDialogSelectors) {
  const auto& entries = EffectCatalogue();
  std::set<int> visible;
  std::set<std::string> folded;
  std::map<TEffectDialog, std::vector<int>> selectors;
  int samePlace = 0;
  for (int p = 0; p < EffectCount; ++p) {
    const TEffectEntry& e = entries[p];
    EXPECT_EQ(e.ListPosition, p) << e.Caption;
    visible.insert(e.VisibleIndex);
    samePlace += e.VisibleIndex == p;
    EXPECT_TRUE(folded.insert(LowerCase(e.Caption)).second) << e.Caption;
    EXPECT_EQ(e.SelectorMember == nullptr, e.Selector < 0) << e.Caption;
    selectors[e.Dialog].push_back(e.Selector);
  }
  // The visibility indices are a permutation of 0..58 that differs from the
  // list order.
  EXPECT_EQ(visible.size(), 59u);
  EXPECT_EQ(*visible.rbegin(), 58);
  EXPECT_LT(samePlace, 5);

  // Every shared dialog serves each of its selector values exactly once.
  const std::pair<TEffectDialog, int> shared[] = {{TEffectDialog::TFormEffect, 22},
                                                  {TEffectDialog::TFormTwoTrack, 8},
                                                  {TEffectDialog::TFormRGB, 4},
                                                  {TEffectDialog::TFormGroupEffect, 12},
                                                  {TEffectDialog::TFormSimpleEffect, 9}};
  for (auto [dialog, count] : shared) {
    std::vector<int> values = selectors[dialog];
    std::sort(values.begin(), values.end());
    std::vector<int> expected(count);
    std::iota(expected.begin(), expected.end(), 0);
    EXPECT_EQ(values, expected) << static_cast<int>(dialog);
  }
  // Positions that the stored visibility masks rely on.
  EXPECT_EQ(FindEffectEntry("Resize...")->VisibleIndex, 58);
  EXPECT_EQ(EffectEntryAtVisibleIndex(0)->Caption, std::string("Antialias..."));
  EXPECT_EQ(EffectEntryAtVisibleIndex(59), nullptr);
}

TEST(EffectCatalogue, FoundByWholeCaptionInAnyCase) {
  EXPECT_EQ(FindEffectEntry("GAUSS BLUR...")->ListPosition, 18);
  for (const char* none : {"Gauss blur", "Contrast(auto)", "", "Gauss blur... "})
    EXPECT_EQ(FindEffectEntry(none), nullptr) << none;

  TempDir dir;
  TJobRecord job(dir.Path());
  job.AllEffectNames.Add("left over");
  for (int twice = 0; twice < 2; ++twice) job.FillAllEffectNames();
  ASSERT_EQ(job.AllEffectNames.Count(), 59);
  EXPECT_EQ(job.AllEffectNames[58], "Wind...");
}

TEST(EffectCatalogue, EveryRoutineOfTheEngineIsAnEntry) {
  // The engine's own table: every caption is an entry, and every entry but
  // the three flips (which share the routine "Flip") has its routine.
  for (const TEffectRoutine& routine : EffectRoutines())
    if (!routine.MatchesFirstFour) {
      EXPECT_NE(FindEffectEntry(routine.Caption), nullptr) << routine.Caption;
    }
  for (const TEffectEntry& e : EffectCatalogue()) {
    const TEffectRoutine* routine = FindEffectRoutine(e.Caption);
    ASSERT_NE(routine, nullptr) << e.Caption;
    EXPECT_EQ(routine->MatchesFirstFour, e.FlipMode >= 0) << e.Caption;
  }
}

TEST(EffectCatalogue, DefaultSummaryOfEveryEntry) {
  TempDir dir;
  TJobRecord job(dir.Path());
  // A pattern picture beside the program keeps the watermark "from file".
  MakeTestBitmap(8, 8)->SaveToFile(dir.File("back.bmp"));
  TJobRecord withPattern(dir.Path());
  ASSERT_TRUE(withPattern.WatermarkFromFile);
  const Lines none = {"No parameters"};
  const std::map<std::string, Lines> expected = {
      {"3D grid...", {"Grid step: 32", "Grid transparency: 60"}},
      {"Auto color enhance", none},
      {"Convert to selected format", {"Convert all files to: .bmp"}},
      {"Fish eye...", {"Zoom: 70", "Radius: 40", "Inversion: false"}},
      {"Gamma correction...", {"Gamma: 1.0"}},
      {"HLS...", {"Hue: 0", "Lightness: 0.0", "Saturation: 0.0"}},
      {"Resize...",
       {"New width: undefined", "New height: undefined", "Preserve aspect ratio: true", "Scale type: fix Width",
        "Scale: 100%"}},
      {"Tile reflection...", {"Angle: -45", "Square size: 6", "Curvature: -4"}},
      {"Watermark...", {"Level: 70", "Inverse: false", "From file: true", "Pattern file: back.bmp"}},
  };
  for (const auto& [caption, lines] : expected)
    EXPECT_EQ(FindEffectEntry(caption)->SummaryLines(withPattern), lines) << caption;
  // Every entry has a summary.
  for (const TEffectEntry& e : EffectCatalogue()) EXPECT_FALSE(e.SummaryLines(withPattern).empty()) << e.Caption;
  // Without the pattern file the watermark is the green square.
  EXPECT_EQ(FindEffectEntry("Watermark...")->SummaryLines(job),
            (Lines{"Level: 70", "Inverse: false", "From file: false", "Pattern color: clGreen"}));
}

TEST(EffectCatalogue, SummaryOfChosenValues) {
  TempDir dir;
  TJobRecord job(dir.Path());
  auto lines = [&](const char* caption, TSummaryWording wording = TSummaryWording::List) {
    return FindEffectEntry(caption)->SummaryLines(job, wording);
  };
  job.GammaValue = 48;
  EXPECT_EQ(lines("Gamma correction..."), Lines{"Gamma: 5.0"});
  job.HlsHue = 30, job.HlsLightness = 9, job.HlsSaturation = 0;
  EXPECT_EQ(lines("HLS..."), (Lines{"Hue: 150", "Lightness: -0.1", "Saturation: -1.0"}));

  job.ResizeWidth = 800;
  job.ResizeScaleType = 2;
  job.ResizePreserveAspect = false;
  job.ResizePercent = 35;
  EXPECT_EQ(lines("Resize..."), (Lines{"New width: 800", "New height: undefined", "Preserve aspect ratio: false",
                                       "Scale type: scale", "Scale: 35%"}));
  EXPECT_EQ(lines("Resize...", TSummaryWording::AfterDialog)[1], "New height: 0");
  // A scale type that has no name shows its number (and reads nothing
  // outside the names).
  for (int odd : {-1, 1000}) {
    job.ResizeScaleType = odd;
    EXPECT_EQ(lines("Resize...")[3], "Scale type: " + IntToStr(odd));
  }

  job.WatermarkColor = RGB(1, 2, 3);
  job.WatermarkInverse = true;
  EXPECT_EQ(lines("Watermark..."),
            (Lines{"Level: 70", "Inverse: true", "From file: false", "Pattern color: $00030201"}));
  job.WatermarkFromFile = true;
  job.WatermarkFile = "/some/where/pattern.png";
  EXPECT_EQ(lines("Watermark...")[3], "Pattern file: pattern.png");

  // The words the "Effect..." command uses after its dialog's OK.
  job.RotateSmooth = true;
  EXPECT_EQ(lines("Rotate...", TSummaryWording::AfterDialog), (Lines{"Angle: 45", "Smooth: true"}));
  EXPECT_EQ(lines("Puzzle...", TSummaryWording::AfterDialog), (Lines{"Accross: 5", "Down: 5"}));
}
