// The longest side each target's writer takes, and a picture that the
// target cannot hold once its effect has made it: refused before it is
// loaded, with the lines the writer's refusal gave after the effect.
#include "engine/targetconversion.h"
#include "gif/gifimage.h"
#include "png/pngimage.h"
#include "tests/engine/runfixture.h"
#include "tests/support/craftedfiles.h"

TEST(TargetLimits, EachWriterTakesItsLongestSideAndRefusesOneMore) {
  // Each codec itself, across and down, at the side TargetTakes allows and
  // one pixel more.
  const struct {
    const char* Extension;
    int64_t Side;
    std::function<void(TBitmap&)> Write;
  } rows[] = {
      {".png", kMostPngSide, [](TBitmap& picture) { TPNGObject().Assign(&picture); }},
      {".gif", kMostGifSide,
       [](TBitmap& picture) {
         TGIFImage gif;
         ConvertToTargetGif(picture, TGifConversion(), gif);
         TMemoryStream data;
         gif.SaveToStream(data);
       }},
      {".jpg", kMostJpegSide,
       [](TBitmap& picture) {
         TMemoryStream data;
         EncodeTargetJpeg(picture, 90, data);
       }},
  };
  for (const auto& row : rows)
    for (const int64_t side : {row.Side, row.Side + 1})
      for (const bool across : {true, false}) {
        const int width = int(across ? side : 1), height = int(across ? 1 : side);
        TJobValues values;
        values.TargetExtension = row.Extension;
        bool written = true;
        try {
          row.Write(*MakeFlatBitmap(width, height, clRed));
        } catch (const std::exception&) {
          written = false;
        }
        EXPECT_EQ(written, side == row.Side) << row.Extension << " " << width << " x " << height;
        EXPECT_EQ(TargetTakes(values, width, height), written) << row.Extension << " " << width << " x " << height;
      }
  // A BMP's pixels in the chosen format: the bitmap it is converted into
  // refuses them past the cap before it holds any.
  TJobValues bmp;
  bmp.TargetExtension = ".bmp";
  bmp.BmpPixelFormat = pf32bit;
  EXPECT_TRUE(TargetTakes(bmp, 16384, 16384));
  EXPECT_FALSE(TargetTakes(bmp, 16384, 16385));
  TBitmap wider;
  wider.SetPixelFormat(pf32bit);
  EXPECT_THROW(wider.SetSize(16384, 16385), EOutOfMemory);
  bmp.BmpPixelFormat = pf24bit;
  EXPECT_TRUE(TargetTakes(bmp, 16384, 16385));
}

class TargetRefusal : public RunFixture {};

TEST_F(TargetRefusal, EveryRoutineLogsBeforeTheLoadWhatTheWriterLoggedAfterTheEffect) {
  // Pictures a pixel wide or high and a pixel too long for a PNG: each
  // routine's run is refused before the load with what the step logs for
  // the picture (its limited parameters, a resize's size), then the
  // writer's error; where the step itself fails on the picture, or its
  // result has another size, the run gives that as before.
  Job.TargetExtension = ".png";
  Job.ResizeWidth = 70000;
  for (const auto& [name, width, height] : {std::tuple{"tall.bmp", 1, 65536}, {"wide.bmp", 65536, 1}}) {
    WriteFile(Source.File(name), CraftedBmp(width, height, 24));
    TBitmap picture;
    ASSERT_TRUE(TJobRecord::LoadPictureToBitmap(Source.File(name), picture));
    for (const TEffectRoutine& routine : EffectRoutines()) {
      TStringList lines;
      try {
        TBitmap copy;
        copy.Assign(&picture);
        TEffectStep step{Job, copy, lines, nullptr, nullptr, {}};
        if (routine.Apply) routine.Apply(step);
        const TBitmap& result = step.Result ? *step.Result : copy;
        lines.Add("Error: " + std::string(name));
        lines.Add(TargetTakes(Job, result.Width(), result.Height()) ? "Success" : "Cannot create new file.");
      } catch (const std::exception& error) {
        lines.Add("Error: " + std::string(name));
        lines.Add(error.what());
      }
      Lines expected = Strings(lines);
      if (expected.back() == "Success") continue;  // the result fits: not this test's
      expected.insert(expected.end(), {"Done: ", "Time span: "});
      EXPECT_EQ(RunOn(routine.MatchesFirstFour ? "Flip (vertical)" : routine.Caption, Source.File(name)), expected)
          << routine.Caption << " " << name;
    }
  }
}
