// A drawing's frame on the player's 32-bit surface, what a drawing holds,
// and the stop flag of the threads that draw.
#include <QImage>
#include <new>

#include "platform/metafile/helperjob.h"
#include "platform/metafile/internal.h"
#include "platform/metafile/metafile.h"
#include "platform/system/bands.h"

namespace {
thread_local const std::atomic<bool>* StopFlag = nullptr;
}  // namespace

TMetafileStop::TMetafileStop(const std::atomic<bool>& flag) : FOuter(StopFlag) { StopFlag = &flag; }
TMetafileStop::~TMetafileStop() { StopFlag = FOuter; }
bool TMetafileStop::Requested() { return StopFlag && StopFlag->load(); }

int64_t MetafileDrawBytes(size_t fileBytes, int64_t bitmapBytes, int64_t outlineBytes, int64_t width,
                          int64_t height) {
  width = std::max<int64_t>(width, 0);
  height = std::max<int64_t>(height, 0);
  // The block shared with the helper (the file's bytes) and the 32-bit
  // surface the helper draws on, in its own memory or in the block.
  const int64_t shared = int64_t(mfjob::BlockBytes(fileBytes, uint64_t(width), uint64_t(height)));
  return shared + bitmapBytes + outlineBytes + kMetafileHeldBytes;
}

int64_t MetafileDrawBytes(const uint8_t* data, size_t size, int64_t width, int64_t height) {
  const std::optional<mf::TFigures> figures = mf::ValidFigures(data, size);
  return MetafileDrawBytes(size, figures ? figures->BitmapBytes : 0, figures ? mf::OutlineBytes(*figures) : 0,
                           width, height);
}

void DrawMetafilePixels(const uint8_t* data, size_t size, uint8_t* pixels, int width, int height, ptrdiff_t stride,
                        double left, double top, double rectWidth, double rectHeight) {
  if (width <= 0 || height <= 0) return;
  QImage picture(pixels, width, height, qsizetype(stride), QImage::Format_RGB32);
  if (picture.isNull()) throw std::bad_alloc();
  TMetafileDrawUse use;
  mf::Play(data, size, picture, QRectF(left, top, rectWidth, rectHeight), use);
}

void DrawMetafileFrame(const uint8_t* data, size_t size, uint8_t* frame, int width, int height, ptrdiff_t stride,
                       double left, double top, double rectWidth, double rectHeight) {
  if (width <= 0 || height <= 0) return;
  // The painter draws many times faster on its own 32-bit surface than on
  // 24-bit pixels.
  QImage surface(width, height, QImage::Format_RGB32);
  if (surface.isNull()) throw std::bad_alloc();
  uint8_t* pixels = surface.bits();
  const ptrdiff_t pixelStride = surface.bytesPerLine();
  ForEachRowInBands(height, width, [&](int y) { mfjob::RowTo32(frame + stride * y, width, pixels + pixelStride * y); });
  // What a drawing that stopped left comes back too.
  auto back = [&] {
    ForEachRowInBands(height, width,
                      [&](int y) { mfjob::RowFrom32(pixels + pixelStride * y, width, frame + stride * y); });
  };
  try {
    DrawMetafilePixels(data, size, pixels, width, height, pixelStride, left, top, rectWidth, rectHeight);
  } catch (...) {
    back();
    throw;
  }
  back();
}
