// TMetafile: loading, checking, saving and drawing enhanced and placeable
// Windows metafiles.
#include "platform/metafile/metafile.h"

#include <QGuiApplication>
#include <cstdlib>
#include <cstring>

#include "platform/metafile/helperhost.h"
#include "platform/metafile/internal.h"

namespace mf {

void Invalid() { throw EInvalidGraphic("Metafile is not valid"); }

int64_t MulDiv(int64_t a, int64_t b, int64_t c) {
  int64_t n = a * b;
  int64_t q = n / c, r = n % c;
  if (2 * std::abs(r) >= std::abs(c)) q += ((n < 0) != (c < 0)) ? -1 : 1;
  return q;
}

TPictureSize SizeFromMM(int64_t mmWidth, int64_t mmHeight) {
  mmWidth = std::abs(mmWidth);
  mmHeight = std::abs(mmHeight);
  int64_t width = MulDiv(mmWidth, 96, 2540), height = MulDiv(mmHeight, 96, 2540);
  if (width > 32767 || height > 32767) Invalid();
  return {static_cast<int>(mmWidth), static_cast<int>(mmHeight), static_cast<int>(width),
          static_cast<int>(height)};
}

bool HasEmfSignature(const uint8_t* data, size_t size) {
  return size >= 44 && std::memcmp(data + 40, " EMF", 4) == 0;
}

TFigures Figures(const uint8_t* data, size_t size) {
  return HasEmfSignature(data, size) ? EnhancedFigures(data, size) : PlaceableFigures(data, size);
}

void Play(const uint8_t* data, size_t size, QImage& image, const QRectF& rect, TMetafileDrawUse& use) {
  if (HasEmfSignature(data, size))
    PlayEnhanced(data, size, image, rect, use);
  else
    PlayPlaceable(data, size, image, rect, use);
}

}  // namespace mf

namespace {

// Fonts need a QGuiApplication. Programs that have none (tools, tests) get
// one here, on the offscreen platform when no display is configured.
void EnsureGuiApplication() {
  if (QCoreApplication::instance()) return;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
      qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "brightmill";
  static char* argv[] = {name, nullptr};
  static QGuiApplication* application = new QGuiApplication(argc, argv);
  (void)application;
}

}  // namespace

TMetafile::TMetafile() = default;
TMetafile::~TMetafile() = default;

void TMetafile::Assign(const TPersistent* source) {
  if (auto* other = dynamic_cast<const TMetafile*>(source)) {
    if (other == this) return;
    FData = other->FData;
    FEnhanced = other->FEnhanced;
    FWidth = other->FWidth;
    FHeight = other->FHeight;
    FMMWidth = other->FMMWidth;
    FMMHeight = other->FMMHeight;
    FBitmapBytes = other->FBitmapBytes;
    FOutlineBytes = other->FOutlineBytes;
    Changed();
    return;
  }
  TGraphic::Assign(source);
}

void TMetafile::LoadFromStream(TStream& stream) {
  // A stream that starts neither with an enhanced metafile's header nor with
  // the placeable key is refused before it is read to its end.
  uint8_t head[44];
  int64_t got = std::max<int64_t>(0, stream.Read(head, sizeof head));
  bool placeable = got >= 4 && (head[0] | head[1] << 8 | head[2] << 16 | uint32_t(head[3]) << 24) == 0x9AC6CDD7;
  if (got == sizeof head && !mf::HasEmfSignature(head, sizeof head) && !placeable) mf::Invalid();
  stream.Seek(-got, soCurrent);
  // The data read becomes the metafile's own: a file's bytes are held once.
  LoadFromData(ReadToEnd(stream));
}

void TMetafile::SaveToStream(TStream& stream) {
  stream.WriteBuffer(FData.data(), static_cast<int64_t>(FData.size()));
}

void TMetafile::LoadFromMemory(const uint8_t* data, size_t size) {
  LoadFromData(std::vector<uint8_t>(data, data + (data ? size : 0)));
}

void TMetafile::LoadFromData(std::vector<uint8_t> bytes) {
  const uint8_t* data = bytes.data();
  const size_t size = bytes.size();
  bool enhanced = mf::HasEmfSignature(data, size);
  mf::TPictureSize picture = enhanced ? mf::CheckEnhanced(data, size) : mf::CheckPlaceable(data, size);
  FData = std::move(bytes);
  FEnhanced = enhanced;
  FWidth = picture.Width;
  FHeight = picture.Height;
  FMMWidth = picture.MMWidth;
  FMMHeight = picture.MMHeight;
  const mf::TFigures figures = mf::Figures(FData.data(), FData.size());
  FBitmapBytes = figures.BitmapBytes;
  FOutlineBytes = mf::OutlineBytes(figures);
  Changed();
}

void TMetafile::Draw(TCanvas& canvas, const TRect& rect) {
  HDC dc = canvas.Handle();
  if (Empty() || !dc || !dc->Bitmap) return;
  TDibSection& target = *dc->Bitmap;
  if (target.Width <= 0 || target.Height <= 0) return;
  // The frame: the part of the target the rectangle covers. Only its
  // pixels go to the drawing and come back.
  const int left = std::max(0, std::min(rect.Left, rect.Right)), top = std::max(0, std::min(rect.Top, rect.Bottom));
  const int right = std::min(target.Width, std::max(rect.Left, rect.Right));
  const int bottom = std::min(target.Height, std::max(rect.Top, rect.Bottom));
  if (left >= right || top >= bottom) return;
  const int width = right - left, height = bottom - top;
  auto draw = [&](uint8_t* frame, ptrdiff_t stride, bool wholeRows) {
    const double x = double(rect.Left) - left, y = double(rect.Top) - top;
    const double w = double(rect.Right) - rect.Left, h = double(rect.Bottom) - rect.Top;
#ifdef BRIGHTMILL_METAFILE_IN_PROCESS
    (void)wholeRows;
    EnsureGuiApplication();
    DrawMetafileFrame(FData.data(), FData.size(), frame, width, height, stride, x, y, w, h);
#else
    mfhost::Draw(FData.data(), FData.size(),
                 MetafileDrawBytes(FData.size(), FBitmapBytes, FOutlineBytes, width, height), frame, width, height,
                 stride, wholeRows, x, y, w, h);
#endif
  };
  if (target.BitCount == 24) {
    draw(target.ScanLine(top) + size_t(left) * 3, target.Stride, width == target.Width);
    return;
  }
  // Other formats are drawn on a 24-bit copy of the frame; the rows that
  // changed are written back.
  const size_t rowBytes = size_t(width) * 3;
  std::vector<uint8_t> copy(rowBytes * size_t(height)), row(rowBytes);
  for (int y = 0; y < height; ++y) DibReadRow(target, top + y, left, width, copy.data() + rowBytes * y);
  draw(copy.data(), ptrdiff_t(rowBytes), true);
  for (int y = 0; y < height; ++y) {
    DibReadRow(target, top + y, left, width, row.data());
    if (std::memcmp(row.data(), copy.data() + rowBytes * y, rowBytes) != 0)
      DibWriteRow(target, top + y, left, width, copy.data() + rowBytes * y);
  }
}

namespace mf {

std::optional<TFigures> ValidFigures(const uint8_t* data, size_t size) {
  if (!data) return std::nullopt;
  try {
    if (HasEmfSignature(data, size))
      CheckEnhanced(data, size);
    else
      CheckPlaceable(data, size);
    return Figures(data, size);
  } catch (const EInvalidGraphic&) {
    return std::nullopt;
  }
}

}  // namespace mf

int64_t MetafileBitmapBytes(const uint8_t* data, size_t size) {
  const std::optional<mf::TFigures> figures = mf::ValidFigures(data, size);
  return figures ? figures->BitmapBytes : 0;
}

int64_t MetafileOutlineBytes(const uint8_t* data, size_t size) {
  const std::optional<mf::TFigures> figures = mf::ValidFigures(data, size);
  return figures ? mf::OutlineBytes(*figures) : 0;
}

std::optional<TMetafileDrawUse> MetafileDrawUse(const uint8_t* data, size_t size, int width, int height) {
  int frameWidth, frameHeight;
  if (!MetafileSize(data, size, &frameWidth, &frameHeight)) return std::nullopt;
  EnsureGuiApplication();
  QImage image(std::max(width, 1), std::max(height, 1), QImage::Format_RGB32);
  if (image.isNull()) return std::nullopt;
  image.fill(Qt::white);
  TMetafileDrawUse use;
  try {
    mf::Play(data, size, image, QRectF(0, 0, width, height), use);
  } catch (const EInvalidGraphic&) {
    use.Stopped = true;
  }
  return use;
}

bool MetafileSize(const uint8_t* data, size_t size, int* width, int* height) {
  *width = *height = 0;
  if (!data) return false;
  try {
    mf::TPictureSize picture =
        mf::HasEmfSignature(data, size) ? mf::CheckEnhanced(data, size) : mf::CheckPlaceable(data, size);
    *width = picture.Width;
    *height = picture.Height;
    return true;
  } catch (const EInvalidGraphic&) {
    return false;
  }
}
