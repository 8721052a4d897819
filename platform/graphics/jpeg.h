// JPEG pictures over libjpeg: decoding from memory into a 24-bit bitmap and
// baseline colour encoding at a chosen quality.
#pragma once

#include <memory>
#include <vector>

#include "platform/graphics/graphics.h"

// Raised for any failure of the JPEG library; the message is the library's
// own text.
class EJPEG : public EInvalidGraphic {
 public:
  using EInvalidGraphic::EInvalidGraphic;
};

// The work a decoding counted, in steps of about one arithmetic decision,
// and what its file may cost: the decoding ends once Steps passes
// Allowance.
struct TJpegWork {
  int64_t Steps = 0, Allowance = 0;
};

enum TJPEGPerformance : uint8_t { jpBestQuality, jpBestSpeed };
enum TJPEGScale : uint8_t { jsFullSize, jsHalf, jsQuarter, jsEighth };
enum TJPEGPixelFormat : uint8_t { jf24Bit, jf8Bit };

// A JPEG picture. It holds the compressed data and, once decoded, a bitmap.
// Loading only keeps the data (and reads the size from the frame header);
// DIBNeeded decodes. Assigning a bitmap keeps the bitmap; Compress encodes
// it. SaveToStream writes the compressed data (encoding first when needed).
class TJPEGImage : public TGraphic {
 public:
  TJPEGImage();
  ~TJPEGImage() override;
  const char* ClassName() const override { return "TJPEGImage"; }

  int Width() const override;
  int Height() const override;
  void SetWidth(int) override {}
  void SetHeight(int) override {}
  bool Empty() const override;

  // 1..100; 90 by default. Used by the next Compress.
  int CompressionQuality = 90;
  bool Grayscale = false;               // decode (and encode) as grey
  bool ProgressiveEncoding = false;     // encode progressive
  TJPEGPerformance Performance = jpBestQuality;
  TJPEGScale Scale = jsFullSize;
  TJPEGPixelFormat PixelFormat = jf24Bit;  // kept for callers; decoding always gives 24-bit

  // Decodes the compressed data into the bitmap when not done yet (or when
  // Scale, Performance or Grayscale changed since). Raises EJPEG for corrupt
  // or truncated data (a premature end of the data included) and for files
  // with more than 1000 scans or whose decoding would cost more than a few
  // passes over the picture's blocks and an amount per byte of their data
  // allow, EOutOfMemory for pictures whose pixels or (multi-scan files)
  // coefficients would need more than 1 GiB, and EInvalidGraphic when there
  // is no data.
  void DIBNeeded();
  // Decodes the data with the current settings straight into the bitmap,
  // which becomes 24-bit at the picture's size; no decoded copy is kept.
  // Raises as DIBNeeded does.
  void DecodeInto(TBitmap& bitmap) const;
  // Encodes the bitmap (decoded from the data first when there is only data)
  // into compressed data at CompressionQuality; EJPEG for an empty picture.
  void Compress();
  // Encodes the bitmap into compressed data at CompressionQuality, as
  // Assign then Compress would, without copying its pixels: the picture
  // then holds the data alone. EJPEG for an empty picture.
  void CompressFrom(const TBitmap& bitmap);
  // Makes sure compressed data exists (encodes the bitmap when needed).
  void JPEGNeeded();
  // The decoded picture (decodes first).
  TBitmap& Bitmap();
  // What the last decoding counted, also one that failed.
  const TJpegWork& DecodingWork() const { return FWork; }

  void Assign(const TPersistent* source) override;  // a TJPEGImage or a TBitmap
  void LoadFromStream(TStream& stream) override;     // reads to the stream's end
  void SaveToStream(TStream& stream) override;
  void Draw(TCanvas& canvas, const TRect& rect) override;

  // Reads a JPEG from memory.
  void LoadFromMemory(const uint8_t* data, size_t size);
  // Reads a JPEG from the bytes, which the picture keeps (no copy is made).
  void LoadFromData(std::vector<uint8_t> bytes);
  const std::vector<uint8_t>& Data() const { return FData; }

 protected:
  void AssignTo(TPersistent* dest) const override;  // to a TBitmap: decoded 24-bit copy

 private:
  // Scale, Performance and Grayscale packed into one number.
  int DecodeSettings() const;
  // True when FBitmap exists and needs no new decoding.
  bool BitmapCurrent() const;
  // The bitmap, decoded for the current settings when needed; null when the
  // picture is empty.
  TBitmap* DecodedBitmap() const;

  std::vector<uint8_t> FData;
  // The decoded picture, or the bitmap that was assigned. Decoding fills it
  // on demand, also from const members (AssignTo), hence mutable.
  mutable std::unique_ptr<TBitmap> FBitmap;
  // The settings FBitmap was decoded with; -1 when it was assigned.
  mutable int FBitmapSettings = -1;
  int FWidth = 0, FHeight = 0;  // full size from the frame header (or the assigned bitmap)
  mutable TJpegWork FWork;
};

// What loading the JPEG data in the stream (from its start; the position is
// left anywhere) into a TJPEGImage and decoding it into a bitmap with the
// picture's default settings will hold, read by the library's own header
// reader through the stream: it reads the markers up to the first scan and
// skips the segments it does not keep, so a header far into the data costs
// no more than the markers before it. False when the decoder would refuse
// the headers, or the picture or (multi-scan files) its coefficients pass
// the memory caps. width and height: the size of the bitmap the decoding
// makes; loadBytes: the most the load holds beside that bitmap (the data,
// which LoadFromStream reads whole, the library's working memory and, for
// multi-scan files, the coefficients of every component).
bool JpegLoadClaim(TStream& stream, int64_t& width, int64_t& height, int64_t& loadBytes);

// The most one block of a scan can cost the decoder before its coefficients
// are known, in steps of about one arithmetic decision, for a scan of the
// coding, the mode and the spectral band ss..se at the low bit ah's
// refinement (ah 0: the band's first scan). An arithmetic-coded block costs
// a few steps, and a first DC scan some for the difference's magnitude; its
// AC band is charged as it is decoded (JpegBandSteps). A Huffman refinement
// of an AC band visits each position; any other Huffman block costs at least
// a bit of the data, which the allowance a byte of the file pays, or is
// passed over in a run of empty blocks.
int64_t JpegBlockSteps(bool arithmetic, bool progressive, int ss, int se, int ah);
// The most decoding the AC band ss..se (of a sequential scan: 1..63) of one
// block can have cost an arithmetic-coded scan at the low bit ah's
// refinement (ah 0: the band's first scan) that leaves values of bit al and
// up, in steps, from the block's 64 coefficients in natural order after it:
// the decisions about its positions, signs and magnitudes.
int64_t JpegBandSteps(const int16_t* block, int ss, int se, int ah, int al);
