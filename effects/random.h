// The effects' pseudo-random generators and the effects driven by them:
// scattered pixels and grain, rain drops, and the shuffled puzzle.
//
// The generators keep one state each for the whole process. They are seeded
// once at start and never again by the effects, so every effect continues
// the sequence where the previous draw left it; only Ripple (tile.h) seeds
// rand and lrand, with the clock. An effect that draws holds the sequence
// (TRandomSequence) for the whole of its work, so that a preview and a
// run's file never draw in between each other's numbers; a run puts the
// files' effect steps that draw in the files' order.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "platform/graphics/graphics.h"

// In a namespace of their own so that rand and srand do not clash with the
// C library's functions of the same names.
namespace EffectRandom {

// The linear congruential generator S = S * 22695477 + 1 (32 bits); returns
// bits 16..30 of the new S, 0..32767.
int rand();
// The 64-bit generator L = L * (346 * 2^32 + 20021) + 1; returns bits 32..62
// of the new L, 0..2147483647. The low 32 bits of L are the S of rand, so a
// draw from either advances the other.
int lrand();
// Sets S to seed and the high half of L to 0, then draws one rand and drops
// it. The process starts as after srand(1).
void srand(uint32_t seed);
// The subtractive generator over a table of 55 words, seeded from 161803398
// at start and never again; returns 0..bound-1. A bound below 1 raises
// EDivByZero. Guarded by a lock.
int RandomShuffleGenerator(int bound);

// Shuffles the list in place: for k = 1 to size-1, swaps entries k and
// RandomShuffleGenerator(k + 1).
template <typename T>
void Shuffle(std::vector<T>& list) {
  for (size_t k = 1; k < list.size(); ++k) {
    size_t m = static_cast<size_t>(RandomShuffleGenerator(static_cast<int>(k + 1)));
    std::swap(list[k], list[m]);
  }
}

}  // namespace EffectRandom

// Held by every effect that draws, from its first draw to its last: one
// effect's numbers are a stretch of the sequence that no other thread's
// draws interrupt. It may be held again by the thread that holds it.
class TRandomSequence {
 public:
  TRandomSequence();
  ~TRandomSequence();
  TRandomSequence(const TRandomSequence&) = delete;
  TRandomSequence& operator=(const TRandomSequence&) = delete;
};

// The state of every generator, to go back to: a run that drops files it
// had worked ahead puts the generators where the last file it kept left
// them.
struct TEffectRandomState {
  uint64_t Rand = 0;
  std::vector<uint32_t> Shuffle;
  int ShuffleA = 0, ShuffleB = 0;
};
TEffectRandomState SaveEffectRandomState();
void RestoreEffectRandomState(const TEffectRandomState& state);

// Puts every generator back into its state at process start. For tests and
// tools only: the program itself never resets them.
void ResetEffectRandomGenerators();

// Noise. Type 0 moves each pixel to a random neighbour within degree (two
// rand draws per pixel, column first); type 1 adds (lrand mod degree) -
// floor(degree / 2) to red, green and blue, each its own draw; type 2 adds
// one such value to all three. Degree 0 and any other type change nothing
// and draw nothing.
void ApplyNoise(TBitmap& picture, int degree, int type);
// Up to count magnifying drops with a shaded rim, each of a random diameter
// from 5 to size, placed at random where no earlier drop lies. The effect
// stops early when 10,000 tries find no free place. A drop whose radius comes
// out below 1 (only for sizes below 2) covers no pixel.
void ApplyRainDrops(TBitmap& picture, int count, int size);
// Cuts the picture into across x down pieces (each limited to the picture's
// size) and puts them back in shuffled order. Counts of 0 or below change
// nothing and draw nothing.
void ApplyPuzzle(TBitmap& picture, int across, int down);
