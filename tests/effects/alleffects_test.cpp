// Every effect on pictures without pixels, on tiny ones and with arguments
// far outside the dialogs' ranges: no crash and no access outside the
// picture (the sanitizer build checks that), only the documented errors.
#include <algorithm>
#include <climits>
#include <set>
#include <utility>
#include <vector>

#include "effects/function.h"
#include "tests/effects/effecttest.h"

namespace {

using Args = std::vector<int>;
using TRun = std::function<void(TBitmap&, const Args&)>;

// Runs an effect whose parameters after the picture are ints (or a bool)
// with the arguments in order.
template <typename... P, size_t... I>
void Invoke(void (*effect)(TBitmap&, P...), TBitmap& picture, const Args& args, std::index_sequence<I...>) {
  effect(picture, static_cast<P>(args[I])...);
}
template <typename... P>
TRun Call(void (*effect)(TBitmap&, P...)) {
  return [effect](TBitmap& b, const Args& a) { Invoke(effect, b, a, std::index_sequence_for<P...>{}); };
}

struct TEffectCase {
  const char* Name;
  TRun Run;
  Args Defaults;          // the job's defaults
  bool KeepsFlat = true;  // a flat picture stays flat
  bool KeepsSize = true;  // Rotate and the resizes change it
  int Most = INT_MAX;     // the largest argument worth a run (counts of passes)
};

// The watermark with the job's pattern when it has no pattern file.
void ApplyGreenWatermark(TBitmap& picture, int level, bool inverse) {
  static const auto pattern = MakeFlatBitmap(60, 60, 0x008000);
  ApplyWatermark(picture, *pattern, level, inverse);
}

const TEffectCase kEffects[] = {
    {"Illusion", Call(ApplyIllusion), {10}}, {"Moire", Call(ApplyMoire), {10}},
    {"Fractal", Call(ApplyFractal), {2}, true, true, 40}, {"ColorTone", Call(ApplyColorTone), {0x808080}},
    {"AutoColor", Call(ApplyAutoColor), {}}, {"HLS", Call(ApplyHLS), {15, 10, 10}},
    {"Contrast", Call(ApplyContrast), {100}}, {"ContrastAuto", Call(ApplyContrastAuto), {}},
    {"Gamma", Call(ApplyGamma), {8}}, {"Greyscale", Call(ApplyGreyscale), {}},
    {"Halftone", Call(ApplyHalftone), {}, false}, {"Inverse", Call(ApplyInverse), {}},
    {"Lightness", Call(ApplyLightness), {100}}, {"Monochrome", Call(ApplyMonochrome), {}},
    {"Posterized", Call(ApplyPosterized), {1}}, {"Saturation", Call(ApplySaturation), {100}},
    {"Sepia", Call(ApplySepia), {35}}, {"Solorized", Call(ApplySolorized), {255}},
    {"SplitLight", Call(ApplySplitLight), {3}}, {"Threshold", Call(ApplyThreshold), {128}},
    {"RGB", Call(ApplyRGB), {0, 0, 0}}, {"Flip", Call(ApplyFlip), {2}},
    {"Rotate", Call(ApplyRotate), {45, 1}, false, false}, {"Increase", Call(ApplyIncrease), {2, 0}},
    {"LensFire", Call(ApplyLensFire), {2, 2}, false}, {"Gauss", Call(ApplyGauss), {1}, true, true, 1000},
    {"Antialias", Call(ApplyAntialias), {2}, true, true, 1000}, {"BlurRadial", Call(ApplyBlurRadial), {10}},
    {"OilPaint", Call(ApplyOilPaint), {10, 2}}, {"Softened", Call(ApplySoftened), {25, 0}},
    {"Sharpness", Call(ApplySharpness), {10, 0}}, {"Emboss", Call(ApplyEmboss), {40, 0}},
    {"DetectEdge", Call(ApplyDetectEdge), {40, 0}, false}, {"3DGrid", Call(Apply3DGrid), {32, 60}, false},
    {"Pixelate", Call(ApplyPixelate), {3}}, {"Watermark", Call(ApplyGreenWatermark), {70, 0}},
    {"Video", Call(ApplyVideo), {40, 0}, false}, {"Cylinder", Call(ApplyCylinder), {10}},
    {"Spheric", Call(ApplySpheric), {50, 50}}, {"Swirl", Call(ApplySwirl), {3}},
    {"Twist", Call(ApplyTwist), {50}, false}, {"Warp", Call(ApplyWarp), {5}},
    {"FishEye", Call(ApplyFishEye), {70, 40, 0}}, {"Noise", Call(ApplyNoise), {5, 0}},
    {"RainDrops", Call(ApplyRainDrops), {100, 20}, false}, {"Puzzle", Call(ApplyPuzzle), {5, 5}},
    {"ResizeToWidth", Call(ResizeToWidth), {14}, true, false},
    {"ResizeToHeight", Call(ResizeToHeight), {0, 14}, true, false},
    {"ResizeByPercent", Call(ResizeByPercent), {100}},
    {"ScaleBitmapToFit", Call(ScaleBitmapToFit), {9, 9}, true, false},
    {"Ribbon", Call(ApplyRibbon), {50, 50}}, {"Wind", Call(ApplyWind), {5}},
    {"Texturing", Call(ApplyTexturing), {10, 0}}, {"Figure", Call(ApplyFigure), {40, 1}, false},
    {"Glasstile", Call(ApplyGlasstile), {20, 20}}, {"Tile", Call(ApplyTile), {2}},
    {"TileReflection", Call(ApplyTileReflection), {0, 6, 16}}, {"Shake", Call(ApplyShake), {20, 0}},
    {"Ripple", Call(ApplyRipple), {10, 0}},
};

// The defaults with one argument at a time replaced by each of these values.
// The defaults themselves come first.
std::vector<Args> OddArguments(const TEffectCase& effect) {
  std::vector<Args> odd = {effect.Defaults};
  for (size_t i = 0; i < effect.Defaults.size(); ++i)
    for (int v : {INT_MIN, -7, -2, -1, 0, 1, 2, 3, 4, 5, 6, 20, 1000, INT_MAX}) {
      odd.push_back(effect.Defaults);
      odd.back()[i] = std::min(v, effect.Most);
    }
  return odd;
}

}  // namespace

TEST(AllEffects, OddArgumentsOnEmptyAndTinyPictures) {
  // The defaults work on any picture but for a single pixel's Illusion
  // (its half diagonal truncates to 0). Arguments the dialogs never pass
  // may raise a maths error, run out of memory, or (for a resize) ask for a
  // negative size; nothing else. A picture without pixels returns before
  // anything could fail.
  for (const TEffectCase& effect : kEffects)
    for (const Args& args : OddArguments(effect))
      for (auto [w, h] : {std::pair{0, 4}, {4, 0}, {1, 1}, {1, 7}, {7, 1}, {2, 3}, {17, 9}}) {
        auto picture = MakeTestBitmap(w, h);
        const bool illusionPixel = effect.Name == std::string("Illusion") && w * h == 1;
        if (w * h == 0 || (args == effect.Defaults && !illusionPixel)) {
          EXPECT_NO_THROW(effect.Run(*picture, args)) << effect.Name << " " << w << "x" << h;
          EXPECT_TRUE((w * h > 0 && !effect.KeepsSize) || (picture->Width() == w && picture->Height() == h)) << effect.Name;
          continue;
        }
        try {
          effect.Run(*picture, args);
        } catch (const EMathError&) {
        } catch (const EIntError&) {
        } catch (const EOutOfMemory&) {
        } catch (const EInvalidGraphicOperation&) {
          EXPECT_TRUE(!effect.KeepsSize || effect.Name == std::string("ResizeByPercent")) << effect.Name;
        }
      }
}

TEST(AllEffects, FlatPicturesStayFlat) {
  for (const TEffectCase& effect : kEffects) {
    if (!effect.KeepsFlat) continue;
    auto picture = MakeFlatBitmap(25, 19, RGB(17, 128, 250));
    effect.Run(*picture, effect.Defaults);
    const TColor colour = PixelAt(*picture, 0, 0);
    EXPECT_TRUE(SameColors(*picture, *MakeFlatBitmap(picture->Width(), picture->Height(), colour)))
        << effect.Name;
  }
}

TEST(AllEffects, EffectsThatTreatTheChannelsAlikeDoSoForEachChannel) {
  // Every effect but those that weigh or colour the channels differently,
  // at the job's defaults: with the channels of the picture moved round
  // (red to green, green to blue, blue to red), the result's channels move
  // round the same way. A channel that an effect drops, swaps or works out
  // from another channel's value breaks this.
  const std::set<std::string> unlike = {"ColorTone", "AutoColor", "HLS",      "Greyscale", "Halftone",
                                        "Sepia",     "Threshold", "LensFire", "Video",     "OilPaint"};
  auto turned = [](TBitmap& picture) {
    for (int y = 0; y < picture.Height(); ++y)
      for (uint8_t* p = picture.ScanLine(y); p < picture.ScanLine(y) + 3 * picture.Width(); p += 3)
        std::rotate(p, p + 1, p + 3);
  };
  for (const TEffectCase& effect : kEffects) {
    if (unlike.count(effect.Name)) continue;
    auto straight = MakeChannelBitmap(41, 27), turnedFirst = MakeChannelBitmap(41, 27);
    turned(*turnedFirst);
    ResetEffectRandomGenerators();
    effect.Run(*straight, effect.Defaults);
    ResetEffectRandomGenerators();
    effect.Run(*turnedFirst, effect.Defaults);
    turned(*straight);
    EXPECT_TRUE(SameColors(*straight, *turnedFirst)) << effect.Name;
  }
}
