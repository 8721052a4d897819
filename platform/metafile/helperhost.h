// Drawing metafiles in the helper program (brightmill-metafile): the
// caller's side. Qt's painter is not made for hostile input, so every
// drawing runs in a process of its own under a system-call filter, hard
// limits of memory and processor time, and a clock the caller keeps; a
// crash, a limit or a helper that cannot start ends the drawing with
// EInvalidGraphic, and the caller goes on.
//
// What a helper may open: once Qt and its fonts are up, it may open files
// for reading only beneath the folders fontconfig names for its fonts and
// caches, and fontconfig's configuration files (Landlock); nothing else of
// the user's, and nothing under /proc. Where the helper has no Landlock
// (Linux before 5.13, Landlock left out when the system started, or a
// container's filter that refuses its calls), it draws under its filter
// alone, as it did before: it can still write
// nothing, connect nowhere, signal no other process and start nothing, so
// what it reads can leave it only as pixels of the drawing the user asked
// for, while refusing there would end every honest metafile with "Error:".
// The program stays dumpable (core dumps, a debugger of the same user):
// the helper cannot reach /proc where it has Landlock, and where it has
// none it can read the user's files anyway, which hold what the program's
// memory does.
//
// The program owns its helpers: one thread of its own starts every helper
// (each ends with the program), keeps the idle ones warm, retires those
// left idle for a minute and collects any that ends meanwhile. A drawing
// takes an idle helper when there is one; a helper that turns out to have
// ended before it took the drawing is replaced by a fresh one.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/metafile/helperjob.h"

namespace mfhost {

// Plays the metafile in data into the rectangle (in the frame's pixels)
// over the frame: height rows of width 24-bit pixels, stride bytes apart.
// memoryBytes: what the drawing may hold (MetafileDrawBytes).
// The helper draws on a 32-bit surface of its own: the frame goes there in
// bands of rows on every core, and comes back the same way once drawn
// (process_vm_writev and process_vm_readv), the helper's memory of the
// rows back going meanwhile. Where the system lets this program reach no
// helper's memory (found once, on the first helper started), the frame
// goes through the block shared with the helper instead. wholeRows: the
// frame's rows and the bytes between them are the caller's alone (its
// picture's whole width); then the memory of rows all of one colour (as
// a fresh picture's) goes while the helper draws, so that a large frame
// is held about once. A drawing that fails leaves the frame as it was (but
// for a helper that goes while its drawing comes back, which may leave
// part of it); what the drawing leaves untouched keeps its pixels, and
// nothing outside the frame changes. Raises EInvalidGraphic with the
// player's message, or with one of the messages below when the helper
// fails. Any thread; each drawing takes a helper of its own.
void Draw(const uint8_t* data, size_t size, int64_t memoryBytes, uint8_t* frame, int width, int height,
          ptrdiff_t stride, bool wholeRows, double left, double top, double rectWidth, double rectHeight);

extern const char* const kCrashed;    // the helper ended without answering
extern const char* const kNoMemory;   // the drawing passed its memory limit
extern const char* const kTooLong;    // the drawing passed its processor or wall-clock time
extern const char* const kStopped;    // the drawing's thread was asked to stop
extern const char* const kNotStarted; // no helper could be started

// The limits of a drawing on a frame of that many pixels from a file of
// that many bytes: processor seconds, and the wall-clock milliseconds the
// caller waits once it has handed the drawing over. The processor limit
// stands at twice the time the player's bound of work allows, up to
// kCpuCeilingSeconds; the clock at three times the processor limit, up to
// kWallCeilingMilliseconds.
int64_t CpuSeconds(int64_t framePixels, size_t fileBytes);
int64_t WallMilliseconds(int64_t cpuSeconds);
// The ceilings: 8 s and 10 s (the sanitizers' builds draw several times
// slower, and wait as much longer).
extern const int64_t kCpuCeilingSeconds;
extern const int64_t kWallCeilingMilliseconds;

// For tests: what the helpers do in place of drawing, and limits in place
// of those reckoned (0: reckoned), for the drawings that start while set.
struct TTestSettings {
  mfjob::TFault Fault = mfjob::TFault::None;
  int64_t CpuSeconds = 0, WallMilliseconds = 0;
  // How long a helper may stay idle (0: a minute).
  int64_t IdleMilliseconds = 0;
  // When set, each drawing starts a helper of its own from this program.
  std::string HelperPath = {};
  std::string FaultPath = {};  // for TFault::Write, TypeCharacter, Datagram and ReachProgram
  // The frame goes through the shared block, as where helpers cannot be
  // reached.
  bool SharedFrame = false;
};
void SetTestSettings(const TTestSettings& settings);

// For tests: the idle helpers, and the helper that this thread's last
// drawing was handed to, each with its channel as /proc shows it
// ("socket:[n]").
struct THelperSeen {
  pid_t Pid = -1;
  std::string Channel;
  bool OwnSurface = false;  // the drawing was on the helper's own surface
};
std::vector<THelperSeen> IdleHelpers();
THelperSeen LastHelper();

}  // namespace mfhost
