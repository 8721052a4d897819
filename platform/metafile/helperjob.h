// The drawing helper's side of a metafile drawing and the caller's share
// one block of memory (a memfd) per drawing: this header and the file's
// bytes. The frame's pixels, in the painter's own 32-bit form (blue, green,
// red, 255: QImage::Format_RGB32), lie on a surface in the helper's own
// memory, which the caller writes and reads through process_vm_writev and
// process_vm_readv; where the system lets the caller reach no helper's
// memory, they follow the file's bytes in the block instead, and the helper
// draws on them in place. The caller hands the block over its channel to
// the helper (a Unix socket, descriptor 3 in the helper) with one byte; the
// helper answers with one byte once it has drawn and written its outcome
// here.
#pragma once

#include <sys/socket.h>

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace mfjob {

// The channel's descriptor in the helper.
constexpr int kChannel = 3;
// What the helper sends once Qt and its fonts are up, and after each drawing.
constexpr char kReady = 'R', kDone = 'D';
// On a surface of its own, the helper sends kSurface once it holds the
// surface, the caller kDraw once it has written the frame there, the
// helper kDone once it has drawn, the caller kFree each time it has read
// back some more rows (RowsBack), and the helper kReady once the whole
// surface has gone.
constexpr char kSurface = 'S', kDraw = 'G', kFree = 'F';
// The helper's program, beside the program that starts it or in the build
// folder. It is started with the program's process id as its argument.
constexpr const char* kHelperName = "brightmill-metafile";
// A test may name another helper program.
constexpr const char* kHelperVariable = "BRIGHTMILL_METAFILE_HELPER";

// The address space a drawing may take beside what the caller reckoned
// (MetafileDrawBytes) and the helper's own: fonts the drawing loads (their
// files are mapped), threads' stacks, the allocator's rounding; and in a
// sanitizer's build the address space its allocator reserves and keeps
// (never touched memory).
#ifdef BRIGHTMILL_SANITIZED
constexpr int64_t kSlackBytes = int64_t(8) << 30;
#else
constexpr int64_t kSlackBytes = int64_t(64) << 20;
#endif
// The processor seconds a helper may use in its whole life (a hard limit
// it cannot raise); the caller retires a helper before a drawing could
// reach it.
constexpr int64_t kLifeCpuSeconds = 600;

// What a test asks the helper to do in place of drawing.
enum class TFault : int32_t {
  None,
  Crash,   // raise SIGSEGV
  Memory,  // allocate until the memory limit
  Spin,    // use the processor until the time limit
  Sleep,   // wait without using the processor
  Write,   // create a file beside FaultPath and remove FaultPath, then draw
  Descriptors,  // refuse the drawing with what its descriptors lead to, one a line
  SpinPastSignal,  // ignore the processor limit's signal, then spin
  // What the helper may not do: it tries, and refuses the drawing with
  // "refused" when the system refused every attempt, else "done".
  IoUring,        // set up an io_uring, through which files are written
  Fork,           // fork
  CloneProcess,   // clone a process rather than a thread, with clone and clone3
  Signal,         // send the program SIGURG every way there is
  RaiseLimit,     // raise its own limits, set the program's message queues' one
  TypeCharacter,  // type a character into the terminal FaultPath names (TIOCSTI)
  Datagram,       // send a datagram over a socket pair and to the socket FaultPath names
  ReachProgram,   // read and write the program's memory at the address FaultPath names
  ReadFile,           // read the file FaultPath names
  ReadProgramMemory,  // read the program's memory at the address FaultPath names, through /proc
  ListFolder,         // list the folder FaultPath names
  // Say that the surface lies at the address FaultPath names.
  FalseSurface,
};

enum class TOutcome : int32_t {
  None,      // the helper has not answered
  Drawn,     // the frame holds the drawing
  Refused,   // the player raised: Message holds its text
  NoMemory,  // an allocation failed under the memory limit
};

constexpr uint32_t kMagic = 0x424D4D46;  // "FMMB"

struct TJobHeader {
  uint32_t Magic = kMagic;
  // Where the file's bytes lie in the block, and the frame's pixels unless
  // OwnSurface is set.
  uint64_t FileOffset = 0, FileSize = 0;
  uint64_t PixelsOffset = 0;
  int32_t Width = 0, Height = 0, Stride = 0;  // the frame, 32-bit rows
  // Set: the helper draws on a surface of its own of Stride x Height bytes.
  int32_t OwnSurface = 0;
  // The rectangle the metafile is played into, in the frame's pixels.
  double Left = 0, Top = 0, RectWidth = 0, RectHeight = 0;
  TFault Fault = TFault::None;
  char FaultPath[256] = {};
  // Written by the helper: it has the block (before it reads anything of
  // it but this header), the address of its surface, and what became of
  // the drawing.
  int32_t Taken = 0;
  uint64_t SurfaceAddress = 0;
  // Written by the caller before each kFree: the rows it has read back,
  // whose surface the helper may let go; all of them for the last.
  int32_t RowsBack = 0;
  TOutcome Outcome = TOutcome::None;
  char Message[512] = {};
};

// A message of one byte over the channel, with room for one descriptor.
struct TMessage {
  char Byte = 0;
  iovec Data{&Byte, 1};
  alignas(cmsghdr) char Control[CMSG_SPACE(sizeof(int))] = {};
  msghdr Header{};
  TMessage() {
    Header.msg_iov = &Data;
    Header.msg_iovlen = 1;
    Header.msg_control = Control;
    Header.msg_controllen = sizeof Control;
  }
  TMessage(const TMessage&) = delete;
  TMessage& operator=(const TMessage&) = delete;
};

// The block's layout for a file of fileSize bytes and a frame of
// width x height pixels, 4 bytes each (0 x 0 when the frame lies on the
// helper's own surface).
inline uint64_t AlignUp(uint64_t n) { return (n + 63) & ~uint64_t(63); }
inline uint64_t FileOffset() { return AlignUp(sizeof(TJobHeader)); }
inline uint64_t PixelsOffset(uint64_t fileSize) { return AlignUp(FileOffset() + fileSize); }
inline uint64_t BlockBytes(uint64_t fileSize, uint64_t width, uint64_t height) {
  return PixelsOffset(fileSize) + 4 * width * height;
}

// A row of width 24-bit pixels (blue, green, red) as 32-bit ones (blue,
// green, red, 255), and back.
inline void RowTo32(const uint8_t* from, int width, uint8_t* to) {
  // Four bytes at a time but for the last pixel, whose fourth byte may lie
  // past the row.
  static_assert(std::endian::native == std::endian::little);
  int x = 0;
  for (; x + 1 < width; ++x) {
    uint32_t pixel;
    std::memcpy(&pixel, from + 3 * x, 4);
    pixel |= 0xFF000000u;
    std::memcpy(to + 4 * x, &pixel, 4);
  }
  for (; x < width; ++x) {
    std::memcpy(to + 4 * x, from + 3 * x, 3);
    to[4 * x + 3] = 0xFF;
  }
}
inline void RowFrom32(const uint8_t* from, int width, uint8_t* to) {
  for (int x = 0; x < width; ++x) std::memcpy(to + 3 * x, from + 4 * x, 3);
}

}  // namespace mfjob
