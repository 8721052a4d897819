// Every effect gives the same bytes on one thread as on several: the
// effects that run in row bands split their rows over the threads, and the
// pictures have sizes that no thread count divides evenly; also when the
// effect runs inside a team of threads, as a run's files do, beside other
// effects whose bands the same threads take up.
#include <omp.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <typeinfo>
#include <utility>
#include <vector>

#include "effects/effectbase.h"
#include "effects/function.h"
#include "tests/effects/effecttest.h"

namespace {

struct TBandCase {
  std::string Name;
  Effect Run;
  bool Draws = false;  // draws from the effects' random generators
};

// The job's defaults and, where an effect has kinds or a size that changes
// how it works, each of them.
std::vector<TBandCase> BandCases() {
  static const auto pattern = MakeNoiseBitmap(37, 23, 5);
  std::vector<TBandCase> cases = {
      {"Illusion", [](TBitmap& b) { ApplyIllusion(b, 10); }},
      {"Moire", [](TBitmap& b) { ApplyMoire(b, 10); }},
      {"Fractal", [](TBitmap& b) { ApplyFractal(b, 2); }},
      {"Fractal 12", [](TBitmap& b) { ApplyFractal(b, 12); }},
      {"ColorTone", [](TBitmap& b) { ApplyColorTone(b, 0x2080C0); }},
      {"AutoColor", [](TBitmap& b) { ApplyAutoColor(b); }},
      {"HLS", [](TBitmap& b) { ApplyHLS(b, 20, 13, 8); }},
      {"Contrast", [](TBitmap& b) { ApplyContrast(b, 150); }},
      {"ContrastAuto", [](TBitmap& b) { ApplyContrastAuto(b); }},
      {"Gamma", [](TBitmap& b) { ApplyGamma(b, 8); }},
      {"Greyscale", [](TBitmap& b) { ApplyGreyscale(b); }},
      {"Halftone", [](TBitmap& b) { ApplyHalftone(b); }},
      {"Inverse", [](TBitmap& b) { ApplyInverse(b); }},
      {"Lightness", [](TBitmap& b) { ApplyLightness(b, -60); }},
      {"Monochrome", [](TBitmap& b) { ApplyMonochrome(b); }},
      {"Posterized", [](TBitmap& b) { ApplyPosterized(b, 40); }},
      {"Saturation", [](TBitmap& b) { ApplySaturation(b, 300); }},
      {"Sepia", [](TBitmap& b) { ApplySepia(b, 35); }},
      {"Solorized", [](TBitmap& b) { ApplySolorized(b, 100); }},
      {"SplitLight", [](TBitmap& b) { ApplySplitLight(b, 3); }},
      {"Threshold", [](TBitmap& b) { ApplyThreshold(b, 128); }},
      {"RGB", [](TBitmap& b) { ApplyRGB(b, 30, -40, 7); }},
      {"LensFire", [](TBitmap& b) { ApplyLensFire(b, 2, 2); }},
      {"LensFire centred", [](TBitmap& b) { ApplyLensFire(b, b.Width() / 2, b.Height() / 2); }},
      {"Gauss", [](TBitmap& b) { ApplyGauss(b, 3); }},
      {"Antialias", [](TBitmap& b) { ApplyAntialias(b, 40); }},
      {"BlurRadial", [](TBitmap& b) { ApplyBlurRadial(b, 10); }},
      {"BlurRadial 90", [](TBitmap& b) { ApplyBlurRadial(b, 90); }},
      {"OilPaint", [](TBitmap& b) { ApplyOilPaint(b, 10, 2); }},
      {"OilPaint 30/6", [](TBitmap& b) { ApplyOilPaint(b, 30, 6); }},
      {"OilPaint 255/2", [](TBitmap& b) { ApplyOilPaint(b, 255, 2); }},
      {"DetectEdge Laplace 100", [](TBitmap& b) { ApplyDetectEdge(b, 100, 0); }},
      {"3DGrid", [](TBitmap& b) { Apply3DGrid(b, 7, 60); }},
      {"Pixelate", [](TBitmap& b) { ApplyPixelate(b, 3); }},
      {"Watermark", [](TBitmap& b) { ApplyWatermark(b, *pattern, 70, false); }},
      {"Cylinder", [](TBitmap& b) { ApplyCylinder(b, 10); }},
      {"Spheric", [](TBitmap& b) { ApplySpheric(b, 50, 50); }},
      {"Swirl", [](TBitmap& b) { ApplySwirl(b, 3); }},
      {"Twist", [](TBitmap& b) { ApplyTwist(b, 50); }},
      {"Twist -7", [](TBitmap& b) { ApplyTwist(b, -7); }},
      {"Warp", [](TBitmap& b) { ApplyWarp(b, 5); }},
      {"FishEye", [](TBitmap& b) { ApplyFishEye(b, 70, 60, false); }},
      {"FishEye inverted", [](TBitmap& b) { ApplyFishEye(b, 70, 60, true); }},
      {"RainDrops", [](TBitmap& b) { ApplyRainDrops(b, 100, 20); }, true},
      {"Puzzle", [](TBitmap& b) { ApplyPuzzle(b, 5, 5); }, true},
      {"ResizeByPercent", [](TBitmap& b) { ResizeByPercent(b, 170); }},
      {"ResizeToWidth", [](TBitmap& b) { ResizeToWidth(b, 100); }},
      {"ResizeToHeight", [](TBitmap& b) { ResizeToHeight(b, 0, 77); }},
      {"ScaleBitmapToFit", [](TBitmap& b) { ScaleBitmapToFit(b, 60, 60); }},
      {"Ribbon", [](TBitmap& b) { ApplyRibbon(b, 50, 50); }},
      {"Wind", [](TBitmap& b) { ApplyWind(b, 9); }},
      {"Glasstile", [](TBitmap& b) { ApplyGlasstile(b, 20, 13); }},
      {"Tile", [](TBitmap& b) { ApplyTile(b, 3); }},
      {"TileReflection", [](TBitmap& b) { ApplyTileReflection(b, 0, 6, 16); }},
      {"TileReflection 80/40/3", [](TBitmap& b) { ApplyTileReflection(b, 80, 40, 3); }},
  };
  for (int type = 0; type <= 5; ++type) {
    cases.push_back({"Softened " + std::to_string(type), [type](TBitmap& b) { ApplySoftened(b, 25, type); }});
    cases.push_back({"Emboss " + std::to_string(type), [type](TBitmap& b) { ApplyEmboss(b, 40, type); }});
  }
  for (int type = 0; type <= 3; ++type) {
    cases.push_back({"Sharpness " + std::to_string(type), [type](TBitmap& b) { ApplySharpness(b, 10, type); }});
    cases.push_back({"DetectEdge " + std::to_string(type), [type](TBitmap& b) { ApplyDetectEdge(b, 40, type); }});
    cases.push_back({"Video " + std::to_string(type), [type](TBitmap& b) { ApplyVideo(b, 40, type); }});
  }
  for (int type = 0; type <= 6; ++type)
    cases.push_back({"Figure " + std::to_string(type), [type](TBitmap& b) { ApplyFigure(b, 40, type); }});
  for (int type = 0; type <= 2; ++type) {
    cases.push_back({"Flip " + std::to_string(type), [type](TBitmap& b) { ApplyFlip(b, type); }});
    cases.push_back({"Noise " + std::to_string(type), [type](TBitmap& b) { ApplyNoise(b, 5, type); }, true});
  }
  for (int type = 0; type <= 1; ++type) {
    cases.push_back({"Increase " + std::to_string(type), [type](TBitmap& b) { ApplyIncrease(b, 2, type); }});
    cases.push_back({"Texturing " + std::to_string(type), [type](TBitmap& b) { ApplyTexturing(b, 10, type); }});
    cases.push_back({"Shake " + std::to_string(type), [type](TBitmap& b) { ApplyShake(b, 20, type); }});
    cases.push_back({"Ripple " + std::to_string(type), [type](TBitmap& b) { ApplyRipple(b, 10, type); }, true});
  }
  for (int degrees : {45, 90, 180, 301})
    cases.push_back({"Rotate " + std::to_string(degrees), [degrees](TBitmap& b) { ApplyRotate(b, degrees, 1); }});
  return cases;
}

// The picture's size and bytes after the effect, or the error it raised.
std::string Bytes(const Effect& effect, int width, int height) {
  auto picture = MakeNoiseBitmap(width, height, 11);
  try {
    effect(*picture);
  } catch (const std::exception& error) {
    return std::string("raised ") + typeid(error).name();
  }
  std::string bytes = std::to_string(picture->Width()) + "x" + std::to_string(picture->Height()) + ":";
  for (int y = 0; y < picture->Height(); ++y)
    bytes.append(reinterpret_cast<const char*>(picture->ScanLine(y)), 3 * static_cast<size_t>(picture->Width()));
  return bytes;
}

// Bytes on the given number of threads, the random generators started
// afresh.
std::string Outcome(const Effect& effect, int width, int height, int threads) {
  omp_set_num_threads(threads);
  ResetEffectRandomGenerators();
  return Bytes(effect, width, height);
}

// Bytes of the effect on three pictures inside one team, as a run works on
// its files: each picture a task, the bands of all taken up by whichever
// thread is idle, one thread more waiting aside (as a run's producer). The
// effects that draw random numbers take their turns, each from fresh
// generators, as a run orders them.
std::vector<std::string> OutcomesInTeam(const TBandCase& effect, int width, int height, int threads) {
  std::vector<std::string> outcomes(3);
#pragma omp parallel num_threads(threads + 1)
#pragma omp single
  {
    omp_set_num_threads(threads);
    for (std::string& outcome : outcomes) {
      if (effect.Draws) {
        ResetEffectRandomGenerators();
        outcome = Bytes(effect.Run, width, height);
      } else {
#pragma omp task shared(effect, outcome) firstprivate(width, height)
        outcome = Bytes(effect.Run, width, height);
      }
    }
#pragma omp taskwait
  }
  return outcomes;
}

}  // namespace

TEST(BandIdentity, SeveralThreadsGiveTheBytesOfOne) {
  const int most = omp_get_max_threads();
  // Bands from far smaller pictures than a run splits, so that the odd
  // sizes here are split.
  BandThresholdPixels = 4096;
  for (const TBandCase& effect : BandCases())
    for (auto [w, h] : {std::pair{1, 1}, {3, 5}, {257, 131}}) {
      const std::string alone = Outcome(effect.Run, w, h, 1);
      for (int threads : {3, 8})
        EXPECT_TRUE(Outcome(effect.Run, w, h, threads) == alone) << effect.Name << " " << w << "x" << h << " on "
                                                                 << threads << " threads";
      omp_set_num_threads(most);
      for (const std::string& inTeam : OutcomesInTeam(effect, w, h, 8))
        EXPECT_TRUE(inTeam == alone) << effect.Name << " " << w << "x" << h << " in a team";
    }
  omp_set_num_threads(most);
  BandThresholdPixels = kBandThresholdPixels;
}

TEST(BandIdentity, AFailureInABandIsRaisedOnceAllBandsHaveEnded) {
  // Rows 100 and 200 fail: the first in the rows' order is raised, after
  // every band has ended, on one thread, in a team of the bands' own and
  // inside a run's team alike.
  const int most = omp_get_max_threads();
  BandThresholdPixels = 4096;
  auto failure = [](std::atomic<int>* ended) {
    try {
      ForEachRowInBands(257, 300, [ended](int y) {
        if (y == 100 || y == 200) throw std::runtime_error("row " + std::to_string(y));
        ++*ended;
      });
    } catch (const std::runtime_error& error) {
      return std::string(error.what());
    }
    return std::string("none");
  };
  for (int threads : {1, 8}) {
    omp_set_num_threads(threads);
    std::atomic<int> ended{0};
    EXPECT_EQ(failure(&ended), "row 100") << threads;
    std::string inTeam;
    std::atomic<int> endedInTeam{0};
#pragma omp parallel num_threads(threads + 1)
#pragma omp single
    {
      omp_set_num_threads(threads);
      inTeam = failure(&endedInTeam);
    }
    EXPECT_EQ(inTeam, "row 100") << threads;
    if (threads > 1) {
      // Every band ran to its end but the two that failed.
      EXPECT_GE(ended.load(), 255 - 2 * BandsOf(257, 300, threads).Size);
      EXPECT_GE(endedInTeam.load(), 255 - 2 * BandsOf(257, 300, threads).Size);
    }
  }
  omp_set_num_threads(most);
  BandThresholdPixels = kBandThresholdPixels;
}
