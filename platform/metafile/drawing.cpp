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

int64_t MetafileDrawBytes(size_t fileBytes, int64_t bitmapBytes, int64_t outlineBytes, int64_t width,
                          int64_t height) {
  width = std::max<int64_t>(width, 0);
  height = std::max<int64_t>(height, 0);
  const int64_t surface = 4 * width * height;
  const int64_t shared = int64_t(mfjob::BlockBytes(fileBytes, uint64_t(AlignedRowBytes(width, 24)), uint64_t(height)));
  return surface + shared + bitmapBytes + outlineBytes + kMetafileHeldBytes;
}

int64_t MetafileDrawBytes(const uint8_t* data, size_t size, int64_t width, int64_t height) {
  const std::optional<mf::TFigures> figures = mf::ValidFigures(data, size);
  return MetafileDrawBytes(size, figures ? figures->BitmapBytes : 0, figures ? mf::OutlineBytes(*figures) : 0,
                           width, height);
}

void DrawMetafileFrame(const uint8_t* data, size_t size, uint8_t* frame, int width, int height, ptrdiff_t stride,
                       double left, double top, double rectWidth, double rectHeight) {
  if (width <= 0 || height <= 0) return;
  // The player draws a 24-bit picture on a 32-bit copy and converts it back.
  QImage picture(frame, width, height, qsizetype(stride), QImage::Format_BGR888);
  if (picture.isNull()) throw std::bad_alloc();
  TMetafileDrawUse use;
  mf::Play(data, size, picture, QRectF(left, top, rectWidth, rectHeight), use);
}
