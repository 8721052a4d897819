// The drawing helper's side of a metafile drawing and the caller's share
// one block of memory (a memfd) per drawing: this header, the file's bytes
// and the frame's 24-bit pixels, which the helper draws on in place. The
// caller hands the block over its channel to the helper (a Unix socket,
// descriptor 3 in the helper) with one byte; the helper answers with one
// byte once it has drawn and written its outcome here.
#pragma once

#include <sys/socket.h>

#include <cstddef>
#include <cstdint>

namespace mfjob {

// The channel's descriptor in the helper.
constexpr int kChannel = 3;
// What the helper sends once Qt and its fonts are up, and after each drawing.
constexpr char kReady = 'R', kDone = 'D';
// The helper's program, beside the program that starts it or in the build
// folder.
constexpr const char* kHelperName = "brightmill-metafile";
// A test may name another helper program.
constexpr const char* kHelperVariable = "BRIGHTMILL_METAFILE_HELPER";

// What a test asks the helper to do in place of drawing.
enum class TFault : int32_t {
  None,
  Crash,   // raise SIGSEGV
  Memory,  // allocate until the memory limit
  Spin,    // use the processor until the time limit
  Sleep,   // wait without using the processor
  Write,   // create a file beside FaultPath and remove FaultPath, then draw
  Descriptors,  // refuse the drawing with what its descriptors lead to, one a line
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
  // Where the file's bytes and the frame's pixels lie in the block.
  uint64_t FileOffset = 0, FileSize = 0;
  uint64_t PixelsOffset = 0;
  int32_t Width = 0, Height = 0, Stride = 0;  // the frame, 24-bit rows
  // The rectangle the metafile is played into, in the frame's pixels.
  double Left = 0, Top = 0, RectWidth = 0, RectHeight = 0;
  // The limits the helper sets before it reads the file: the memory the
  // drawing may hold above the helper's own baseline (this block
  // included), and the processor seconds it may use.
  int64_t MemoryBytes = 0;
  int64_t CpuSeconds = 0;
  TFault Fault = TFault::None;
  char FaultPath[256] = {};
  // Written by the helper.
  TOutcome Outcome = TOutcome::None;
  // The helper has grown past what it may keep between drawings: it ends
  // after this answer.
  int32_t Retiring = 0;
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
// height rows of stride bytes.
inline uint64_t AlignUp(uint64_t n) { return (n + 63) & ~uint64_t(63); }
inline uint64_t FileOffset() { return AlignUp(sizeof(TJobHeader)); }
inline uint64_t PixelsOffset(uint64_t fileSize) { return AlignUp(FileOffset() + fileSize); }
inline uint64_t BlockBytes(uint64_t fileSize, uint64_t stride, uint64_t height) {
  return PixelsOffset(fileSize) + stride * height;
}

}  // namespace mfjob
