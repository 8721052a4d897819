// JPEG pictures over libjpeg-turbo.
//
// libjpeg reports errors through a callback that must not return. Ours jumps
// (longjmp) back to the guard that started the library call; the frames in
// between are libjpeg's and small lambdas that own nothing needing
// destruction, so the jump skips no destructor. The guard then raises EJPEG
// with the library's message, and the owner of the library object destroys
// it as the exception unwinds.
#include "platform/graphics/jpeg.h"

#include <algorithm>
#include <array>
#include <bit>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <jpeglib.h>
#include <jerror.h>
// The entropy decoder's interface, through which the work of an
// arithmetic-coded scan is counted as its blocks are decoded.
extern "C" {
#include <jpegint.h>
}
#undef MAX
#undef MIN

namespace {

// Crafted files can make the decoder work long on little data: libjpeg walks
// every block that a scan covers, and some blocks cost next to no data: an
// arithmetic-coded block, whose decisions can each cost almost nothing (in a
// trained context, or on zero bits, which the decoder reads on once the
// data has ended), and a Huffman refinement, which visits each position of
// the band even in a run of empty blocks. Decoding counts its work in steps
// of about one arithmetic decision (about 4 ns; a Huffman step is about
// 2 ns). Each scan is charged, before it is decoded, for the blocks it
// covers at what such a block can cost before its coefficients are known
// (JpegBlockSteps); an arithmetic-coded AC band is charged further as its
// blocks are decoded, by what they decoded (JpegBandSteps): one block may
// take two thousand decisions, paid for by no byte at all. Decoding gives up
// past MaxScans scans or once the steps pass an allowance:
// - FloorSteps for any picture, so that a small picture decodes in any
//   progression an encoder makes;
// - for each block of the picture, well above what libjpeg's own codings
//   cost a block of a blank picture, where the data pays for almost
//   nothing: FreeHuffmanSteps (its progressions are charged 29 to 42 steps,
//   and 17 more for each further refinement of a deeper script),
//   FreeArithmeticSteps for an arithmetic-coded progression (92 for its own
//   of grey, 113 for a script that begins the AC bands a bit lower and
//   refines them once more), about half a microsecond either way, and
//   FreeSequentialSteps for one arithmetic-coded scan (38), whose pictures
//   may have up to four times the blocks of one whose coefficients are kept;
// - StepsPerByte for each byte from the first scan's data on, several times
//   what honest data costs a byte (about 15 steps in arithmetic-coded
//   photos, fewer with Huffman).
constexpr int MaxScans = 1000;
constexpr int64_t FloorSteps = int64_t(1) << 24;
constexpr int64_t FreeHuffmanSteps = 272;
constexpr int64_t FreeArithmeticSteps = 160;
constexpr int64_t FreeSequentialSteps = 64;
constexpr int64_t StepsPerByte = 200;

struct TJpegError {
  jpeg_error_mgr Pub;  // first, so libjpeg's pointer to it points to the whole
  std::jmp_buf Jump;
  char Message[JMSG_LENGTH_MAX];
};

[[noreturn]] void Fail(j_common_ptr info) {
  auto* err = reinterpret_cast<TJpegError*>(info->err);
  info->err->format_message(info, err->Message);
  std::longjmp(err->Jump, 1);
}

// Ends the library call under way with a message of ours.
[[noreturn]] void Refuse(j_common_ptr info, const char* message) {
  auto* err = reinterpret_cast<TJpegError*>(info->err);
  std::snprintf(err->Message, sizeof err->Message, "%s", message);
  std::longjmp(err->Jump, 1);
}

// Warnings about a premature end or damaged entropy-coded data end the
// decoding: the picture would come out incomplete. Other warnings (stray
// bytes before a marker, odd JFIF or Adobe fields) leave a picture that
// displays fine and are ignored, as are trace messages (level 0 and up).
void OnMessage(j_common_ptr info, int level) {
  if (level >= 0) return;
  switch (info->err->msg_code) {
    case JWRN_JPEG_EOF:
    case JWRN_HIT_MARKER:
    case JWRN_MUST_RESYNC:
    case JWRN_NOT_SEQUENTIAL:
    case JWRN_BOGUS_PROGRESSION:
    case JWRN_TOO_MUCH_DATA:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_ARITH_BAD_CODE:
      Fail(info);
    default:
      return;
  }
}

jpeg_error_mgr* InitError(TJpegError& err) {
  jpeg_std_error(&err.Pub);
  err.Pub.error_exit = Fail;
  err.Pub.emit_message = OnMessage;
  return &err.Pub;
}

// Runs library calls; an error inside jumps back here and answers false.
template <class Body>
bool Guarded(TJpegError& err, const Body& body) {
  if (setjmp(err.Jump)) return false;
  body();
  return true;
}

template <class Body>
void Run(TJpegError& err, const Body& body) {
  if (!Guarded(err, body)) throw EJPEG(err.Message);
}

// A decompressor reading from memory the caller keeps alive, or through a
// source of the caller's.
struct TDecompressor {
  TJpegError Err{};
  jpeg_decompress_struct Info{};

  explicit TDecompressor(const std::vector<uint8_t>& data) {
    Open([&] { jpeg_mem_src(&Info, data.data(), data.size()); });
  }
  explicit TDecompressor(jpeg_source_mgr& source) {
    Open([&] { Info.src = &source; });
  }
  ~TDecompressor() { jpeg_destroy_decompress(&Info); }
  TDecompressor(const TDecompressor&) = delete;
  TDecompressor& operator=(const TDecompressor&) = delete;

 private:
  template <class Source>
  void Open(const Source& source) {
    Info.err = InitError(Err);
    bool opened = Guarded(Err, [&] {
      jpeg_create_decompress(&Info);
      source();
    });
    if (!opened) {
      jpeg_destroy_decompress(&Info);
      throw EJPEG(Err.Message);
    }
    // Larger coefficient buffers would need a backing store, which this
    // build of libjpeg refuses with an error.
    Info.mem->max_memory_to_use = MaxBitmapBytes;
  }
};

// A source reading the data from a stream through a small buffer of its
// own; the segments the library passes over are skipped with a seek, so
// reading the headers reads little more than their markers. At the end of
// the data it does what the memory source does: it warns of a premature
// end, which ends the decoding, and makes up an end marker.
struct TStreamSource {
  jpeg_source_mgr Pub{};  // first, so libjpeg's pointer to it points to the whole
  TStream& Stream;
  JOCTET Buffer[4096];

  explicit TStreamSource(TStream& stream) : Stream(stream) {
    Pub.init_source = [](j_decompress_ptr) {};
    Pub.fill_input_buffer = Fill;
    Pub.skip_input_data = Skip;
    Pub.resync_to_restart = jpeg_resync_to_restart;
    Pub.term_source = [](j_decompress_ptr) {};
  }

  static boolean Fill(j_decompress_ptr info) {
    static const JOCTET end[2] = {0xFF, JPEG_EOI};
    auto* source = reinterpret_cast<TStreamSource*>(info->src);
    int64_t got = source->Stream.Read(source->Buffer, sizeof source->Buffer);
    if (got > 0) {
      source->Pub.next_input_byte = source->Buffer;
      source->Pub.bytes_in_buffer = size_t(got);
    } else {
      WARNMS(info, JWRN_JPEG_EOF);
      source->Pub.next_input_byte = end;
      source->Pub.bytes_in_buffer = 2;
    }
    return TRUE;
  }

  static void Skip(j_decompress_ptr info, long count) {
    auto* source = reinterpret_cast<TStreamSource*>(info->src);
    if (count <= 0) return;
    if (size_t(count) <= source->Pub.bytes_in_buffer) {
      source->Pub.next_input_byte += count;
      source->Pub.bytes_in_buffer -= size_t(count);
      return;
    }
    int64_t skip = int64_t(count) - int64_t(source->Pub.bytes_in_buffer);
    source->Pub.bytes_in_buffer = 0;
    const int64_t at = source->Stream.Position(), left = source->Stream.Size() - at;
    if (skip < left) {
      source->Stream.Seek(skip, soCurrent);
      return;
    }
    // Past the end: the memory source warns as it refills.
    source->Stream.Seek(std::max<int64_t>(left, 0), soCurrent);
    Fill(info);
    source->Pub.bytes_in_buffer -= std::min<size_t>(source->Pub.bytes_in_buffer, size_t(skip - left));
  }
};

// A compressor writing into a buffer that libjpeg allocates and grows.
struct TCompressor {
  TJpegError Err{};
  jpeg_compress_struct Info{};
  unsigned char* Buffer = nullptr;
  unsigned long Size = 0;

  TCompressor() {
    Info.err = InitError(Err);
    bool opened = Guarded(Err, [&] {
      jpeg_create_compress(&Info);
      jpeg_mem_dest(&Info, &Buffer, &Size);
    });
    if (!opened) {
      jpeg_destroy_compress(&Info);
      std::free(Buffer);
      throw EJPEG(Err.Message);
    }
  }
  ~TCompressor() {
    jpeg_destroy_compress(&Info);
    std::free(Buffer);
  }
  TCompressor(const TCompressor&) = delete;
  TCompressor& operator=(const TCompressor&) = delete;
};

int64_t RoundUp(int64_t value, int64_t step) { return (value + step - 1) / step * step; }

// The blocks of coefficients that a multi-scan file keeps until its output:
// each component's blocks rounded up to whole MCUs.
int64_t CoefficientBlocks(const jpeg_decompress_struct& info) {
  int64_t blocks = 0;
  for (int i = 0; i < info.num_components; ++i) {
    const jpeg_component_info& c = info.comp_info[i];
    blocks += RoundUp(c.width_in_blocks, c.h_samp_factor) * RoundUp(c.height_in_blocks, c.v_samp_factor);
  }
  return blocks;
}

// The bytes of those coefficients, 64 two-byte values per block; with
// rowPointers, also the library's pointer to each row of blocks.
int64_t CoefficientBytes(const jpeg_decompress_struct& info, bool rowPointers = false) {
  int64_t pointers = 0;
  for (int i = 0; rowPointers && i < info.num_components; ++i)
    pointers += RoundUp(info.comp_info[i].height_in_blocks, info.comp_info[i].v_samp_factor) *
                int64_t(sizeof(JBLOCKROW));
  return CoefficientBlocks(info) * DCTSIZE2 * int64_t(sizeof(JCOEF)) + pointers;
}

// False for pictures whose pixels, or (when all scans must be kept before
// the output) whose coefficients, would need more than MaxBitmapBytes.
bool FitsMemory(const jpeg_decompress_struct& info, bool multiScan) {
  if (int64_t(info.output_width) * info.output_height * 3 > MaxBitmapBytes) return false;
  return !multiScan || CoefficientBytes(info) <= MaxBitmapBytes;
}

// What the library holds while it decodes, beside the output bitmap and the
// coefficients: the sample rows of each component that its main buffer
// keeps (with the context rows that smooth upsampling asks for), the
// upsampler's rows for components of less than full resolution, the row of
// grey or CMYK samples that is converted to the bitmap, and a fixed part for
// its structures and tables (pools, Huffman, quantization, colour
// conversion and range-limit tables).
int64_t DecoderWorkingBytes(const jpeg_decompress_struct& info) {
  constexpr int64_t kFixedBytes = 256 << 10;
  int64_t bytes = kFixedBytes;
  for (int i = 0; i < info.num_components; ++i) {
    const jpeg_component_info& c = info.comp_info[i];
    bytes += RoundUp(c.width_in_blocks, c.h_samp_factor) * DCTSIZE * c.v_samp_factor * (DCTSIZE + 2);
    if (c.h_samp_factor != info.max_h_samp_factor || c.v_samp_factor != info.max_v_samp_factor)
      bytes += RoundUp(info.output_width, info.max_h_samp_factor) * info.max_v_samp_factor;
  }
  return bytes + int64_t(info.output_width) * std::max(info.output_components, info.num_components);
}

// Sets the decoding up on a decompressor whose header has been read: the
// output colours, scale and quality, and the output size that follows.
// Multi-scan files are read in buffered-image mode, which lets ConsumeScans
// count the scans before any pixel is made; answers whether the file is one.
bool SetUpDecoding(jpeg_decompress_struct& info, TJPEGScale scale, TJPEGPerformance performance,
                   bool grayscale) {
  bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
  info.out_color_space = cmyk ? JCS_CMYK : grayscale ? JCS_GRAYSCALE : JCS_EXT_BGR;
  info.scale_num = 1;
  info.scale_denom = 1u << scale;
  info.dct_method = performance == jpBestSpeed ? JDCT_IFAST : JDCT_ISLOW;
  info.do_fancy_upsampling = performance == jpBestQuality;
  bool multiScan = jpeg_has_multiple_scans(&info);
  info.buffered_image = multiScan;
  jpeg_calc_output_dimensions(&info);
  return multiScan;
}

// The most the current scan can cost before its coefficients are known, in
// steps: the blocks of its MCUs times what one of them can cost
// (JpegBlockSteps).
int64_t ScanSteps(const jpeg_decompress_struct& info) {
  return int64_t(info.MCUs_per_row) * info.MCU_rows_in_scan * info.blocks_in_MCU *
         JpegBlockSteps(info.arith_code, info.progressive_mode, info.Ss, info.Se, info.Ah);
}

// The natural (row by row) index of each zigzag position of a block, and the
// zigzag position of each natural index.
constexpr uint8_t kNaturalOrder[DCTSIZE2] = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
    41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
    30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};
constexpr std::array<uint8_t, DCTSIZE2> kZigzag = [] {
  std::array<uint8_t, DCTSIZE2> zigzag{};
  for (int k = 0; k < DCTSIZE2; ++k) zigzag[kNaturalOrder[k]] = uint8_t(k);
  return zigzag;
}();

// The AC band of an arithmetic-coded scan, as BandSteps reads it.
struct TBand {
  int Low = 1, Al = 0;     // its first zigzag position, the low bit of its values
  bool Refinement = false;
  uint64_t Mask = 0;       // its positions, as bits of the natural indices
  int64_t Most = 0;        // the most BandSteps gives a block
};

TBand Band(int ss, int se, int ah, int al) {
  TBand band{std::max(ss, 1), al, ah > 0, 0, 0};
  int positions = 0;
  for (int k = band.Low; k <= se && k < DCTSIZE2; ++k, ++positions) band.Mask |= uint64_t(1) << kNaturalOrder[k];
  // Every position nonzero, of the largest value a coefficient holds.
  const int64_t magnitude = band.Refinement ? 0 : 2 * std::bit_width(unsigned(32767 >> std::min(al, 15)));
  band.Most = positions * (3 + magnitude) + 1;
  return band;
}

// The coefficients of a block that are not zero, as bits of their natural
// indices.
uint64_t NonzeroMask(const JCOEF* block) {
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  uint64_t zeros = 0;
  for (int i = 0; i < DCTSIZE2; i += 16) {
    const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + i));
    const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + i + 8));
    const __m128i packed = _mm_packs_epi16(_mm_cmpeq_epi16(low, zero), _mm_cmpeq_epi16(high, zero));
    zeros |= uint64_t(uint32_t(_mm_movemask_epi8(packed))) << i;
  }
  return ~zeros;
#else
  uint64_t mask = 0;
  for (int i = 0; i < DCTSIZE2; ++i) mask |= uint64_t(block[i] != 0) << i;
  return mask;
#endif
}

// The most the arithmetic decoder can do for a block of the band whose
// nonzero coefficients it leaves (some): a decision at each position up to
// the band's last nonzero coefficient and one for the band's end; for each
// nonzero coefficient two more (the end test before it and the sign of a
// coefficient it makes nonzero) and, in a first scan, the magnitude's
// category and bits: one decision for a value of 1, else two for each bit
// of the value less 1. A band with no nonzero coefficient costs one.
int64_t BandSteps(const TBand& band, const JCOEF* block, uint64_t nonzero) {
  int last = 0, count = 0;
  int64_t steps = 0;
  for (uint64_t bits = nonzero; bits; bits &= bits - 1, ++count) {
    const int i = std::countr_zero(bits);
    last = std::max<int>(last, kZigzag[i]);
    if (band.Refinement) continue;
    const unsigned value = unsigned(std::abs(int(block[i]))) >> band.Al;
    steps += value > 1 ? 2 * std::bit_width(value - 1) : 1;
  }
  return steps + (last - band.Low + 1) + 2 * int64_t(count) + 1;
}

// The count of a decoding's work: what DecodeInto hands the library as its
// client data.
struct TDecodeWork {
  TJpegWork& Counts;
  // The AC band of the current scan when it is arithmetic-coded (Mask 0
  // when not), and the library's decoder of its MCUs when CountedDecodeMcu
  // stands in for it.
  TBand Band;
  boolean (*DecodeMcu)(j_decompress_ptr, JBLOCKROW*) = nullptr;
  // What the bytes the decoder has read pay for (StepsPerByte each) and no
  // blocks have been charged against yet.
  int64_t Paid = 0;

  // Charges count blocks of the band that the decoder read the bytes left
  // - now of the source for: while the bytes read so far pay twice for the
  // most the blocks can cost, that most, without a look at them (honest
  // detailed pictures take several bytes a block, and cost no counting),
  // else what each cost. Past the allowance the decoding ends.
  template <class Blocks>
  void Charge(j_decompress_ptr info, size_t left, int64_t count, const Blocks& blocks) {
    Paid += StepsPerByte * int64_t(left - std::min(left, info->src->bytes_in_buffer));
    const int64_t most = Band.Most * count;
    if (Paid >= 2 * most) {
      Paid -= 2 * most;
      Counts.Steps += most;
    } else {
      blocks([&](const JCOEF* block) {
        const uint64_t nonzero = NonzeroMask(block) & Band.Mask;
        Counts.Steps += nonzero ? BandSteps(Band, block, nonzero) : 1;
      });
    }
    Check(info);
  }

  // Ends the decoding once the steps pass the allowance.
  void Check(j_decompress_ptr info) const {
    if (Counts.Steps > Counts.Allowance)
      Refuse(reinterpret_cast<j_common_ptr>(info), "JPEG image takes too much work to decode");
  }
};

// Decodes an MCU of an arithmetic-coded AC band through the library's
// decoder and charges what its blocks decoded (a file of one scan, whose
// blocks are not kept).
boolean CountedDecodeMcu(j_decompress_ptr info, JBLOCKROW* blocks) {
  auto& work = *static_cast<TDecodeWork*>(info->client_data);
  const size_t left = info->src->bytes_in_buffer;
  if (!work.DecodeMcu(info, blocks)) return FALSE;
  work.Charge(info, left, info->blocks_in_MCU, [&](const auto& charge) {
    for (int b = 0; b < info->blocks_in_MCU; ++b) charge(*blocks[b]);
  });
  return TRUE;
}

// Charges the row of MCUs of an arithmetic-coded AC band that the library
// has just decoded into its coefficients (a multi-scan file).
void ChargeRow(jpeg_decompress_struct& info, TDecodeWork& work, size_t left) {
  const auto row = [&](int c, auto&& body) {
    const jpeg_component_info& component = *info.cur_comp_info[c];
    const int v = component.v_samp_factor;
    // A scan of one component covers its blocks, one of several whole MCUs.
    const bool alone = info.comps_in_scan == 1;
    const int height = int(alone ? component.height_in_blocks : RoundUp(component.height_in_blocks, v));
    const int width = int(alone ? component.width_in_blocks : info.MCUs_per_row * component.MCU_width);
    const int first = int(info.input_iMCU_row - 1) * v, rows = std::clamp(height - first, 0, v);
    body(first, rows, width, component);
  };
  int64_t count = 0;
  for (int c = 0; c < info.comps_in_scan; ++c)
    row(c, [&](int, int rows, int width, const jpeg_component_info&) { count += int64_t(rows) * width; });
  work.Charge(&info, left, count, [&](const auto& charge) {
    for (int c = 0; c < info.comps_in_scan; ++c)
      row(c, [&](int first, int rows, int width, const jpeg_component_info& component) {
        JBLOCKARRAY blocks = info.mem->access_virt_barray(reinterpret_cast<j_common_ptr>(&info),
                                                          info.coef->coef_arrays[component.component_index],
                                                          JDIMENSION(first), JDIMENSION(rows), FALSE);
        for (int y = 0; y < rows; ++y)
          for (int x = 0; x < width; ++x) charge(blocks[y][x]);
      });
  });
}

// Charges the scan whose header the library has just read and set its
// decoder up for; an arithmetic-coded AC band goes on being charged as it
// is decoded, by the MCU in a file of one scan, else by the row
// (ConsumeScans). Ends the decoding past MaxScans scans or the allowance.
void ChargeScan(jpeg_decompress_struct& info, TDecodeWork& work) {
  if (info.input_scan_number > MaxScans)
    Refuse(reinterpret_cast<j_common_ptr>(&info), "JPEG image has too many scans");
  work.Counts.Steps += ScanSteps(info);
  work.Band = info.arith_code && info.Se > 0 ? Band(info.Ss, info.Se, info.Ah, info.Al) : TBand{};
  if (work.Band.Mask && !info.buffered_image) {
    work.DecodeMcu = info.entropy->decode_mcu;
    info.entropy->decode_mcu = CountedDecodeMcu;
  }
  work.Check(&info);
}

// Reads every scan of a multi-scan file from the memory source (in
// buffered-image mode, after jpeg_start_decompress and the first scan's
// charge), a row of MCUs at a time, charging each scan and row.
void ConsumeScans(jpeg_decompress_struct& info, TDecodeWork& work) {
  for (;;) {
    const size_t left = info.src->bytes_in_buffer;
    int status = jpeg_consume_input(&info);
    if (status == JPEG_REACHED_EOI || status == JPEG_SUSPENDED) return;
    if (status == JPEG_REACHED_SOS) ChargeScan(info, work);
    if ((status == JPEG_ROW_COMPLETED || status == JPEG_SCAN_COMPLETED) && work.Band.Mask) ChargeRow(info, work, left);
  }
}

uint8_t Div255(int value) { return static_cast<uint8_t>((value + 127) / 255); }

// Turns a decoded row of grey or CMYK samples into blue, green, red. Files
// with an Adobe marker hold CMYK inverted (Photoshop's habit).
void ToBgr(const uint8_t* in, int components, bool adobe, bool grey, int width, uint8_t* bgr) {
  for (int x = 0; x < width; ++x, bgr += 3) {
    uint8_t r, g, b;
    if (components == 1) {
      r = g = b = in[x];
    } else {
      const uint8_t* p = in + 4 * x;
      if (adobe) {
        r = Div255(p[0] * p[3]);
        g = Div255(p[1] * p[3]);
        b = Div255(p[2] * p[3]);
      } else {
        r = Div255((255 - p[0]) * (255 - p[3]));
        g = Div255((255 - p[1]) * (255 - p[3]));
        b = Div255((255 - p[2]) * (255 - p[3]));
      }
      if (grey) r = g = b = static_cast<uint8_t>((19595 * r + 38470 * g + 7471 * b + 32768) >> 16);
    }
    bgr[0] = b;
    bgr[1] = g;
    bgr[2] = r;
  }
}

// Decodes a whole file into a new 24-bit bitmap. Colour files are decoded
// straight into the bitmap's blue, green, red rows; grey output and CMYK
// (which libjpeg cannot turn into RGB) go through a row buffer.
void DecodeInto(const std::vector<uint8_t>& data, TJPEGScale scale, TJPEGPerformance performance, bool grayscale,
                TBitmap& bitmap, TJpegWork& counts) {
  counts = {};
  TDecompressor d(data);
  jpeg_decompress_struct& info = d.Info;
  TDecodeWork work{counts, {}, nullptr, 0};
  info.client_data = &work;
  bool multiScan = false;
  Run(d.Err, [&] {
    jpeg_read_header(&info, TRUE);
    multiScan = SetUpDecoding(info, scale, performance, grayscale);
  });
  if (!FitsMemory(info, multiScan)) throw EOutOfMemory("Out of memory");

  Run(d.Err, [&] {
    jpeg_start_decompress(&info);
    // Nothing of the first scan's data is read yet: what the source holds
    // is that data and everything after it.
    const int64_t free = !info.arith_code ? FreeHuffmanSteps : multiScan ? FreeArithmeticSteps : FreeSequentialSteps;
    counts.Allowance = FloorSteps + free * CoefficientBlocks(info) + StepsPerByte * int64_t(info.src->bytes_in_buffer);
    ChargeScan(info, work);
    if (multiScan) ConsumeScans(info, work);
  });

  bitmap.SetPixelFormat(pf24bit);
  bitmap.SetSize(static_cast<int>(info.output_width), static_cast<int>(info.output_height));
  TDibSection& dib = *bitmap.Handle();
  bool direct = info.out_color_space == JCS_EXT_BGR;
  std::vector<uint8_t> row(direct ? 0 : size_t(info.output_width) * info.output_components);
  bool adobe = info.saw_Adobe_marker;
  Run(d.Err, [&] {
    if (multiScan) jpeg_start_output(&info, info.input_scan_number);
    while (info.output_scanline < info.output_height) {
      uint8_t* target = dib.ScanLine(static_cast<int>(info.output_scanline));
      JSAMPROW rows[1] = {direct ? target : row.data()};
      if (jpeg_read_scanlines(&info, rows, 1) != 1) break;
      if (!direct) ToBgr(row.data(), info.output_components, adobe, grayscale, dib.Width, target);
    }
  });
}

std::unique_ptr<TBitmap> Decode(const std::vector<uint8_t>& data, TJPEGScale scale,
                                TJPEGPerformance performance, bool grayscale, TJpegWork& counts) {
  auto bitmap = std::make_unique<TBitmap>();
  DecodeInto(data, scale, performance, grayscale, *bitmap, counts);
  return bitmap;
}

// Encodes a 24-bit bitmap; libjpeg takes its blue, green, red rows as they are.
std::vector<uint8_t> Encode(const TDibSection& dib, int quality, bool progressive, bool grayscale) {
  TCompressor c;
  jpeg_compress_struct& info = c.Info;
  Run(c.Err, [&] {
    info.image_width = static_cast<JDIMENSION>(dib.Width);
    info.image_height = static_cast<JDIMENSION>(dib.Height);
    info.input_components = 3;
    info.in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(&info);
    if (grayscale) jpeg_set_colorspace(&info, JCS_GRAYSCALE);
    jpeg_set_quality(&info, quality, TRUE);
    if (progressive) jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
      JSAMPROW row = const_cast<uint8_t*>(dib.ScanLine(static_cast<int>(info.next_scanline)));
      if (jpeg_write_scanlines(&info, &row, 1) != 1) break;
    }
    jpeg_finish_compress(&info);
  });
  return std::vector<uint8_t>(c.Buffer, c.Buffer + c.Size);
}

}  // namespace

TJPEGImage::TJPEGImage() = default;
TJPEGImage::~TJPEGImage() = default;

int TJPEGImage::DecodeSettings() const { return Scale | Performance << 2 | int(Grayscale) << 3; }

bool TJPEGImage::BitmapCurrent() const {
  return FBitmap && (FBitmapSettings < 0 || FBitmapSettings == DecodeSettings());
}

int TJPEGImage::Width() const {
  if (BitmapCurrent()) return FBitmap->Width();
  int divisor = 1 << Scale;
  return (FWidth + divisor - 1) / divisor;
}

int TJPEGImage::Height() const {
  if (BitmapCurrent()) return FBitmap->Height();
  int divisor = 1 << Scale;
  return (FHeight + divisor - 1) / divisor;
}

bool TJPEGImage::Empty() const { return FData.empty() && (!FBitmap || FBitmap->Empty()); }

TBitmap* TJPEGImage::DecodedBitmap() const {
  if (BitmapCurrent() || FData.empty()) return FBitmap.get();
  FBitmap = Decode(FData, Scale, Performance, Grayscale, FWork);
  FBitmapSettings = DecodeSettings();
  return FBitmap.get();
}

void TJPEGImage::DecodeInto(TBitmap& bitmap) const {
  if (FData.empty()) throw EInvalidGraphic("JPEG image has no data");
  ::DecodeInto(FData, Scale, Performance, Grayscale, bitmap, FWork);
}

void TJPEGImage::DIBNeeded() {
  if (!DecodedBitmap()) throw EInvalidGraphic("JPEG image has no data");
}

TBitmap& TJPEGImage::Bitmap() {
  DIBNeeded();
  return *FBitmap;
}

void TJPEGImage::Compress() {
  TBitmap* source = FData.empty() ? FBitmap.get() : DecodedBitmap();
  if (!source || source->Empty()) throw EJPEG("Cannot compress an empty picture to JPEG");
  const TDibSection* dib = source->Handle();
  TBitmap converted;
  if (dib->BitCount != 24) {
    converted.Assign(source);
    converted.SetPixelFormat(pf24bit);
    dib = converted.Handle();
  }
  FData = Encode(*dib, std::clamp(CompressionQuality, 1, 100), ProgressiveEncoding, Grayscale);
  // The bitmap is now the source of the data, whatever the decoding settings.
  FBitmapSettings = -1;
  FWidth = source->Width();
  FHeight = source->Height();
}

void TJPEGImage::CompressFrom(const TBitmap& bitmap) {
  if (bitmap.Empty()) throw EJPEG("Cannot compress an empty picture to JPEG");
  const TDibSection* dib = bitmap.Handle();
  TBitmap converted;
  if (dib->BitCount != 24) {
    converted.Assign(&bitmap);
    converted.SetPixelFormat(pf24bit);
    dib = converted.Handle();
  }
  FData = Encode(*dib, std::clamp(CompressionQuality, 1, 100), ProgressiveEncoding, Grayscale);
  FBitmap.reset();
  FBitmapSettings = -1;
  FWidth = bitmap.Width();
  FHeight = bitmap.Height();
  Changed();
}

void TJPEGImage::JPEGNeeded() {
  if (FData.empty()) Compress();
}

void TJPEGImage::Assign(const TPersistent* source) {
  if (source == this) return;
  if (auto* other = dynamic_cast<const TJPEGImage*>(source)) {
    FData = other->FData;
    FBitmap.reset();
    if (other->FBitmap) {
      FBitmap = std::make_unique<TBitmap>();
      FBitmap->Assign(other->FBitmap.get());
    }
    FBitmapSettings = other->FBitmapSettings;
    FWidth = other->FWidth;
    FHeight = other->FHeight;
    CompressionQuality = other->CompressionQuality;
    Grayscale = other->Grayscale;
    ProgressiveEncoding = other->ProgressiveEncoding;
    Performance = other->Performance;
    Scale = other->Scale;
    PixelFormat = other->PixelFormat;
    Changed();
    return;
  }
  if (auto* bitmap = dynamic_cast<const TBitmap*>(source)) {
    FData.clear();
    FBitmap = std::make_unique<TBitmap>();
    FBitmap->Assign(bitmap);
    FBitmapSettings = -1;
    FWidth = bitmap->Width();
    FHeight = bitmap->Height();
    Changed();
    return;
  }
  TGraphic::Assign(source);
}

void TJPEGImage::AssignTo(TPersistent* dest) const {
  if (auto* bitmap = dynamic_cast<TBitmap*>(dest)) {
    bitmap->Assign(DecodedBitmap());  // null (an empty picture) empties the bitmap
    return;
  }
  TGraphic::AssignTo(dest);
}

void TJPEGImage::LoadFromStream(TStream& stream) {
  // Bytes that do not start like a JPEG are refused before the stream is
  // read to its end, with the library's own words.
  uint8_t head[2];
  int64_t got = std::max<int64_t>(0, stream.Read(head, 2));
  if (got == 2 && (head[0] != 0xFF || head[1] != 0xD8)) {
    char message[64];
    std::snprintf(message, sizeof message, "Not a JPEG file: starts with 0x%02x 0x%02x", head[0], head[1]);
    throw EJPEG(message);
  }
  stream.Seek(-got, soCurrent);
  LoadFromData(ReadToEnd(stream));
}

void TJPEGImage::LoadFromMemory(const uint8_t* data, size_t size) {
  LoadFromData(std::vector<uint8_t>(data, data + size));
}

void TJPEGImage::LoadFromData(std::vector<uint8_t> bytes) {
  int width, height;
  {
    TDecompressor d(bytes);
    Run(d.Err, [&] { jpeg_read_header(&d.Info, TRUE); });
    width = static_cast<int>(d.Info.image_width);
    height = static_cast<int>(d.Info.image_height);
  }
  FData = std::move(bytes);
  FBitmap.reset();
  FBitmapSettings = -1;
  FWidth = width;
  FHeight = height;
  Changed();
}

int64_t JpegBlockSteps(bool arithmetic, bool progressive, int ss, int se, int ah) {
  const int64_t band = se - ss + 1;
  // A DC difference: its zero test, sign and magnitude; a DC refinement: its
  // bit; an AC refinement first looks for the block's last nonzero
  // coefficient up to the band's end.
  if (arithmetic) return 4 + (ss == 0 ? (ah == 0 ? 1 + 32 : 1) : ah > 0 ? se / 4 : 0);
  if (progressive && ss > 0 && ah > 0) return 2 + band / 4;
  return 2;
}

int64_t JpegBandSteps(const int16_t* block, int ss, int se, int ah, int al) {
  const TBand band = Band(ss, se, ah, al);
  const uint64_t nonzero = NonzeroMask(block) & band.Mask;
  return nonzero ? BandSteps(band, block, nonzero) : 1;
}

bool JpegLoadClaim(TStream& stream, int64_t& width, int64_t& height, int64_t& loadBytes) {
  width = height = loadBytes = 0;
  const int64_t size = stream.Size() - stream.Position();
  const TJPEGImage defaults;
  TStreamSource source(stream);
  try {
    TDecompressor d(source.Pub);
    jpeg_decompress_struct& info = d.Info;
    bool multiScan = false;
    if (!Guarded(d.Err, [&] {
          jpeg_read_header(&info, TRUE);
          multiScan = SetUpDecoding(info, defaults.Scale, defaults.Performance, defaults.Grayscale);
        }))
      return false;
    if (!FitsMemory(info, multiScan)) return false;
    width = info.output_width;
    height = info.output_height;
    loadBytes = size + DecoderWorkingBytes(info) + (multiScan ? CoefficientBytes(info, true) : 0);
    return true;
  } catch (const Exception&) {
    return false;
  }
}

void TJPEGImage::SaveToStream(TStream& stream) {
  JPEGNeeded();
  stream.WriteBuffer(FData.data(), static_cast<int64_t>(FData.size()));
}

void TJPEGImage::Draw(TCanvas& canvas, const TRect& rect) {
  if (Empty()) return;
  canvas.StretchDraw(rect, &Bitmap());
}
