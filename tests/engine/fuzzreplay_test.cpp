// The inputs that the whole-road and effect-step fuzz targets once failed
// on, replayed with the targets' own checks.
#include <gtest/gtest.h>

#include "fuzz/effectstep.h"
#include "fuzz/road.h"
#include "tests/support/testsupport.h"

TEST(FuzzRegressions, EveryRoadKeepsItsRules) {
  // Names that decode to "../" or a zero byte, pictures past the cap at 24
  // bits, a picture without pixels, and what the fuzzer found.
  for (const std::string& path : RegressionInputs("fuzz_road")) {
    std::vector<uint8_t> input = ReadFile(path);
    EXPECT_EQ(road::Run(input.data(), input.size()), "") << path;
  }
}

TEST(FuzzRegressions, EffectStepsFailOnlyWithTheProgramsErrors) {
  for (const std::string& path : RegressionInputs("fuzz_effects")) {
    std::vector<uint8_t> input = ReadFile(path);
    try {
      EXPECT_EQ(effectstep::Run(input.data(), input.size()), "") << path;
    } catch (const Exception&) {
    }
  }
}
