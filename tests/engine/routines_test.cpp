// Effects of a run against the effect library called directly with the
// job's parameters, the names of the outputs and the formats of the log's
// date, time and time span.
#include <regex>

#include "effects/function.h"
#include "engine/effectcatalogue.h"
#include "tests/engine/runfixture.h"

namespace {

using Direct = std::function<void(TBitmap&, const TJobRecord&)>;

struct RoutineCase {
  const char* Caption;
  const char* Suffix;
  // Values that tell the parameters apart (a swapped pair gives another
  // picture), all within the picture's limits.
  std::function<void(TJobRecord&)> Set;
  Direct Call;
};

const std::vector<RoutineCase>& Cases() {
  using J = TJobRecord;
  static const std::vector<RoutineCase> cases = {
      {"3D grid...", "(3D_grid)", [](J& j) { j.GridStep = 7, j.GridTransparency = 35; },
       [](TBitmap& b, const J& j) { Apply3DGrid(b, j.GridStep, j.GridTransparency); }},
      {"Color tone...", "(Color_tone)", [](J& j) { j.RedTone = 0x1F0, j.GreenTone = 40, j.BlueTone = 200; },
       // Each tone adds its low byte only.
       [](TBitmap& b, const J&) { ApplyColorTone(b, 0xF0 + 40 * 256 + 200 * 65536); }},
      {"Convert to selected format", "(Convert)", [](J&) {}, [](TBitmap&, const J&) {}},
      {"Fish eye...", "(FishEye)", [](J& j) { j.FishEyeZoom = 55, j.FishEyeRadius = 13, j.FishEyeInversion = true; },
       [](TBitmap& b, const J& j) { ApplyFishEye(b, j.FishEyeZoom, j.FishEyeRadius, j.FishEyeInversion); }},
      {"Flip (vertical)", "(Flip_vert)", [](J& j) { j.FlipMode = 1; }, [](TBitmap& b, const J&) { ApplyFlip(b, 1); }},
      {"Gauss blur...", "(Gauss)", [](J& j) { j.GaussPasses = 2; },
       [](TBitmap& b, const J& j) { ApplyGauss(b, j.GaussPasses); }},
      {"Glasstile...", "(Glasstile)", [](J& j) { j.GlasstileX = 4, j.GlasstileY = 9; },
       [](TBitmap& b, const J& j) { ApplyGlasstile(b, j.GlasstileX, j.GlasstileY); }},
      {"HLS...", "(HLS)", [](J& j) { j.HlsHue = 20, j.HlsLightness = 13, j.HlsSaturation = 6; },
       [](TBitmap& b, const J& j) { ApplyHLS(b, j.HlsHue, j.HlsLightness, j.HlsSaturation); }},
      {"Noise...", "(Noise)", [](J& j) { j.NoiseDegree = 20, j.NoiseType = 1; },
       [](TBitmap& b, const J& j) { ApplyNoise(b, j.NoiseDegree, j.NoiseType); }},
      {"Rotate...", "(Rotate)", [](J& j) { j.RotateAngle = 30, j.RotateSmooth = true; },
       [](TBitmap& b, const J& j) { ApplyRotate(b, j.RotateAngle, 1); }},
      {"Watermark...", "(Watermark)", [](J& j) { j.WatermarkLevel = 40, j.WatermarkInverse = true; },
       [](TBitmap& b, const J& j) { ApplyWatermark(b, *j.WatermarkBitmap, j.WatermarkLevel, j.WatermarkInverse); }},
  };
  return cases;
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
};

TEST_F(Routines, EveryEntryGivesWhatItsEffectGivesWithTheJobsValues) {
  // One entry of each parameter shape (none, one, two, three values, a
  // flag, a packed colour, a pattern, random numbers). Resize's pixels are
  // the resize step's tests' and the resize dialog's (its preview is what
  // the run writes).
  MakeTestBitmap(48, 36, 5)->SaveToFile(Source.File("p.bmp"));
  std::unique_ptr<TBitmap> original = Load(Source.File("p.bmp"));
  for (const RoutineCase& c : Cases()) {
    ASSERT_NE(FindEffectEntry(c.Caption), nullptr) << c.Caption;
    c.Set(Job);
    Lines body = RunOn(c.Caption, Source.File("p.bmp"));
    std::string output = std::string("p") + c.Suffix + "_1.bmp";
    ASSERT_EQ(body.size(), 4u) << c.Caption;  // no clamp line: the values fit the picture
    EXPECT_EQ(body[1], "New name: " + output) << c.Caption;

    TBitmap expected;
    expected.Assign(original.get());
    expected.SetPixelFormat(pf24bit);
    ResetEffectRandomGenerators();
    c.Call(expected, Job);
    std::unique_ptr<TBitmap> written = Load(Target.File(output));
    ASSERT_EQ(written->Width(), expected.Width()) << c.Caption;
    ASSERT_EQ(written->Height(), expected.Height()) << c.Caption;
    EXPECT_TRUE(SameColors(*written, expected)) << c.Caption;
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
  Job.StartTicks = GetTickCount() - 1234500u;
  StartApplyEffectThread(View);
  WaitForApplyEffectThread(false);
  double after = Now();
  const Lines& log = View.LogView;
  ASSERT_GE(log.size(), 3u);
  const std::regex stamp(R"((\d{4}-\d{2}-\d{2})   (\d{2}:\d{2}:\d{2}))");
  std::smatch match;
  ASSERT_TRUE(std::regex_match(log[0], match, stamp)) << log[0];
  EXPECT_TRUE(match[1] == LogDate(before) || match[1] == LogDate(after)) << log[0];
  EXPECT_TRUE(match[2] >= LogTime(before) || LogDate(after) != LogDate(before)) << log[0];
  const std::string& done = log[log.size() - 2];
  EXPECT_TRUE(std::regex_match(done, std::regex(R"(Done: \d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2})"))) << done;
  EXPECT_TRUE(std::regex_match(log.back(), std::regex(R"(Time span: 1,234\.[5-9] s)"))) << log.back();
}

}  // namespace
