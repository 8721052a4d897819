// The stored masks against the job's visibility flags and offered captions:
// bits follow the list order, flags sit at the visibility index.
#include <gtest/gtest.h>

#include "engine/effectcatalogue.h"
#include "engine/effectvisibility.h"
#include "tests/support/testsupport.h"

namespace {
std::vector<std::string> Names(const TStringList& list) {
  std::vector<std::string> names;
  for (int i = 0; i < list.Count(); ++i) names.push_back(list[i]);
  return names;
}
}  // namespace

TEST(EffectVisibility, MasksToFlagsAndCaptions) {
  TempDir dir;
  TJobRecord job(dir.Path());
  uint32_t filters, filters2;

  // Everything offered, also from a Filters2 with its unused bits set.
  ApplyVisibilityMasks(job, 0xFFFFFFFF, 0xFFFFFFFF);
  EXPECT_EQ(Names(job.VisibleEffectNames), AllEffectCaptions());
  EXPECT_EQ(job.VisibleEffectNames[6], "Contrast (auto)");
  EXPECT_EQ(job.VisibleEffectNames[7], "Convert to selected format");
  for (bool flag : job.EffectVisible) EXPECT_TRUE(flag);
  VisibilityMasks(job, filters, filters2);
  EXPECT_EQ(filters, AllFilters);
  EXPECT_EQ(filters2, AllFilters2);

  // Bit 0 of Filters is "3D grid..." with its flag at 38; bit 4 of Filters2
  // is "Resize..." with its flag at 58.
  ApplyVisibilityMasks(job, 0xFFFFFFFE, AllFilters2 & ~(1u << 4));
  EXPECT_EQ(job.VisibleEffectNames.Count(), 57);
  EXPECT_EQ(job.VisibleEffectNames[0], "Antialias...");
  EXPECT_EQ(job.VisibleEffectNames.IndexOf("Resize..."), -1);
  EXPECT_FALSE(job.EffectVisible[38]);
  EXPECT_FALSE(job.EffectVisible[58]);
  EXPECT_TRUE(job.EffectVisible[0]);
  EXPECT_FALSE(EffectOffered(job, 36));
  VisibilityMasks(job, filters, filters2);
  EXPECT_EQ(filters, 0xFFFFFFFEu);
  EXPECT_EQ(filters2, AllFilters2 & ~(1u << 4));

  ApplyVisibilityMasks(job, 0, 0);
  EXPECT_EQ(job.VisibleEffectNames.Count(), 0);
  for (bool flag : job.EffectVisible) EXPECT_FALSE(flag);

  // Any pair of masks comes back as it went in.
  for (uint32_t seed = 1; seed < 200; ++seed) {
    uint32_t a = seed * 2654435761u, b = (seed * 40503u) & AllFilters2;
    ApplyVisibilityMasks(job, a, b);
    VisibilityMasks(job, filters, filters2);
    ASSERT_EQ(filters, a);
    ASSERT_EQ(filters2, b);
    int offered = 0;
    for (int p = 0; p < EffectCount; ++p) offered += EffectOffered(job, p);
    ASSERT_EQ(job.VisibleEffectNames.Count(), offered);
  }
}
