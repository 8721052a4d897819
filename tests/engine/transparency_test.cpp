// A PNG source whose transparency chunk marks a colour transparent keeps
// that colour transparent through the routines of the catalogue to a PNG
// target: an effect changes the picture's pixels, not the picture's own
// properties. Only the effects that give the picture a new bitmap of
// another size, its properties with it, leave it opaque: "Resize..." on
// both its paths and "Rotate..." but at a full turn.
#include "png/pngimage.h"
#include "tests/engine/runfixture.h"

namespace {

// The transparent colour a PNG file marks, or clNone when it marks none.
TColor MarkedTransparentColor(const std::string& path) {
  TPNGObject png;
  png.LoadFromFile(path);
  return png.TransparencyMode() == ptmBit ? png.TransparentColor() : clNone;
}

}  // namespace

TEST_F(RunFixture, EveryRoutineKeepsAPngSourcesTransparentColor) {
  // An RGB picture with its transparent colour in a corner and a band.
  const TColor marked = RGB(10, 200, 30);
  auto picture = MakeNoiseBitmap(40, 30, 4);
  for (int x = 0; x < 40; ++x) picture->Canvas()->SetPixel(x, 12, marked);
  picture->Canvas()->SetPixel(0, 29, marked);
  {
    TPNGObject png;
    png.Assign(picture.get());
    png.SetTransparentColor(marked);
    png.SaveToFile(Source.File("clear.png"));
  }
  ASSERT_EQ(MarkedTransparentColor(Source.File("clear.png")), marked);

  Job.TargetExtension = ".png";
  Job.ResizeWidth = 20;
  Job.ResizeHeight = 16;
  auto transparentAfter = [&](const std::string& effect) {
    TempDir target;
    Job.TargetDir = target.Path();
    Lines body = RunOn(effect, Source.File("clear.png"));
    const Lines written = FolderEntries(target.Path());
    EXPECT_EQ(written.size(), 1u) << effect << (body.size() > 1 ? body[1] : "");
    return written.size() == 1 ? MarkedTransparentColor(target.File(written[0])) : clNone - 1;
  };
  for (const TEffectRoutine& routine : EffectRoutines()) {
    const bool newBitmap = routine.Caption == "Resize..." || routine.Caption == "Rotate...";
    EXPECT_EQ(transparentAfter(routine.Caption), newBitmap ? clNone : marked) << routine.Caption;
  }
  // The three flips of the one routine, the other path of a resize, and a
  // turn that leaves the picture as it is.
  for (const char* flip : {"Flip (horizontal)", "Flip (vertical)", "Flip (horiz/vert)"})
    EXPECT_EQ(transparentAfter(flip), marked) << flip;
  Job.ResizePreserveAspect = !Job.ResizePreserveAspect;
  EXPECT_EQ(transparentAfter("Resize..."), clNone);
  Job.RotateAngle = 360;
  EXPECT_EQ(transparentAfter("Rotate..."), marked);
}
