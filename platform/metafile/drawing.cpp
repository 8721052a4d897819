// A drawing's frame on the player's 32-bit surface, what a drawing holds,
// and the stop flag of the threads that draw.
#include <QImage>
#include <new>

#include "platform/metafile/helperjob.h"
#include "platform/metafile/internal.h"
#include "platform/metafile/metafile.h"

namespace {
thread_local const std::atomic<bool>* StopFlag = nullptr;
}  // namespace

TMetafileStop::TMetafileStop(const std::atomic<bool>& flag) : FOuter(StopFlag) { StopFlag = &flag; }
TMetafileStop::~TMetafileStop() { StopFlag = FOuter; }
bool TMetafileStop::Requested() { return StopFlag && StopFlag->load(); }

int64_t MetafileDrawBytes(const uint8_t* data, size_t size, int64_t width, int64_t height) {
  width = std::max<int64_t>(width, 0);
  height = std::max<int64_t>(height, 0);
  const int64_t surface = 4 * width * height;
  const int64_t shared = int64_t(mfjob::BlockBytes(size, uint64_t(AlignedRowBytes(width, 24)), uint64_t(height)));
  return surface + shared + MetafileBitmapBytes(data, size) + kMetafileHeldBytes;
}

void DrawMetafileFrame(const uint8_t* data, size_t size, uint8_t* frame, int width, int height, ptrdiff_t stride,
                       double left, double top, double rectWidth, double rectHeight) {
  if (width <= 0 || height <= 0) return;
  // Qt's painter fills and strokes its own 32-bit format many times faster
  // than 24-bit pictures.
  QImage surface(width, height, QImage::Format_RGB32);
  if (surface.isNull()) throw std::bad_alloc();
  for (int y = 0; y < height; ++y) {
    const uint8_t* in = frame + stride * y;
    auto* out = reinterpret_cast<uint32_t*>(surface.scanLine(y));
    for (int x = 0; x < width; ++x, in += 3)
      out[x] = 0xFF000000u | uint32_t(in[2]) << 16 | uint32_t(in[1]) << 8 | in[0];
  }
  TMetafileDrawUse use;
  mf::Play(data, size, surface, QRectF(left, top, rectWidth, rectHeight), use);
  for (int y = 0; y < height; ++y) {
    const auto* in = reinterpret_cast<const uint32_t*>(surface.constScanLine(y));
    uint8_t* out = frame + stride * y;
    for (int x = 0; x < width; ++x, out += 3) {
      out[0] = uint8_t(in[x]);
      out[1] = uint8_t(in[x] >> 8);
      out[2] = uint8_t(in[x] >> 16);
    }
  }
}
