// The effect routine catalogue: for every effect the worker knows, its
// caption, the suffix of its output names and its effect step, in the order
// the worker tests the captions. Parameters are read from the job when each
// file is processed; size-bound ones are limited per picture and the limit
// is logged.
#include "effects/function.h"
#include "engine/applythread.h"
#include "engine/resizestep.h"

namespace {

using S = TEffectStep;

int W(const S& s) { return s.Picture.Width(); }
int H(const S& s) { return s.Picture.Height(); }

std::string FlipSuffix(const TJobValues& job, const TBitmap&) {
  switch (job.FlipMode) {
    case 0: return "(Flip_horiz)";
    case 1: return "(Flip_vert)";
    default: return "(Flip_horiz_vert)";
  }
}

// "Resize...": the picture as loaded; kept in proportion, it is resized
// where it lies, stretched, it is drawn onto a second bitmap of the new
// size. The suffix tells the new size.
void ResizeStep(S& s) {
  const bool kept = s.Job.ResizePreserveAspect;
  TBitmap& result = ResizePicture(s.Picture, kept ? s.Picture : s.Spare, ResizeValuesOf(s.Job));
  if (&result != &s.Picture) s.Result = &result;
  if (kept) {
    s.Log.Add("New width: " + IntToStr(result.Width()));
    s.Log.Add("New height: " + IntToStr(result.Height()));
  }
}

std::string ResizeSuffix(const TJobValues&, const TBitmap& result) {
  return "(" + IntToStr(result.Width()) + " x " + IntToStr(result.Height()) + ")";
}

}  // namespace

const std::vector<TEffectRoutine>& EffectRoutines() {
  static const std::vector<TEffectRoutine> routines = {
      {"3D grid...", "(3D_grid)",
       [](S& s) {
         int step = s.Limit(s.Job.GridStep, std::max(W(s), H(s)) / 2, "Grid step: ");
         Apply3DGrid(s.Picture, step, s.Job.GridTransparency);
       }},
      {"Antialias...", "(Antialias)", [](S& s) { ApplyAntialias(s.Picture, s.Job.AntialiasPasses); }},
      {"Auto color enhance", "(Auto_color)", [](S& s) { ApplyAutoColor(s.Picture); }},
      {"Blur radial...", "(Blur_radial)", [](S& s) { ApplyBlurRadial(s.Picture, s.Job.BlurAngle); }},
      {"Color tone...", "(Color_tone)",
       [](S& s) {
         int tone = (s.Job.RedTone & 0xFF) + 256 * (s.Job.GreenTone & 0xFF) + 65536 * (s.Job.BlueTone & 0xFF);
         ApplyColorTone(s.Picture, tone);
       }},
      {"Contrast...", "(Contrast)", [](S& s) { ApplyContrast(s.Picture, s.Job.ContrastRange); }},
      {"Contrast (auto)", "(Contrast_auto)", [](S& s) { ApplyContrastAuto(s.Picture); }},
      {"Convert to selected format", "(Convert)"},
      {"Cylinder...", "(Cylinder)", [](S& s) { ApplyCylinder(s.Picture, s.Job.CylinderStretch); }},
      {"Fractal...", "(Fractal)", [](S& s) { ApplyFractal(s.Picture, s.Job.FractalIterations); }},
      {"Gamma correction...", "(Gamma)", [](S& s) { ApplyGamma(s.Picture, s.Job.GammaValue); }},
      {"Gauss blur...", "(Gauss)", [](S& s) { ApplyGauss(s.Picture, s.Job.GaussPasses); }},
      {"Glasstile...", "(Glasstile)", [](S& s) { ApplyGlasstile(s.Picture, s.Job.GlasstileX, s.Job.GlasstileY); }},
      {"Greyscale", "(Greyscale)", [](S& s) { ApplyGreyscale(s.Picture); }},
      {"Halftone", "(Halftone)", [](S& s) { ApplyHalftone(s.Picture); }},
      {"Illusion...", "(Illusion)", [](S& s) { ApplyIllusion(s.Picture, s.Job.IllusionAmount); }},
      {"Inverse", "(Inverse)", [](S& s) { ApplyInverse(s.Picture); }},
      {"Lens fire...", "(LensFire)",
       [](S& s) {
         int x = s.Limit(s.Job.LensFireX, W(s), "Lens fire X: ");
         int y = s.Limit(s.Job.LensFireY, H(s), "Lens fire Y: ");
         ApplyLensFire(s.Picture, x, y);
       }},
      {"Lightness...", "(Lightness)", [](S& s) { ApplyLightness(s.Picture, s.Job.LightnessAmount); }},
      {"Moire...", "(Moire)", [](S& s) { ApplyMoire(s.Picture, s.Job.MoireDegree); }},
      {"Monochrome", "(Monochrome)", [](S& s) { ApplyMonochrome(s.Picture); }},
      {"Oil paint...", "(OilPaint)", [](S& s) { ApplyOilPaint(s.Picture, s.Job.OilSmooth, s.Job.OilBrush); }},
      {"Pixelate...", "(Pixelate)", [](S& s) { ApplyPixelate(s.Picture, s.Job.PixelSize); }},
      {"Posterized...", "(Posterized)", [](S& s) { ApplyPosterized(s.Picture, s.Job.PosterizeStep); }},
      {.Caption = "Puzzle...",
       .Suffix = "(Puzzle)",
       .Apply =
           [](S& s) {
             int across = s.Limit(s.Job.PuzzleAcross, W(s), "Accross: ");
             int down = s.Limit(s.Job.PuzzleDown, H(s), "Down: ");
             ApplyPuzzle(s.Picture, across, down);
           },
       .DrawsRandom = true},
      {.Caption = "Rain drops...",
       .Suffix = "(RainDrops)",
       .Apply = [](S& s) { ApplyRainDrops(s.Picture, s.Job.RainDropCount, s.Job.RainDropSize); },
       .DrawsRandom = true},
      {"Ribbon...", "(Ribbon)", [](S& s) { ApplyRibbon(s.Picture, s.Job.RibbonWidth, s.Job.RibbonFrequency); }},
      {"Spheric...", "(Spheric)",
       [](S& s) {
         int x = s.Limit(s.Job.SphereX, W(s), "Sphere X: ");
         int y = s.Limit(s.Job.SphereY, H(s), "Sphere Y: ");
         ApplySpheric(s.Picture, x, y);
       }},
      {"Saturation...", "(Saturation)", [](S& s) { ApplySaturation(s.Picture, s.Job.SaturationDepth); }},
      {"Sepia...", "(Sepia)", [](S& s) { ApplySepia(s.Picture, s.Job.SepiaValue); }},
      {"Solorized...", "(Solorized)", [](S& s) { ApplySolorized(s.Picture, s.Job.SolorizedValue); }},
      {"Split light...", "(SplitLight)", [](S& s) { ApplySplitLight(s.Picture, s.Job.SplitLightValue); }},
      {"Swirl...", "(Swirl)", [](S& s) { ApplySwirl(s.Picture, s.Job.SwirlDegree); }},
      {"Threshold...", "(Threshold)", [](S& s) { ApplyThreshold(s.Picture, s.Job.ThresholdLevel); }},
      {"Tile...", "(Tile)",
       [](S& s) { ApplyTile(s.Picture, s.Limit(s.Job.TileValue, std::min(W(s) / 5, H(s) / 5), "Value: ")); }},
      {"Twist...", "(Twist)", [](S& s) { ApplyTwist(s.Picture, s.Job.TwistValue); }},
      {"Warp...", "(Warp)", [](S& s) { ApplyWarp(s.Picture, s.Job.WarpFactor); }},
      {"Wind...", "(Wind)", [](S& s) { ApplyWind(s.Picture, s.Job.WindLevel); }},
      {"RGB...", "(RGB)", [](S& s) { ApplyRGB(s.Picture, s.Job.RgbRed, s.Job.RgbGreen, s.Job.RgbBlue); }},
      {"Tile reflection...", "(TileReflection)",
       [](S& s) {
         ApplyTileReflection(s.Picture, s.Job.TileReflectionAngle, s.Job.TileReflectionSize,
                             s.Job.TileReflectionCurvature);
       }},
      {"HLS...", "(HLS)", [](S& s) { ApplyHLS(s.Picture, s.Job.HlsHue, s.Job.HlsLightness, s.Job.HlsSaturation); }},
      {"Fish eye...", "(FishEye)",
       [](S& s) {
         int radius = s.Limit(s.Job.FishEyeRadius, std::min(W(s), H(s)) / 2, "Value: ");
         ApplyFishEye(s.Picture, s.Job.FishEyeZoom, radius, s.Job.FishEyeInversion);
       }},
      {"Texturing...", "(Texturing)",
       [](S& s) {
         ApplyTexturing(s.Picture, s.Limit(s.Job.TexturingLevel, W(s) / 2, "Level: "), s.Job.TexturingType);
       }},
      {"Softened...", "(Softened)", [](S& s) { ApplySoftened(s.Picture, s.Job.SoftenedLevel, s.Job.SoftenedType); }},
      {.Caption = "Noise...",
       .Suffix = "(Noise)",
       .Apply = [](S& s) { ApplyNoise(s.Picture, s.Job.NoiseDegree, s.Job.NoiseType); },
       .DrawsRandom = true},
      {"Shake...", "(Shake)", [](S& s) { ApplyShake(s.Picture, s.Job.ShakeValue, s.Job.ShakeDirection); }},
      {.Caption = "Ripple...",
       .Suffix = "(Ripple)",
       .Apply = [](S& s) { ApplyRipple(s.Picture, s.Job.RippleValue, s.Job.RippleType); },
       .DrawsRandom = true},
      {"Figure...", "(Figure)",
       [](S& s) { ApplyFigure(s.Picture, s.Limit(s.Job.FigureValue, W(s) / 2, "Level: "), s.Job.FigureType); }},
      {"Sharpness...", "(Sharpness)",
       [](S& s) { ApplySharpness(s.Picture, s.Job.SharpnessLevel, s.Job.SharpnessType); }},
      {"Emboss...", "(Emboss)", [](S& s) { ApplyEmboss(s.Picture, s.Job.EmbossLevel, s.Job.EmbossType); }},
      {"Detect edge...", "(DetectEdge)",
       [](S& s) { ApplyDetectEdge(s.Picture, s.Job.DetectEdgeLevel, s.Job.DetectEdgeType); }},
      {"Increase...", "(Increase)", [](S& s) { ApplyIncrease(s.Picture, s.Job.IncreaseZoom, s.Job.IncreaseType); }},
      {.Caption = "Watermark...",
       .Suffix = "(Watermark)",
       .Apply =
           [](S& s) {
             if (s.Pattern) ApplyWatermark(s.Picture, *s.Pattern, s.Job.WatermarkLevel, s.Job.WatermarkInverse);
           },
       .UsesPattern = true},
      {.Caption = "Resize...", .Suffix = "", .Apply = ResizeStep, .SuffixFor = ResizeSuffix, .KeepsLoadedFormat = true},
      {"Video...", "(Video)", [](S& s) { ApplyVideo(s.Picture, s.Job.VideoLightness, s.Job.VideoType); }},
      {.Caption = "Flip",
       .Suffix = "",
       .Apply = [](S& s) { ApplyFlip(s.Picture, s.Job.FlipMode); },
       .SuffixFor = FlipSuffix,
       .MatchesFirstFour = true},
      {"Rotate...", "(Rotate)",
       [](S& s) { ApplyRotate(s.Picture, s.Job.RotateAngle, s.Job.RotateSmooth ? 1 : 0); }},
  };
  return routines;
}

const TEffectRoutine* FindEffectRoutine(const std::string& effectName) {
  for (const TEffectRoutine& routine : EffectRoutines()) {
    bool match = routine.MatchesFirstFour ? SameText(effectName.substr(0, 4), routine.Caption.substr(0, 4))
                                          : SameText(effectName, routine.Caption);
    if (match) return &routine;
  }
  return nullptr;
}
