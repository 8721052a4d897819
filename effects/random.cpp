#include "effects/random.h"

#include <array>
#include <cmath>
#include <cstring>
#include <mutex>

#include "effects/effectbase.h"

namespace {

// --- Generators ------------------------------------------------------------

// rand works on the low half of the 64-bit state and leaves the high half.
constexpr uint64_t RandStep(uint64_t state) {
  uint32_t s = static_cast<uint32_t>(state) * 22695477u + 1u;
  return (state & 0xFFFFFFFF00000000u) | s;
}
constexpr uint64_t SeededState(uint32_t seed) { return RandStep(seed); }

struct TShuffleState {
  std::array<uint32_t, 55> Table{};
  int A = 0, B = 31;
};

constexpr TShuffleState SeededShuffleState() {
  constexpr uint32_t seed = 161803398u;
  TShuffleState state;
  auto& t = state.Table;
  t[54] = seed;
  uint32_t j = seed, k = 1;
  for (int i = 0; i < 54; ++i) {
    int n = (21 * i) % 55;
    t[n] = k;
    k = j - k;
    j = t[n];
  }
  for (int pass = 0; pass < 4; ++pass)
    for (int i = 0; i < 55; ++i) t[i] -= t[(i + 31) % 55];
  return state;
}

// Seeded at compile time, so the states stand before any code of the process
// runs: as after srand(1), and the shuffle table from its fixed seed.
constexpr uint64_t kStartRandState = SeededState(1);
constinit uint64_t randState = kStartRandState;
constinit TShuffleState shuffleState = SeededShuffleState();
constinit std::mutex shuffleLock;
// The sequence's holder (TRandomSequence).
std::recursive_mutex sequenceLock;

// --- Noise -----------------------------------------------------------------

int HalfDegree(int degree) { return static_cast<int>(std::floor(degree * 0.5)); }

void ScatterNoise(TBitmap& picture, int degree) {
  const int w = picture.Width(), h = picture.Height();
  const int half = HalfDegree(degree);
  auto copy = CopyPicture(picture);
  for (int y = 0; y < h; ++y) {
    uint8_t* row = picture.ScanLine(y);
    for (int x = 0; x < w; ++x) {
      int dx = EffectRandom::rand() % degree - half;
      if (x + dx <= 0 || x + dx >= w) dx = 0;
      int dy = EffectRandom::rand() % degree - half;
      if (y + dy <= 0 || y + dy >= h) dy = 0;
      CopyPixel(row + 3 * x, PixelOf(*copy, x + dx, y + dy));
    }
  }
}

void GrainNoise(TBitmap& picture, int degree, bool colour) {
  const int half = HalfDegree(degree);
  // 64-bit sums: a negative degree near the int limit can push the offset
  // past the int range.
  auto draw = [&] { return static_cast<int64_t>(EffectRandom::lrand() % degree) - half; };
  ForEachPixel(picture, [&](uint8_t* pixel) {
    if (colour) {
      for (int c = 2; c >= 0; --c) pixel[c] = ClampByte64(pixel[c] + draw());
    } else {
      int64_t n = draw();
      for (int c = 0; c < 3; ++c) pixel[c] = ClampByte64(pixel[c] + n);
    }
  });
}

// --- Rain drops ------------------------------------------------------------

// One angle window of a rim band: pixels at least Factor * R from the centre
// whose angle lies in (Low, High] change by Change (negative darkens).
struct TRimShade {
  double Factor, Low, High;
  int Change;
};
constexpr TRimShade kRimShades[] = {
    {0.9, -2.25, 0.0, -80}, {0.9, -2.5, -2.25, -40}, {0.9, 0.0, 0.25, -40},   {0.8, -1.5, -0.75, -40},
    {0.8, -0.75, 0.1, -30}, {0.8, -2.35, -1.5, -30}, {0.7, -2.0, -0.1, -20},  {0.7, 1.9, 2.5, 60},
    {0.6, -1.75, -0.5, -20}, {0.6, -0.25, 0.0, 20},  {0.6, -2.25, -2.0, 20},  {0.5, -0.5, -0.25, 30},
    {0.5, -2.0, -1.75, 30}, {0.4, -1.75, -0.5, 40},  {0.3, -2.25, 0.0, 30},   {0.2, -1.75, -0.5, 20},
};

// The change of the first window of the first band that the distance
// reaches (0 when that band has no window for the angle, or none is reached).
int RimShade(int radius, double dist, double angle) {
  const TRimShade* band = nullptr;
  for (const TRimShade& shade : kRimShades) {
    if (band && shade.Factor != band->Factor) break;
    if (!band && radius * shade.Factor > dist) continue;
    band = &shade;
    if (shade.Low < angle && angle <= shade.High) return shade.Change;
  }
  return 0;
}

// True when a drop covers (cx, cy) or any pixel of the picture in the square
// of rows and columns within radius of it.
bool PlaceTaken(const std::vector<uint8_t>& mask, int w, int h, int cx, int cy, int radius) {
  if (mask[static_cast<size_t>(cy) * w + cx]) return true;
  const int left = std::max(cx - radius, 0), right = std::min(cx + radius, w - 1);
  for (int y = std::max(cy - radius, 0); y <= std::min(cy + radius, h - 1); ++y)
    if (std::memchr(&mask[static_cast<size_t>(y) * w + left], 1, right - left + 1)) return true;
  return false;
}

// Draws one drop of diameter s centred at (cx, cy) into the copy, magnifying
// the picture, and marks the pixels it sets.
void DrawDrop(TBitmap& picture, TBitmap& copy, std::vector<uint8_t>& mask, int cx, int cy, int s) {
  const int w = picture.Width(), h = picture.Height();
  const int radius = s / 2;
  if (radius < 1) return;
  const double lens = radius / std::log(0.4 * radius + 1);
  // The square runs from -radius to s - radius - 1 on both axes; only its
  // part inside the picture can be drawn.
  for (int i = std::max(-radius, -cy); i <= std::min(s - radius - 1, h - 1 - cy); ++i)
    for (int j = std::max(-radius, -cx); j <= std::min(s - radius - 1, w - 1 - cx); ++j) {
      double dist = std::sqrt(static_cast<double>(i) * i + static_cast<double>(j) * j);
      if (dist > radius) continue;
      double dd = (std::exp(dist / lens) - 1) / 0.4;
      double angle = std::atan2(static_cast<double>(i), static_cast<double>(j));
      int sy = cy + TruncInt(std::sin(angle) * dd), sx = cx + TruncInt(std::cos(angle) * dd);
      int ty = cy + i, tx = cx + j;
      if (sx < 0 || sx >= w || sy < 0 || sy >= h) continue;
      uint8_t* target = PixelOf(copy, tx, ty);
      CopyPixel(target, PixelOf(picture, sx, sy));
      mask[static_cast<size_t>(ty) * w + tx] = 1;
      AddToChannels(target, RimShade(radius, dist, angle));
    }
}

// A random position 0..extent-1 along one axis of the picture.
int RandomPosition(int extent) {
  return TruncInt(EffectRandom::rand() * static_cast<double>(extent - 1) * (1.0 / 32767));
}

// --- Puzzle ----------------------------------------------------------------

struct TPiece {
  int Column, Row;
};

}  // namespace

namespace EffectRandom {

int rand() {
  randState = RandStep(randState);
  return static_cast<int>((static_cast<uint32_t>(randState) >> 16) & 0x7FFF);
}

int lrand() {
  randState = randState * ((uint64_t(346) << 32) + 20021) + 1;
  return static_cast<int>((randState >> 32) & 0x7FFFFFFF);
}

void srand(uint32_t seed) { randState = SeededState(seed); }

int RandomShuffleGenerator(int bound) {
  if (bound < 1) RaiseDivByZero();
  std::lock_guard<std::mutex> lock(shuffleLock);
  TShuffleState& s = shuffleState;
  s.A = (s.A + 1) % 55;
  s.B = (s.B + 1) % 55;
  s.Table[s.A] -= s.Table[s.B];
  return static_cast<int>(s.Table[s.A] % static_cast<uint32_t>(bound));
}

}  // namespace EffectRandom

TRandomSequence::TRandomSequence() { sequenceLock.lock(); }
TRandomSequence::~TRandomSequence() { sequenceLock.unlock(); }

TEffectRandomState SaveEffectRandomState() {
  TRandomSequence hold;
  std::lock_guard<std::mutex> lock(shuffleLock);
  return {randState, {shuffleState.Table.begin(), shuffleState.Table.end()}, shuffleState.A, shuffleState.B};
}

void RestoreEffectRandomState(const TEffectRandomState& state) {
  TRandomSequence hold;
  std::lock_guard<std::mutex> lock(shuffleLock);
  randState = state.Rand;
  std::copy_n(state.Shuffle.begin(), std::min(state.Shuffle.size(), shuffleState.Table.size()),
              shuffleState.Table.begin());
  shuffleState.A = state.ShuffleA;
  shuffleState.B = state.ShuffleB;
}

void ResetEffectRandomGenerators() {
  TRandomSequence hold;
  randState = kStartRandState;
  std::lock_guard<std::mutex> lock(shuffleLock);
  shuffleState = SeededShuffleState();
}

// The random-driven effects draw their numbers pixel by pixel (drop by
// drop, piece by piece) from one generator, so they keep their order on one
// thread.
void ApplyNoise(TBitmap& picture, int degree, int type) {
  if (NoPixels(picture) || degree == 0) return;
  TRandomSequence hold;
  if (type == 0)
    ScatterNoise(picture, degree);
  else if (type == 1 || type == 2)
    GrainNoise(picture, degree, type == 1);
}

void ApplyRainDrops(TBitmap& picture, int count, int size) {
  if (NoPixels(picture)) return;
  const int w = picture.Width(), h = picture.Height();
  auto copy = CopyPicture(picture);
  std::vector<uint8_t> mask(static_cast<size_t>(w) * h, 0);
  TRandomSequence hold;
  for (int drop = 0; drop < count; ++drop) {
    int s = TruncInt(EffectRandom::rand() * (static_cast<double>(size) - 5) * (1.0 / 32767) + 5);
    int cx, cy, tries = 0;
    bool taken;
    do {
      cy = RandomPosition(h);
      cx = RandomPosition(w);
      ++tries;
      taken = PlaceTaken(mask, w, h, cx, cy, s / 2);
    } while (taken && tries < 10000);
    if (tries == 10000) break;
    DrawDrop(picture, *copy, mask, cx, cy, s);
  }
  CopyBack(picture, *copy);
}

void ApplyPuzzle(TBitmap& picture, int across, int down) {
  if (NoPixels(picture)) return;
  const int w = picture.Width(), h = picture.Height();
  across = std::min(across, w);
  down = std::min(down, h);
  if (across <= 0 || down <= 0) return;
  const int pw = w / across, ph = h / down;

  std::vector<TPiece> pieces;
  pieces.reserve(static_cast<size_t>(across) * down + 1);
  for (int i = 0; i < across; ++i)
    for (int j = 0; j < down; ++j) pieces.push_back({i, j});
  pieces.push_back({0, 0});
  {
    TRandomSequence hold;
    EffectRandom::Shuffle(pieces);
  }

  // Pixels that no block covers take the top-left pixel.
  auto copy = CopyPicture(picture);
  const uint8_t* corner = copy->ScanLine(0);
  for (int y = 0; y < h; ++y) {
    uint8_t* row = picture.ScanLine(y);
    for (int x = 0; x < w; ++x) CopyPixel(row + 3 * x, corner);
  }
  // The blocks run in rows of w / pw, left to right, top to bottom.
  int bx = 0, by = 0;
  for (const TPiece& piece : pieces) {
    if (by >= h) break;
    const size_t bytes = 3 * static_cast<size_t>(std::min(bx + pw, w) - bx);
    const size_t sourceColumn = static_cast<size_t>(piece.Column) * pw;
    for (int y = by; y < std::min(by + ph, h); ++y)
      std::memcpy(picture.ScanLine(y) + 3 * static_cast<size_t>(bx),
                  copy->ScanLine(y - by + piece.Row * ph) + 3 * sourceColumn, bytes);
    bx += pw;
    if (bx >= w - w % pw) {
      bx = 0;
      by += ph;
    }
  }
}
