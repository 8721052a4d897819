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

// How a GIF picture is drawn; a set of these is a bit mask (bit n for the
// option of value n).
enum TGIFDrawOption : uint8_t {
  goAsync,            // animate on a thread of its own
  goTransparent,      // leave the transparent pixels of a frame undrawn
  goAnimate,          // play the frames of an animation
  goLoop,             // play the loops the file asks for
  goLoopContinously,  // loop without end
  goValidateCanvas,   // stop when the canvas's device context goes
  goDirectDraw,       // animate straight onto the canvas
  goClearOnLoop,      // clear the area before each pass
  goTile,             // repeat the picture over the rectangle
  goDither,           // render frames through the web palette
  goAutoDither,       // ... only on palette displays
};
using TGIFDrawOptions = uint16_t;
constexpr TGIFDrawOptions DrawOption(TGIFDrawOption option) { return TGIFDrawOptions(1u << option); }
