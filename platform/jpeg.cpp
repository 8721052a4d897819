// Placeholder until the JPEG class is written.
#include "platform/jpeg.h"

TJPEGImage::TJPEGImage() = default;
TJPEGImage::~TJPEGImage() = default;
int TJPEGImage::Width() const { return FWidth; }
int TJPEGImage::Height() const { return FHeight; }
bool TJPEGImage::Empty() const { return FData.empty() && !FBitmap; }
void TJPEGImage::DIBNeeded() { throw EJPEG("not yet"); }
void TJPEGImage::Compress() { throw EJPEG("not yet"); }
void TJPEGImage::JPEGNeeded() { throw EJPEG("not yet"); }
TBitmap& TJPEGImage::Bitmap() { throw EJPEG("not yet"); }
void TJPEGImage::Assign(const TPersistent* source) { TGraphic::Assign(source); }
void TJPEGImage::LoadFromStream(TStream&) { throw EJPEG("not yet"); }
void TJPEGImage::SaveToStream(TStream&) { throw EJPEG("not yet"); }
void TJPEGImage::Draw(TCanvas&, const TRect&) {}
void TJPEGImage::LoadFromMemory(const uint8_t*, size_t) { throw EJPEG("not yet"); }
void TJPEGImage::AssignTo(TPersistent* dest) const { TGraphic::AssignTo(dest); }
