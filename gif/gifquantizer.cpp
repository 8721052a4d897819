// The octree colour quantizer and the palettes it fits to pictures.
#include <algorithm>

#include "gif/gifimage.h"
#include "gif/gifreduce.h"

TColorQuantizer::TColorQuantizer(int maxColors, int colorBits)
    : FMaxColors(maxColors), FColorBits(std::clamp(colorBits, 1, 8)) {}

TColorQuantizer::~TColorQuantizer() {
  FreeNode(FRoot);
  for (TOctreeNode* node : FSpare) delete node;
}

TOctreeNode* TColorQuantizer::NewNode(int level) {
  TOctreeNode* node;
  if (FSpare.empty()) {
    node = new TOctreeNode;
  } else {
    node = FSpare.back();
    FSpare.pop_back();
    *node = TOctreeNode();
  }
  if (level == FColorBits) {
    node->IsLeaf = true;
    ++FLeafCount;
  } else {
    node->Next = FReducible[size_t(level)];
    FReducible[size_t(level)] = node;
  }
  return node;
}

void TColorQuantizer::FreeNode(TOctreeNode* node) {
  if (!node) return;
  for (int i = 7; i >= 0; --i) FreeNode(node->Children[size_t(i)]);
  FSpare.push_back(node);
}

void TColorQuantizer::AddColor(uint8_t red, uint8_t green, uint8_t blue) {
  TOctreeNode** slot = &FRoot;
  for (int level = 0;; ++level) {
    if (!*slot) *slot = NewNode(level);
    TOctreeNode* node = *slot;
    if (node->IsLeaf) {
      ++node->PixelCount;
      node->RedSum += red;
      node->GreenSum += green;
      node->BlueSum += blue;
      return;
    }
    int shift = 7 - level;
    int index = ((red >> shift) & 1) << 2 | ((green >> shift) & 1) << 1 | ((blue >> shift) & 1);
    slot = &node->Children[size_t(index)];
  }
}

bool TColorQuantizer::ReduceTree() {
  int level = FColorBits - 1;
  while (level > 0 && !FReducible[size_t(level)]) --level;
  TOctreeNode* node = FReducible[size_t(level)];
  if (!node) return false;
  FReducible[size_t(level)] = node->Next;
  int children = 0;
  // Every deeper level has no reducible node left, so the children are
  // leaves.
  for (TOctreeNode*& child : node->Children) {
    if (!child) continue;
    node->RedSum += child->RedSum;
    node->GreenSum += child->GreenSum;
    node->BlueSum += child->BlueSum;
    node->PixelCount += child->PixelCount;
    FreeNode(child);
    child = nullptr;
    ++children;
  }
  node->IsLeaf = true;
  FLeafCount += 1 - children;
  return true;
}

void TColorQuantizer::ProcessImage(const TDIBReader& image) {
  const TBitmap& bitmap = image.Bitmap();
  for (int y = 0; y < bitmap.Height(); ++y) {
    const uint8_t* p = image.ScanLine(y);
    for (int x = 0; x < bitmap.Width(); ++x, p += 3) {
      AddColor(p[2], p[1], p[0]);
      while (FLeafCount > FMaxColors && ReduceTree()) {
      }
    }
  }
}

void TColorQuantizer::CollectColors(const TOctreeNode* node, std::vector<RGBQUAD>& table) const {
  if (!node) return;
  if (node->IsLeaf) {
    int64_t n = node->PixelCount;
    if (n == 0)
      table.push_back({});
    else
      table.push_back(
          {uint8_t(node->BlueSum / n), uint8_t(node->GreenSum / n), uint8_t(node->RedSum / n), 0});
    return;
  }
  for (const TOctreeNode* child : node->Children) CollectColors(child, table);
}

std::vector<RGBQUAD> TColorQuantizer::ColorTable() const {
  std::vector<RGBQUAD> table;
  CollectColors(FRoot, table);
  return table;
}

namespace {

// Steps 2 to 5 around the quantizer the caller fills: the palette of
// colors entries, or 256 with the system colours around 236 fitted ones.
template <class Fill>
HPALETTE FittedPalette(int colors, int colorBits, bool windowsColors, Fill fill) {
  colors = std::clamp(colors, 1, 256);
  TMaxLogPalette pal;
  pal.palNumEntries = uint16_t(colors);
  int first = 0;
  if (windowsColors) {
    PALETTEENTRY system[20];
    GetPaletteEntries(DefaultPalette(), 0, 20, system);
    for (int i = 0; i < 10; ++i) {
      pal.palPalEntry[i] = system[i];
      pal.palPalEntry[246 + i] = system[10 + i];
    }
    colors = 236;
    first = 10;
    pal.palNumEntries = 256;
  }
  TColorQuantizer quantizer(colors, colorBits);
  fill(quantizer);
  std::vector<RGBQUAD> table = quantizer.ColorTable();
  // Entries the tree has no leaf for stay black.
  for (int i = 0; i < colors; ++i) {
    RGBQUAD q = size_t(i) < table.size() ? table[size_t(i)] : RGBQUAD{};
    pal.palPalEntry[first + i] = {q.rgbRed, q.rgbGreen, q.rgbBlue, 0};
  }
  return CreatePalette(pal);
}

}  // namespace

HPALETTE CreateOptimizedPaletteFromSingleBitmap(const TDIBReader& image, int colors, int colorBits,
                                                bool windowsColors) {
  return FittedPalette(colors, colorBits, windowsColors,
                       [&](TColorQuantizer& quantizer) { quantizer.ProcessImage(image); });
}

HPALETTE CreateOptimizedPaletteFromManyBitmaps(const std::vector<TBitmap*>& bitmaps, int colors,
                                               int colorBits, bool windowsColors) {
  if (bitmaps.empty()) GIFError(sInvalidBitmapList);
  return FittedPalette(colors, colorBits, windowsColors, [&](TColorQuantizer& quantizer) {
    for (TBitmap* bitmap : bitmaps) {
      if (!bitmap) GIFError(sInvalidBitmapList);
      quantizer.ProcessImage(TDIBReader(*bitmap, pf24bit));
    }
  });
}
