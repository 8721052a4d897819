// Effects of a run against the effect library called directly with the
// job's parameters (every entry of the list), the parameters limited to the
// picture and their log lines, the names of the outputs and the formats of
// the log's date, time and time span.
#include <regex>
#include <set>

#include "effects/function.h"
#include "engine/effectcatalogue.h"
#include "tests/engine/runfixture.h"

namespace {

using J = TJobRecord;
using Values = std::vector<int>;
using Direct = std::function<void(TBitmap&, const Values&, const J&)>;

// The effect function called with the values in argument order.
Direct Call(void (*f)(TBitmap&)) {
  return [f](TBitmap& b, const Values&, const J&) { f(b); };
}
Direct Call(void (*f)(TBitmap&, int)) {
  return [f](TBitmap& b, const Values& v, const J&) { f(b, v[0]); };
}
Direct Call(void (*f)(TBitmap&, int, int)) {
  return [f](TBitmap& b, const Values& v, const J&) { f(b, v[0], v[1]); };
}
Direct Call(void (*f)(TBitmap&, int, int, int)) {
  return [f](TBitmap& b, const Values& v, const J&) { f(b, v[0], v[1], v[2]); };
}

struct RoutineCase {
  const char* Caption;
  const char* Suffix;  // "" for Resize, whose suffix is the new size
  // The job's parameter members in the effect's argument order, and values
  // for them that tell them apart (a swapped pair gives another picture),
  // all within a 48 x 36 picture's limits.
  std::vector<int J::*> Members;
  Values Set;
  Direct Effect;
  std::function<void(J&)> Others = nullptr;  // flags and members passed as they are
};

// Every entry of the effect list, in list order.
const std::vector<RoutineCase>& Cases() {
  static const std::vector<RoutineCase> cases = {
      {"3D grid...", "(3D_grid)", {&J::GridStep, &J::GridTransparency}, {7, 35}, Call(Apply3DGrid)},
      {"Antialias...", "(Antialias)", {&J::AntialiasPasses}, {3}, Call(ApplyAntialias)},
      {"Auto color enhance", "(Auto_color)", {}, {}, Call(ApplyAutoColor)},
      {"Blur radial...", "(Blur_radial)", {&J::BlurAngle}, {25}, Call(ApplyBlurRadial)},
      // Each tone adds its low byte only.
      {"Color tone...", "(Color_tone)", {&J::RedTone, &J::GreenTone, &J::BlueTone}, {0x1F0, 40, 200},
       [](TBitmap& b, const Values& v, const J&) {
         ApplyColorTone(b, (v[0] & 0xFF) + 256 * (v[1] & 0xFF) + 65536 * (v[2] & 0xFF));
       }},
      {"Contrast...", "(Contrast)", {&J::ContrastRange}, {160}, Call(ApplyContrast)},
      {"Contrast (auto)", "(Contrast_auto)", {}, {}, Call(ApplyContrastAuto)},
      {"Convert to selected format", "(Convert)", {}, {}, [](TBitmap&, const Values&, const J&) {}},
      {"Cylinder...", "(Cylinder)", {&J::CylinderStretch}, {4}, Call(ApplyCylinder)},
      {"Detect edge...", "(DetectEdge)", {&J::DetectEdgeLevel, &J::DetectEdgeType}, {90, 2}, Call(ApplyDetectEdge)},
      {"Emboss...", "(Emboss)", {&J::EmbossLevel, &J::EmbossType}, {70, 3}, Call(ApplyEmboss)},
      {"Figure...", "(Figure)", {&J::FigureValue, &J::FigureType}, {9, 3}, Call(ApplyFigure)},
      {"Fish eye...", "(FishEye)", {&J::FishEyeZoom, &J::FishEyeRadius}, {180, 13},
       [](TBitmap& b, const Values& v, const J&) { ApplyFishEye(b, v[0], v[1], true); },
       [](J& j) { j.FishEyeInversion = true; }},
      // The three flips share one routine, which reads the direction that
      // choosing the entry leaves in FlipMode.
      {"Flip (horizontal)", "(Flip_horiz)", {&J::FlipMode}, {0}, Call(ApplyFlip)},
      {"Flip (vertical)", "(Flip_vert)", {&J::FlipMode}, {1}, Call(ApplyFlip)},
      {"Flip (horiz/vert)", "(Flip_horiz_vert)", {&J::FlipMode}, {2}, Call(ApplyFlip)},
      {"Fractal...", "(Fractal)", {&J::FractalIterations}, {5}, Call(ApplyFractal)},
      {"Gamma correction...", "(Gamma)", {&J::GammaValue}, {20}, Call(ApplyGamma)},
      {"Gauss blur...", "(Gauss)", {&J::GaussPasses}, {2}, Call(ApplyGauss)},
      {"Glasstile...", "(Glasstile)", {&J::GlasstileX, &J::GlasstileY}, {4, 9}, Call(ApplyGlasstile)},
      {"Greyscale", "(Greyscale)", {}, {}, Call(ApplyGreyscale)},
      {"Halftone", "(Halftone)", {}, {}, Call(ApplyHalftone)},
      {"HLS...", "(HLS)", {&J::HlsHue, &J::HlsLightness, &J::HlsSaturation}, {20, 13, 6}, Call(ApplyHLS)},
      {"Illusion...", "(Illusion)", {&J::IllusionAmount}, {6}, Call(ApplyIllusion)},
      {"Increase...", "(Increase)", {&J::IncreaseZoom, &J::IncreaseType}, {3, 1}, Call(ApplyIncrease)},
      {"Inverse", "(Inverse)", {}, {}, Call(ApplyInverse)},
      {"Lens fire...", "(LensFire)", {&J::LensFireX, &J::LensFireY}, {30, 9}, Call(ApplyLensFire)},
      {"Lightness...", "(Lightness)", {&J::LightnessAmount}, {60}, Call(ApplyLightness)},
      {"Moire...", "(Moire)", {&J::MoireDegree}, {45}, Call(ApplyMoire)},
      {"Monochrome", "(Monochrome)", {}, {}, Call(ApplyMonochrome)},
      {"Noise...", "(Noise)", {&J::NoiseDegree, &J::NoiseType}, {20, 1}, Call(ApplyNoise)},
      {"Oil paint...", "(OilPaint)", {&J::OilSmooth, &J::OilBrush}, {40, 3}, Call(ApplyOilPaint)},
      {"Pixelate...", "(Pixelate)", {&J::PixelSize}, {4}, Call(ApplyPixelate)},
      {"Posterized...", "(Posterized)", {&J::PosterizeStep}, {40}, Call(ApplyPosterized)},
      {"Puzzle...", "(Puzzle)", {&J::PuzzleAcross, &J::PuzzleDown}, {4, 3}, Call(ApplyPuzzle)},
      {"Rain drops...", "(RainDrops)", {&J::RainDropCount, &J::RainDropSize}, {30, 8}, Call(ApplyRainDrops)},
      // Kept in proportion by the height; the width goes along unused.
      {"Resize...", "", {&J::ResizeHeight}, {20}, [](TBitmap& b, const Values& v, const J&) { ResizeToHeight(b, 33, v[0]); },
       [](J& j) { j.ResizeWidth = 33, j.ResizeScaleType = 1, j.ResizePreserveAspect = true; }},
      {"RGB...", "(RGB)", {&J::RgbRed, &J::RgbGreen, &J::RgbBlue}, {40, -30, 90}, Call(ApplyRGB)},
      {"Ribbon...", "(Ribbon)", {&J::RibbonWidth, &J::RibbonFrequency}, {30, 70}, Call(ApplyRibbon)},
      {"Ripple...", "(Ripple)", {&J::RippleValue, &J::RippleType}, {5, 1}, Call(ApplyRipple)},
      {"Rotate...", "(Rotate)", {&J::RotateAngle}, {30}, [](TBitmap& b, const Values& v, const J&) { ApplyRotate(b, v[0], 1); },
       [](J& j) { j.RotateSmooth = true; }},
      {"Saturation...", "(Saturation)", {&J::SaturationDepth}, {200}, Call(ApplySaturation)},
      {"Sepia...", "(Sepia)", {&J::SepiaValue}, {70}, Call(ApplySepia)},
      {"Shake...", "(Shake)", {&J::ShakeValue, &J::ShakeDirection}, {15, 1}, Call(ApplyShake)},
      {"Sharpness...", "(Sharpness)", {&J::SharpnessLevel, &J::SharpnessType}, {30, 2}, Call(ApplySharpness)},
      {"Softened...", "(Softened)", {&J::SoftenedLevel, &J::SoftenedType}, {40, 4}, Call(ApplySoftened)},
      {"Solorized...", "(Solorized)", {&J::SolorizedValue}, {90}, Call(ApplySolorized)},
      {"Spheric...", "(Spheric)", {&J::SphereX, &J::SphereY}, {20, 14}, Call(ApplySpheric)},
      {"Split light...", "(SplitLight)", {&J::SplitLightValue}, {2}, Call(ApplySplitLight)},
      {"Swirl...", "(Swirl)", {&J::SwirlDegree}, {30}, Call(ApplySwirl)},
      {"Texturing...", "(Texturing)", {&J::TexturingLevel, &J::TexturingType}, {6, 1}, Call(ApplyTexturing)},
      {"Threshold...", "(Threshold)", {&J::ThresholdLevel}, {70}, Call(ApplyThreshold)},
      {"Tile...", "(Tile)", {&J::TileValue}, {3}, Call(ApplyTile)},
      {"Tile reflection...", "(TileReflection)",
       {&J::TileReflectionAngle, &J::TileReflectionSize, &J::TileReflectionCurvature}, {30, 9, 33},
       Call(ApplyTileReflection)},
      {"Twist...", "(Twist)", {&J::TwistValue}, {120}, Call(ApplyTwist)},
      {"Video...", "(Video)", {&J::VideoLightness, &J::VideoType}, {100, 2}, Call(ApplyVideo)},
      {"Warp...", "(Warp)", {&J::WarpFactor}, {40}, Call(ApplyWarp)},
      // The pattern the job holds, used as it is.
      {"Watermark...", "(Watermark)", {&J::WatermarkLevel}, {40},
       [](TBitmap& b, const Values& v, const J& j) { ApplyWatermark(b, *j.WatermarkBitmap, v[0], true); },
       [](J& j) { j.WatermarkInverse = true, j.WatermarkBitmap = MakeTestBitmap(7, 5, 3); }},
      {"Wind...", "(Wind)", {&J::WindLevel}, {12}, Call(ApplyWind)},
  };
  return cases;
}

const RoutineCase* FindCase(const std::string& caption) {
  for (const RoutineCase& c : Cases())
    if (caption == c.Caption) return &c;
  return nullptr;
}

class Routines : public RunFixture {
 protected:
  std::unique_ptr<TBitmap> Load(const std::string& path) {
    auto picture = std::make_unique<TBitmap>();
    picture->SetPixelFormat(pf24bit);
    EXPECT_TRUE(TJobRecord::LoadPictureToBitmap(path, *picture)) << path;
    picture->SetPixelFormat(pf24bit);
    return picture;
  }
  // The effect called directly on a copy of the picture, the generators as
  // at start (an effect that raises gives an empty picture).
  std::unique_ptr<TBitmap> Direct(const RoutineCase& c, const TBitmap& original, const Values& values) {
    auto expected = std::make_unique<TBitmap>();
    expected->Assign(&original);
    expected->SetPixelFormat(pf24bit);
    ResetEffectRandomGenerators();
    try {
      c.Effect(*expected, values, Job);
    } catch (const Exception&) {
      expected = std::make_unique<TBitmap>();
    }
    return expected;
  }
  // Sets the case's members to the values and its other members.
  void SetMembers(const RoutineCase& c, const Values& values) {
    for (size_t i = 0; i < c.Members.size(); ++i) Job.*c.Members[i] = values[i];
    if (c.Others) c.Others(Job);
  }
};

TEST_F(Routines, EveryEntryGivesWhatItsEffectGivesWithTheJobsValues) {
  // The output of a whole run against the effect function called directly
  // with the values set in the job, for every entry of the list. Random
  // effects start from the same generators on both sides.
  std::set<std::string> covered;
  for (const TEffectEntry& e : EffectCatalogue()) {
    EXPECT_NE(FindCase(e.Caption), nullptr) << e.Caption;
    covered.insert(LowerCase(e.Caption));
  }
  for (const TEffectRoutine& r : EffectRoutines()) {
    if (!r.MatchesFirstFour) {
      EXPECT_TRUE(covered.count(LowerCase(r.Caption))) << r.Caption;
    }
  }

  // Noise in a narrower range of values: a smooth picture or one of the
  // full range leaves some effects nothing to do.
  std::unique_ptr<TBitmap> noise = MakeNoiseBitmap(48, 36, 5);
  ApplyContrast(*noise, 70);
  noise->SaveToFile(Source.File("p.bmp"));
  std::unique_ptr<TBitmap> original = Load(Source.File("p.bmp"));
  for (const RoutineCase& c : Cases()) {
    SCOPED_TRACE(c.Caption);
    ASSERT_EQ(c.Members.size(), c.Set.size());
    SetMembers(c, c.Set);
    std::unique_ptr<TBitmap> expected = Direct(c, *original, c.Set);
    // The values tell the parameters apart: swapping any two gives another
    // picture, and every effect changes this one.
    for (size_t i = 0; i < c.Set.size(); ++i)
      for (size_t k = i + 1; k < c.Set.size(); ++k) {
        Values swapped = c.Set;
        std::swap(swapped[i], swapped[k]);
        EXPECT_FALSE(SameColors(*Direct(c, *original, swapped), *expected)) << "parameters " << i << " and " << k;
      }
    EXPECT_EQ(SameColors(*original, *expected), c.Caption == std::string(ConvertCaption));

    Lines body = RunOn(c.Caption, Source.File("p.bmp"));
    std::string suffix = *c.Suffix ? c.Suffix
                                   : "(" + IntToStr(expected->Width()) + " x " + IntToStr(expected->Height()) + ")";
    std::string output = "p" + suffix + "_1.bmp";
    // Resize logs the new size; no other entry logs a line of its own (the
    // values fit the picture).
    Lines lines = {"Success: p.bmp", "New name: " + output, "Done: ", "Time span: "};
    if (!*c.Suffix) lines.insert(lines.begin(), {"New width: " + IntToStr(expected->Width()), "New height: 20"});
    EXPECT_EQ(body, lines);
    ASSERT_TRUE(FileExists(Target.File(output)));
    std::unique_ptr<TBitmap> written = Load(Target.File(output));
    EXPECT_TRUE(SameColors(*written, *expected));
  }
}

TEST_F(Routines, SizeBoundParametersAreLimitedPerPictureAndLogged) {
  // The members above the picture's limits: the effect gets the limited
  // values, each limit is logged (the first argument's first), and the
  // members keep their values for the next picture.
  struct LimitCase {
    const char* Caption;
    int Width, Height;
    Values Set, Used;
    Lines Logged;
  };
  const LimitCase cases[] = {
      {"3D grid...", 30, 16, {40, 35}, {15, 35}, {"Grid step: 15"}},
      {"Lens fire...", 20, 12, {30, 15}, {20, 12}, {"Lens fire X: 20", "Lens fire Y: 12"}},
      {"Lens fire...", 20, 12, {8, 15}, {8, 12}, {"Lens fire Y: 12"}},
      {"Puzzle...", 4, 3, {5, 5}, {4, 3}, {"Accross: 4", "Down: 3"}},
      {"Spheric...", 30, 12, {50, 20}, {30, 12}, {"Sphere X: 30", "Sphere Y: 12"}},
      {"Tile...", 9, 100, {2}, {1}, {"Value: 1"}},
      {"Fish eye...", 50, 30, {55, 40}, {55, 15}, {"Value: 15"}},
      {"Texturing...", 12, 40, {10, 1}, {6, 1}, {"Level: 6"}},
      {"Figure...", 60, 20, {40, 3}, {30, 3}, {"Level: 30"}},
  };
  for (const LimitCase& l : cases) {
    SCOPED_TRACE(l.Caption + (" " + IntToStr(l.Width)));
    const RoutineCase& c = *FindCase(l.Caption);
    MakeNoiseBitmap(l.Width, l.Height, 2)->SaveToFile(Source.File("s.bmp"));
    std::unique_ptr<TBitmap> original = Load(Source.File("s.bmp"));
    SetMembers(c, l.Set);
    Lines body = RunOn(c.Caption, Source.File("s.bmp"));
    Lines expected = l.Logged;
    for (const char* line : {"Success: s.bmp", "New name: s", "Done: ", "Time span: "}) expected.push_back(line);
    expected[expected.size() - 3] += c.Suffix + std::string("_1.bmp");
    EXPECT_EQ(body, expected);
    for (size_t i = 0; i < c.Members.size(); ++i) EXPECT_EQ(Job.*c.Members[i], l.Set[i]);
    std::string output = Target.File(std::string("s") + c.Suffix + "_1.bmp");
    ASSERT_TRUE(FileExists(output));
    EXPECT_TRUE(SameColors(*Load(output), *Direct(c, *original, l.Used)));
    DeleteFile(output);
  }
}

TEST_F(Routines, OutputNamesCarryTheEffectsSuffix) {
  // The remaining suffixes: the other flip directions, Resize keeping the
  // aspect, and names lower-cased with their suffix.
  MakeTestBitmap(40, 30, 1)->SaveToFile(Source.File("Q.bmp"));
  const struct {
    const char* Caption;
    std::function<void(TJobRecord&)> Set;
    const char* Output;
  } cases[] = {
      {"Flip (horizontal)", [](TJobRecord& j) { j.FlipMode = 0; }, "Q(Flip_horiz)_1.bmp"},
      {"Flip (horiz/vert)", [](TJobRecord& j) { j.FlipMode = 2; }, "Q(Flip_horiz_vert)_1.bmp"},
      // Any caption starting "flip" runs the flip; modes past 2 flip both ways.
      {"FLIP whatever", [](TJobRecord& j) { j.FlipMode = 5; }, "Q(Flip_horiz_vert)_2.bmp"},
      {"Resize...", [](TJobRecord& j) { j.ResizeWidth = 20, j.ResizeHeight = 5, j.ResizeScaleType = 0; },
       "Q(20 x 15)_1.bmp"},
      {"Resize...", [](TJobRecord& j) { j.ResizeScaleType = 1, j.ResizeHeight = 6; }, "Q(8 x 6)_1.bmp"},
      {"Moire...", [](TJobRecord& j) { j.LowerCaseNames = true; }, "q(moire)_1.bmp"},
  };
  for (const auto& c : cases) {
    c.Set(Job);
    Lines body = RunOn(c.Caption, Source.File("Q.bmp"));
    EXPECT_NE(std::find(body.begin(), body.end(), std::string("New name: ") + c.Output), body.end()) << c.Output;
    EXPECT_TRUE(FileExists(Target.File(c.Output))) << c.Output;
  }
}

TEST_F(Routines, LogDatesTimesAndTimeSpan) {
  AddPicture("a.bmp");
  double before = Now();
  // The run took 1234.5 seconds (and the few milliseconds of this test);
  // the tick counter may have wrapped in between.
  const uint32_t started = GetTickCount();
  Job.StartTicks = started - 1234500u;
  StartApplyEffectThread(View);
  WaitForApplyEffectThread(false);
  const uint32_t took = GetTickCount() - started;
  double after = Now();
  const Lines& log = View.LogView;
  ASSERT_GE(log.size(), 3u);
  const std::regex stamp(R"((\d{4}-\d{2}-\d{2})   (\d{2}:\d{2}:\d{2}))");
  std::smatch match;
  ASSERT_TRUE(std::regex_match(log[0], match, stamp)) << log[0];
  EXPECT_TRUE(match[1] == DateToStr(before) || match[1] == DateToStr(after)) << log[0];
  EXPECT_TRUE(match[2] >= TimeToStr(before) || DateToStr(after) != DateToStr(before)) << log[0];
  const std::string& done = log[log.size() - 2];
  EXPECT_TRUE(std::regex_match(done, std::regex(R"(Done: \d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2})"))) << done;
  // The grouped thousands and one decimal, and no less and no more than the
  // run took however busy the machine was.
  EXPECT_TRUE(std::regex_match(log.back(), std::regex(R"(Time span: 1,2\d\d\.\d s)"))) << log.back();
  const double span = TimeSpanSeconds(log.back());
  EXPECT_GE(span, 1234.5) << log.back();
  EXPECT_LE(span, 1234.5 + took * 0.001 + 0.05) << log.back();
}

}  // namespace
