#include "tests/support/craftedfiles.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include <jpeglib.h>
#include <zlib.h>

#include "tests/support/testsupport.h"

std::vector<uint8_t> CraftedGif(int screenWidth, int screenHeight, int frameWidth, int frameHeight, int comments,
                                int blocks) {
  ByteWriter w;
  w.Text("GIF89a").U16(uint16_t(screenWidth)).U16(uint16_t(screenHeight)).U8(0x80).U8(0).U8(0);
  w.U8(0).U8(0).U8(0).U8(255).U8(255).U8(255);  // black, white
  for (int c = 0; c < comments; ++c) {
    w.U8(0x21).U8(0xFE);
    for (int b = 0; b < blocks; ++b) w.U8(1).U8('x');
    w.U8(0);
  }
  w.U8(0x2C).U16(0).U16(0).U16(uint16_t(frameWidth)).U16(uint16_t(frameHeight)).U8(0);
  // A clear code and a few pixels, then the end of the chain and the file.
  w.U8(2).U8(2).U8(0x4C).U8(0x01).U8(0).U8(0x3B);
  return w.Data;
}

std::vector<uint8_t> CraftedGifHiddenFrame(int width, int height) {
  ByteWriter w;
  w.Text("GIF89a").U16(1).U16(1).U8(0x80).U8(0).U8(0).U8(0).U8(0).U8(0).U8(255).U8(255).U8(255);
  // Code size 2: a clear code, pixel 1 twice, the end code; then a clear
  // code and the end code for the hidden frame, and zeros to the end.
  w.U8(0x2C).U16(0).U16(0).U16(1).U16(1).U8(0).U8(2).U8(2).U8(0x4C).U8(0x0A);
  w.U8(0x2C).U16(0).U16(0).U16(uint16_t(width)).U16(uint16_t(height)).U8(0).U8(2).U8(1).U8(0x2C).U8(0);
  return w.Zeros(0x2C - 13).U8(0).U8(0x3B).Data;
}

namespace {

[[noreturn]] void JpegFailed(j_common_ptr info) {
  char message[JMSG_LENGTH_MAX];
  info->err->format_message(info, message);
  throw std::runtime_error(message);
}

// One sequential scan per component; a DC scan, then the whole AC band.
const jpeg_scan_info kScanPerComponent[] = {{1, {0}, 0, 63, 0, 0}, {1, {1}, 0, 63, 0, 0}, {1, {2}, 0, 63, 0, 0}};
const jpeg_scan_info kWholeBand[] = {{1, {0}, 0, 0, 0, 0}, {1, {0}, 1, 63, 0, 0}};

// libjpeg's compressor into memory, set up for the kind's colours (colour
// taken in as space), sampling and scans, coded by Huffman or arithmetically.
struct TJpegWriter {
  jpeg_compress_struct Info{};
  jpeg_error_mgr Err{};
  unsigned char* Buffer = nullptr;
  unsigned long Size = 0;

  TJpegWriter(TJpegCraft kind, J_COLOR_SPACE space, bool arithmetic) {
    Info.err = jpeg_std_error(&Err);
    Err.error_exit = JpegFailed;
    jpeg_create_compress(&Info);
    jpeg_mem_dest(&Info, &Buffer, &Size);
    const bool cmyk = kind == TJpegCraft::Cmyk || kind == TJpegCraft::ProgressiveCmyk;
    const bool grey = kind == TJpegCraft::Grey || kind == TJpegCraft::ProgressiveGrey;
    Info.input_components = cmyk ? 4 : grey ? 1 : 3;
    Info.in_color_space = cmyk ? JCS_CMYK : grey ? JCS_GRAYSCALE : space;
    jpeg_set_defaults(&Info);
    if (cmyk) jpeg_set_colorspace(&Info, JCS_CMYK);
    if (kind == TJpegCraft::Progressive444) Info.comp_info[0].h_samp_factor = Info.comp_info[0].v_samp_factor = 1;
    Info.arith_code = arithmetic;
    if (kind == TJpegCraft::ScanPerComponent)
      Info.scan_info = kScanPerComponent, Info.num_scans = 3;
    else if (kind != TJpegCraft::Baseline && kind != TJpegCraft::Cmyk && kind != TJpegCraft::Grey)
      jpeg_simple_progression(&Info);
  }
  ~TJpegWriter() {
    jpeg_destroy_compress(&Info);
    std::free(Buffer);
  }
  std::vector<uint8_t> Finish() {
    jpeg_finish_compress(&Info);
    return std::vector<uint8_t>(Buffer, Buffer + Size);
  }
};

}  // namespace

std::vector<uint8_t> CraftedJpeg(int width, int height, TJpegCraft kind, bool arithmetic) {
  TJpegWriter writer(kind, JCS_RGB, arithmetic);
  jpeg_compress_struct& info = writer.Info;
  info.image_width = JDIMENSION(width);
  info.image_height = JDIMENSION(height);
  jpeg_set_quality(&info, 75, TRUE);
  jpeg_start_compress(&info, TRUE);
  std::vector<JSAMPLE> row(size_t(width) * size_t(info.input_components));
  while (info.next_scanline < info.image_height) {
    for (size_t i = 0; i < row.size(); ++i) row[i] = JSAMPLE((i / 64 + info.next_scanline / 64) * 40);
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&info, rows, 1);
  }
  return writer.Finish();
}

std::vector<uint8_t> CraftedTrainedJpeg(int width, int height, TJpegCraft kind, int value, int mcus, int zeroBytes) {
  TJpegWriter writer(kind, JCS_YCbCr, true);
  jpeg_compress_struct& info = writer.Info;
  if (kind == TJpegCraft::ProgressiveGrey) info.scan_info = kWholeBand, info.num_scans = 2;
  // The training: a row of mcus MCUs, their coefficients written directly.
  info.image_width = JDIMENSION(8 * info.comp_info[0].h_samp_factor * mcus);
  info.image_height = JDIMENSION(8 * info.comp_info[0].v_samp_factor);
  const auto common = reinterpret_cast<j_common_ptr>(&info);
  jvirt_barray_ptr arrays[4];
  for (int c = 0; c < info.num_components; ++c) {
    const JDIMENSION h = JDIMENSION(info.comp_info[c].h_samp_factor), v = JDIMENSION(info.comp_info[c].v_samp_factor);
    arrays[c] = info.mem->request_virt_barray(common, JPOOL_IMAGE, TRUE, h * JDIMENSION(mcus), v, v);
  }
  jpeg_write_coefficients(&info, arrays);
  for (int c = 0; c < info.num_components; ++c)
    for (int y = 0; y < info.comp_info[c].v_samp_factor; ++y) {
      JBLOCKROW row = info.mem->access_virt_barray(common, arrays[c], JDIMENSION(y), 1, TRUE)[0];
      for (int b = 0; b < info.comp_info[c].h_samp_factor * mcus; ++b) std::fill(row[b] + 1, row[b] + DCTSIZE2, JCOEF(value));
    }
  std::vector<uint8_t> data = writer.Finish();
  // The whole picture's size in the frame header, zero bytes before the end.
  size_t frame = 2;
  while (data[frame] != 0xFF || (data[frame + 1] != 0xC9 && data[frame + 1] != 0xCA)) ++frame;
  data[frame + 5] = uint8_t(height >> 8), data[frame + 6] = uint8_t(height);
  data[frame + 7] = uint8_t(width >> 8), data[frame + 8] = uint8_t(width);
  data.insert(data.end() - 2, size_t(zeroBytes), 0);
  return data;
}

std::vector<uint8_t> WithStrayBytesBeforeFrame(std::vector<uint8_t> jpeg, int count) {
  // The first frame header: a marker of C0 to CF other than the tables'.
  for (size_t i = 2; i + 1 < jpeg.size();) {
    const uint8_t marker = jpeg[i + 1];
    if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
      jpeg.insert(jpeg.begin() + long(i), size_t(count), uint8_t(0x42));
      return jpeg;
    }
    i += 2 + ((size_t(jpeg[i + 2]) << 8) | jpeg[i + 3]);
  }
  return jpeg;
}

std::vector<uint8_t> WithComments(std::vector<uint8_t> jpeg, int count) {
  static const uint8_t kComment[] = {0xFF, 0xFE, 0x00, 0x05, 'h', 'i', '!'};
  std::vector<uint8_t> comments;
  comments.reserve(sizeof kComment * size_t(count));
  for (int i = 0; i < count; ++i) comments.insert(comments.end(), kComment, kComment + sizeof kComment);
  jpeg.insert(jpeg.begin() + 2, comments.begin(), comments.end());
  return jpeg;
}

namespace {

// A PNG chunk: length, type, data, CRC of type and data.
void Chunk(ByteWriter& w, const char* type, const std::vector<uint8_t>& data) {
  auto be32 = [&](uint32_t v) { w.U8(uint8_t(v >> 24)).U8(uint8_t(v >> 16)).U8(uint8_t(v >> 8)).U8(uint8_t(v)); };
  be32(uint32_t(data.size()));
  const size_t start = w.Size();
  w.Text(type).Bytes(data);
  be32(uint32_t(crc32(0, w.Data.data() + start, uInt(w.Size() - start))));
}

}  // namespace

std::vector<uint8_t> CraftedZtxtData(int64_t textBytes, bool spoiled) {
  // The keyword, its zero byte and the method, then the blanks deflated;
  // the stream ends in its check of them.
  const std::vector<uint8_t> blanks(size_t(textBytes), ' ');
  uLongf length = compressBound(uLong(blanks.size()));
  std::vector<uint8_t> text = {'T', 'e', 'x', 't', 0, 0};
  text.resize(text.size() + length);
  compress2(text.data() + 6, &length, blanks.data(), uLong(blanks.size()), 9);
  text.resize(6 + length);
  if (spoiled) text.back() ^= 1;
  return text;
}

std::vector<uint8_t> CraftedPngPile(int width, int height, const char* kind, const std::vector<uint8_t>& data,
                                    int count) {
  ByteWriter w;
  w.Bytes("\x89PNG\r\n\x1A\n", 8);
  std::vector<uint8_t> header;
  for (uint32_t v : {uint32_t(width), uint32_t(height)})
    for (int shift = 24; shift >= 0; shift -= 8) header.push_back(uint8_t(v >> shift));
  header.insert(header.end(), {8, 0, 0, 0, 0});  // 8-bit grey
  Chunk(w, "IHDR", header);
  for (int i = 0; i < count; ++i) Chunk(w, kind, data);
  // Rows of a filter byte and zeros, deflated row by row.
  z_stream z{};
  deflateInit(&z, 9);
  std::vector<uint8_t> row(size_t(width) + 1, 0), deflated, out(1 << 16);
  for (int y = 0; y <= height; ++y) {
    const bool last = y == height;
    z.next_in = row.data();
    z.avail_in = last ? 0 : uInt(row.size());
    do {
      z.next_out = out.data();
      z.avail_out = uInt(out.size());
      deflate(&z, last ? Z_FINISH : Z_NO_FLUSH);
      deflated.insert(deflated.end(), out.data(), out.data() + (out.size() - z.avail_out));
    } while (z.avail_out == 0);
  }
  deflateEnd(&z);
  Chunk(w, "IDAT", deflated);
  Chunk(w, "IEND", {});
  return w.Data;
}

std::vector<uint8_t> CraftedPng(int width, int height, int textChunks, int64_t textBytes) {
  return CraftedPngPile(width, height, "zTXt", textChunks > 0 ? CraftedZtxtData(textBytes) : std::vector<uint8_t>(),
                        textChunks);
}

std::vector<uint8_t> CraftedIcon(const std::vector<TCraftedIconEntry>& entries) {
  ByteWriter w;
  w.U16(0).U16(1).U16(uint16_t(entries.size()));
  uint32_t offset = uint32_t(6 + 16 * entries.size());
  for (const TCraftedIconEntry& e : entries) {
    w.U8(uint8_t(e.ListedWidth)).U8(uint8_t(e.ListedHeight)).U8(0).U8(0).U16(1).U16(32);
    w.U32(uint32_t(e.Image.size())).U32(offset);
    offset += uint32_t(e.Image.size());
  }
  for (const TCraftedIconEntry& e : entries) w.Bytes(e.Image);
  return w.Data;
}

namespace {

// A BITMAPINFOHEADER with a table of all 0 (black) for indexed pixels.
void InfoHeader(ByteWriter& w, int width, int height, int bits, uint32_t imageSize) {
  w.U32(40).I32(width).I32(height).U16(1).U16(uint16_t(bits)).U32(0).U32(imageSize).U32(0).U32(0).U32(0).U32(0);
  if (bits <= 8) w.Zeros(size_t(4) << bits);
}

}  // namespace

std::vector<uint8_t> CraftedIconDib(int width, int height, int bits) {
  const size_t stride = size_t(BytesPerScanLine(width, bits)), mask = size_t(BytesPerScanLine(width, 1));
  ByteWriter w;
  InfoHeader(w, width, 2 * height, bits, uint32_t((stride + mask) * size_t(height)));
  w.Zeros((stride + mask) * size_t(height));
  return w.Data;
}

std::vector<uint8_t> CraftedBmp(int width, int height, int bits) {
  const size_t pixels = size_t(BytesPerScanLine(width, bits)) * size_t(height);
  const uint32_t offBits = 14 + 40 + (bits <= 8 ? 4u << bits : 0u);
  ByteWriter w;
  w.Text("BM").U32(uint32_t(offBits + pixels)).U32(0).U32(offBits);
  InfoHeader(w, width, height, bits, uint32_t(pixels));
  w.Zeros(pixels);
  return w.Data;
}

std::vector<uint8_t> CraftedRleBmp(int width, int height) {
  ByteWriter w;
  w.Text("BM").U32(1080).U32(0).U32(1078);
  w.U32(40).I32(width).I32(height).U16(1).U16(8).U32(1).U32(2).U32(0).U32(0).U32(0).U32(0).Zeros(1024);
  w.U8(0).U8(1);  // the end of the picture
  return w.Data;
}

std::vector<uint8_t> WithTail(std::vector<uint8_t> file, int64_t count) {
  file.resize(file.size() + size_t(count), 0);
  return file;
}
