#include "engine/effectcatalogue.h"

#include "platform/graphics/colornames.h"

const char* const ConvertCaption = "Convert to selected format";

namespace {

using Lines = std::vector<std::string>;
using W = TSummaryWording;
using J = TJobRecord;

std::string N(int value) { return IntToStr(value); }
std::string Flag(const char* label, bool value) { return std::string(label) + (value ? "true" : "false"); }
// "New width: undefined" for a size not yet chosen, in the list's wording.
std::string Size(const char* label, int value, W wording) {
  return std::string(label) + (value == 0 && wording == W::List ? "undefined" : N(value));
}

Lines NoParameters(const J&, W) { return {"No parameters"}; }

Lines ResizeLines(const J& j, W w) {
  // A scale type outside the three known ones shows as its number.
  std::string scaleType = j.ResizeScaleType >= 0 && j.ResizeScaleType < static_cast<int>(j.ScaleTypeNames.size())
                              ? j.ScaleTypeNames[j.ResizeScaleType]
                              : N(j.ResizeScaleType);
  return {Size("New width: ", j.ResizeWidth, w), Size("New height: ", j.ResizeHeight, w),
          Flag("Preserve aspect ratio: ", j.ResizePreserveAspect), "Scale type: " + scaleType,
          "Scale: " + N(j.ResizePercent) + "%"};
}

Lines WatermarkLines(const J& j, W) {
  Lines lines = {"Level: " + N(j.WatermarkLevel), Flag("Inverse: ", j.WatermarkInverse)};
  if (j.WatermarkFromFile) {
    lines.push_back("From file: true");
    lines.push_back("Pattern file: " + ExtractFileName(j.WatermarkFile));
  } else {
    lines.push_back("From file: false");
    lines.push_back("Pattern color: " + ColorToString(j.WatermarkColor));
  }
  return lines;
}

constexpr auto None = TEffectDialog::None;
constexpr auto One = TEffectDialog::TFormEffect;
constexpr auto Two = TEffectDialog::TFormTwoTrack;
constexpr auto Rgb = TEffectDialog::TFormRGB;
constexpr auto Fish = TEffectDialog::TFormFishEye;
constexpr auto Group = TEffectDialog::TFormGroupEffect;
constexpr auto Pattern = TEffectDialog::TFormPattern;
constexpr auto Resize = TEffectDialog::TFormResize;
constexpr auto Simple = TEffectDialog::TFormSimpleEffect;

constexpr int TJobRecord::*OneKind = &J::OneTrackKind;
constexpr int TJobRecord::*TwoKind = &J::TwoTrackKind;
constexpr int TJobRecord::*RgbKind = &J::RgbKind;
constexpr int TJobRecord::*GroupKind = &J::GroupEffectKind;
constexpr int TJobRecord::*SimpleKind = &J::SimpleEffectKind;

// One line "label value" per member, for the many entries that are just that.
#define L1(a, m) [](const J& j, W) -> Lines { return {a + N(j.m)}; }
#define L2(a, m, b, n) [](const J& j, W) -> Lines { return {a + N(j.m), b + N(j.n)}; }
#define L3(a, m, b, n, c, o) [](const J& j, W) -> Lines { return {a + N(j.m), b + N(j.n), c + N(j.o)}; }

const std::array<TEffectEntry, EffectCount> Catalogue = {{
    {"3D grid...", 0, 38, Two, TwoKind, 0, -1, L2("Grid step: ", GridStep, "Grid transparency: ", GridTransparency)},
    {"Antialias...", 1, 0, One, OneKind, 0, -1, L1("Antialias: ", AntialiasPasses)},
    {"Auto color enhance", 2, 51, Simple, SimpleKind, 0, -1, NoParameters},
    {"Blur radial...", 3, 50, One, OneKind, 1, -1, L1("Blur angle: ", BlurAngle)},
    {"Color tone...", 4, 37, Rgb, RgbKind, 2, -1,
     L3("Red tone: ", RedTone, "Green tone: ", GreenTone, "Blue tone: ", BlueTone)},
    {"Contrast...", 5, 41, One, OneKind, 2, -1, L1("Contrast range: ", ContrastRange)},
    {"Contrast (auto)", 6, 32, Simple, SimpleKind, 1, -1, NoParameters},
    {"Convert to selected format", 7, 24, None, nullptr, -1, -1,
     [](const J& j, W) -> Lines { return {"Convert all files to: " + j.TargetExtension}; }},
    {"Cylinder...", 8, 33, One, OneKind, 3, -1, L1("Stretch: ", CylinderStretch)},
    {"Detect edge...", 9, 47, Group, GroupKind, 8, -1, L2("Level: ", DetectEdgeLevel, "Type: ", DetectEdgeType)},
    {"Emboss...", 10, 56, Group, GroupKind, 7, -1, L2("Level: ", EmbossLevel, "Type: ", EmbossType)},
    {"Figure...", 11, 43, Group, GroupKind, 5, -1, L2("Value: ", FigureValue, "Type: ", FigureType)},
    {"Fish eye...", 12, 1, Fish, nullptr, -1, -1,
     [](const J& j, W) -> Lines {
       return {"Zoom: " + N(j.FishEyeZoom), "Radius: " + N(j.FishEyeRadius), Flag("Inversion: ", j.FishEyeInversion)};
     }},
    {"Flip (horizontal)", 13, 7, Simple, SimpleKind, 2, 0, NoParameters},
    {"Flip (vertical)", 14, 12, Simple, SimpleKind, 3, 1, NoParameters},
    {"Flip (horiz/vert)", 15, 18, Simple, SimpleKind, 4, 2, NoParameters},
    {"Fractal...", 16, 48, One, OneKind, 4, -1, L1("Fractal: ", FractalIterations)},
    {"Gamma correction...", 17, 2, One, OneKind, 5, -1,
     [](const J& j, W) -> Lines { return {"Gamma: " + FormatFloat("#,#0.0", (j.GammaValue + 2) * 0.1)}; }},
    {"Gauss blur...", 18, 3, One, OneKind, 6, -1, L1("Gauss: ", GaussPasses)},
    {"Glasstile...", 19, 49, Two, TwoKind, 1, -1, L2("TileX: ", GlasstileX, "TileY: ", GlasstileY)},
    {"Greyscale", 20, 4, Simple, SimpleKind, 5, -1, NoParameters},
    {"Halftone", 21, 46, Simple, SimpleKind, 6, -1, NoParameters},
    {"HLS...", 22, 5, Rgb, RgbKind, 1, -1,
     [](const J& j, W) -> Lines {
       return {"Hue: " + FormatFloat("###0", (j.HlsHue - 15) * 10.0),
               "Lightness: " + FormatFloat("#,#0.0", (j.HlsLightness - 10) * 0.1),
               "Saturation: " + FormatFloat("#,#0.0", (j.HlsSaturation - 10) * 0.1)};
     }},
    {"Illusion...", 23, 34, One, OneKind, 7, -1, L1("Amount: ", IllusionAmount)},
    {"Increase...", 24, 57, Group, GroupKind, 9, -1, L2("Zoom: ", IncreaseZoom, "Type: ", IncreaseType)},
    {"Inverse", 25, 6, Simple, SimpleKind, 7, -1, NoParameters},
    {"Lens fire...", 26, 54, Two, TwoKind, 2, -1, L2("Lens fire X: ", LensFireX, "Lens fire Y: ", LensFireY)},
    {"Lightness...", 27, 44, One, OneKind, 8, -1, L1("Lightness: ", LightnessAmount)},
    {"Moire...", 28, 8, One, OneKind, 9, -1, L1("Moire degree: ", MoireDegree)},
    {"Monochrome", 29, 42, Simple, SimpleKind, 8, -1, NoParameters},
    {"Noise...", 30, 9, Group, GroupKind, 2, -1, L2("Degree: ", NoiseDegree, "Type: ", NoiseType)},
    {"Oil paint...", 31, 10, Two, TwoKind, 3, -1, L2("Oil smooth: ", OilSmooth, "Oil brush: ", OilBrush)},
    {"Pixelate...", 32, 11, One, OneKind, 10, -1, L1("Pixel size: ", PixelSize)},
    {"Posterized...", 33, 13, One, OneKind, 11, -1, L1("Posterize: ", PosterizeStep)},
    {"Puzzle...", 34, 14, Two, TwoKind, 4, -1,
     [](const J& j, W w) -> Lines {
       return {(w == W::List ? "Across: " : "Accross: ") + N(j.PuzzleAcross), "Down: " + N(j.PuzzleDown)};
     }},
    {"Rain drops...", 35, 15, Two, TwoKind, 5, -1,
     L2("Amount of drops: ", RainDropCount, "Size of drops: ", RainDropSize)},
    {"Resize...", 36, 58, Resize, nullptr, -1, -1, ResizeLines},
    {"RGB...", 37, 17, Rgb, RgbKind, 0, -1, L3("Red: ", RgbRed, "Green: ", RgbGreen, "Blue: ", RgbBlue)},
    {"Ribbon...", 38, 35, Two, TwoKind, 6, -1, L2("Width: ", RibbonWidth, "Frequency: ", RibbonFrequency)},
    {"Ripple...", 39, 16, Group, GroupKind, 4, -1, L2("Value: ", RippleValue, "Type: ", RippleType)},
    {"Rotate...", 40, 27, Group, GroupKind, 11, -1,
     [](const J& j, W w) -> Lines {
       return {"Angle: " + N(j.RotateAngle), Flag(w == W::List ? "Type: " : "Smooth: ", j.RotateSmooth)};
     }},
    {"Saturation...", 41, 45, One, OneKind, 12, -1, L1("Depth: ", SaturationDepth)},
    {"Sepia...", 42, 40, One, OneKind, 13, -1, L1("Value: ", SepiaValue)},
    {"Shake...", 43, 19, Group, GroupKind, 3, -1, L2("Value: ", ShakeValue, "Direction: ", ShakeDirection)},
    {"Sharpness...", 44, 55, Group, GroupKind, 6, -1, L2("Level: ", SharpnessLevel, "Type: ", SharpnessType)},
    {"Softened...", 45, 20, Group, GroupKind, 1, -1, L2("Level: ", SoftenedLevel, "Type: ", SoftenedType)},
    {"Solorized...", 46, 21, One, OneKind, 14, -1, L1("Value: ", SolorizedValue)},
    {"Spheric...", 47, 22, Two, TwoKind, 7, -1, L2("Sphere X: ", SphereX, "Sphere Y: ", SphereY)},
    {"Split light...", 48, 31, One, OneKind, 15, -1, L1("Value: ", SplitLightValue)},
    {"Swirl...", 49, 23, One, OneKind, 16, -1, L1("Degree: ", SwirlDegree)},
    {"Texturing...", 50, 25, Group, GroupKind, 0, -1, L2("Level: ", TexturingLevel, "Type: ", TexturingType)},
    {"Threshold...", 51, 36, One, OneKind, 17, -1, L1("Level: ", ThresholdLevel)},
    {"Tile...", 52, 26, One, OneKind, 18, -1, L1("Value: ", TileValue)},
    {"Tile reflection...", 53, 53, Rgb, RgbKind, 3, -1,
     [](const J& j, W) -> Lines {
       return {"Angle: " + N(j.TileReflectionAngle - 45), "Square size: " + N(j.TileReflectionSize),
               "Curvature: " + N(j.TileReflectionCurvature - 20)};
     }},
    {"Twist...", 54, 28, One, OneKind, 19, -1, L1("Value: ", TwistValue)},
    {"Video...", 55, 39, Group, GroupKind, 10, -1, L2("Lightness: ", VideoLightness, "Type: ", VideoType)},
    {"Warp...", 56, 29, One, OneKind, 20, -1, L1("Factor: ", WarpFactor)},
    {"Watermark...", 57, 52, Pattern, nullptr, -1, -1, WatermarkLines},
    {"Wind...", 58, 30, One, OneKind, 21, -1, L1("Level: ", WindLevel)},
}};

#undef L1
#undef L2
#undef L3

}  // namespace

std::string TEffectEntry::Hint() const {
  if (IsConvert()) return {};
  std::string caption = Caption;
  if (caption.size() > 3 && caption.compare(caption.size() - 3, 3, "...") == 0)
    return "Setting for " + caption.substr(0, caption.size() - 3) + " effect";
  return "Preview for " + caption + " effect";
}

const std::array<TEffectEntry, EffectCount>& EffectCatalogue() { return Catalogue; }

const TEffectEntry* FindEffectEntry(const std::string& name) {
  for (const TEffectEntry& entry : Catalogue)
    if (SameText(name, entry.Caption)) return &entry;
  return nullptr;
}

const TEffectEntry* EffectEntryAtVisibleIndex(int visibleIndex) {
  for (const TEffectEntry& entry : Catalogue)
    if (entry.VisibleIndex == visibleIndex) return &entry;
  return nullptr;
}

std::vector<std::string> AllEffectCaptions() {
  std::vector<std::string> captions;
  for (const TEffectEntry& entry : Catalogue) captions.push_back(entry.Caption);
  return captions;
}

void TJobRecord::FillAllEffectNames() {
  AllEffectNames.Clear();
  for (const TEffectEntry& entry : Catalogue) AllEffectNames.Add(entry.Caption);
}
