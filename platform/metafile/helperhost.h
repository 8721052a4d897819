// Drawing metafiles in the helper program (brightmill-metafile): the
// caller's side. Qt's painter is not made for hostile input, so every
// drawing runs in a process of its own under hard limits of memory and
// processor time, and a clock the caller keeps; a crash, a limit or a
// helper that cannot start ends the drawing with EInvalidGraphic, and the
// caller goes on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/metafile/helperjob.h"

namespace mfhost {

// Plays the metafile in data into the rectangle (in the frame's pixels)
// over the frame: height rows of width 24-bit pixels, stride bytes apart.
// memoryBytes: what the drawing may hold (MetafileDrawBytes).
// The helper draws on a copy of the frame, which comes back whole once it
// has drawn; what the drawing leaves untouched keeps its pixels. Raises
// EInvalidGraphic with the player's message, or with one of the messages
// below when the helper fails. Any thread; each drawing takes a helper of
// its own (a warm one when one is idle).
void Draw(const uint8_t* data, size_t size, int64_t memoryBytes, uint8_t* frame, int width, int height,
          ptrdiff_t stride, double left, double top, double rectWidth, double rectHeight);

extern const char* const kCrashed;    // the helper ended without answering
extern const char* const kNoMemory;   // the drawing passed its memory limit
extern const char* const kTooLong;    // the drawing passed its processor or wall-clock time
extern const char* const kStopped;    // the drawing's thread was asked to stop
extern const char* const kNotStarted; // no helper could be started

// The limits of a drawing on a frame of that many pixels from a file of
// that many bytes: processor seconds, and the wall-clock milliseconds the
// caller waits.
int64_t CpuSeconds(int64_t framePixels, size_t fileBytes);
int64_t WallMilliseconds(int64_t cpuSeconds);

// For tests: what the helpers do in place of drawing, and limits in place
// of those reckoned (0: reckoned), for the drawings that start while set.
struct TTestSettings {
  mfjob::TFault Fault = mfjob::TFault::None;
  int64_t CpuSeconds = 0, WallMilliseconds = 0;
  // When set, each drawing starts a helper of its own from this program.
  std::string HelperPath = {};
  std::string FaultPath = {};  // for TFault::Write
};
void SetTestSettings(const TTestSettings& settings);

}  // namespace mfhost
