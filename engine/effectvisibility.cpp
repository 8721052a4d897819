#include "engine/effectvisibility.h"

#include "engine/effectcatalogue.h"

bool EffectOffered(const TJobRecord& job, int listPosition) {
  if (listPosition < 0 || listPosition >= EffectCount) return false;
  return job.EffectVisible[EffectCatalogue()[listPosition].VisibleIndex];
}

void SetEffectOffered(TJobRecord& job, int listPosition, bool offered) {
  if (listPosition < 0 || listPosition >= EffectCount) return;
  job.EffectVisible[EffectCatalogue()[listPosition].VisibleIndex] = offered;
}

void ApplyVisibilityMasks(TJobRecord& job, uint32_t filters, uint32_t filters2) {
  for (int p = 0; p < EffectCount; ++p)
    SetEffectOffered(job, p, p < 32 ? (filters >> p) & 1 : (filters2 >> (p - 32)) & 1);
  RebuildVisibleEffectNames(job);
}

void VisibilityMasks(const TJobRecord& job, uint32_t& filters, uint32_t& filters2) {
  filters = filters2 = 0;
  for (int p = 0; p < EffectCount; ++p)
    if (EffectOffered(job, p)) (p < 32 ? filters : filters2) |= uint32_t{1} << (p < 32 ? p : p - 32);
}

void RebuildVisibleEffectNames(TJobRecord& job) {
  job.VisibleEffectNames.Clear();
  for (const TEffectEntry& entry : EffectCatalogue())
    if (job.EffectVisible[entry.VisibleIndex]) job.VisibleEffectNames.Add(entry.Caption);
}
