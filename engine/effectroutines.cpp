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

std::string ResizeSuffix(const TJobValues&, const TBitmap& result) {
  std::string suffix = "(";
  suffix += IntToStr(result.Width());
  return suffix + " x " + IntToStr(result.Height()) + ")";
}

// The sizes the resize and the turn give a picture, before they make it.
TResizedSize ResizeResultSize(const TJobValues& job, int width, int height) {
  return ResizedSize(width, height, ResizeValuesOf(job));
}
TResizedSize RotateResultSize(const TJobValues& job, int width, int height) {
  const TRotatedSize size = RotatedSize(width, height, job.RotateAngle);
  return {size.Width, size.Height};
}

}  // namespace

void TApplyEffectThread::Process3DGrid(S& s) {
  int step = s.Limit(s.Job.GridStep, std::max(W(s), H(s)) / 2, "Grid step: ");
  Apply3DGrid(s.Picture, step, s.Job.GridTransparency);
}
void TApplyEffectThread::ProcessAntialias(S& s) { ApplyAntialias(s.Picture, s.Job.AntialiasPasses); }
void TApplyEffectThread::ProcessAutoColor(S& s) { ApplyAutoColor(s.Picture); }
void TApplyEffectThread::ProcessBlurRadial(S& s) { ApplyBlurRadial(s.Picture, s.Job.BlurAngle); }
// The three tones as one colour value, each from its low byte only.
void TApplyEffectThread::ProcessColorTone(S& s) {
  int tone = (s.Job.RedTone & 0xFF) + 256 * (s.Job.GreenTone & 0xFF) + 65536 * (s.Job.BlueTone & 0xFF);
  ApplyColorTone(s.Picture, tone);
}
void TApplyEffectThread::ProcessContrast(S& s) { ApplyContrast(s.Picture, s.Job.ContrastRange); }
void TApplyEffectThread::ProcessContrastAuto(S& s) { ApplyContrastAuto(s.Picture); }
// Plain conversion: the picture goes to the target as loaded.
void TApplyEffectThread::ProcessConvert(S&) {}
void TApplyEffectThread::ProcessCylinder(S& s) { ApplyCylinder(s.Picture, s.Job.CylinderStretch); }
void TApplyEffectThread::ProcessFractal(S& s) { ApplyFractal(s.Picture, s.Job.FractalIterations); }
void TApplyEffectThread::ProcessGamma(S& s) { ApplyGamma(s.Picture, s.Job.GammaValue); }
void TApplyEffectThread::ProcessGauss(S& s) { ApplyGauss(s.Picture, s.Job.GaussPasses); }
void TApplyEffectThread::ProcessGlasstile(S& s) { ApplyGlasstile(s.Picture, s.Job.GlasstileX, s.Job.GlasstileY); }
void TApplyEffectThread::ProcessGreyscale(S& s) { ApplyGreyscale(s.Picture); }
void TApplyEffectThread::ProcessHalftone(S& s) { ApplyHalftone(s.Picture); }
void TApplyEffectThread::ProcessIllusion(S& s) { ApplyIllusion(s.Picture, s.Job.IllusionAmount); }
void TApplyEffectThread::ProcessInverse(S& s) { ApplyInverse(s.Picture); }
void TApplyEffectThread::ProcessLensFire(S& s) {
  int x = s.Limit(s.Job.LensFireX, W(s), "Lens fire X: ");
  int y = s.Limit(s.Job.LensFireY, H(s), "Lens fire Y: ");
  ApplyLensFire(s.Picture, x, y);
}
void TApplyEffectThread::ProcessLightness(S& s) { ApplyLightness(s.Picture, s.Job.LightnessAmount); }
void TApplyEffectThread::ProcessMoire(S& s) { ApplyMoire(s.Picture, s.Job.MoireDegree); }
void TApplyEffectThread::ProcessMonochrome(S& s) { ApplyMonochrome(s.Picture); }
void TApplyEffectThread::ProcessOilPaint(S& s) { ApplyOilPaint(s.Picture, s.Job.OilSmooth, s.Job.OilBrush); }
void TApplyEffectThread::ProcessPixelate(S& s) { ApplyPixelate(s.Picture, s.Job.PixelSize); }
void TApplyEffectThread::ProcessPosterized(S& s) { ApplyPosterized(s.Picture, s.Job.PosterizeStep); }
void TApplyEffectThread::ProcessPuzzle(S& s) {
  int across = s.Limit(s.Job.PuzzleAcross, W(s), "Accross: ");
  int down = s.Limit(s.Job.PuzzleDown, H(s), "Down: ");
  ApplyPuzzle(s.Picture, across, down);
}
void TApplyEffectThread::ProcessRainDrops(S& s) {
  ApplyRainDrops(s.Picture, s.Job.RainDropCount, s.Job.RainDropSize);
}
void TApplyEffectThread::ProcessRibbon(S& s) { ApplyRibbon(s.Picture, s.Job.RibbonWidth, s.Job.RibbonFrequency); }
void TApplyEffectThread::ProcessSpheric(S& s) {
  int x = s.Limit(s.Job.SphereX, W(s), "Sphere X: ");
  int y = s.Limit(s.Job.SphereY, H(s), "Sphere Y: ");
  ApplySpheric(s.Picture, x, y);
}
void TApplyEffectThread::ProcessSaturation(S& s) { ApplySaturation(s.Picture, s.Job.SaturationDepth); }
void TApplyEffectThread::ProcessSepia(S& s) { ApplySepia(s.Picture, s.Job.SepiaValue); }
void TApplyEffectThread::ProcessSolorized(S& s) { ApplySolorized(s.Picture, s.Job.SolorizedValue); }
void TApplyEffectThread::ProcessSplitLight(S& s) { ApplySplitLight(s.Picture, s.Job.SplitLightValue); }
void TApplyEffectThread::ProcessSwirl(S& s) { ApplySwirl(s.Picture, s.Job.SwirlDegree); }
void TApplyEffectThread::ProcessThreshold(S& s) { ApplyThreshold(s.Picture, s.Job.ThresholdLevel); }
void TApplyEffectThread::ProcessTile(S& s) {
  ApplyTile(s.Picture, s.Limit(s.Job.TileValue, std::min(W(s) / 5, H(s) / 5), "Value: "));
}
void TApplyEffectThread::ProcessTwist(S& s) { ApplyTwist(s.Picture, s.Job.TwistValue); }
void TApplyEffectThread::ProcessWarp(S& s) { ApplyWarp(s.Picture, s.Job.WarpFactor); }
void TApplyEffectThread::ProcessWind(S& s) { ApplyWind(s.Picture, s.Job.WindLevel); }
void TApplyEffectThread::ProcessRGB(S& s) { ApplyRGB(s.Picture, s.Job.RgbRed, s.Job.RgbGreen, s.Job.RgbBlue); }
void TApplyEffectThread::ProcessTileReflection(S& s) {
  ApplyTileReflection(s.Picture, s.Job.TileReflectionAngle, s.Job.TileReflectionSize, s.Job.TileReflectionCurvature);
}
void TApplyEffectThread::ProcessHLS(S& s) {
  ApplyHLS(s.Picture, s.Job.HlsHue, s.Job.HlsLightness, s.Job.HlsSaturation);
}
void TApplyEffectThread::ProcessFishEye(S& s) {
  int radius = s.Limit(s.Job.FishEyeRadius, std::min(W(s), H(s)) / 2, "Value: ");
  ApplyFishEye(s.Picture, s.Job.FishEyeZoom, radius, s.Job.FishEyeInversion);
}
void TApplyEffectThread::ProcessTexturing(S& s) {
  ApplyTexturing(s.Picture, s.Limit(s.Job.TexturingLevel, W(s) / 2, "Level: "), s.Job.TexturingType);
}
void TApplyEffectThread::ProcessSoftened(S& s) { ApplySoftened(s.Picture, s.Job.SoftenedLevel, s.Job.SoftenedType); }
void TApplyEffectThread::ProcessNoise(S& s) { ApplyNoise(s.Picture, s.Job.NoiseDegree, s.Job.NoiseType); }
void TApplyEffectThread::ProcessShake(S& s) { ApplyShake(s.Picture, s.Job.ShakeValue, s.Job.ShakeDirection); }
void TApplyEffectThread::ProcessRipple(S& s) { ApplyRipple(s.Picture, s.Job.RippleValue, s.Job.RippleType); }
void TApplyEffectThread::ProcessFigure(S& s) {
  ApplyFigure(s.Picture, s.Limit(s.Job.FigureValue, W(s) / 2, "Level: "), s.Job.FigureType);
}
void TApplyEffectThread::ProcessSharpness(S& s) {
  ApplySharpness(s.Picture, s.Job.SharpnessLevel, s.Job.SharpnessType);
}
void TApplyEffectThread::ProcessEmboss(S& s) { ApplyEmboss(s.Picture, s.Job.EmbossLevel, s.Job.EmbossType); }
void TApplyEffectThread::ProcessDetectEdge(S& s) {
  ApplyDetectEdge(s.Picture, s.Job.DetectEdgeLevel, s.Job.DetectEdgeType);
}
void TApplyEffectThread::ProcessIncrease(S& s) { ApplyIncrease(s.Picture, s.Job.IncreaseZoom, s.Job.IncreaseType); }
// The file's own copy of the job's pattern, only read.
void TApplyEffectThread::ProcessWatermark(S& s) {
  if (s.Pattern) ApplyWatermark(s.Picture, *s.Pattern, s.Job.WatermarkLevel, s.Job.WatermarkInverse);
}
// The picture as loaded; kept in proportion, it is resized where it lies,
// stretched, it is drawn onto a second bitmap of the new size. The suffix
// tells the new size.
void TApplyEffectThread::ProcessResize(S& s) {
  const bool kept = s.Job.ResizePreserveAspect;
  TBitmap& result = ResizePicture(s.Picture, kept ? s.Picture : s.Spare, ResizeValuesOf(s.Job));
  if (&result != &s.Picture) s.Result = &result;
  if (kept) {
    s.Log.Add("New width: " + IntToStr(result.Width()));
    s.Log.Add("New height: " + IntToStr(result.Height()));
  }
}
void TApplyEffectThread::ProcessVideo(S& s) { ApplyVideo(s.Picture, s.Job.VideoLightness, s.Job.VideoType); }
void TApplyEffectThread::ProcessFlip(S& s) { ApplyFlip(s.Picture, s.Job.FlipMode); }
void TApplyEffectThread::ProcessRotate(S& s) {
  ApplyRotate(s.Picture, s.Job.RotateAngle, s.Job.RotateSmooth ? 1 : 0);
}

const std::vector<TEffectRoutine>& EffectRoutines() {
  using T = TApplyEffectThread;
  static const std::vector<TEffectRoutine> routines = {
      {"3D grid...", "(3D_grid)", T::Process3DGrid},
      {"Antialias...", "(Antialias)", T::ProcessAntialias},
      {"Auto color enhance", "(Auto_color)", T::ProcessAutoColor},
      {"Blur radial...", "(Blur_radial)", T::ProcessBlurRadial},
      {"Color tone...", "(Color_tone)", T::ProcessColorTone},
      {"Contrast...", "(Contrast)", T::ProcessContrast},
      {"Contrast (auto)", "(Contrast_auto)", T::ProcessContrastAuto},
      {"Convert to selected format", "(Convert)", T::ProcessConvert},
      {"Cylinder...", "(Cylinder)", T::ProcessCylinder},
      {"Fractal...", "(Fractal)", T::ProcessFractal},
      {"Gamma correction...", "(Gamma)", T::ProcessGamma},
      {"Gauss blur...", "(Gauss)", T::ProcessGauss},
      {"Glasstile...", "(Glasstile)", T::ProcessGlasstile},
      {"Greyscale", "(Greyscale)", T::ProcessGreyscale},
      {"Halftone", "(Halftone)", T::ProcessHalftone},
      {"Illusion...", "(Illusion)", T::ProcessIllusion},
      {"Inverse", "(Inverse)", T::ProcessInverse},
      {"Lens fire...", "(LensFire)", T::ProcessLensFire},
      {"Lightness...", "(Lightness)", T::ProcessLightness},
      {"Moire...", "(Moire)", T::ProcessMoire},
      {"Monochrome", "(Monochrome)", T::ProcessMonochrome},
      {"Oil paint...", "(OilPaint)", T::ProcessOilPaint},
      {"Pixelate...", "(Pixelate)", T::ProcessPixelate},
      {"Posterized...", "(Posterized)", T::ProcessPosterized},
      {.Caption = "Puzzle...", .Suffix = "(Puzzle)", .Apply = T::ProcessPuzzle, .DrawsRandom = true},
      {.Caption = "Rain drops...", .Suffix = "(RainDrops)", .Apply = T::ProcessRainDrops, .DrawsRandom = true},
      {"Ribbon...", "(Ribbon)", T::ProcessRibbon},
      {"Spheric...", "(Spheric)", T::ProcessSpheric},
      {"Saturation...", "(Saturation)", T::ProcessSaturation},
      {"Sepia...", "(Sepia)", T::ProcessSepia},
      {"Solorized...", "(Solorized)", T::ProcessSolorized},
      {"Split light...", "(SplitLight)", T::ProcessSplitLight},
      {"Swirl...", "(Swirl)", T::ProcessSwirl},
      {"Threshold...", "(Threshold)", T::ProcessThreshold},
      {"Tile...", "(Tile)", T::ProcessTile},
      {"Twist...", "(Twist)", T::ProcessTwist},
      {"Warp...", "(Warp)", T::ProcessWarp},
      {"Wind...", "(Wind)", T::ProcessWind},
      {"RGB...", "(RGB)", T::ProcessRGB},
      {"Tile reflection...", "(TileReflection)", T::ProcessTileReflection},
      {"HLS...", "(HLS)", T::ProcessHLS},
      {"Fish eye...", "(FishEye)", T::ProcessFishEye},
      {"Texturing...", "(Texturing)", T::ProcessTexturing},
      {"Softened...", "(Softened)", T::ProcessSoftened},
      {.Caption = "Noise...", .Suffix = "(Noise)", .Apply = T::ProcessNoise, .DrawsRandom = true},
      {"Shake...", "(Shake)", T::ProcessShake},
      {.Caption = "Ripple...", .Suffix = "(Ripple)", .Apply = T::ProcessRipple, .DrawsRandom = true},
      {"Figure...", "(Figure)", T::ProcessFigure},
      {"Sharpness...", "(Sharpness)", T::ProcessSharpness},
      {"Emboss...", "(Emboss)", T::ProcessEmboss},
      {"Detect edge...", "(DetectEdge)", T::ProcessDetectEdge},
      {"Increase...", "(Increase)", T::ProcessIncrease},
      {.Caption = "Watermark...", .Suffix = "(Watermark)", .Apply = T::ProcessWatermark, .UsesPattern = true},
      {.Caption = "Resize...",
       .Suffix = "",
       .Apply = T::ProcessResize,
       .SuffixFor = ResizeSuffix,
       .KeepsLoadedFormat = true,
       .ResultSize = ResizeResultSize},
      {"Video...", "(Video)", T::ProcessVideo},
      {.Caption = "Flip", .Suffix = "", .Apply = T::ProcessFlip, .SuffixFor = FlipSuffix, .MatchesFirstFour = true},
      {.Caption = "Rotate...", .Suffix = "(Rotate)", .Apply = T::ProcessRotate, .ResultSize = RotateResultSize},
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
