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

// The parameters the steps limit to a width x height picture, each logged
// when it is limited; the steps and the lines of a file refused before it
// is loaded (TEffectRoutine::SizeLines) take them from here.
using TLog = TStringList;
int GridStep(const TJobValues& j, int w, int h, TLog& log) {
  return LimitParameter(j.GridStep, std::max(w, h) / 2, "Grid step: ", log);
}
std::pair<int, int> LensFirePlace(const TJobValues& j, int w, int h, TLog& log) {
  const int x = LimitParameter(j.LensFireX, w, "Lens fire X: ", log);
  return {x, LimitParameter(j.LensFireY, h, "Lens fire Y: ", log)};
}
std::pair<int, int> PuzzlePieces(const TJobValues& j, int w, int h, TLog& log) {
  const int across = LimitParameter(j.PuzzleAcross, w, "Accross: ", log);
  return {across, LimitParameter(j.PuzzleDown, h, "Down: ", log)};
}
std::pair<int, int> SpherePlace(const TJobValues& j, int w, int h, TLog& log) {
  const int x = LimitParameter(j.SphereX, w, "Sphere X: ", log);
  return {x, LimitParameter(j.SphereY, h, "Sphere Y: ", log)};
}
int TileCount(const TJobValues& j, int w, int h, TLog& log) {
  return LimitParameter(j.TileValue, std::min(w / 5, h / 5), "Value: ", log);
}
int FishEyeRadius(const TJobValues& j, int w, int h, TLog& log) {
  return LimitParameter(j.FishEyeRadius, std::min(w, h) / 2, "Value: ", log);
}
int TexturingLevel(const TJobValues& j, int w, int, TLog& log) {
  return LimitParameter(j.TexturingLevel, w / 2, "Level: ", log);
}
int FigureLevel(const TJobValues& j, int w, int, TLog& log) {
  return LimitParameter(j.FigureValue, w / 2, "Level: ", log);
}
// The lines alone of a limit above.
template <auto Limits>
void LinesOf(const TJobValues& j, int w, int h, TLog& log) {
  Limits(j, w, h, log);
}

// A resize in proportion tells the size it gave.
void ResizeLines(int width, int height, TLog& log) {
  log.Add("New width: " + IntToStr(width));
  log.Add("New height: " + IntToStr(height));
}
void ResizeSizeLines(const TJobValues& j, int w, int h, TLog& log) {
  if (!j.ResizePreserveAspect) return;
  const TResizedSize size = ResizeResultSize(j, w, h);
  ResizeLines(int(size.Width), int(size.Height), log);
}

}  // namespace

void TApplyEffectThread::Process3DGrid(S& s) {
  Apply3DGrid(s.Picture, GridStep(s.Job, W(s), H(s), s.Log), s.Job.GridTransparency);
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
  const auto [x, y] = LensFirePlace(s.Job, W(s), H(s), s.Log);
  ApplyLensFire(s.Picture, x, y);
}
void TApplyEffectThread::ProcessLightness(S& s) { ApplyLightness(s.Picture, s.Job.LightnessAmount); }
void TApplyEffectThread::ProcessMoire(S& s) { ApplyMoire(s.Picture, s.Job.MoireDegree); }
void TApplyEffectThread::ProcessMonochrome(S& s) { ApplyMonochrome(s.Picture); }
void TApplyEffectThread::ProcessOilPaint(S& s) { ApplyOilPaint(s.Picture, s.Job.OilSmooth, s.Job.OilBrush); }
void TApplyEffectThread::ProcessPixelate(S& s) { ApplyPixelate(s.Picture, s.Job.PixelSize); }
void TApplyEffectThread::ProcessPosterized(S& s) { ApplyPosterized(s.Picture, s.Job.PosterizeStep); }
void TApplyEffectThread::ProcessPuzzle(S& s) {
  const auto [across, down] = PuzzlePieces(s.Job, W(s), H(s), s.Log);
  ApplyPuzzle(s.Picture, across, down);
}
void TApplyEffectThread::ProcessRainDrops(S& s) {
  ApplyRainDrops(s.Picture, s.Job.RainDropCount, s.Job.RainDropSize);
}
void TApplyEffectThread::ProcessRibbon(S& s) { ApplyRibbon(s.Picture, s.Job.RibbonWidth, s.Job.RibbonFrequency); }
void TApplyEffectThread::ProcessSpheric(S& s) {
  const auto [x, y] = SpherePlace(s.Job, W(s), H(s), s.Log);
  ApplySpheric(s.Picture, x, y);
}
void TApplyEffectThread::ProcessSaturation(S& s) { ApplySaturation(s.Picture, s.Job.SaturationDepth); }
void TApplyEffectThread::ProcessSepia(S& s) { ApplySepia(s.Picture, s.Job.SepiaValue); }
void TApplyEffectThread::ProcessSolorized(S& s) { ApplySolorized(s.Picture, s.Job.SolorizedValue); }
void TApplyEffectThread::ProcessSplitLight(S& s) { ApplySplitLight(s.Picture, s.Job.SplitLightValue); }
void TApplyEffectThread::ProcessSwirl(S& s) { ApplySwirl(s.Picture, s.Job.SwirlDegree); }
void TApplyEffectThread::ProcessThreshold(S& s) { ApplyThreshold(s.Picture, s.Job.ThresholdLevel); }
void TApplyEffectThread::ProcessTile(S& s) { ApplyTile(s.Picture, TileCount(s.Job, W(s), H(s), s.Log)); }
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
  ApplyFishEye(s.Picture, s.Job.FishEyeZoom, FishEyeRadius(s.Job, W(s), H(s), s.Log), s.Job.FishEyeInversion);
}
void TApplyEffectThread::ProcessTexturing(S& s) {
  ApplyTexturing(s.Picture, TexturingLevel(s.Job, W(s), H(s), s.Log), s.Job.TexturingType);
}
void TApplyEffectThread::ProcessSoftened(S& s) { ApplySoftened(s.Picture, s.Job.SoftenedLevel, s.Job.SoftenedType); }
void TApplyEffectThread::ProcessNoise(S& s) { ApplyNoise(s.Picture, s.Job.NoiseDegree, s.Job.NoiseType); }
void TApplyEffectThread::ProcessShake(S& s) { ApplyShake(s.Picture, s.Job.ShakeValue, s.Job.ShakeDirection); }
void TApplyEffectThread::ProcessRipple(S& s) { ApplyRipple(s.Picture, s.Job.RippleValue, s.Job.RippleType); }
void TApplyEffectThread::ProcessFigure(S& s) {
  ApplyFigure(s.Picture, FigureLevel(s.Job, W(s), H(s), s.Log), s.Job.FigureType);
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
  if (kept) ResizeLines(result.Width(), result.Height(), s.Log);
}
void TApplyEffectThread::ProcessVideo(S& s) { ApplyVideo(s.Picture, s.Job.VideoLightness, s.Job.VideoType); }
void TApplyEffectThread::ProcessFlip(S& s) { ApplyFlip(s.Picture, s.Job.FlipMode); }
void TApplyEffectThread::ProcessRotate(S& s) {
  ApplyRotate(s.Picture, s.Job.RotateAngle, s.Job.RotateSmooth ? 1 : 0);
}

const std::vector<TEffectRoutine>& EffectRoutines() {
  using T = TApplyEffectThread;
  static const std::vector<TEffectRoutine> routines = {
      {.Caption = "3D grid...", .Suffix = "(3D_grid)", .Apply = T::Process3DGrid, .SizeLines = LinesOf<GridStep>},
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
      {.Caption = "Lens fire...",
       .Suffix = "(LensFire)",
       .Apply = T::ProcessLensFire,
       .SizeLines = LinesOf<LensFirePlace>},
      {"Lightness...", "(Lightness)", T::ProcessLightness},
      {"Moire...", "(Moire)", T::ProcessMoire},
      {"Monochrome", "(Monochrome)", T::ProcessMonochrome},
      {"Oil paint...", "(OilPaint)", T::ProcessOilPaint},
      {"Pixelate...", "(Pixelate)", T::ProcessPixelate},
      {"Posterized...", "(Posterized)", T::ProcessPosterized},
      {.Caption = "Puzzle...",
       .Suffix = "(Puzzle)",
       .Apply = T::ProcessPuzzle,
       .DrawsRandom = true,
       .SizeLines = LinesOf<PuzzlePieces>},
      {.Caption = "Rain drops...", .Suffix = "(RainDrops)", .Apply = T::ProcessRainDrops, .DrawsRandom = true},
      {"Ribbon...", "(Ribbon)", T::ProcessRibbon},
      {.Caption = "Spheric...", .Suffix = "(Spheric)", .Apply = T::ProcessSpheric, .SizeLines = LinesOf<SpherePlace>},
      {"Saturation...", "(Saturation)", T::ProcessSaturation},
      {"Sepia...", "(Sepia)", T::ProcessSepia},
      {"Solorized...", "(Solorized)", T::ProcessSolorized},
      {"Split light...", "(SplitLight)", T::ProcessSplitLight},
      {"Swirl...", "(Swirl)", T::ProcessSwirl},
      {"Threshold...", "(Threshold)", T::ProcessThreshold},
      {.Caption = "Tile...", .Suffix = "(Tile)", .Apply = T::ProcessTile, .SizeLines = LinesOf<TileCount>},
      {"Twist...", "(Twist)", T::ProcessTwist},
      {"Warp...", "(Warp)", T::ProcessWarp},
      {"Wind...", "(Wind)", T::ProcessWind},
      {"RGB...", "(RGB)", T::ProcessRGB},
      {"Tile reflection...", "(TileReflection)", T::ProcessTileReflection},
      {"HLS...", "(HLS)", T::ProcessHLS},
      {.Caption = "Fish eye...",
       .Suffix = "(FishEye)",
       .Apply = T::ProcessFishEye,
       .SizeLines = LinesOf<FishEyeRadius>},
      {.Caption = "Texturing...",
       .Suffix = "(Texturing)",
       .Apply = T::ProcessTexturing,
       .SizeLines = LinesOf<TexturingLevel>},
      {"Softened...", "(Softened)", T::ProcessSoftened},
      {.Caption = "Noise...", .Suffix = "(Noise)", .Apply = T::ProcessNoise, .DrawsRandom = true},
      {"Shake...", "(Shake)", T::ProcessShake},
      {.Caption = "Ripple...", .Suffix = "(Ripple)", .Apply = T::ProcessRipple, .DrawsRandom = true},
      {.Caption = "Figure...", .Suffix = "(Figure)", .Apply = T::ProcessFigure, .SizeLines = LinesOf<FigureLevel>},
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
       .ResultSize = ResizeResultSize,
       .SizeLines = ResizeSizeLines},
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
