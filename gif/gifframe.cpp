// Frames and bitmaps: converting pictures into a frame's colour indices,
// rendering a frame into a palette bitmap with its transparency mask,
// drawing it, and the cropping and merging of the image optimizer.
#include <algorithm>
#include <array>
#include <cstring>
#include <unordered_map>

#include "gif/gifimage.h"
#include "gif/gifreduce.h"
#include "platform/graphics/icon.h"

namespace {

// An empty monochrome mask of the frame's size when one is to be built.
std::unique_ptr<TDibSection> NewMask(bool wanted, int width, int height) {
  if (!wanted) return nullptr;
  std::unique_ptr<TDibSection> mask(CreateDib(width, height, 1));
  mask->Monochrome = true;
  return mask;
}

// a * b / c rounded to the nearest integer.
int MulDiv(int a, int b, int c) {
  if (c == 0) return 0;
  int64_t product = int64_t(a) * b;
  int64_t half = ((product < 0) != (c < 0) ? -1 : 1) * int64_t(std::abs(c) / 2);
  return int((product + half) / c);
}

// The colours of a map as a table of 256 entries, black beyond the map.
std::array<TGIFColor, 256> ColorTable(const TGIFColorMap& map) {
  std::array<TGIFColor, 256> table{};
  std::copy_n(map.Data(), std::min(map.Count(), 256), table.begin());
  return table;
}

// A bitmap of the size filled with one colour, with the graphic drawn on
// it.
void DrawOnto(TBitmap& bitmap, TGraphic& graphic, TColor background) {
  bitmap.SetPixelFormat(pf24bit);
  bitmap.SetSize(graphic.Width(), graphic.Height());
  TCanvas& canvas = *bitmap.Canvas();
  canvas.Brush.Color = background;
  canvas.Brush.Style = bsSolid;
  canvas.FillRect(Rect(0, 0, bitmap.Width(), bitmap.Height()));
  canvas.Draw(0, 0, &graphic);
}

// Draws the source stretched into the rectangle, leaving the target where
// the mask is set: the source with its transparent pixels made black is
// ORed over the target ANDed with the mask.
void TransparentStretch(HDC dest, const TRect& r, TBitmap& source, TDibSection& mask) {
  int w = source.Width(), h = source.Height();
  std::unique_ptr<TDeviceContext, DCDeleter> maskDC(CheckGdiResult(CreateCompatibleDC()));
  SelectObject(maskDC.get(), &mask);
  TBitmap prepared;
  prepared.Assign(&source);
  prepared.SetPixelFormat(pf24bit);
  HDC preparedDC = prepared.Canvas()->Handle();
  // A monochrome source turns 0 into the text colour and 1 into the
  // background colour.
  SetTextColor(preparedDC, clBlack);
  SetBkColor(preparedDC, clWhite);
  constexpr uint32_t DSna = 0x00220326;  // target AND NOT source
  BitBlt(preparedDC, 0, 0, w, h, maskDC.get(), 0, 0, DSna);
  TColor text = SetTextColor(dest, clBlack), back = SetBkColor(dest, clWhite);
  StretchBlt(dest, r.Left, r.Top, r.Width(), r.Height(), maskDC.get(), 0, 0, w, h, SRCAND);
  StretchBlt(dest, r.Left, r.Top, r.Width(), r.Height(), preparedDC, 0, 0, w, h, SRCPAINT);
  SetTextColor(dest, text);
  SetBkColor(dest, back);
}

}  // namespace

// --- Palette and cache --------------------------------------------------------

HPALETTE TGIFSubImage::Palette() {
  if (FBitmap)
    if (HPALETTE palette = FBitmap->Palette()) return palette;
  if (FPalette) return FPalette;
  if (FImage && FImage->DoDither())
    FPalette = WebPalette();
  else if (FColorMap->Count() == 0)
    return FImage ? FImage->Palette() : nullptr;
  else
    FPalette = FColorMap->ExportPalette();
  return FPalette;
}

void TGIFSubImage::SetPalette(HPALETTE palette) {
  if (palette == FPalette) return;
  DeleteObject(FPalette);
  FPalette = palette;
  if (FBitmap && FBitmap->Palette() != palette) {
    FreeBitmap();
    if (FImage) {
      FImage->PaletteModified = true;
      FImage->Changed();
    }
  }
}

void TGIFSubImage::FreeBitmap() {
  std::lock_guard<std::recursive_mutex> guard(FRenderLock);
  FBitmap.reset();
}

void TGIFSubImage::FreeMask() {
  FMask.reset();
  FNeedMask = true;
}

void TGIFSubImage::SetHasBitmap(bool value) {
  if (value)
    Bitmap();
  else
    FreeBitmap();
}

void TGIFSubImage::SetBitmap(TBitmap* bitmap) {
  FreeBitmap();
  if (bitmap) Assign(bitmap);
}

HBITMAP TGIFSubImage::Mask() {
  std::lock_guard<std::recursive_mutex> guard(FRenderLock);
  if (FNeedMask && FTransparent) {
    FreeBitmap();
    Bitmap();
  }
  return FMask.get();
}

int TGIFSubImage::TransparentIndex() const {
  return FTransparent && FGCE ? FGCE->TransparentColorIndex() : -1;
}

void TGIFSubImage::Progress(TProgressStage stage, int percent, const char* message) {
  if (FImage)
    FImage->Progress(this, stage, uint8_t(percent), stage == psEnding && FImage->PaletteModified, message);
}

// --- Rendering ----------------------------------------------------------------

TBitmap* TGIFSubImage::Bitmap() {
  std::lock_guard<std::recursive_mutex> guard(FRenderLock);
  if (FBitmap || Empty()) return FBitmap.get();
  // The mask is built with the bitmap when it is due.
  std::unique_ptr<TDibSection> mask;
  try {
    Progress(psStarting, 0, sProgressRendering);
    try {
      if (FImage && FImage->DoDither())
        RenderDithered(mask);
      else
        Render(mask);
    } catch (...) {
      Progress(psEnding, 0, sProgressRendering);
      throw;
    }
    Progress(psEnding, 100, sProgressRendering);
  } catch (const EAbort&) {
    // A progress handler called the rendering off: the frame stays without
    // bitmap, and a mask that was due still is.
    FreeBitmap();
    return nullptr;
  } catch (...) {
    FreeBitmap();
    throw;
  }
  if (mask) FMask = std::move(mask);
  FNeedMask = false;
  if (FImage && FImage->PaletteModified) FImage->Changed();
  return FBitmap.get();
}

TBitmap* TGIFSubImage::NewEmptyBitmap() {
  FreeBitmap();
  FBitmap = std::make_unique<TBitmap>();
  return FBitmap.get();
}

TBitmap* TGIFSubImage::NewBitmap() {
  TBitmap* bitmap = NewEmptyBitmap();
  // A large frame's bitmap is sized at one bit per pixel first, which costs
  // little memory, before its pixels arrive.
  if (int64_t(Width()) * Height() > BitmapAllocationThreshold) bitmap->SetPixelFormat(pf1bit);
  bitmap->SetSize(Width(), Height());
  return bitmap;
}

void TGIFSubImage::Render(std::unique_ptr<TDibSection>& mask) {
  HPALETTE palette = Palette();
  int width = Width(), height = Height();
  TDIBWriter writer(*NewEmptyBitmap(), pf8bit, width, height, palette);
  int transparent = TransparentIndex();
  std::unique_ptr<TDibSection> bits = NewMask(FNeedMask && transparent >= 0 && !FMask, width, height);
  bool masked = false;
  for (int y = 0; y < height; ++y) {
    if (y % 32 == 0) Progress(psRunning, int(int64_t(y) * 100 / height), sProgressRendering);
    const uint8_t* row = FData.get() + int64_t(y) * width;
    std::memcpy(writer.ScanLine(y), row, size_t(width));
    if (!bits) continue;
    uint8_t* line = bits->ScanLine(y);
    for (int x = 0; x < width; ++x) {
      if (row[x] != transparent) continue;
      line[x >> 3] |= uint8_t(0x80 >> (x & 7));
      masked = true;
    }
  }
  if (masked) mask = std::move(bits);
}

void TGIFSubImage::RenderDithered(std::unique_ptr<TDibSection>& mask) {
  HPALETTE palette = Palette();
  int width = Width(), height = Height();
  TDIBWriter writer(*NewEmptyBitmap(), pf8bit, width, height, palette);
  int transparent = TransparentIndex();
  std::unique_ptr<TDibSection> bits = NewMask(FNeedMask && transparent >= 0 && !FMask, width, height);
  const std::array<TGIFColor, 256> colors = ColorTable(ActiveColorMap());
  TNetscapeColorLookup lookup(palette);
  TFloydSteinbergDitherer ditherer(width, lookup);
  uint8_t r, g, b, fill = 0;
  if (bits) {
    const TGIFColor& c = colors[size_t(transparent)];
    fill = lookup.Lookup(c.Red, c.Green, c.Blue, r, g, b);
  }
  bool masked = false;
  for (int y = 0; y < height; ++y) {
    if (y % 32 == 0) Progress(psRunning, int(int64_t(y) * 100 / height), sProgressRendering);
    const uint8_t* row = FData.get() + int64_t(y) * width;
    uint8_t* out = writer.ScanLine(y);
    uint8_t* line = bits ? bits->ScanLine(y) : nullptr;
    if (bits) std::memset(out, fill, size_t(width));
    for (int x = ditherer.Column(); x >= 0 && x < width; x = ditherer.Column()) {
      if (bits && row[x] == transparent) {
        // Passed over: the pixel keeps the fill and is masked.
        ditherer.Skip();
        line[x >> 3] |= uint8_t(0x80 >> (x & 7));
        masked = true;
        continue;
      }
      const TGIFColor& c = colors[row[x]];
      out[x] = ditherer.Dither(c.Red, c.Green, c.Blue, r, g, b);
    }
    ditherer.NextLine();
  }
  if (masked) mask = std::move(bits);
}

// --- Conversion ---------------------------------------------------------------

void TGIFSubImage::Assign(const TPersistent* source) {
  if (source == this) return;
  if (!source) {
    Clear();
  } else if (const auto* frame = dynamic_cast<const TGIFSubImage*>(source)) {
    AssignFrame(*frame);
  } else if (const auto* bitmap = dynamic_cast<const TBitmap*>(source)) {
    // The reduction reads the bitmap as 24 bits, converting it in place.
    AssignBitmap(const_cast<TBitmap&>(*bitmap));
  } else if (const auto* picture = dynamic_cast<const TPicture*>(source)) {
    Assign(picture->Graphic());
  } else if (const auto* graphic = dynamic_cast<const TGraphic*>(source)) {
    AssignGraphic(*graphic);
  } else {
    TGIFItem::Assign(source);
  }
}

void TGIFSubImage::AssignTo(TPersistent* dest) const {
  if (auto* bitmap = dynamic_cast<TBitmap*>(dest)) {
    bitmap->Assign(const_cast<TGIFSubImage*>(this)->Bitmap());
    return;
  }
  TGIFItem::AssignTo(dest);
}

void TGIFSubImage::AssignFrame(const TGIFSubImage& source) {
  Clear();
  if (source.Empty()) return;
  SetBounds(source.Left(), source.Top(), source.Width(), source.Height());
  FImageDescriptor.PackedFields = source.FImageDescriptor.PackedFields;
  std::memcpy(FData.get(), source.FData.get(), size_t(FDataSize));
  FColorMap->Assign(source.FColorMap.get());
  // The extensions are copied by writing and reading them back; the
  // graphic control extension brings the transparency along.
  TMemoryStream stream;
  source.FExtensions->SaveToStream(stream);
  stream.SetPosition(0);
  FExtensions->LoadFromStream(stream, this);
  if (source.FBitmap) {
    FBitmap = std::make_unique<TBitmap>();
    FBitmap->Assign(source.FBitmap.get());
  }
}

void TGIFSubImage::AssignBitmap(TBitmap& bitmap) {
  Clear();
  if (bitmap.Empty()) return;
  SetBounds(Left(), Top(), bitmap.Width(), bitmap.Height());
  std::unique_ptr<TBitmap> work;
  if (PixelFormatBits(bitmap.PixelFormat()) > 8) {
    TColorReduction reduction = FImage ? FImage->ColorReduction : GIFImageDefaultColorReduction.load();
    TDitherMode dither = FImage ? FImage->DitherMode : GIFImageDefaultDitherMode.load();
    int bits = FImage ? FImage->ReductionBits() : GIFImageDefaultColorReductionBits.load();
    work = ReduceColors(bitmap, reduction, dither, bits, nullptr);
    // rmPalette without a palette reduces to nothing.
    if (work->Empty()) GIFError(sInvalidReduction);
  } else {
    work = std::make_unique<TBitmap>();
    work->Assign(&bitmap);
  }
  Progress(psStarting, 0, sProgressConverting);
  try {
    ConvertRows(*work);
    FBitmap = std::move(work);
    if (bitmap.Transparent()) {
      TColor color = ColorToRGB(bitmap.TransparentColor());
      std::vector<uint8_t> bgr(size_t(Width()) * 3);
      ImportMask([&](int y, uint8_t* flags) {
        DibReadRow(*bitmap.Handle(), y, 0, Width(), bgr.data());
        for (int x = 0; x < Width(); ++x) flags[x] = RGB(bgr[3 * x + 2], bgr[3 * x + 1], bgr[3 * x]) == color;
      });
    }
  } catch (...) {
    Progress(psEnding, 0, sProgressConverting);
    throw;
  }
  Progress(psEnding, 100, sProgressConverting);
}

void TGIFSubImage::ConvertRows(TBitmap& bitmap) {
  int bits = PixelFormatBits(bitmap.PixelFormat());
  if (bits != 1 && bits != 4 && bits != 8) bits = 24;
  TDIBReader reader(bitmap, PixelFormatFromBits(bits, false));
  if (bits <= 8) {
    const std::vector<RGBQUAD>& table = bitmap.ColorTable();
    FColorMap->ImportColorTable(table.data(), std::min<int>(int(table.size()), 256));
  }
  int width = Width(), height = Height();
  // 24 bits: each new colour is added to the map in the order met.
  std::unordered_map<uint32_t, uint8_t> known;
  uint32_t lastColor = 0xFFFFFFFF;
  uint8_t lastIndex = 0;
  for (int y = 0; y < height; ++y) {
    if (y % 32 == 0) Progress(psRunning, int(int64_t(y) * 100 / height), sProgressConverting);
    const uint8_t* in = reader.ScanLine(y);
    uint8_t* out = FData.get() + int64_t(y) * width;
    switch (bits) {
      case 8:
        std::memcpy(out, in, size_t(width));
        break;
      case 4:
        for (int x = 0; x < width; ++x) out[x] = (in[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0F;
        break;
      case 1:
        for (int x = 0; x < width; ++x) out[x] = (in[x >> 3] >> (7 - (x & 7))) & 1;
        break;
      default:
        for (int x = 0; x < width; ++x, in += 3) {
          uint32_t color = in[0] | in[1] << 8 | in[2] << 16;
          if (color != lastColor) {
            auto found = known.find(color);
            lastIndex = found != known.end()
                            ? found->second
                            : (known[color] = uint8_t(FColorMap->Add({in[2], in[1], in[0]})));
            lastColor = color;
          }
          out[x] = lastIndex;
        }
    }
  }
}

void TGIFSubImage::AssignGraphic(const TGraphic& graphic) {
  // Icons and metafiles are drawn (on white); other pictures copy their
  // pixels into a bitmap. Either way the other is tried when the first
  // fails. Metafiles are known by their class name: the codec does not
  // link the metafile player.
  auto& source = const_cast<TGraphic&>(graphic);
  const auto* icon = dynamic_cast<const TIcon*>(&graphic);
  const bool metafile = std::strcmp(graphic.ClassName(), "TMetafile") == 0;
  const bool drawFirst = icon || metafile;
  TBitmap picture;
  try {
    if (drawFirst)
      DrawOnto(picture, source, clWhite);
    else
      picture.Assign(&graphic);
  } catch (const Exception&) {
    if (drawFirst)
      picture.Assign(&graphic);
    else
      DrawOnto(picture, source, clWhite);
  }
  AssignBitmap(picture);
  if (Empty()) return;
  if (icon) {
    // The icon's own mask marks what it leaves undrawn.
    const std::vector<uint8_t> mask = icon->Mask();
    if (mask.size() != size_t(Width()) * size_t(Height())) return;
    ImportMask([&](int y, uint8_t* flags) { std::copy_n(mask.data() + size_t(y) * size_t(Width()), Width(), flags); });
  } else if (metafile) {
    // What a metafile leaves undrawn differs between a white and a black
    // background.
    TBitmap onBlack;
    DrawOnto(onBlack, source, clBlack);
    ImportMask([&](int y, uint8_t* flags) {
      const uint8_t* a = picture.ScanLine(y);
      const uint8_t* b = onBlack.ScanLine(y);
      for (int x = 0; x < Width(); ++x) flags[x] = std::memcmp(a + 3 * x, b + 3 * x, 3) != 0;
    });
  }
}

void TGIFSubImage::ImportMask(const std::function<void(int row, uint8_t* flags)>& fill) {
  FColorMap->Optimize();
  const int count = FColorMap->Count();
  if (count == 0) return;
  std::vector<uint8_t> flags(static_cast<size_t>(Width()));
  int index = 0, replacement = -1;
  if (count < 256) {
    index = FColorMap->Add({0, 0, 0});
  } else {
    // A full map: the colour that the fewest opaque pixels show (the last
    // of them in the map) gives up its entry to the transparent pixels, and
    // its opaque pixels take the nearest colour left, as the colour map
    // optimizer does when it makes room for transparency. Without that, a
    // picture of 256 colours would be written opaque although it was asked
    // to be transparent.
    std::array<int64_t, 256> opaque{};
    bool any = false;
    for (int y = 0; y < Height(); ++y) {
      std::fill(flags.begin(), flags.end(), 0);
      fill(y, flags.data());
      const uint8_t* row = Scanline(y);
      for (int x = 0; x < Width(); ++x) {
        if (flags[size_t(x)]) any = true;
        else ++opaque[row[x]];
      }
    }
    if (!any) return;
    for (int i = 1; i < 256; ++i)
      if (opaque[size_t(i)] <= opaque[size_t(index)]) index = i;
    if (opaque[size_t(index)] > 0) replacement = NearestColorIndex(FColorMap->Colors(index), FColorMap->Data(), 256, index);
    FColorMap->SetColors(index, {0, 0, 0});
  }
  bool changed = false;
  for (int y = 0; y < Height(); ++y) {
    std::fill(flags.begin(), flags.end(), 0);
    fill(y, flags.data());
    uint8_t* row = Scanline(y);
    for (int x = 0; x < Width(); ++x) {
      if (flags[size_t(x)]) {
        row[x] = uint8_t(index);
        changed = true;
      } else if (row[x] == index && replacement >= 0) {
        row[x] = uint8_t(replacement);
      }
    }
  }
  if (!changed) {
    FColorMap->Delete(index);
    return;
  }
  TGIFGraphicControlExtension* gce = FGCE;
  if (!gce) {
    gce = new TGIFGraphicControlExtension(this);
    FExtensions->Add(gce);
  }
  gce->SetTransparentColorIndex(index);
  gce->SetTransparent(true);
  FreeBitmap();
  FreeMask();
}

// --- Drawing ------------------------------------------------------------------

TRect TGIFSubImage::ScaleRect(const TRect& rect) const {
  int screenWidth = FImage && FImage->Width() > 0 ? FImage->Width() : Width();
  int screenHeight = FImage && FImage->Height() > 0 ? FImage->Height() : Height();
  return Rect(rect.Left + MulDiv(Left(), rect.Width(), screenWidth),
              rect.Top + MulDiv(Top(), rect.Height(), screenHeight),
              rect.Left + MulDiv(Left() + Width(), rect.Width(), screenWidth),
              rect.Top + MulDiv(Top() + Height(), rect.Height(), screenHeight));
}

void TGIFSubImage::Draw(TCanvas& canvas, const TRect& rect, bool transparent, bool tile) {
  StretchDraw(canvas, tile ? rect : ScaleRect(rect), transparent, tile);
}

void TGIFSubImage::StretchDraw(TCanvas& canvas, const TRect& rect, bool transparent, bool tile) {
  std::lock_guard<std::recursive_mutex> guard(FRenderLock);
  bool masked = transparent && FTransparent && HasMask();
  TBitmap* bitmap = Bitmap();
  if (!bitmap) return;
  auto drawAt = [&](const TRect& r) {
    if (masked)
      TransparentStretch(canvas.Handle(), r, *bitmap, *FMask);
    else
      canvas.StretchDraw(r, bitmap);
  };
  if (!tile) {
    drawAt(rect);
  } else {
    int stepX = std::max(1, FImage && FImage->Width() > 0 ? FImage->Width() : Width());
    int stepY = std::max(1, FImage && FImage->Height() > 0 ? FImage->Height() : Height());
    for (int y = rect.Top + Top(); y < rect.Bottom; y += stepY)
      for (int x = rect.Left + Left(); x < rect.Right; x += stepX) drawAt(Bounds(x, y, Width(), Height()));
  }
  // The masked blits went round the canvas's own drawing.
  if (masked) canvas.Changed();
}

// --- Optimizer steps ----------------------------------------------------------

void TGIFSubImage::Crop() {
  int transparent = TransparentIndex();
  if (transparent < 0 || Empty()) return;
  int width = Width(), height = Height();
  int left = width, right = -1, top = height, bottom = -1;
  for (int y = 0; y < height; ++y) {
    const uint8_t* row = FData.get() + int64_t(y) * width;
    for (int x = 0; x < width; ++x) {
      if (row[x] == transparent) continue;
      left = std::min(left, x);
      right = std::max(right, x);
      top = std::min(top, y);
      bottom = std::max(bottom, y);
    }
  }
  if (right < 0) {
    Clear();
    return;
  }
  int boxWidth = right - left + 1, boxHeight = bottom - top + 1;
  if (boxWidth == width && boxHeight == height) return;
  std::vector<uint8_t> box(size_t(boxWidth) * size_t(boxHeight));
  for (int y = 0; y < boxHeight; ++y)
    std::memcpy(box.data() + size_t(y) * boxWidth, FData.get() + int64_t(top + y) * width + left,
                size_t(boxWidth));
  SetBounds(Left() + left, Top() + top, boxWidth, boxHeight);
  std::memcpy(FData.get(), box.data(), box.size());
  FreeBitmap();
  FreeMask();
}

void TGIFSubImage::Merge(TGIFSubImage* previous) {
  if (Empty() || !previous || previous->Empty()) return;
  TGIFGraphicControlExtension* previousGCE = previous->GraphicControlExtension();
  if (previousGCE && (previousGCE->Disposal() == dmBackground || previousGCE->Disposal() == dmPrevious))
    return;
  TRect a = BoundsRect(), b = previous->BoundsRect();
  TRect both = Rect(std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
                    std::min(a.Bottom, b.Bottom));
  if (both.Left >= both.Right || both.Top >= both.Bottom) return;
  TGIFColorMap& map = ActiveColorMap();
  int transparent = TransparentIndex();
  if (transparent < 0 && (map.Count() == 0 || map.Count() >= 256)) return;
  TGIFColorMap& previousMap = previous->ActiveColorMap();
  bool shared = &map == &previousMap;
  const std::array<TGIFColor, 256> colors = ColorTable(map), previousColors = ColorTable(previousMap);
  int count = map.Count(), previousCount = previousMap.Count();
  int previousTransparent = previous->TransparentIndex();
  bool changed = false;
  for (int y = both.Top; y < both.Bottom; ++y) {
    uint8_t* row = FData.get() + int64_t(y - Top()) * Width();
    const uint8_t* previousRow = previous->FData.get() + int64_t(y - previous->Top()) * previous->Width();
    for (int x = both.Left; x < both.Right; ++x) {
      int p = row[x - Left()], q = previousRow[x - previous->Left()];
      if (p == transparent || q == previousTransparent) continue;
      bool same =
          shared ? p == q : p < count && q < previousCount && colors[size_t(p)] == previousColors[size_t(q)];
      if (!same) continue;
      if (transparent < 0) {
        // The first pixel merged gives an opaque frame its transparent
        // colour: one a transparent frame on the global map already has
        // (when the map holds it: pixels beyond the map cannot be written),
        // else black added to the map.
        if (&map != FColorMap.get()) {
          for (int i = 0; i < FImage->Frames().Count() && transparent < 0; ++i) {
            TGIFSubImage* other = FImage->Frames().SubImages(i);
            if (other != this && other->ColorMap().Count() == 0 && other->TransparentIndex() < count)
              transparent = other->TransparentIndex();
          }
        }
        if (transparent < 0) transparent = map.Add({0, 0, 0});
        TGIFGraphicControlExtension* gce = FGCE;
        if (!gce) {
          gce = new TGIFGraphicControlExtension(this);
          FExtensions->Add(gce);
        }
        gce->SetTransparentColorIndex(transparent);
        gce->SetTransparent(true);
      }
      row[x - Left()] = uint8_t(transparent);
      changed = true;
    }
  }
  if (!changed) return;
  FreeBitmap();
  FreeMask();
}
