#include "tests/png/pngreference.h"

#include <png.h>
#include <zlib.h>

#include <cmath>
#include <csetjmp>
#include <stdexcept>

namespace {

void BigEndian32(std::vector<uint8_t>& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

struct TMemoryReader {
  const std::vector<uint8_t>* Data;
  size_t Position;
};

void ReadFromMemory(png_structp p, png_bytep out, png_size_t count) {
  auto* reader = static_cast<TMemoryReader*>(png_get_io_ptr(p));
  if (reader->Position + count > reader->Data->size()) png_error(p, "read past the end");
  std::copy_n(reader->Data->begin() + static_cast<long>(reader->Position), count, out);
  reader->Position += count;
}

void WriteToMemory(png_structp p, png_bytep data, png_size_t count) {
  auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(p));
  out->insert(out->end(), data, data + count);
}

void NoFlush(png_structp) {}

// The gamma table the codec builds for a gAMA value.
std::vector<uint8_t> GammaTable(uint32_t gamma) {
  std::vector<uint8_t> table(256);
  for (int i = 0; i < 256; ++i)
    table[size_t(i)] =
        gamma ? static_cast<uint8_t>(std::nearbyint(std::pow(i / 255.0, 1 / (gamma / 100000.0 * 2.2)) * 255))
              : static_cast<uint8_t>(i);
  return table;
}

}  // namespace

void TSamplePicture::SetSample(int x, int y, int c, int value) {
  uint8_t* row = Rows.data() + size_t(y) * RowBytes();
  size_t index = size_t(x) * Channels() + c;
  if (BitDepth == 16) {
    row[2 * index] = static_cast<uint8_t>(value >> 8);
    row[2 * index + 1] = static_cast<uint8_t>(value);
  } else if (BitDepth == 8) {
    row[index] = static_cast<uint8_t>(value);
  } else {
    size_t bit = index * BitDepth;
    int shift = 8 - BitDepth - int(bit % 8);
    int mask = ((1 << BitDepth) - 1) << shift;
    row[bit / 8] = static_cast<uint8_t>((row[bit / 8] & ~mask) | ((value << shift) & mask));
  }
}

int TSamplePicture::GetSample(int x, int y, int c) const {
  const uint8_t* row = Rows.data() + size_t(y) * RowBytes();
  size_t index = size_t(x) * Channels() + c;
  if (BitDepth == 16) return (row[2 * index] << 8) | row[2 * index + 1];
  if (BitDepth == 8) return row[index];
  size_t bit = index * BitDepth;
  return (row[bit / 8] >> (8 - BitDepth - int(bit % 8))) & ((1 << BitDepth) - 1);
}

void TSamplePicture::MakeTransparent(int x, int y) {
  HasTransparentSample = true;
  for (int c = 0; c < Channels(); ++c) TransparentSample[c] = uint16_t(GetSample(x, y, c));
}

std::string TSamplePicture::Name() const {
  return "type " + std::to_string(ColorType) + " depth " + std::to_string(BitDepth) + " " +
         std::to_string(Width) + "x" + std::to_string(Height) + (Interlaced ? " Adam7" : "");
}

TSamplePicture MakeSamplePicture(int colorType, int bitDepth, int width, int height, bool interlaced,
                                 int seed) {
  TSamplePicture p;
  p.Width = width, p.Height = height, p.ColorType = colorType, p.BitDepth = bitDepth,
  p.Interlaced = interlaced;
  p.Rows.assign(p.RowBytes() * size_t(height), 0);
  int maxValue = (1 << bitDepth) - 1;
  if (colorType == 3) {
    for (int i = 0; i <= maxValue; ++i)
      for (int c : {37 * i + 11, 91 * i + 3, 255 - 53 * i}) p.Palette.push_back(static_cast<uint8_t>(c));
  }
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < p.Channels(); ++c) {
        uint32_t v = uint32_t(x * 7919 + y * 104729 + c * 1299709 + seed * 15485863 + x * y * 31);
        v ^= v >> 7;
        p.SetSample(x, y, c, int(v % uint32_t(maxValue + 1)));
      }
  return p;
}

std::vector<uint8_t> WriteWithLibpng(const TSamplePicture& picture) {
  std::vector<uint8_t> out;
  std::vector<png_bytep> rows;
  png_structp p = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(p);
  if (setjmp(png_jmpbuf(p))) {
    png_destroy_write_struct(&p, &info);
    throw std::runtime_error("libpng could not write the picture");
  }
  png_set_write_fn(p, &out, WriteToMemory, NoFlush);
  png_set_IHDR(p, info, png_uint_32(picture.Width), png_uint_32(picture.Height), picture.BitDepth,
               picture.ColorType, picture.Interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (!picture.Palette.empty()) {
    std::vector<png_color> palette(picture.Palette.size() / 3);
    for (size_t i = 0; i < palette.size(); ++i)
      palette[i] = {picture.Palette[3 * i], picture.Palette[3 * i + 1], picture.Palette[3 * i + 2]};
    png_set_PLTE(p, info, palette.data(), int(palette.size()));
  }
  if (!picture.PaletteAlpha.empty())
    png_set_tRNS(p, info, picture.PaletteAlpha.data(), int(picture.PaletteAlpha.size()), nullptr);
  if (picture.HasTransparentSample) {
    png_color_16 color{};
    color.gray = color.red = picture.TransparentSample[0];
    color.green = picture.TransparentSample[1];
    color.blue = picture.TransparentSample[2];
    png_set_tRNS(p, info, nullptr, 0, &color);
  }
  if (picture.Gamma) png_set_gAMA_fixed(p, info, png_fixed_point(picture.Gamma));
  if (picture.Filters) png_set_filter(p, 0, picture.Filters);
  png_write_info(p, info);
  for (int y = 0; y < picture.Height; ++y)
    rows.push_back(const_cast<png_bytep>(picture.Rows.data() + size_t(y) * picture.RowBytes()));
  png_write_image(p, rows.data());
  png_write_end(p, nullptr);
  png_destroy_write_struct(&p, &info);
  return out;
}

TRgbaPicture ReadWithLibpng(const std::vector<uint8_t>& file) {
  TRgbaPicture out;
  std::vector<png_bytep> rows;
  TMemoryReader reader{&file, 0};
  png_structp p = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(p);
  if (setjmp(png_jmpbuf(p))) {
    png_destroy_read_struct(&p, &info, nullptr);
    throw std::runtime_error("libpng could not read the file");
  }
  png_set_read_fn(p, &reader, ReadFromMemory);
  png_read_info(p, info);
  png_set_expand(p);
  png_set_strip_16(p);
  png_set_gray_to_rgb(p);
  png_set_add_alpha(p, 0xFF, PNG_FILLER_AFTER);
  png_set_interlace_handling(p);
  png_read_update_info(p, info);
  out.Width = int(png_get_image_width(p, info));
  out.Height = int(png_get_image_height(p, info));
  out.Pixels.assign(size_t(out.Width) * out.Height * 4, 0);
  for (int y = 0; y < out.Height; ++y) rows.push_back(out.Pixels.data() + size_t(y) * out.Width * 4);
  png_read_image(p, rows.data());
  png_read_end(p, nullptr);
  png_destroy_read_struct(&p, &info, nullptr);
  return out;
}

std::vector<TColor> ExpectedColors(const TRgbaPicture& rgba, int colorType, uint32_t gamma) {
  std::vector<uint8_t> table = GammaTable(colorType == 4 ? 0 : gamma);
  std::vector<TColor> colors;
  for (int y = 0; y < rgba.Height; ++y)
    for (int x = 0; x < rgba.Width; ++x) {
      const uint8_t* p = rgba.At(x, y);
      int a = p[3], c[3];
      for (int k = 0; k < 3; ++k) c[k] = (table[p[k]] * a + 255 + (255 - a) * 255) >> 8;
      colors.push_back(RGB(c[0], c[1], c[2]));
    }
  return colors;
}

std::unique_ptr<TPNGObject> LoadPng(const std::vector<uint8_t>& file) {
  auto png = std::make_unique<TPNGObject>();
  TReadOnlyMemoryStream stream(file.data(), file.size());
  png->LoadFromStream(stream);
  return png;
}

std::unique_ptr<TBitmap> LoadWorkingBitmap(const std::vector<uint8_t>& file) {
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->SetPixelFormat(pf24bit);
  bitmap->Assign(LoadPng(file).get());
  bitmap->SetPixelFormat(pf24bit);
  return bitmap;
}

TChunkStream::TChunkStream() : Bytes{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A} {}

TChunkStream& TChunkStream::Chunk(const std::string& name, const std::vector<uint8_t>& data) {
  BigEndian32(Bytes, uint32_t(data.size()));
  Bytes.insert(Bytes.end(), name.begin(), name.end());
  Bytes.insert(Bytes.end(), data.begin(), data.end());
  uLong crc = crc32(0, reinterpret_cast<const Bytef*>(name.data()), 4);
  if (!data.empty()) crc = crc32(crc, data.data(), uInt(data.size()));
  BigEndian32(Bytes, uint32_t(crc));
  return *this;
}

TChunkStream& TChunkStream::Header(int width, int height, int depth, int colorType, int interlace) {
  std::vector<uint8_t> data;
  BigEndian32(data, uint32_t(width));
  BigEndian32(data, uint32_t(height));
  data.insert(data.end(), {uint8_t(depth), uint8_t(colorType), 0, 0, uint8_t(interlace)});
  return Chunk("IHDR", data);
}

TChunkStream& TChunkStream::Raw(const std::vector<uint8_t>& bytes) {
  Bytes.insert(Bytes.end(), bytes.begin(), bytes.end());
  return *this;
}

std::vector<uint8_t> Deflate(const std::vector<uint8_t>& data, int level) {
  uLongf size = compressBound(uLong(data.size()));
  std::vector<uint8_t> out(size);
  if (compress2(out.data(), &size, data.data(), uLong(data.size()), level) != Z_OK)
    throw std::runtime_error("compress2 failed");
  out.resize(size);
  return out;
}

std::vector<std::pair<std::string, std::vector<uint8_t>>> ListChunks(const std::vector<uint8_t>& file) {
  std::vector<std::pair<std::string, std::vector<uint8_t>>> chunks;
  for (size_t at = 8; at + 12 <= file.size();) {
    uint32_t length = (uint32_t(file[at]) << 24) | (file[at + 1] << 16) | (file[at + 2] << 8) | file[at + 3];
    std::string name(file.begin() + long(at + 4), file.begin() + long(at + 8));
    chunks.emplace_back(
        name, std::vector<uint8_t>(file.begin() + long(at + 8), file.begin() + long(at + 8 + length)));
    at += 12 + length;
  }
  return chunks;
}

std::vector<uint8_t> ChunkData(const std::vector<uint8_t>& file, const std::string& name) {
  for (const auto& [chunk, data] : ListChunks(file))
    if (chunk == name) return data;
  return {};
}
