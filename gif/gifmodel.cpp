// The building blocks of the GIF document: stream routines, items and
// lists, colour maps, the header and the trailer.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "gif/gifimage.h"

// --- Routines -----------------------------------------------------------------

void GIFError(const std::string& message) { throw GIFException(message); }

void ReadCheck(TStream& stream, void* buffer, int64_t size) {
  if (stream.Read(buffer, size) != size) GIFError(sOutOfData);
}

void WriteByte(TStream& stream, uint8_t value) { stream.WriteBuffer(&value, 1); }

int ReadByte(TStream& stream) {
  uint8_t value;
  return stream.Read(&value, 1) == 1 ? value : -1;
}

void WriteSubBlockStrings(TStream& stream, const TStringList& strings) {
  for (int i = 0; i < strings.Count(); ++i) {
    const std::string& line = strings[i];
    for (size_t at = 0; at < line.size(); at += 255) {
      size_t size = std::min<size_t>(255, line.size() - at);
      WriteByte(stream, static_cast<uint8_t>(size));
      stream.WriteBuffer(line.data() + at, static_cast<int64_t>(size));
    }
  }
  WriteByte(stream, 0);
}

void ReadSubBlockStrings(TStream& stream, TStringList& strings) {
  strings.Clear();
  for (int size = ReadByte(stream); size > 0; size = ReadByte(stream)) {
    std::string line(static_cast<size_t>(size), '\0');
    ReadCheck(stream, line.data(), size);
    strings.Add(line);
  }
}

int ColorsToBitsPerPixel(int colors) {
  if (colors <= 0) return 0;
  int bits = 1;
  while ((1 << bits) < colors) ++bits;
  return bits;
}

int64_t AlignedScanlineBytes(int64_t pixels, int bitsPerPixel, int alignment) {
  return AlignedRowBytes(pixels, bitsPerPixel, alignment);
}

// --- Items and lists ----------------------------------------------------------

void TGIFItem::Warning(TGIFSeverity severity, const std::string& message) {
  if (FImage) FImage->Warning(this, severity, message);
}

void TGIFItem::SaveToFile(const std::string& path) {
  TFileStream stream(path, fmCreate);
  SaveToStream(stream);
  stream.Close();
}

void TGIFItem::LoadFromFile(const std::string& path) {
  TFileStream stream(path, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(stream);
}

TGIFList::~TGIFList() { Clear(); }

void TGIFList::Warning(TGIFSeverity severity, const std::string& message) {
  if (FImage) FImage->Warning(this, severity, message);
}

void TGIFList::SaveToStream(TStream& stream) {
  for (int i = 0; i < Count(); ++i) Items(i)->SaveToStream(stream);
}

void TGIFList::SetItems(int index, TGIFItem* item) {
  TGIFItem* old = Items(index);
  FItems.SetItem(index, item);
  delete old;
}

void TGIFList::Insert(int index, TGIFItem* item) {
  FItems.Insert(index, item);
  GIFWork.ListItems += Count() - index;
}

void TGIFList::Delete(int index) {
  // Taken out first: a dying item removes itself from its list.
  TGIFItem* item = Items(index);
  GIFWork.ListItems += Count() - index;
  FItems.Delete(index);
  delete item;
}

int TGIFList::Remove(TGIFItem* item) {
  // The items before it are looked at, those after it move.
  GIFWork.ListItems += Count();
  return FItems.Remove(item);
}

void TGIFList::Clear() {
  // All are taken out before the first is freed, in order: each dying item
  // then finds its list empty where it would search the rest of it (a
  // frame's thousands of extensions freed in the square of their number).
  GIFWork.ListItems += Count();
  std::vector<void*> items(FItems.begin(), FItems.end());
  FItems.Clear();
  for (void* item : items) delete static_cast<TGIFItem*>(item);
}

void TGIFList::Move(int from, int to) {
  FItems.Move(from, to);
  GIFWork.ListItems += std::abs(from - to) + 1;
}

int TGIFList::IndexOf(const TGIFItem* item) const {
  const int index = FItems.IndexOf(item);
  GIFWork.ListItems += index < 0 ? Count() : index + 1;
  return index;
}

// --- Colour maps --------------------------------------------------------------

void TGIFColorMap::Clear() {
  FColors.clear();
  FCount = 0;
  FCapacity = 0;
  FOptimized = false;
}

void TGIFColorMap::SetCapacity(int capacity) {
  if (capacity < FCapacity) return;
  int rounded = capacity <= 16 ? 16 : (capacity + 31) / 32 * 32;
  FCapacity = std::min(rounded, 256);
  FColors.resize(static_cast<size_t>(FCapacity));
}

void TGIFColorMap::Append(TGIFColor color) {
  if (FCount >= 256) GIFError(sTooManyColors);
  if (FCount >= FCapacity) SetCapacity(FCount + 1);
  FColors[static_cast<size_t>(FCount++)] = color;
}

int TGIFColorMap::Add(TGIFColor color) {
  Append(color);
  FOptimized = false;
  Changed();
  return FCount - 1;
}

int TGIFColorMap::AddUnique(TGIFColor color) {
  int index = IndexOf(color);
  return index >= 0 ? index : Add(color);
}

int TGIFColorMap::IndexOf(TGIFColor color) const {
  if (FOptimized) {
    for (int i = 0; i < FCount; ++i)
      if (FColors[static_cast<size_t>(i)] == color) return i;
  } else {
    for (int i = FCount - 1; i >= 0; --i)
      if (FColors[static_cast<size_t>(i)] == color) return i;
  }
  return -1;
}

void TGIFColorMap::Delete(int index) {
  if (index < 0 || index >= FCount) GIFError(sBadColorIndex);
  FColors.erase(FColors.begin() + index);
  FColors.push_back({});
  --FCount;
  FOptimized = false;
  Changed();
}

TGIFColor TGIFColorMap::Colors(int index) {
  if (index < 0 || index >= FCount) {
    Warning(gsWarning, sBadColorIndex);
    if (FCount == 0) GIFError(sEmptyColorMap);
    index = 0;
  }
  return FColors[static_cast<size_t>(index)];
}

void TGIFColorMap::SetColors(int index, TGIFColor color) {
  if (index < 0 || index >= FCount) GIFError(sBadColorIndex);
  FColors[static_cast<size_t>(index)] = color;
  Changed();
}

void TGIFColorMap::ImportPalette(HPALETTE palette) {
  Clear();
  PALETTEENTRY entries[256];
  unsigned count = GetPaletteEntries(palette, 0, 256, entries);
  for (unsigned i = 0; i < count; ++i) Append({entries[i].peRed, entries[i].peGreen, entries[i].peBlue});
  if (count > 0) Changed();
}

void TGIFColorMap::ImportColorTable(const RGBQUAD* table, int count) {
  Clear();
  for (int i = 0; i < count; ++i) Append({table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue});
  if (count > 0) Changed();
}

void TGIFColorMap::ImportDIBColors(HDC dc) {
  if (!dc || !dc->Bitmap) {
    Clear();
    return;
  }
  const std::vector<RGBQUAD>& table = dc->Bitmap->ColorTable;
  ImportColorTable(table.data(), std::min<int>(static_cast<int>(table.size()), 256));
}

void TGIFColorMap::ImportColorMap(const TGIFColor* colors, int count) {
  Clear();
  for (int i = 0; i < count; ++i) Append(colors[i]);
  if (count > 0) Changed();
}

HPALETTE TGIFColorMap::ExportPalette() const {
  if (FCount == 0) return nullptr;
  constexpr uint8_t PC_NOCOLLAPSE = 0x04;
  TMaxLogPalette pal;
  pal.palNumEntries = static_cast<uint16_t>(FCount);
  for (int i = 0; i < FCount; ++i) {
    const TGIFColor& c = FColors[static_cast<size_t>(i)];
    pal.palPalEntry[i] = {c.Red, c.Green, c.Blue, PC_NOCOLLAPSE};
  }
  return CreatePalette(pal);
}

void TGIFColorMap::Assign(const TPersistent* source) {
  const auto* map = dynamic_cast<const TGIFColorMap*>(source);
  if (!map) {
    TPersistent::Assign(source);
    return;
  }
  if (map == this) return;
  FColors = map->FColors;
  FCount = map->FCount;
  FCapacity = map->FCapacity;
  FOptimized = map->FOptimized;
  Changed();
}

void TGIFColorMap::WriteEntries(TStream& stream, int entries) const {
  std::vector<uint8_t> bytes(static_cast<size_t>(entries) * 3, 0);
  int n = std::min(FCount, entries);
  if (n > 0) std::memcpy(bytes.data(), FColors.data(), static_cast<size_t>(n) * 3);
  stream.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
}

void TGIFColorMap::LoadFromStream(TStream& stream, int count) {
  Clear();
  if (count > 256) GIFError(sTooManyColors);
  SetCapacity(count);
  ReadCheck(stream, FColors.data(), int64_t(count) * 3);
  FCount = count;
  Changed();
}

namespace {

// Sorts by count, highest first (quicksort, middle element as pivot).
void SortByUsage(std::vector<TUsageCount>& list, int left, int right) {
  int i;
  do {
    i = left;
    int j = right;
    int pivot = list[static_cast<size_t>((left + right) / 2)].Count;
    do {
      while (list[static_cast<size_t>(i)].Count > pivot) ++i;
      while (list[static_cast<size_t>(j)].Count < pivot) --j;
      if (i <= j) {
        std::swap(list[static_cast<size_t>(i)], list[static_cast<size_t>(j)]);
        ++i;
        --j;
      }
    } while (i <= j);
    if (left < j) SortByUsage(list, left, j);
    left = i;
  } while (i < right);
}

}  // namespace

int NearestColorIndex(TGIFColor color, const TGIFColor* colors, int count, int skip) {
  int best = -1, bestDistance = 0;
  for (int k = 0; k < count; ++k) {
    if (k == skip) continue;
    const TGIFColor& c = colors[k];
    const int distance = std::abs(color.Red - c.Red) + std::abs(color.Green - c.Green) + std::abs(color.Blue - c.Blue);
    if (best < 0 || distance < bestDistance) {
      best = k;
      bestDistance = distance;
    }
  }
  return best;
}

bool TGIFColorMap::DoOptimize() {
  if (FCount <= 1) return false;
  FOptimized = true;
  std::vector<TUsageCount> histogram = BuildHistogram();
  SortByUsage(histogram, 0, FCount - 1);
  bool identity = true;
  for (int i = 0; i < FCount; ++i) identity = identity && histogram[static_cast<size_t>(i)].Index == i;
  if (identity) return true;

  std::vector<int> map(static_cast<size_t>(FCount));
  for (int i = 0; i < FCount; ++i) map[static_cast<size_t>(histogram[static_cast<size_t>(i)].Index)] = i;
  MapImages(map);
  std::vector<TGIFColor> old = FColors;
  int used = FCount;
  for (int i = FCount - 1; i >= 0; --i) {
    const TUsageCount& entry = histogram[static_cast<size_t>(i)];
    FColors[static_cast<size_t>(i)] = old[static_cast<size_t>(entry.Index)];
    if (entry.Count == 0) used = i;
  }
  FCount = used;
  Changed();
  return true;
}

namespace {

// Use counts of the pixels of one frame, added to the histogram.
void CountPixels(const TGIFSubImage& frame, std::vector<TUsageCount>& histogram) {
  const uint8_t* p = frame.Data();
  if (!p) return;
  for (int64_t i = 0; i < frame.DataSize(); ++i)
    if (p[i] < histogram.size()) ++histogram[p[i]].Count;
}

void RenumberPixels(TGIFSubImage& frame, const std::vector<int>& map) {
  uint8_t* p = frame.Data();
  if (p) {
    for (int64_t i = 0; i < frame.DataSize(); ++i)
      if (p[i] < map.size()) p[i] = static_cast<uint8_t>(map[p[i]]);
  }
  TGIFGraphicControlExtension* gce = frame.GraphicControlExtension();
  if (frame.Transparent() && gce && gce->TransparentColorIndex() < map.size())
    gce->SetTransparentColorIndex(map[gce->TransparentColorIndex()]);
}

std::vector<TUsageCount> EmptyHistogram(int count) {
  std::vector<TUsageCount> histogram(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) histogram[static_cast<size_t>(i)].Index = i;
  return histogram;
}

}  // namespace

void TGIFGlobalColorMap::Warning(TGIFSeverity severity, const std::string& message) {
  if (FHeader->Image()) FHeader->Image()->Warning(this, severity, message);
}

std::vector<TUsageCount> TGIFGlobalColorMap::BuildHistogram() {
  std::vector<TUsageCount> histogram = EmptyHistogram(Count());
  if (TGIFImage* image = FHeader->Image()) {
    for (int i = 0; i < image->Frames().Count(); ++i) {
      TGIFSubImage* frame = image->Frames().SubImages(i);
      if (&frame->ActiveColorMap() == this) CountPixels(*frame, histogram);
    }
  }
  return histogram;
}

void TGIFGlobalColorMap::MapImages(const std::vector<int>& map) {
  if (TGIFImage* image = FHeader->Image()) {
    for (int i = 0; i < image->Frames().Count(); ++i) {
      TGIFSubImage* frame = image->Frames().SubImages(i);
      if (&frame->ActiveColorMap() == this) RenumberPixels(*frame, map);
    }
  }
}

bool TGIFGlobalColorMap::Optimize() {
  TGIFImage* image = FHeader->Image();
  if (!image || image->Frames().Count() == 0) return false;
  return DoOptimize();
}

void TGIFGlobalColorMap::Changed() {
  TGIFImage* image = FHeader->Image();
  if (!image) return;
  // Renderings made from the old colours go.
  image->SetPalette(nullptr);
  image->FreeBitmap();
  for (int i = 0; i < image->Frames().Count(); ++i) {
    TGIFSubImage* frame = image->Frames().SubImages(i);
    if (frame->ColorMap().Count() == 0) frame->FreeBitmap();
  }
}

void TGIFLocalColorMap::Warning(TGIFSeverity severity, const std::string& message) {
  if (FFrame->Image()) FFrame->Image()->Warning(this, severity, message);
}

std::vector<TUsageCount> TGIFLocalColorMap::BuildHistogram() {
  std::vector<TUsageCount> histogram = EmptyHistogram(Count());
  CountPixels(*FFrame, histogram);
  return histogram;
}

void TGIFLocalColorMap::MapImages(const std::vector<int>& map) { RenumberPixels(*FFrame, map); }

void TGIFLocalColorMap::Changed() {
  FFrame->SetPalette(nullptr);
  FFrame->FreeBitmap();
}

// --- Header and trailer -------------------------------------------------------

TGIFHeader::TGIFHeader(TGIFImage* image)
    : TGIFItem(image), FColorMap(std::make_unique<TGIFGlobalColorMap>(this)) {}

void TGIFHeader::Clear() {
  FColorMap->Clear();
  FDescriptor = {};
}

void TGIFHeader::Assign(const TPersistent* source) {
  if (const auto* header = dynamic_cast<const TGIFHeader*>(source)) {
    if (header == this) return;
    FColorMap->Assign(header->FColorMap.get());
    FDescriptor = header->FDescriptor;
  } else if (const auto* map = dynamic_cast<const TGIFColorMap*>(source)) {
    Clear();
    FColorMap->Assign(map);
  } else {
    TGIFItem::Assign(source);
  }
}

void TGIFHeader::Prepare() {
  uint8_t packed = 0;
  if (FColorMap->Count() > 0) {
    packed |= 0x80;
    if (FColorMap->Optimized()) packed |= 0x08;
  }
  int resolution = FImage ? FImage->ColorResolution() : ColorResolution();
  int bits = FImage ? FImage->BitsPerPixel() : BitsPerPixel();
  packed |= static_cast<uint8_t>((resolution * 16) & 0x70);
  packed |= static_cast<uint8_t>((bits - 1) & 0x07);
  FDescriptor.PackedFields = packed;
}

TGIFVersion TGIFHeader::GetVersion() const {
  return FColorMap->Optimized() || FDescriptor.AspectRatio != 0 ? gv89a : gv87a;
}

void TGIFHeader::SaveToStream(TStream& stream) {
  TGIFVersion version = FImage ? FImage->Version() : GetVersion();
  if (version == gvUnknown) GIFError(sBadVersion);
  Prepare();
  std::string signature = std::string("GIF") + GIFVersions[version];
  const TLogicalScreenDescriptor& d = FDescriptor;
  uint8_t bytes[7] = {0, 0, 0, 0, d.PackedFields, d.BackgroundColorIndex, d.AspectRatio};
  PutU16(bytes, d.ScreenWidth);
  PutU16(bytes + 2, d.ScreenHeight);
  stream.WriteBuffer(signature.data(), 6);
  stream.WriteBuffer(bytes, 7);
  // The table is as long as the size field says, which may count the bits
  // of a larger local table.
  if (d.PackedFields & 0x80) FColorMap->WriteEntries(stream, 2 << (d.PackedFields & 0x07));
}

void TGIFHeader::LoadFromStream(TStream& stream) {
  int64_t start = stream.Position();
  char signature[6];
  ReadCheck(stream, signature, 6);
  if (UpperCase(std::string(signature, 3)) != "GIF") {
    // Some files carry four bytes in front of the signature.
    stream.SetPosition(start + 4);
    ReadCheck(stream, signature, 6);
    if (UpperCase(std::string(signature, 3)) != "GIF") GIFError(sBadSignature);
  }
  uint8_t bytes[7];
  ReadCheck(stream, bytes, 7);
  FDescriptor.ScreenWidth = GetU16(bytes);
  FDescriptor.ScreenHeight = GetU16(bytes + 2);
  FDescriptor.PackedFields = bytes[4];
  FDescriptor.BackgroundColorIndex = bytes[5];
  FDescriptor.AspectRatio = bytes[6];
  if (bytes[4] & 0x80)
    FColorMap->LoadFromStream(stream, 2 << (bytes[4] & 0x07));
  else
    FColorMap->Clear();
}

void TGIFHeader::SetWidth(int value) {
  if (value < 0 || value > 0xFFFF) GIFError(sBadDimension);
  FDescriptor.ScreenWidth = static_cast<uint16_t>(value);
}

void TGIFHeader::SetHeight(int value) {
  if (value < 0 || value > 0xFFFF) GIFError(sBadDimension);
  FDescriptor.ScreenHeight = static_cast<uint16_t>(value);
}

void TGIFHeader::SetBackgroundColorIndex(int index) {
  if (FColorMap->Count() > 0 && (index < 0 || index >= FColorMap->Count())) {
    Warning(gsWarning, sBadColorIndex);
    index = 0;
  }
  FDescriptor.BackgroundColorIndex = static_cast<uint8_t>(index);
}

TColor TGIFHeader::BackgroundColor() {
  return TGIFColorMap::RGB2Color(FColorMap->Colors(FDescriptor.BackgroundColorIndex));
}

void TGIFHeader::SetBackgroundColor(TColor color) {
  FDescriptor.BackgroundColorIndex =
      static_cast<uint8_t>(FColorMap->AddUnique(TGIFColorMap::Color2RGB(color)));
}

void TGIFTrailer::SaveToStream(TStream& stream) { WriteByte(stream, bsTrailer); }

void TGIFTrailer::LoadFromStream(TStream& stream) {
  int b = ReadByte(stream);
  if (b >= 0 && b != bsTrailer) Warning(gsWarning, sBadTrailer);
}

// --- Data sub-blocks ----------------------------------------------------------

void TGIFSubBlocks::Clear() {
  FBytes = std::vector<uint8_t>();
  FCount = 0;
}

void TGIFSubBlocks::Add(const void* data, int size) {
  if (size < 1 || size > 255) GIFError(sInvalidData);
  FBytes.push_back(static_cast<uint8_t>(size));
  FBytes.insert(FBytes.end(), static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size);
  ++FCount;
}

void TGIFSubBlocks::LoadFromStream(TStream& stream) {
  Clear();
  // The chain is walked first and then read in one piece, so that the store
  // is made once, at its size.
  const int64_t start = stream.Position(), size = stream.Size();
  int64_t end = start, count = 0;
  int length;
  while ((length = ReadByte(stream)) > 0) {
    if (size - end - 1 < length) GIFError(sOutOfData);
    end += 1 + length;
    ++count;
    stream.Seek(length, soCurrent);
  }
  if (count > 0) {
    FBytes.resize(size_t(end - start));
    stream.SetPosition(start);
    ReadCheck(stream, FBytes.data(), end - start);
    FCount = count;
    if (length == 0) stream.Seek(1, soCurrent);
  }
}

void TGIFSubBlocks::SaveToStream(TStream& stream) const {
  if (FCount > 0) stream.WriteBuffer(FBytes.data(), Size());
  WriteByte(stream, 0);
}

TStringList& TGIFSubBlockText::Lines() {
  if (!FLines) {
    FLines = std::make_unique<TStringList>();
    FBlocks.ForEach([&](const uint8_t* data, int size) { FLines->Add(std::string(data, data + size)); });
    FBlocks.Clear();
  }
  return *FLines;
}

void TGIFSubBlockText::LoadFromStream(TStream& stream) {
  FLines.reset();
  FBlocks.LoadFromStream(stream);
}

void TGIFSubBlockText::SaveToStream(TStream& stream) const {
  // Each block read is a line of at most 255 bytes, and never empty: as
  // its line it would be written back as the same block.
  if (FLines)
    WriteSubBlockStrings(stream, *FLines);
  else
    FBlocks.SaveToStream(stream);
}
