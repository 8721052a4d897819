// Reads an icon file and draws it on a 24-bit bitmap of its size.
#include <cstddef>
#include <cstdint>

#include "platform/icon.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    TIcon icon;
    icon.LoadFromMemory(data, size);
    TBitmap bitmap;
    bitmap.SetPixelFormat(pf24bit);
    bitmap.SetSize(icon.Width(), icon.Height());
    bitmap.Canvas()->Draw(0, 0, &icon);
  } catch (const Exception&) {
  }
  return 0;
}
