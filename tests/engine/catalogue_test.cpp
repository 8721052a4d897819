// The effect list's catalogue (captions, positions, dialogs, summary lines)
// and the engine's routines in a run: names, suffixes, the limits of
// size-bound parameters, "Resize..." and the Flip entries.
#include <functional>
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
  // none. The member itself is never changed. (Every limiting routine's
  // lines: routines_test.cpp.)
  AddPicture("small.bmp", 0, 100, 60);
  AddPicture("large.bmp", 1, 400, 300);
  Job.EffectName = "3D grid...";
  Job.GridStep = 64;
  RunToEnd();
  EXPECT_EQ(Body(), (Lines{"Grid step: 50", "Success: small.bmp", "New name: small(3D_grid)_1.bmp",
                           "Success: large.bmp", "New name: large(3D_grid)_1.bmp", "Done: ", "Time span: "}));
  EXPECT_EQ(Job.GridStep, 64);

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

TEST(EffectCatalogue, SummaryOfEveryEntry) {
  using J = TJobRecord;
  const Lines none = {"No parameters"};
  struct Row {
    const char* Caption;
    Lines Defaults;
    // The member each line shows as a plain number, in line order; null for
    // a line of another form (those: SummaryOfChosenValues).
    std::vector<int J::*> Plain;
  };
  // Every entry in list order.
  const Row rows[] = {
      {"3D grid...", {"Grid step: 32", "Grid transparency: 60"}, {&J::GridStep, &J::GridTransparency}},
      {"Antialias...", {"Antialias: 2"}, {&J::AntialiasPasses}},
      {"Auto color enhance", none, {}},
      {"Blur radial...", {"Blur angle: 10"}, {&J::BlurAngle}},
      {"Color tone...", {"Red tone: 128", "Green tone: 128", "Blue tone: 128"},
       {&J::RedTone, &J::GreenTone, &J::BlueTone}},
      {"Contrast...", {"Contrast range: 100"}, {&J::ContrastRange}},
      {"Contrast (auto)", none, {}},
      {"Convert to selected format", {"Convert all files to: .bmp"}, {}},
      {"Cylinder...", {"Stretch: 10"}, {&J::CylinderStretch}},
      {"Detect edge...", {"Level: 40", "Type: 0"}, {&J::DetectEdgeLevel, &J::DetectEdgeType}},
      {"Emboss...", {"Level: 40", "Type: 0"}, {&J::EmbossLevel, &J::EmbossType}},
      {"Figure...", {"Value: 40", "Type: 1"}, {&J::FigureValue, &J::FigureType}},
      {"Fish eye...", {"Zoom: 70", "Radius: 40", "Inversion: false"}, {&J::FishEyeZoom, &J::FishEyeRadius}},
      {"Flip (horizontal)", none, {}},
      {"Flip (vertical)", none, {}},
      {"Flip (horiz/vert)", none, {}},
      {"Fractal...", {"Fractal: 2"}, {&J::FractalIterations}},
      {"Gamma correction...", {"Gamma: 1.0"}, {}},
      {"Gauss blur...", {"Gauss: 1"}, {&J::GaussPasses}},
      {"Glasstile...", {"TileX: 20", "TileY: 20"}, {&J::GlasstileX, &J::GlasstileY}},
      {"Greyscale", none, {}},
      {"Halftone", none, {}},
      {"HLS...", {"Hue: 0", "Lightness: 0.0", "Saturation: 0.0"}, {}},
      {"Illusion...", {"Amount: 10"}, {&J::IllusionAmount}},
      {"Increase...", {"Zoom: 2", "Type: 0"}, {&J::IncreaseZoom, &J::IncreaseType}},
      {"Inverse", none, {}},
      {"Lens fire...", {"Lens fire X: 2", "Lens fire Y: 2"}, {&J::LensFireX, &J::LensFireY}},
      {"Lightness...", {"Lightness: 100"}, {&J::LightnessAmount}},
      {"Moire...", {"Moire degree: 10"}, {&J::MoireDegree}},
      {"Monochrome", none, {}},
      {"Noise...", {"Degree: 5", "Type: 0"}, {&J::NoiseDegree, &J::NoiseType}},
      {"Oil paint...", {"Oil smooth: 10", "Oil brush: 2"}, {&J::OilSmooth, &J::OilBrush}},
      {"Pixelate...", {"Pixel size: 3"}, {&J::PixelSize}},
      {"Posterized...", {"Posterize: 1"}, {&J::PosterizeStep}},
      {"Puzzle...", {"Across: 5", "Down: 5"}, {&J::PuzzleAcross, &J::PuzzleDown}},
      {"Rain drops...", {"Amount of drops: 100", "Size of drops: 20"}, {&J::RainDropCount, &J::RainDropSize}},
      {"Resize...",
       {"New width: undefined", "New height: undefined", "Preserve aspect ratio: true", "Scale type: fix Width",
        "Scale: 100%"},
       {&J::ResizeWidth, &J::ResizeHeight}},
      {"RGB...", {"Red: 0", "Green: 0", "Blue: 0"}, {&J::RgbRed, &J::RgbGreen, &J::RgbBlue}},
      {"Ribbon...", {"Width: 50", "Frequency: 50"}, {&J::RibbonWidth, &J::RibbonFrequency}},
      {"Ripple...", {"Value: 10", "Type: 0"}, {&J::RippleValue, &J::RippleType}},
      {"Rotate...", {"Angle: 45", "Type: false"}, {&J::RotateAngle}},
      {"Saturation...", {"Depth: 100"}, {&J::SaturationDepth}},
      {"Sepia...", {"Value: 35"}, {&J::SepiaValue}},
      {"Shake...", {"Value: 20", "Direction: 0"}, {&J::ShakeValue, &J::ShakeDirection}},
      {"Sharpness...", {"Level: 10", "Type: 0"}, {&J::SharpnessLevel, &J::SharpnessType}},
      {"Softened...", {"Level: 25", "Type: 0"}, {&J::SoftenedLevel, &J::SoftenedType}},
      {"Solorized...", {"Value: 255"}, {&J::SolorizedValue}},
      {"Spheric...", {"Sphere X: 50", "Sphere Y: 50"}, {&J::SphereX, &J::SphereY}},
      {"Split light...", {"Value: 3"}, {&J::SplitLightValue}},
      {"Swirl...", {"Degree: 3"}, {&J::SwirlDegree}},
      {"Texturing...", {"Level: 10", "Type: 0"}, {&J::TexturingLevel, &J::TexturingType}},
      {"Threshold...", {"Level: 128"}, {&J::ThresholdLevel}},
      {"Tile...", {"Value: 2"}, {&J::TileValue}},
      {"Tile reflection...", {"Angle: -45", "Square size: 6", "Curvature: -4"}, {nullptr, &J::TileReflectionSize}},
      {"Twist...", {"Value: 50"}, {&J::TwistValue}},
      {"Video...", {"Lightness: 40", "Type: 0"}, {&J::VideoLightness, &J::VideoType}},
      {"Warp...", {"Factor: 5"}, {&J::WarpFactor}},
      {"Watermark...", {"Level: 70", "Inverse: false", "From file: true", "Pattern file: back.bmp"},
       {&J::WatermarkLevel}},
      {"Wind...", {"Level: 5"}, {&J::WindLevel}},
  };
  // The lines the "Effect..." command writes after OK differ in three
  // entries only.
  const std::map<std::string, std::pair<size_t, std::string>> afterDialog = {
      {"Puzzle...", {0, "Accross: 5"}}, {"Rotate...", {1, "Smooth: false"}}, {"Resize...", {0, "New width: 0"}}};

  TempDir dir;
  // A pattern picture beside the program keeps the watermark "from file".
  MakeTestBitmap(8, 8)->SaveToFile(dir.File("back.bmp"));
  TJobRecord job(dir.Path());
  ASSERT_TRUE(job.WatermarkFromFile);
  ASSERT_EQ(std::size(rows), size_t(EffectCount));
  for (int p = 0; p < EffectCount; ++p) {
    const TEffectEntry& e = EffectCatalogue()[p];
    const Row& row = rows[p];
    ASSERT_EQ(e.Caption, std::string(row.Caption));
    EXPECT_EQ(e.SummaryLines(job), row.Defaults) << e.Caption;
    Lines after = row.Defaults;
    if (auto changed = afterDialog.find(e.Caption); changed != afterDialog.end()) {
      after[changed->second.first] = changed->second.second;
      if (changed->first == "Resize...") after[1] = "New height: 0";
    }
    EXPECT_EQ(e.SummaryLines(job, TSummaryWording::AfterDialog), after) << e.Caption;
  }

  // Every plain member at a value of its own: each line shows its member.
  int value = 301;
  for (const Row& row : rows)
    for (int J::*member : row.Plain)
      if (member) job.*member = value++;
  for (const Row& row : rows) {
    Lines lines = FindEffectEntry(row.Caption)->SummaryLines(job);
    ASSERT_EQ(lines.size(), row.Defaults.size()) << row.Caption;
    for (size_t i = 0; i < row.Plain.size(); ++i) {
      if (!row.Plain[i]) continue;
      const std::string& line = row.Defaults[i];
      EXPECT_EQ(lines[i], line.substr(0, line.find(": ") + 2) + IntToStr(job.*row.Plain[i])) << row.Caption;
    }
  }
  // Without the pattern file the watermark is the green square.
  TJobRecord plain(dir.Path() + "elsewhere/");
  EXPECT_EQ(FindEffectEntry("Watermark...")->SummaryLines(plain),
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
  job.TileReflectionAngle = 90, job.TileReflectionSize = 3, job.TileReflectionCurvature = 0;
  EXPECT_EQ(lines("Tile reflection..."), (Lines{"Angle: 45", "Square size: 3", "Curvature: -20"}));
  job.FishEyeInversion = true;
  EXPECT_EQ(lines("Fish eye...")[2], "Inversion: true");
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

TEST(EffectCatalogue, RoutinesThatDrawRandomNumbersAreMarked) {
  // Each routine's step with the job's values and with every kind (type,
  // direction, mode) from -1 to 6: a step that moves the effects' generators
  // in any of them is marked as drawing (a run keeps such steps in the
  // files' order), and a marked one moves them in at least one.
  int TJobValues::*const kinds[] = {
      &TJobValues::NoiseType,      &TJobValues::RippleType,    &TJobValues::SoftenedType, &TJobValues::SharpnessType,
      &TJobValues::EmbossType,     &TJobValues::DetectEdgeType, &TJobValues::IncreaseType, &TJobValues::TexturingType,
      &TJobValues::FigureType,     &TJobValues::VideoType,     &TJobValues::ShakeDirection, &TJobValues::FlipMode,
      &TJobValues::ResizeScaleType};
  auto same = [](const TEffectRandomState& a, const TEffectRandomState& b) {
    return a.Rand == b.Rand && a.Shuffle == b.Shuffle && a.ShuffleA == b.ShuffleA && a.ShuffleB == b.ShuffleB;
  };
  auto pattern = MakeTestBitmap(7, 5, 3);
  for (const TEffectRoutine& routine : EffectRoutines()) {
    bool draws = false;
    for (int kind = -2; kind <= 6; ++kind) {
      TJobValues job;  // kind -2: the job's values as they start
      if (kind >= -1)
        for (int TJobValues::*member : kinds) job.*member = kind;
      auto picture = MakeNoiseBitmap(40, 30, 1);
      TStringList log;
      TEffectStep step{job, *picture, log, pattern.get(), nullptr, {}};
      ResetEffectRandomGenerators();
      const TEffectRandomState before = SaveEffectRandomState();
      try {
        routine.Apply(step);
      } catch (const Exception&) {
      }
      draws = draws || !same(before, SaveEffectRandomState());
    }
    EXPECT_EQ(draws, routine.DrawsRandom) << routine.Caption;
  }
}

TEST(EffectCatalogue, EveryRoutinesResultHasTheSizeReckonedBeforeIt) {
  // A run reserves memory for the result before the effect makes it: each
  // routine makes the size it foretold, or its picture's when it tells none,
  // with every turn and, beside them, every way of the resize.
  std::vector<TJobValues> ways(12);
  for (size_t i = 0; i < ways.size(); ++i) {
    ways[i].RotateAngle = std::array{0, 1, 30, 45, 90, 135, 180, 270, 359, 360, -30, 1000}[i];
    ways[i].ResizeScaleType = std::array{0, 1, 2, 7}[i % 4], ways[i].ResizePreserveAspect = i % 8 < 4;
    ways[i].ResizeWidth = 57, ways[i].ResizeHeight = 33, ways[i].ResizePercent = 230;
  }
  auto pattern = MakeTestBitmap(7, 5, 3);
  for (const TEffectRoutine& routine : EffectRoutines())
    for (auto [w, h] : {std::pair{40, 30}, {61, 2}, {3, 50}})
      for (const TJobValues& job : ways) {
        auto picture = MakeNoiseBitmap(w, h, 1);
        TStringList log;
        TEffectStep step{job, *picture, log, pattern.get(), nullptr, {}};
        routine.Apply(step);
        const TBitmap& result = step.Result ? *step.Result : *picture;
        const TResizedSize told = routine.ResultSize ? routine.ResultSize(job, w, h) : TResizedSize{w, h};
        EXPECT_EQ(std::pair(int64_t{result.Width()}, int64_t{result.Height()}), std::pair(told.Width, told.Height))
            << routine.Caption << " on " << w << " x " << h;
      }
}
