// The program's clipboard: one per process, holding data blocks by format,
// and the global memory blocks that carry the data.
//
// Formats are numbers: the standard ones below, and those registered by
// name (RegisterClipboardFormat), which get numbers from 0xC000 on. The
// clipboard holds at most one block per format. Like the desktop's, it is
// opened by one thread at a time: emptying it and placing data need it open
// by the calling thread, and so does reading data, so that no block can be
// freed under a reader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// --- Global memory blocks ---------------------------------------------------

// A block of memory handed around by handle. Lock gives its address.
struct TGlobalBlock;
using HGLOBAL = TGlobalBlock*;

enum : unsigned {
  GMEM_FIXED = 0x0000,
  GMEM_MOVEABLE = 0x0002,
  GMEM_ZEROINIT = 0x0040,
  GMEM_DDESHARE = 0x2000,
  GHND = GMEM_MOVEABLE | GMEM_ZEROINIT,
};

// A new block of the size (zero-filled with GMEM_ZEROINIT); none when the
// memory cannot be had or the size is 0.
HGLOBAL GlobalAlloc(unsigned flags, size_t bytes);
// The block's address (none for a handle that is not a live block); every
// lock wants an unlock.
void* GlobalLock(HGLOBAL block);
// False once the block has no lock left (or for a handle that is not a live
// block).
bool GlobalUnlock(HGLOBAL block);
// The block's size in bytes; 0 for a handle that is not a live block.
size_t GlobalSize(HGLOBAL block);
// Frees the block. None on success; the handle itself when it is not a
// live block (nothing is freed then).
HGLOBAL GlobalFree(HGLOBAL block);

// --- Formats ----------------------------------------------------------------

enum : uint16_t {
  CF_TEXT = 1,
  // A picture of the platform's bitmap class: a block holding a packed
  // device-independent bitmap (info header, colour table, rows bottom-up).
  CF_BITMAP = 2,
  CF_DIB = 8,
  CF_PALETTE = 9,
};

// The number of the format of that name: the same number every time for the
// same name (compared without regard to case), from 0xC000 on; 0 for an
// empty name or when all numbers are taken.
uint16_t RegisterClipboardFormat(const std::string& name);
// The name a format was registered under; empty for standard and unknown
// formats.
std::string GetClipboardFormatName(uint16_t format);

// --- The clipboard ----------------------------------------------------------

// Opens the clipboard for the calling thread; false while another thread
// has it open. Opening it again on the same thread succeeds.
bool OpenClipboard();
// False when the calling thread does not have it open.
bool CloseClipboard();
// Frees every block on the clipboard; false unless the calling thread has
// it open.
bool EmptyClipboard();
// Puts the block on the clipboard for the format, replacing (and freeing)
// any block it had for the format; the clipboard then owns the block.
// Returns the block, or none when the calling thread does not have the
// clipboard open, the format is 0 or the block is not a live one: then the
// caller keeps the block.
HGLOBAL SetClipboardData(uint16_t format, HGLOBAL data);
// The clipboard's block for the format (still owned by the clipboard);
// none when it has none or the calling thread does not have it open.
HGLOBAL GetClipboardData(uint16_t format);
// Whether the clipboard holds a block of the format (open or not).
bool IsClipboardFormatAvailable(uint16_t format);
