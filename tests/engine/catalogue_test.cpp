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
  EXPECT_EQ(*visible.begin(), 0);
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
  for (TEffectDialog single : {TEffectDialog::TFormFishEye, TEffectDialog::TFormPattern, TEffectDialog::TFormResize,
                               TEffectDialog::None})
    EXPECT_EQ(selectors[single], std::vector<int>{-1});

  // The selector member matches the dialog.
  EXPECT_EQ(FindEffectEntry("Wind...")->SelectorMember, &TJobRecord::OneTrackKind);
  EXPECT_EQ(FindEffectEntry("Spheric...")->SelectorMember, &TJobRecord::TwoTrackKind);
  EXPECT_EQ(FindEffectEntry("Tile reflection...")->SelectorMember, &TJobRecord::RgbKind);
  EXPECT_EQ(FindEffectEntry("Rotate...")->SelectorMember, &TJobRecord::GroupEffectKind);
  EXPECT_EQ(FindEffectEntry("Monochrome")->SelectorMember, &TJobRecord::SimpleEffectKind);

  // Positions that the stored visibility masks rely on.
  EXPECT_EQ(FindEffectEntry("Resize...")->ListPosition, 36);
  EXPECT_EQ(FindEffectEntry("Resize...")->VisibleIndex, 58);
  EXPECT_EQ(FindEffectEntry("3D grid...")->VisibleIndex, 38);
  EXPECT_EQ(EffectEntryAtVisibleIndex(0)->Caption, std::string("Antialias..."));
  EXPECT_EQ(EffectEntryAtVisibleIndex(59), nullptr);

  // Flip directions.
  for (const TEffectEntry& e : entries) {
    int expected = SameText(e.Caption, "Flip (horizontal)") ? 0
                   : SameText(e.Caption, "Flip (vertical)") ? 1
                   : SameText(e.Caption, "Flip (horiz/vert)") ? 2
                                                                : -1;
    EXPECT_EQ(e.FlipMode, expected) << e.Caption;
  }
}

TEST(EffectCatalogue, FoundByWholeCaptionInAnyCase) {
  EXPECT_EQ(FindEffectEntry("GAUSS BLUR...")->ListPosition, 18);
  EXPECT_EQ(FindEffectEntry("contrast (AUTO)")->ListPosition, 6);
  for (const char* none : {"Gauss blur", "Contrast(auto)", "", "Flip", "Gauss blur... ", " Inverse"})
    EXPECT_EQ(FindEffectEntry(none), nullptr) << none;

  TempDir dir;
  TJobRecord job(dir.Path());
  job.AllEffectNames.Add("left over");
  for (int twice = 0; twice < 2; ++twice) job.FillAllEffectNames();
  ASSERT_EQ(job.AllEffectNames.Count(), 59);
  EXPECT_EQ(job.AllEffectNames[0], "3D grid...");
  EXPECT_EQ(job.AllEffectNames[7], "Convert to selected format");
  EXPECT_EQ(job.AllEffectNames[58], "Wind...");
  EXPECT_EQ(AllEffectCaptions()[36], "Resize...");
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

TEST(EffectCatalogue, HintsForSettingsAndPreviews) {
  EXPECT_EQ(FindEffectEntry("Gauss blur...")->Hint(), "Setting for Gauss blur effect");
  EXPECT_EQ(FindEffectEntry("Greyscale")->Hint(), "Preview for Greyscale effect");
  EXPECT_EQ(FindEffectEntry("Flip (vertical)")->Hint(), "Preview for Flip (vertical) effect");
  EXPECT_EQ(FindEffectEntry("Convert to selected format")->Hint(), "");
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
      {"Antialias...", {"Antialias: 2"}},
      {"Auto color enhance", none},
      {"Blur radial...", {"Blur angle: 10"}},
      {"Color tone...", {"Red tone: 128", "Green tone: 128", "Blue tone: 128"}},
      {"Contrast...", {"Contrast range: 100"}},
      {"Contrast (auto)", none},
      {"Convert to selected format", {"Convert all files to: .bmp"}},
      {"Cylinder...", {"Stretch: 10"}},
      {"Detect edge...", {"Level: 40", "Type: 0"}},
      {"Emboss...", {"Level: 40", "Type: 0"}},
      {"Figure...", {"Value: 40", "Type: 1"}},
      {"Fish eye...", {"Zoom: 70", "Radius: 40", "Inversion: false"}},
      {"Flip (horizontal)", none},
      {"Flip (vertical)", none},
      {"Flip (horiz/vert)", none},
      {"Fractal...", {"Fractal: 2"}},
      {"Gamma correction...", {"Gamma: 1.0"}},
      {"Gauss blur...", {"Gauss: 1"}},
      {"Glasstile...", {"TileX: 20", "TileY: 20"}},
      {"Greyscale", none},
      {"Halftone", none},
      {"HLS...", {"Hue: 0", "Lightness: 0.0", "Saturation: 0.0"}},
      {"Illusion...", {"Amount: 10"}},
      {"Increase...", {"Zoom: 2", "Type: 0"}},
      {"Inverse", none},
      {"Lens fire...", {"Lens fire X: 2", "Lens fire Y: 2"}},
      {"Lightness...", {"Lightness: 100"}},
      {"Moire...", {"Moire degree: 10"}},
      {"Monochrome", none},
      {"Noise...", {"Degree: 5", "Type: 0"}},
      {"Oil paint...", {"Oil smooth: 10", "Oil brush: 2"}},
      {"Pixelate...", {"Pixel size: 3"}},
      {"Posterized...", {"Posterize: 1"}},
      {"Puzzle...", {"Across: 5", "Down: 5"}},
      {"Rain drops...", {"Amount of drops: 100", "Size of drops: 20"}},
      {"Resize...",
       {"New width: undefined", "New height: undefined", "Preserve aspect ratio: true", "Scale type: fix Width",
        "Scale: 100%"}},
      {"RGB...", {"Red: 0", "Green: 0", "Blue: 0"}},
      {"Ribbon...", {"Width: 50", "Frequency: 50"}},
      {"Ripple...", {"Value: 10", "Type: 0"}},
      {"Rotate...", {"Angle: 45", "Type: false"}},
      {"Saturation...", {"Depth: 100"}},
      {"Sepia...", {"Value: 35"}},
      {"Shake...", {"Value: 20", "Direction: 0"}},
      {"Sharpness...", {"Level: 10", "Type: 0"}},
      {"Softened...", {"Level: 25", "Type: 0"}},
      {"Solorized...", {"Value: 255"}},
      {"Spheric...", {"Sphere X: 50", "Sphere Y: 50"}},
      {"Split light...", {"Value: 3"}},
      {"Swirl...", {"Degree: 3"}},
      {"Texturing...", {"Level: 10", "Type: 0"}},
      {"Threshold...", {"Level: 128"}},
      {"Tile...", {"Value: 2"}},
      {"Tile reflection...", {"Angle: -45", "Square size: 6", "Curvature: -4"}},
      {"Twist...", {"Value: 50"}},
      {"Video...", {"Lightness: 40", "Type: 0"}},
      {"Warp...", {"Factor: 5"}},
      {"Watermark...", {"Level: 70", "Inverse: false", "From file: true", "Pattern file: back.bmp"}},
      {"Wind...", {"Level: 5"}},
  };
  ASSERT_EQ(expected.size(), 59u);
  for (const TEffectEntry& e : EffectCatalogue()) {
    auto it = expected.find(e.Caption);
    ASSERT_NE(it, expected.end()) << e.Caption;
    EXPECT_EQ(e.SummaryLines(withPattern), it->second) << e.Caption;
  }
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
  job.GammaValue = 0;
  EXPECT_EQ(lines("Gamma correction..."), Lines{"Gamma: 0.2"});
  job.GammaValue = 48;
  EXPECT_EQ(lines("Gamma correction..."), Lines{"Gamma: 5.0"});
  job.HlsHue = 0, job.HlsLightness = 20, job.HlsSaturation = 20;
  EXPECT_EQ(lines("HLS..."), (Lines{"Hue: -150", "Lightness: 1.0", "Saturation: 1.0"}));
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
  for (int odd : {3, -1, 1000}) {
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
  EXPECT_EQ(lines("Rotate..."), (Lines{"Angle: 45", "Type: true"}));
  EXPECT_EQ(lines("Rotate...", TSummaryWording::AfterDialog), (Lines{"Angle: 45", "Smooth: true"}));
  EXPECT_EQ(lines("Puzzle...", TSummaryWording::AfterDialog), (Lines{"Accross: 5", "Down: 5"}));
  job.TargetExtension = ".png";
  EXPECT_EQ(lines("Convert to selected format"), Lines{"Convert all files to: .png"});
}
