// Which entries of the effect list the effect combo box offers: the job's
// flags (EffectVisible, one per entry at the entry's visibility index), the
// offered captions (VisibleEffectNames, always in list order) and the two
// stored masks, "Filters" with bit p for list position p = 0..31 and
// "Filters2" with bit p - 32 for p = 32..58.
#pragma once

#include <cstdint>

#include "engine/jobrecord.h"

constexpr uint32_t AllFilters = 0xFFFFFFFF;   // entries 0..31
constexpr uint32_t AllFilters2 = 0x07FFFFFF;  // entries 32..58

// Whether the entry at a list position is offered.
bool EffectOffered(const TJobRecord& job, int listPosition);
void SetEffectOffered(TJobRecord& job, int listPosition, bool offered);

// Sets every flag from the masks (bits 27..31 of filters2 carry nothing) and
// rebuilds VisibleEffectNames.
void ApplyVisibilityMasks(TJobRecord& job, uint32_t filters, uint32_t filters2);
// The masks of the flags as they are; bits 27..31 of filters2 are 0.
void VisibilityMasks(const TJobRecord& job, uint32_t& filters, uint32_t& filters2);
// VisibleEffectNames = the captions of the offered entries in list order.
void RebuildVisibleEffectNames(TJobRecord& job);
