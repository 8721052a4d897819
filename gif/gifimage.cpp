// Frames and the image: sizes and pixels, and the walk through a GIF file
// when reading and writing.
#include "gif/gifimage.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "gif/giflzw.h"
#include "gif/gifreduce.h"

static_assert(sizeof(TGIFColor) == 3, "colour tables are read and written as packed triples");
static_assert(sizeof(TGIFApplicationRec) == 11, "the identifier is read and written as one block");

// --- TGIFSubImage -------------------------------------------------------------

void TGIFSubImage::FreeDeleter::operator()(uint8_t* p) const { std::free(p); }

TGIFSubImage::TGIFSubImage(TGIFImage* image)
    : TGIFItem(image),
      FColorMap(std::make_unique<TGIFLocalColorMap>(this)),
      FExtensions(std::make_unique<TGIFExtensionList>(image)) {}

TGIFSubImage::~TGIFSubImage() {
  if (FImage) FImage->Frames().Remove(this);
  FExtensions->Clear();
  FreeImage();
  DeleteObject(FPalette);
}

void TGIFSubImage::Clear() {
  FExtensions->Clear();
  FColorMap->Clear();
  FreeImage();
  SetBounds(Left(), Top(), 0, 0);
  FTransparent = false;
  FGCE = nullptr;
  FreeBitmap();
  FreeMask();
}

void TGIFSubImage::SetBounds(int left, int top, int width, int height) {
  if (left < 0 || top < 0 || width < 0 || height < 0 || int64_t(left) + width > 0xFFFF ||
      int64_t(top) + height > 0xFFFF)
    GIFError(sBadDimension);
  bool resized = width != Width() || height != Height();
  FImageDescriptor.Left = static_cast<uint16_t>(left);
  FImageDescriptor.Top = static_cast<uint16_t>(top);
  FImageDescriptor.Width = static_cast<uint16_t>(width);
  FImageDescriptor.Height = static_cast<uint16_t>(height);
  if (resized) {
    FreeBitmap();
    FreeMask();
    NewImage();
  }
  if (!FImage) return;
  bool warned = false;
  if (FImage->Width() < left + width) {
    if (FImage->Width() > 0) {
      Warning(gsWarning, sBadWidth);
      warned = true;
    }
    FImage->Header().SetWidth(left + width);
  }
  if (FImage->Height() < top + height) {
    if (FImage->Height() > 0) {
      Warning(gsWarning, sBadHeight);
      warned = true;
    }
    FImage->Header().SetHeight(top + height);
  }
  if (warned) Warning(gsWarning, sScreenSizeExceeded);
}

void TGIFSubImage::SetInterlaced(bool value) {
  uint8_t& packed = FImageDescriptor.PackedFields;
  packed = static_cast<uint8_t>(value ? packed | 0x40 : packed & ~0x40);
}

TGIFColorMap& TGIFSubImage::ActiveColorMap() {
  if (FColorMap->Count() > 0 || !FImage || FImage->GlobalColorMap().Count() == 0) return *FColorMap;
  return FImage->GlobalColorMap();
}

void TGIFSubImage::NewImage() {
  FreeImage();
  int64_t size = int64_t(Width()) * Height();
  if (size == 0) return;
  if (size > MaxBitmapBytes || (FImage && FImage->FPixelBytes + size > MaxBitmapBytes))
    GIFError(sOutOfMemDIB);
  // calloc leaves untouched pages of a large buffer unmapped until used.
  FData.reset(static_cast<uint8_t*>(std::calloc(static_cast<size_t>(size), 1)));
  if (!FData) GIFError(sOutOfMemDIB);
  FDataSize = size;
  if (FImage) FImage->FPixelBytes += size;
}

void TGIFSubImage::FreeImage() {
  if (FImage) FImage->FPixelBytes -= FDataSize;
  FData.reset();
  FDataSize = 0;
}

uint8_t* TGIFSubImage::Scanline(int y) {
  if (y < 0 || y >= Height()) GIFError(sBadPixelCoordinates);
  if (!FData) {
    if (Width() == 0) GIFError(sEmptyImage);
    NewImage();
  }
  return FData.get() + int64_t(y) * Width();
}

uint8_t TGIFSubImage::Pixels(int x, int y) {
  if (x < 0 || x >= Width()) GIFError(sBadPixelCoordinates);
  return Scanline(y)[x];
}

TGIFVersion TGIFSubImage::GetVersion() const {
  if (FColorMap->Optimized()) return gv89a;
  TGIFVersion version = gv87a;
  for (int i = 0; i < FExtensions->Count() && version != gv89a; ++i)
    version = std::max(version, FExtensions->Items(i)->GetVersion());
  return version;
}

void TGIFSubImage::Prepare() {
  uint8_t& packed = FImageDescriptor.PackedFields;
  if (FColorMap->Count() > 0) {
    // A frame with its own colours is written in plain row order.
    packed = static_cast<uint8_t>(0x80 | (FColorMap->Optimized() ? 0x20 : 0) | ((BitsPerPixel() - 1) & 0x07));
  } else {
    packed &= 0x58;  // the interlace bit and the two reserved bits
  }
}

void TGIFSubImage::SaveToStream(TStream& stream) {
  FExtensions->SaveToStream(stream);
  if (Empty()) return;
  Prepare();
  const TImageDescriptor& d = FImageDescriptor;
  uint8_t bytes[10] = {bsImageSeparator};
  PutU16(bytes + 1, d.Left);
  PutU16(bytes + 3, d.Top);
  PutU16(bytes + 5, d.Width);
  PutU16(bytes + 7, d.Height);
  bytes[9] = d.PackedFields;
  stream.WriteBuffer(bytes, 10);
  FColorMap->SaveToStream(stream);
  Compress(stream);
}

void TGIFSubImage::LoadFromStream(TStream& stream) {
  Clear();
  FExtensions->LoadFromStream(stream, this);
  // A frame may hold extensions only.
  int next = ReadByte(stream);
  if (next < 0) return;
  stream.Seek(-1, soCurrent);
  if (next == bsTrailer || next == 0) return;

  uint8_t bytes[10];
  ReadCheck(stream, bytes, 10);
  FImageDescriptor = {bytes[0],          GetU16(bytes + 1), GetU16(bytes + 3),
                      GetU16(bytes + 5), GetU16(bytes + 7), bytes[9]};
  if (Width() == 0 || Height() == 0) {
    if (FImage) {
      FImageDescriptor.Width = static_cast<uint16_t>(FImage->Width());
      FImageDescriptor.Height = static_cast<uint16_t>(FImage->Height());
    }
    Warning(gsWarning, sScreenSizeExceeded);
  }
  if (bytes[9] & 0x80) FColorMap->LoadFromStream(stream, 2 << (bytes[9] & 0x07));
  Decompress(stream);
  if (GIFImageRenderOnLoad) Bitmap();
}

void TGIFSubImage::Compress(TStream& stream) {
  int bitsPerPixel, colors;
  if (FColorMap->Count() > 0) {
    colors = FColorMap->Count();
    bitsPerPixel = FColorMap->BitsPerPixel();
  } else {
    bitsPerPixel = FImage ? FImage->BitsPerPixel() : 8;
    colors = 1 << bitsPerPixel;
  }
  std::unique_ptr<TGIFEncoder> encoder;
  if (FImage && FImage->Compression == gcRLE)
    encoder = std::make_unique<TRLEEncoder>();
  else
    encoder = std::make_unique<TLZWEncoder>();
  encoder->Compress(stream, bitsPerPixel, Width(), Height(), Interlaced(), FData.get(), colors);
}

// --- TGIFImageList ------------------------------------------------------------

void TGIFImageList::SaveToStream(TStream& stream) {
  for (int i = 0; i < Count(); ++i) {
    Items(i)->SaveToStream(stream);
    if (FImage)
      FImage->Progress(FImage, psRunning, static_cast<uint8_t>((i + 1) * 100 / Count()), false,
                       sProgressSaving);
  }
}

namespace {

// The next byte that is not 0, or -1 at the end of the data.
int SkipZeros(TStream& stream) {
  int b;
  do b = ReadByte(stream);
  while (b == 0);
  return b;
}

}  // namespace

void TGIFImageList::LoadFromStream(TStream& stream, TObject* parent) {
  auto* image = static_cast<TGIFImage*>(parent);
  int64_t size = stream.Size();
  for (int b = SkipZeros(stream); b >= 0; b = SkipZeros(stream)) {
    if (b == bsTrailer) {
      stream.Seek(-1, soCurrent);
      break;
    }
    if (b != bsExtensionIntroducer && b != bsImageSeparator) {
      Warning(gsWarning, sBadBlock);
      break;
    }
    stream.Seek(-1, soCurrent);
    auto frame = std::make_unique<TGIFSubImage>(image);
    frame->LoadFromStream(stream);
    Add(frame.release());
    if (image && size > 0)
      image->Progress(image, psRunning,
                      static_cast<uint8_t>(std::min<int64_t>(100, stream.Position() * 100 / size)),
                      GIFImageRenderOnLoad, sProgressLoading);
  }
}

// --- TGIFImage ----------------------------------------------------------------

TGIFImage::TGIFImage()
    : ColorReduction(GIFImageDefaultColorReduction),
      DitherMode(GIFImageDefaultDitherMode),
      Compression(GIFImageDefaultCompression),
      ThreadPriority(GIFImageDefaultThreadPriority),
      FFrames(std::make_unique<TGIFImageList>(this)),
      FHeader(std::make_unique<TGIFHeader>(this)),
      FDrawOptions(GIFImageDefaultDrawOptions),
      FReductionBits(GIFImageDefaultColorReductionBits),
      FAnimationSpeed(GIFImageDefaultAnimationSpeed) {
  Clear();
}

TGIFImage::~TGIFImage() {
  Cleanup();
  DeleteObject(FPalette);
}

void TGIFImage::Clear() {
  // A handler run while the painters end, or a stop on another thread, may
  // free the image first.
  StopAllPainters([this] { ClearContents(); });
}

void TGIFImage::ClearContents() {
  FreeBitmap();
  FFrames->Clear();
  FHeader->ColorMap().Clear();
  FHeader->SetWidth(0);
  FHeader->SetHeight(0);
  FHeader->Prepare();
  SetPalette(nullptr);
}

void TGIFImage::SetWidth(int value) {
  if (value < 0 || value > 0xFFFF) GIFError(sBadDimension);
  for (int i = 0; i < FFrames->Count(); ++i) {
    TGIFSubImage* frame = FFrames->SubImages(i);
    if (frame->Left() + frame->Width() > value) GIFError(sBadWidth);
  }
  if (value == Width()) return;
  FHeader->SetWidth(value);
  FreeBitmap();
  Changed();
}

void TGIFImage::SetHeight(int value) {
  if (value < 0 || value > 0xFFFF) GIFError(sBadDimension);
  for (int i = 0; i < FFrames->Count(); ++i) {
    TGIFSubImage* frame = FFrames->SubImages(i);
    if (frame->Top() + frame->Height() > value) GIFError(sBadHeight);
  }
  if (value == Height()) return;
  FHeader->SetHeight(value);
  FreeBitmap();
  Changed();
}

TGIFVersion TGIFImage::Version() const {
  TGIFVersion version = gvUnknown;
  for (int i = 0; i < FFrames->Count() && version != gv89a; ++i)
    version = std::max(version, FFrames->SubImages(i)->GetVersion());
  return version;
}

int TGIFImage::BitsPerPixel() const {
  int bits = FHeader->BitsPerPixel();
  for (int i = 0; i < FFrames->Count(); ++i) bits = std::max(bits, FFrames->SubImages(i)->BitsPerPixel());
  return bits;
}

int TGIFImage::ColorResolution() const {
  int resolution = FHeader->ColorResolution();
  for (int i = 0; i < FFrames->Count(); ++i)
    resolution = std::max(resolution, FFrames->SubImages(i)->ColorResolution());
  return resolution;
}

bool TGIFImage::IsTransparent() const {
  for (int i = 0; i < FFrames->Count(); ++i) {
    TGIFGraphicControlExtension* gce = FFrames->SubImages(i)->GraphicControlExtension();
    if (gce && gce->Transparent()) return true;
  }
  return false;
}

int TGIFImage::Add(TPersistent* source) {
  auto* frame = dynamic_cast<TGIFSubImage*>(source);
  if (!frame) {
    if (!dynamic_cast<TGraphic*>(source)) GIFError(sUnsupportedClass);
    auto converted = std::make_unique<TGIFSubImage>(this);
    converted->Assign(source);
    frame = converted.release();
  }
  int index = FFrames->Add(frame);
  FreeBitmap();
  Changed();
  return index;
}

void TGIFImage::Assign(const TPersistent* source) {
  if (source == this) return;
  const auto* other = dynamic_cast<const TGIFImage*>(source);
  std::weak_ptr<void> alive = FAlive;
  if (!other) {
    Clear();
    if (!source || alive.expired()) return;
    auto frame = std::make_unique<TGIFSubImage>(this);
    frame->Assign(source);
    Add(frame.release());
    return;
  }
  Clear();
  if (alive.expired()) return;
  // The copy reports to the source's handlers while it is made.
  OnProgress = other->OnProgress;
  OnWarning = other->OnWarning;
  Progress(this, psStarting, 0, false, sProgressCopying);
  try {
    FHeader->Assign(other->FHeader.get());
    ThreadPriority = other->ThreadPriority;
    DrawBackgroundColor = other->DrawBackgroundColor;
    FDrawOptions = other->FDrawOptions;
    ColorReduction = other->ColorReduction;
    DitherMode = other->DitherMode;
    int count = other->FFrames->Count();
    for (int i = 0; i < count; ++i) {
      auto frame = std::make_unique<TGIFSubImage>(this);
      frame->Assign(other->FFrames->SubImages(i));
      Add(frame.release());
      Progress(this, psRunning, uint8_t((i + 1) * 100 / count), false, sProgressCopying);
    }
  } catch (...) {
    Progress(this, psEnding, 0, true, sProgressCopying);
    OnProgress = nullptr;
    OnWarning = nullptr;
    throw;
  }
  Progress(this, psEnding, 100, true, sProgressCopying);
  OnProgress = nullptr;
  OnWarning = nullptr;
}

void TGIFImage::AssignTo(TPersistent* dest) const {
  if (auto* bitmap = dynamic_cast<TBitmap*>(dest)) {
    // The rendering is a cache: making it does not change the picture.
    bitmap->Assign(const_cast<TGIFImage*>(this)->Bitmap());
    return;
  }
  TGraphic::AssignTo(dest);
}

TBitmap* TGIFImage::Bitmap() {
  if (Empty()) return nullptr;
  if (FBitmap) return FBitmap.get();
  auto bitmap = std::make_unique<TBitmap>();
  TGIFSubImage* first = FFrames->SubImages(0);
  if (first->Width() == Width() && first->Height() == Height()) {
    bitmap->Assign(first->Bitmap());
  } else {
    bitmap->SetPalette(CopyPalette(Palette()));
    bitmap->SetHeight(Height());
    bitmap->SetWidth(Width());
    first->Draw(*bitmap->Canvas(), bitmap->Canvas()->ClipRect(), false, false);
  }
  // A rendering called off leaves nothing worth keeping.
  if (!first->HasBitmap() && !first->Empty()) return nullptr;
  bitmap->OnChange = [this](TObject*) { Changed(); };
  FBitmap = std::move(bitmap);
  return FBitmap.get();
}

void TGIFImage::FreeBitmap() { FBitmap.reset(); }

HPALETTE TGIFImage::Palette() {
  if (FPaletteGuard) GIFError(sNoColorTable);
  FPaletteGuard = true;
  struct Release {
    bool& Guard;
    ~Release() { Guard = false; }
  } release{FPaletteGuard};
  if (FBitmap)
    if (HPALETTE palette = FBitmap->Palette()) return palette;
  if (FPalette) return FPalette;
  if (DoDither()) return FPalette = WebPalette();
  if (GlobalColorMap().Count() > 0) return FPalette = GlobalColorMap().ExportPalette();
  if (!Empty()) return FFrames->SubImages(0)->Palette();
  return nullptr;
}

bool TGIFImage::DoDither() const {
  return (FDrawOptions & DrawOption(goDither)) &&
         (!(FDrawOptions & DrawOption(goAutoDither)) || DoAutoDither);
}

void TGIFImage::Pack() {
  FreeBitmap();
  SetPalette(nullptr);
  for (int i = 0; i < FFrames->Count(); ++i) {
    TGIFSubImage* frame = FFrames->SubImages(i);
    frame->FreeBitmap();
    frame->SetPalette(nullptr);
  }
  if (GlobalColorMap().Count() == 0 && FFrames->Count() == 1) {
    TGIFSubImage* frame = FFrames->SubImages(0);
    GlobalColorMap().Assign(&frame->ColorMap());
    frame->ColorMap().Clear();
  }
}

void TGIFImage::SetDrawOptions(TGIFDrawOptions options) {
  if (options == FDrawOptions) return;
  if (!StopDraw()) return;
  FDrawOptions = options;
  Pack();
  Changed();
}

void TGIFImage::LoadFromStream(TStream& stream) {
  Progress(this, psStarting, 0, false, sProgressLoading);
  std::weak_ptr<void> alive = FAlive;
  Clear();
  if (alive.expired()) return;
  int64_t start = stream.Position();
  try {
    FHeader->LoadFromStream(stream);
    FFrames->LoadFromStream(stream, this);
    TGIFTrailer(this).LoadFromStream(stream);
  } catch (...) {
    stream.SetPosition(start);
    Progress(this, psEnding, 0, true, sProgressLoading);
    throw;
  }
  Progress(this, psEnding, 100, true, sProgressLoading);
}

void TGIFImage::SaveToStream(TStream& stream) {
  Progress(this, psStarting, 0, false, sProgressSaving);
  try {
    FHeader->SaveToStream(stream);
    FFrames->SaveToStream(stream);
    TGIFTrailer(this).SaveToStream(stream);
  } catch (...) {
    Progress(this, psEnding, 0, true, sProgressSaving);
    throw;
  }
  Progress(this, psEnding, 100, true, sProgressSaving);
}

void TGIFImage::LoadFromFile(const std::string& path) {
  std::vector<uint8_t> data = ReadWholeFile(path);
  TReadOnlyMemoryStream stream(data.data(), data.size());
  LoadFromStream(stream);
}

void TGIFImage::SetPalette(HPALETTE palette) {
  if (palette == FPalette) return;
  DeleteObject(FPalette);
  FPalette = palette;
  if (FBitmap && FBitmap->Palette() != palette) {
    FreeBitmap();
    PaletteModified = true;
    Changed();
  }
}

void TGIFImage::Warning(TObject* sender, TGIFSeverity severity, const std::string& message) {
  if (OnWarning) OnWarning(sender, severity, message);
}

void TGIFImage::Progress(TObject* sender, TProgressStage stage, uint8_t percentDone, bool redrawNow,
                         const std::string& message) {
  if (OnProgress) OnProgress(sender, stage, percentDone, redrawNow, TRect{}, message);
}

void TGIFImage::SetReductionBits(int value) {
  if (value < 3 || value > 8) GIFError(sInvalidBitSize);
  FReductionBits = value;
}

bool TGIFImage::Equals(TGraphic* graphic) { return graphic == this; }

void TGIFImage::WriteData(TStream& stream) {
  if (GIFImageOptimizeOnStream)
    Optimize(OptimizeOption(ooCrop) | OptimizeOption(ooMerge) | OptimizeOption(ooCleanup) |
                 OptimizeOption(ooColorMap) | OptimizeOption(ooReduceColors),
             rmNone, dmNearest, 8);
  TGraphic::WriteData(stream);
}

// --- Clipboard ----------------------------------------------------------------

const uint16_t CF_GIF = RegisterClipboardFormat(sGIFImageFile);

void TGIFImage::LoadFromClipboardFormat(uint16_t format, HGLOBAL data, HPALETTE palette) {
  if (!data) data = GetClipboardData(format);
  if (format == CF_GIF && data) {
    // A copy: the block stays the clipboard's, and a handler called while
    // the image loads may empty the clipboard (and free the block).
    TMemoryStream stream;
    size_t size = GlobalSize(data);
    if (const void* memory = GlobalLock(data)) {
      stream.WriteBuffer(memory, int64_t(size));
      GlobalUnlock(data);
      stream.SetPosition(0);
      LoadFromStream(stream);
      return;
    }
  } else if (format == CF_BITMAP && data) {
    TBitmap bitmap;
    bitmap.LoadFromClipboardFormat(format, data, palette);
    Assign(&bitmap);
    return;
  }
  UnsupportedClipboardFormat();
}

void TGIFImage::SaveToClipboardFormat(uint16_t& format, HGLOBAL& data, HPALETTE& palette) {
  format = 0;
  data = nullptr;
  palette = nullptr;
  if (Empty()) return;
  TBitmap* screen = Bitmap();
  TBitmap none;
  (screen ? screen : &none)->SaveToClipboardFormat(format, data, palette);
  try {
    TMemoryStream stream;
    SaveToStream(stream);
    HGLOBAL gif = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, size_t(stream.Size()));
    if (!gif) return;
    std::memcpy(GlobalLock(gif), stream.Memory(), size_t(stream.Size()));
    GlobalUnlock(gif);
    if (SetClipboardData(CF_GIF, gif)) return;
    GlobalFree(gif);
    GIFError(sFailedPaste);
  } catch (...) {
    // The caller gets nothing, so nothing may be left over.
    GlobalFree(data);
    DeleteObject(palette);
    format = 0;
    data = nullptr;
    palette = nullptr;
    throw;
  }
}

namespace {

struct TCodecUnit {
  std::mutex Lock;
  bool Registered = false;
  std::unique_ptr<TDummyThread> IdleThread;
};

TCodecUnit& CodecUnit() {
  static TCodecUnit unit;
  return unit;
}

}  // namespace

void RegisterGifFormat() {
  TCodecUnit& unit = CodecUnit();
  std::lock_guard<std::mutex> guard(unit.Lock);
  if (unit.Registered) return;
  auto factory = [] { return std::unique_ptr<TGraphic>(new TGIFImage); };
  TPicture::RegisterFileFormat("gif", sGIFImageFile, factory);
  TPicture::RegisterClipboardFormat(CF_GIF, factory);
  unit.IdleThread = std::make_unique<TDummyThread>();
  unit.Registered = true;
}

void UnregisterGifFormat() {
  TCodecUnit& unit = CodecUnit();
  std::lock_guard<std::mutex> guard(unit.Lock);
  if (!unit.Registered) return;
  TPicture::UnregisterFileFormat("gif");
  TPicture::UnregisterClipboardFormat(CF_GIF);
  unit.IdleThread.reset();
  unit.Registered = false;
}

void Register() { GIFImageDefaultDrawOptions &= TGIFDrawOptions(~DrawOption(goLoop)); }
