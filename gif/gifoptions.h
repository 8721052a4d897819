// The GIF conversion settings a job chooses: how colours are reduced to a
// palette, how the remaining error is spread, and how the pixels are packed.
#pragma once

#include <cstdint>

enum TColorReduction : uint8_t {
  rmNone,
  rmWindows20,
  rmWindows256,
  rmWindowsGray,
  rmMonochrome,
  rmGrayScale,
  rmNetscape,
  rmQuantize,
  rmQuantizeWindows,
  rmPalette,
};

enum TDitherMode : uint8_t {
  dmNearest,
  dmFloydSteinberg,
  dmStucki,
  dmSierra,
  dmJaJuNI,
  dmSteveArche,
  dmBurkes,
};

enum TGIFCompression : uint8_t { gcLZW, gcRLE };
