// The stored masks against the job's flags and offered captions: bits follow
// the list order, flags sit at the visibility index.
#include <gtest/gtest.h>

#include "engine/effectcatalogue.h"
#include "engine/effectvisibility.h"
#include "tests/support/testsupport.h"

TEST(EffectVisibility, MasksFlagsAndCaptions) {
  TempDir dir;
  TJobRecord job(dir.Path());
  uint32_t filters, filters2;
  // The unused bits of Filters2 carry nothing and are written back as 0.
  ApplyVisibilityMasks(job, 0xFFFFFFFF, 0xFFFFFFFF);
  EXPECT_EQ(job.VisibleEffectNames.Count(), EffectCount);
  VisibilityMasks(job, filters, filters2);
  EXPECT_EQ(filters2, AllFilters2);

  for (uint32_t seed = 1; seed < 200; ++seed) {
    uint32_t a = seed * 2654435761u, b = (seed * 40503u) & AllFilters2;
    ApplyVisibilityMasks(job, a, b);
    VisibilityMasks(job, filters, filters2);
    ASSERT_EQ(filters, a);
    ASSERT_EQ(filters2, b);
    // The captions are those of the set bits, in list order.
    std::vector<std::string> expected;
    for (int p = 0; p < EffectCount; ++p)
      if ((p < 32 ? a >> p : b >> (p - 32)) & 1) expected.push_back(EffectCatalogue()[p].Caption);
    ASSERT_EQ(job.VisibleEffectNames.Count(), int(expected.size()));
    for (size_t i = 0; i < expected.size(); ++i) ASSERT_EQ(job.VisibleEffectNames[int(i)], expected[i]);
  }
}
