// Placeholder: BMP reading and writing are being written.
#include "platform/graphics.h"

std::unique_ptr<TDibSection> ReadDib(const uint8_t*, size_t, size_t, bool, TDibHeaderInfo*) {
  throw EInvalidGraphic("Bitmap image is not valid");
}

void WriteBmp(const TDibSection&, TStream&) { throw EInvalidGraphic("Bitmap image is not valid"); }
