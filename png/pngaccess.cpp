// The picture's pixels one by one, the changes of its transparency, its
// physical pixel size and loading from the program's resources.
#include <algorithm>
#include <cmath>
#include <vector>

#include "png/pngcodec.h"
#include "png/pnglang.h"

using namespace pngcodec;

namespace {
bool HasAlpha(int colorType) { return colorType == COLOR_GRAYSCALEALPHA || colorType == COLOR_RGBALPHA; }
}  // namespace

// --- Pixels -------------------------------------------------------------------------

TColor TPNGObject::GetPixels(int x, int y) const {
  const TChunkIHDR* found = FindHeader();
  if (!found || x < 0 || y < 0 || x >= found->Width() || y >= found->Height()) return 0;
  const TChunkIHDR& header = *found;
  const uint8_t* row = header.ImageRow(y);
  switch (header.HeaderData.ColorType) {
    case COLOR_GRAYSCALE: {
      // The sample scaled to 8 bits (2-bit samples are held as 4-bit ones,
      // 16-bit ones as their high byte).
      int bits = header.BitsPerPixel();
      uint8_t grey = GammaLookup[GreyLevel(IndexAt(row, x, bits), bits)];
      return RGB(grey, grey, grey);
    }
    case COLOR_PALETTE:
      // The colour table holds the palette through the gamma table already.
      return QuadToColor(header.ImageInfo.bmiColors[IndexAt(row, x, header.BitsPerPixel())]);
    case COLOR_RGB:
    case COLOR_RGBALPHA:
      return RGB(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
    case COLOR_GRAYSCALEALPHA:
      return RGB(row[x], row[x], row[x]);
    default:
      return 0;
  }
}

void TPNGObject::SetPixels(int x, int y, TColor color) {
  TChunkIHDR* found = FindHeader();
  if (!found || x < 0 || y < 0 || x >= found->Width() || y >= found->Height()) return;
  TChunkIHDR& header = *found;
  color = ColorToRGB(color);
  uint8_t* row = header.ImageRow(y);
  // 16-bit samples take the 8-bit value in their low byte too, so that the
  // file holds the colour set and not what was left of the old sample.
  uint8_t* low = header.LowBytePlane.empty() ? nullptr : header.LowByteRow(y);
  switch (header.HeaderData.ColorType) {
    case COLOR_GRAYSCALE:
    case COLOR_PALETTE: {
      // The nearest of the entries a sample of the picture's bits can name
      // (a palette may hold more than those).
      const size_t named = size_t(1) << header.BitsPerPixel();
      unsigned index = GetNearestPaletteIndex(header.ImagePalette(), color, named);
      if (index == CLR_INVALID) return;
      SetIndexAt(row, x, header.BitsPerPixel(), static_cast<int>(index));
      if (low) low[x] = static_cast<uint8_t>(index);
      break;
    }
    case COLOR_RGB:
    case COLOR_RGBALPHA: {
      const uint8_t bgr[3] = {GetBValue(color), GetGValue(color), GetRValue(color)};
      std::copy_n(bgr, 3, row + 3 * x);
      if (low) std::copy_n(bgr, 3, low + 3 * x);
      break;
    }
    case COLOR_GRAYSCALEALPHA:
      row[x] = GetRValue(color);
      if (low) low[x] = GetRValue(color);
      break;
    default:
      break;
  }
}

// --- Transparency -------------------------------------------------------------------

void TPNGObject::RemoveTransparency() {
  if (!HeaderPresent()) return;
  TChunkIHDR& header = Header();
  // A tRNS chunk makes grey and RGB pictures transparent as well as palette
  // ones, so it goes whatever the colour type.
  while (TChunktRNS* trns = FChunks.FindChunk<TChunktRNS>()) FChunks.RemoveChunk(trns);
  uint8_t& colorType = header.HeaderData.ColorType;
  if (HasAlpha(colorType)) {
    colorType = colorType == COLOR_GRAYSCALEALPHA ? COLOR_GRAYSCALE : COLOR_RGB;
    std::vector<uint8_t>().swap(header.AlphaPlane);
  }
  Changed();
}

void TPNGObject::CreateAlpha() {
  if (!HeaderPresent()) return;
  TChunkIHDR& header = Header();
  TIHDRData& h = header.HeaderData;
  int width = header.Width(), height = header.Height();
  if (h.ColorType == COLOR_PALETTE) {
    // An alpha for every palette entry; the entries given keep theirs.
    TChunktRNS* trns = FChunks.FindChunk<TChunktRNS>();
    uint32_t given = 0;
    if (trns)
      given = trns->DataSize();
    else
      trns = FChunks.Add<TChunktRNS>();
    std::fill(trns->AlphaValues.begin() + std::min<uint32_t>(given, 256), trns->AlphaValues.end(), 255);
    // No more alphas than the palette has entries.
    uint32_t entries = GetPaletteEntries(header.ImagePalette(), 0, 0, nullptr);
    trns->ResizeData(std::min<uint32_t>(std::max(given, entries), 256));
    std::copy_n(trns->AlphaValues.begin(), trns->DataSize(), trns->Data.begin());
    trns->OnOffTransparency = false;
    Changed();
    return;
  }
  if (h.ColorType != COLOR_GRAYSCALE && h.ColorType != COLOR_RGB) return;

  // Opaque but where the tRNS sample made the picture transparent. Grey
  // with alpha has 8 or 16 bits: samples of fewer bits become 8-bit levels,
  // taken in the same pass.
  std::vector<uint8_t> alpha(size_t(width) * size_t(height));
  int bits = header.BitsPerPixel();
  bool widen = h.ColorType == COLOR_GRAYSCALE && bits < 8;
  std::vector<uint8_t> levels(widen ? alpha.size() : 0);
  {
    TPixelAlpha alphas(*this, header);
    for (int y = 0; y < height; ++y) {
      const uint8_t* row = header.ImageRow(y);
      uint8_t* a = alpha.data() + size_t(y) * size_t(width);
      if (bits == 24) {
        for (int x = 0; x < width; ++x) a[x] = alphas.Rgb(row + 3 * x, y, x);
        continue;
      }
      uint8_t* level = widen ? levels.data() + size_t(y) * size_t(width) : nullptr;
      for (int x = 0; x < width; ++x) {
        int sample = IndexAt(row, x, bits);
        a[x] = alphas.Grey(sample, y, x);
        if (level) level[x] = GreyLevel(sample, bits);
      }
    }
  }
  if (widen) {
    TIHDRData old = h;
    h.BitDepth = 8;
    h.ColorType = COLOR_GRAYSCALEALPHA;
    try {
      header.PrepareImageData();
    } catch (...) {
      // The picture is gone (the header reports 0 x 0); its kind stays.
      h.BitDepth = old.BitDepth;
      h.ColorType = old.ColorType;
      throw;
    }
    for (int y = 0; y < height; ++y)
      std::copy_n(levels.begin() + std::ptrdiff_t(y) * width, width, header.ImageRow(y));
  } else {
    h.ColorType = h.ColorType == COLOR_GRAYSCALE ? COLOR_GRAYSCALEALPHA : COLOR_RGBALPHA;
  }
  header.AlphaPlane = std::move(alpha);
  // Pictures with alpha have no tRNS chunk.
  while (TChunktRNS* trns = FChunks.FindChunk<TChunktRNS>()) FChunks.RemoveChunk(trns);
  Changed();
}

// --- Physical pixel size ----------------------------------------------------------------

bool TPNGObject::HasPixelInformation() const { return FChunks.FindChunk<TChunkpHYs>() != nullptr; }

TChunkpHYs* TPNGObject::GetPixelInformation() {
  if (TChunkpHYs* phys = FChunks.FindChunk<TChunkpHYs>()) return phys;
  TChunkpHYs* phys = FChunks.Add<TChunkpHYs>();
  phys->DensityUnit = utMeter;
  phys->DensityX = phys->DensityY = 0;
  return phys;
}

void TPNGObject::DrawUsingPixelInformation(TCanvas& canvas, const TPoint& pos) {
  int width = Width(), height = Height();
  if (const TChunkpHYs* phys = FChunks.FindChunk<TChunkpHYs>()) {
    // The screen's pixels per metre; the unit of the chunk is not looked at.
    // A density of 0 tells nothing, and the axis keeps its size.
    auto onScreen = [](int size, uint32_t density, int index) {
      if (density == 0) return size;
      double screen = GetDeviceCaps(nullptr, index) / 0.0254;
      return static_cast<int>(std::min(std::trunc(size / (density / screen)), double(1 << 30)));
    };
    width = onScreen(width, phys->DensityX, LOGPIXELSX);
    height = onScreen(height, phys->DensityY, LOGPIXELSY);
  }
  canvas.StretchDraw(Bounds(pos.X, pos.Y, width, height), this);
}

// --- Resources --------------------------------------------------------------------------

void TPNGObject::LoadFromResource(HINSTANCE instance, const std::string& name) {
  if (!FindResource(instance, name, RT_RCDATA))
    RaiseError<EPNGCouldNotLoadResource>(pnglang::EPNGCouldNotLoadResourceText);
  TResourceStream stream(instance, name, RT_RCDATA);
  LoadFromStream(stream);
}

void TPNGObject::LoadFromResourceName(HINSTANCE instance, const std::string& name) {
  LoadFromResource(instance, name);
}

void TPNGObject::LoadFromResourceID(HINSTANCE instance, int resId) {
  LoadFromResource(instance, MAKEINTRESOURCE(resId));
}
