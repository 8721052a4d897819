// Helpers shared by the tests: temporary folders, byte builders for
// hand-made files, test pictures and the stored regression inputs.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/graphics/graphics.h"

// A fresh folder under the system's temporary folder (or under the folder
// given), removed with all its content when the object goes.
class TempDir {
 public:
  TempDir();
  explicit TempDir(const std::string& parent);
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  // The folder with a trailing '/'.
  const std::string& Path() const { return FPath; }
  std::string File(const std::string& name) const { return FPath + name; }

 private:
  std::string FPath;
};

// The names in a folder (without "." and ".."), sorted.
std::vector<std::string> FolderEntries(const std::string& folder);

void WriteFile(const std::string& path, const std::vector<uint8_t>& data);
void WriteTextFile(const std::string& path, const std::string& text);
std::vector<uint8_t> ReadFile(const std::string& path);
std::string ReadTextFile(const std::string& path);
// Writes data over the file at path where it lies (the same file, never
// cut) and, when asked, sets its modification time back to what it was: a
// rewrite that data of the file's own size leaves its size and time to hide.
void RewriteInPlace(const std::string& path, const std::vector<uint8_t>& data, bool timeBack);
// Returns once the clock of the files' times has passed the change time of
// the file at path: a change made next gives the file a later one.
void WaitPastChangeTime(const std::string& path);
// The lines of a list.
std::vector<std::string> Strings(const TStringList& list);

// Builds little-endian binary data.
class ByteWriter {
 public:
  ByteWriter& U8(uint8_t v);
  ByteWriter& U16(uint16_t v);
  ByteWriter& I16(int16_t v) { return U16(static_cast<uint16_t>(v)); }
  ByteWriter& U32(uint32_t v);
  ByteWriter& I32(int32_t v) { return U32(static_cast<uint32_t>(v)); }
  ByteWriter& Bytes(const void* data, size_t size);
  ByteWriter& Bytes(const std::vector<uint8_t>& data) { return Bytes(data.data(), data.size()); }
  ByteWriter& Text(const std::string& s) { return Bytes(s.data(), s.size()); }
  ByteWriter& Zeros(size_t count);
  // Pads with zeros up to a multiple of n bytes.
  ByteWriter& Align(size_t n);
  void PatchU32(size_t at, uint32_t v);
  size_t Size() const { return Data.size(); }
  std::vector<uint8_t> Data;
};

// A 24-bit picture whose every pixel differs from its neighbours: blue = x,
// green = y, red = x + y (all taken as bytes), plus seed.
std::unique_ptr<TBitmap> MakeTestBitmap(int width, int height, int seed = 0);
// A picture of the given format filled with one colour (0x00BBGGRR).
std::unique_ptr<TBitmap> MakeFlatBitmap(int width, int height, TColor color, TPixelFormat format = pf24bit);
// A 24-bit picture `width` pixels wide holding the colours row by row.
std::unique_ptr<TBitmap> MakeColorBitmap(int width, const std::vector<TColor>& colors);
// A 24-bit picture of pseudo-random bytes, the same for the same seed.
std::unique_ptr<TBitmap> MakeNoiseBitmap(int width, int height, unsigned seed);
// The pixel at (x, y) as 0x00BBGGRR read from a bitmap of any format.
TColor PixelAt(TBitmap& bitmap, int x, int y);
// True when both bitmaps have the same size and the same colours everywhere.
bool SameColors(TBitmap& a, TBitmap& b);
// The colours as text, for comparing small pictures with expected tables:
// rows separated by newlines, pixels by blanks, each pixel its first
// channels bytes in the order blue, green, red, joined by commas.
std::string PixelTable(TBitmap& bitmap, int channels = 3);
// The picture as letters, rows separated by newlines: K black, W white,
// R red, G lime, B blue, Y yellow, F fuchsia, A aqua, ? any other colour.
std::string ColorLetters(TBitmap& bitmap);

// The message of the E that f raises; "(nothing raised)" when f returns.
// Other exceptions pass through (and fail the test).
template <class E, class F>
std::string RaisedMessage(F&& f) {
  try {
    f();
  } catch (const E& e) {
    return e.Message;
  }
  return "(nothing raised)";
}

// A picture of class G read from memory by its LoadFromMemory.
template <class G>
std::unique_ptr<G> LoadGraphic(const std::vector<uint8_t>& data) {
  auto graphic = std::make_unique<G>();
  graphic->LoadFromMemory(data.data(), data.size());
  return graphic;
}
// The bytes the graphic's SaveToStream writes.
std::vector<uint8_t> SavedBytes(TGraphic& graphic);

// Files kept under tests/data/regressions/<kind>/ (inputs that once crashed
// or hung a decoder), sorted by name. A folder that is missing or empty
// fails the test: a replay of nothing must not pass.
std::vector<std::string> RegressionInputs(const std::string& kind);
// Runs every file of RegressionInputs(kind) through run, as its fuzzer
// does. Each may pass or raise EOutOfMemory or EInvalidGraphic with the
// message (any message when it is empty); anything else fails the test.
using RegressionRun = std::function<void(const std::vector<uint8_t>& data)>;
void ReplayRegressionInputs(const std::string& kind, const RegressionRun& run,
                            const std::string& message = "");
// Folder of the test data (tests/data/ in the source tree), with '/'.
std::string TestDataFolder();

// Runs the current test again in a process of its own: this program with a
// filter for that test alone, its environment changed by the variables
// given ("NAME=VALUE" sets NAME, a bare "NAME" removes it). Answers the
// child's exit status, or -1 when it did not run to its end, or did not end
// within timeoutSeconds (0: no limit), in which case it is killed.
int RunCurrentTestInOwnProcess(const std::vector<std::string>& variables, int timeoutSeconds = 0);

// A new global memory block holding the bytes (the caller frees it), and
// the bytes a block holds.
HGLOBAL GlobalBlockOf(const std::vector<uint8_t>& bytes);
std::vector<uint8_t> GlobalBlockBytes(HGLOBAL block);

// What a graphic's SaveToClipboardFormat gives, freed at the end.
struct ClipResults {
  uint16_t Format = 0xFFFF;
  HGLOBAL Data = nullptr;
  HPALETTE Palette = nullptr;
  ClipResults() = default;
  explicit ClipResults(TGraphic& graphic) { graphic.SaveToClipboardFormat(Format, Data, Palette); }
  ClipResults(const ClipResults&) = delete;
  ClipResults& operator=(const ClipResults&) = delete;
  ~ClipResults() {
    GlobalFree(Data);
    DeleteObject(Palette);
  }
};
