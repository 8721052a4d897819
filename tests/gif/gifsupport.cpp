#include "tests/gif/gifsupport.h"

#include <gif_lib.h>
#include <gtest/gtest.h>

#include <cstring>

namespace {

int WriteToBuffer(GifFileType* gif, const GifByteType* bytes, int count) {
  auto* out = static_cast<std::vector<uint8_t>*>(gif->UserData);
  out->insert(out->end(), bytes, bytes + count);
  return count;
}

struct InBuffer {
  const std::vector<uint8_t>* Data;
  size_t Position = 0;
};

int ReadFromBuffer(GifFileType* gif, GifByteType* bytes, int count) {
  auto* in = static_cast<InBuffer*>(gif->UserData);
  size_t n = std::min(static_cast<size_t>(count), in->Data->size() - in->Position);
  std::memcpy(bytes, in->Data->data() + in->Position, n);
  in->Position += n;
  return static_cast<int>(n);
}

ColorMapObject* GreyMap(int bits) {
  if (bits == 0) return nullptr;
  int count = 1 << bits;
  std::vector<GifColorType> colors(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    auto v = static_cast<GifByteType>(i * 255 / (count - 1));
    colors[static_cast<size_t>(i)] = {v, v, v};
  }
  return GifMakeMapObject(count, colors.data());
}

// The rows of a frame in the order they are stored (four passes when
// interlaced).
std::vector<int> RowOrder(int height, bool interlaced) {
  static constexpr int start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
  std::vector<int> rows;
  for (int pass = 0; pass < (interlaced ? 4 : 1); ++pass)
    for (int y = interlaced ? start[pass] : 0; y < height; y += interlaced ? step[pass] : 1)
      rows.push_back(y);
  return rows;
}

}  // namespace

std::unique_ptr<TGIFImage> MakeImage(int colors, int width, int height, const std::vector<uint8_t>& pixels,
                                     bool interlaced, bool local) {
  auto image = std::make_unique<TGIFImage>();
  TGIFSubImage& frame = AddFrame(*image, 0, 0, width, height);
  if (!pixels.empty()) std::memcpy(frame.Data(), pixels.data(), pixels.size());
  frame.SetInterlaced(interlaced);
  TGIFColorMap& map = local ? static_cast<TGIFColorMap&>(frame.ColorMap()) : image->GlobalColorMap();
  for (int i = 0; i < colors; ++i) {
    auto v = static_cast<uint8_t>(colors > 1 ? i * 255 / (colors - 1) : 0);
    map.Add({v, v, v});
  }
  return image;
}

TGIFSubImage& AddFrame(TGIFImage& image, int left, int top, int width, int height) {
  auto* frame = new TGIFSubImage(&image);
  image.Add(frame);
  frame->SetBounds(left, top, width, height);
  return *frame;
}

TGIFGraphicControlExtension& MakeTransparent(TGIFSubImage& frame, int index) {
  auto* gce = new TGIFGraphicControlExtension(&frame);
  frame.Extensions().Add(gce);
  gce->SetTransparentColorIndex(index);
  gce->SetTransparent(true);
  return *gce;
}

WarningLog::WarningLog(TGIFImage& image) {
  image.OnWarning = [this](TObject*, TGIFSeverity severity, const std::string& message) {
    EXPECT_EQ(severity, gsWarning);
    Messages.push_back(message);
  };
}

std::vector<uint8_t> GiflibWrite(int screenWidth, int screenHeight, int globalBits,
                                 const std::vector<RefFrame>& frames) {
  std::vector<uint8_t> out;
  int error = 0;
  GifFileType* gif = EGifOpen(&out, WriteToBuffer, &error);
  EXPECT_NE(gif, nullptr);
  EGifSetGifVersion(gif, true);
  ColorMapObject* global = GreyMap(globalBits);
  EXPECT_EQ(EGifPutScreenDesc(gif, screenWidth, screenHeight, 8, 0, global), GIF_OK);
  GifFreeMapObject(global);
  for (const RefFrame& f : frames) {
    if (!f.Comment.empty()) {
      EXPECT_EQ(EGifPutComment(gif, f.Comment.c_str()), GIF_OK);
    }
    if (f.Loops >= 0) {
      EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE);
      EGifPutExtensionBlock(gif, 11, "NETSCAPE2.0");
      uint8_t loop[3] = {1, uint8_t(f.Loops), uint8_t(f.Loops >> 8)};
      EGifPutExtensionBlock(gif, 3, loop);
      EGifPutExtensionTrailer(gif);
    }
    ColorMapObject* local = GreyMap(f.LocalBits);
    EXPECT_EQ(EGifPutImageDesc(gif, f.Left, f.Top, f.Width, f.Height, f.Interlaced, local), GIF_OK);
    GifFreeMapObject(local);
    for (int y : RowOrder(f.Height, f.Interlaced)) {
      std::vector<uint8_t> row(f.Pixels.begin() + int64_t(y) * f.Width,
                               f.Pixels.begin() + int64_t(y + 1) * f.Width);
      EXPECT_EQ(EGifPutLine(gif, row.data(), f.Width), GIF_OK);
    }
  }
  EXPECT_EQ(EGifCloseFile(gif, &error), GIF_OK);
  return out;
}

RefImage GiflibRead(const std::vector<uint8_t>& data) {
  InBuffer in{&data};
  int error = 0;
  GifFileType* gif = DGifOpen(&in, ReadFromBuffer, &error);
  RefImage result;
  if (!gif) {
    ADD_FAILURE() << "giflib cannot open the data: " << GifErrorString(error);
    return result;
  }
  EXPECT_EQ(DGifSlurp(gif), GIF_OK) << GifErrorString(gif->Error);
  result.Width = gif->SWidth;
  result.Height = gif->SHeight;
  for (int i = 0; i < gif->ImageCount; ++i) {
    const SavedImage& image = gif->SavedImages[i];
    size_t size = static_cast<size_t>(image.ImageDesc.Width) * static_cast<size_t>(image.ImageDesc.Height);
    result.Frames.emplace_back(image.RasterBits, image.RasterBits + size);
    GraphicsControlBlock gcb;
    result.TransparentIndex.push_back(DGifSavedExtensionToGCB(gif, i, &gcb) == GIF_OK ? gcb.TransparentColor
                                                                                      : -1);
  }
  if (const ColorMapObject* map = gif->SColorMap)
    for (int i = 0; i < map->ColorCount; ++i)
      result.Colors.push_back(RGB(map->Colors[i].Red, map->Colors[i].Green, map->Colors[i].Blue));
  DGifCloseFile(gif, &error);
  return result;
}

std::vector<uint8_t> RandomPixels(int64_t count, int colors, uint32_t seed, int maxRun) {
  std::vector<uint8_t> pixels;
  pixels.reserve(static_cast<size_t>(count));
  uint32_t state = seed * 2654435761u + 1;
  auto next = [&state] {
    state = state * 1103515245u + 12345u;
    return state >> 8;
  };
  while (static_cast<int64_t>(pixels.size()) < count) {
    auto value = static_cast<uint8_t>(next() % static_cast<uint32_t>(colors));
    int64_t run = 1 + next() % static_cast<uint32_t>(maxRun);
    for (int64_t i = 0; i < run && static_cast<int64_t>(pixels.size()) < count; ++i) pixels.push_back(value);
  }
  return pixels;
}

std::vector<uint8_t> PackCodes(const std::vector<std::pair<int, int>>& codesAndWidths) {
  std::vector<uint8_t> bytes;
  uint32_t bucket = 0;
  int bits = 0;
  for (auto [code, width] : codesAndWidths) {
    bucket |= uint32_t(code) << bits;
    bits += width;
    while (bits >= 8) {
      bytes.push_back(static_cast<uint8_t>(bucket));
      bucket >>= 8;
      bits -= 8;
    }
  }
  if (bits > 0) bytes.push_back(static_cast<uint8_t>(bucket));
  return bytes;
}

std::vector<uint8_t> SubBlocks(const std::vector<uint8_t>& bytes, int blockSize) {
  std::vector<uint8_t> out;
  for (size_t at = 0; at < bytes.size(); at += static_cast<size_t>(blockSize)) {
    size_t n = std::min(static_cast<size_t>(blockSize), bytes.size() - at);
    out.push_back(static_cast<uint8_t>(n));
    out.insert(out.end(), bytes.begin() + static_cast<ptrdiff_t>(at),
               bytes.begin() + static_cast<ptrdiff_t>(at + n));
  }
  out.push_back(0);
  return out;
}

ByteWriter GifStart(int width, int height, int globalBits, const std::string& version) {
  ByteWriter w;
  w.Text(version).U16(static_cast<uint16_t>(width)).U16(static_cast<uint16_t>(height));
  // The packed byte as the image writes it.
  w.U8(globalBits > 0 ? static_cast<uint8_t>(0x80 | (globalBits - 1) << 4 | (globalBits - 1)) : 0x77)
      .U8(0)
      .U8(0);
  int count = globalBits > 0 ? 1 << globalBits : 0;
  for (int i = 0; i < count; ++i) {
    auto v = static_cast<uint8_t>(i * 255 / (count - 1));
    w.U8(v).U8(v).U8(v);
  }
  return w;
}

void ImageDescriptor(ByteWriter& w, int left, int top, int width, int height, bool interlaced) {
  w.U8(0x2C).U16(static_cast<uint16_t>(left)).U16(static_cast<uint16_t>(top));
  w.U16(static_cast<uint16_t>(width)).U16(static_cast<uint16_t>(height)).U8(interlaced ? 0x40 : 0);
}

std::vector<std::string> LoadGif(TGIFImage& image, const std::vector<uint8_t>& data) {
  // The handler owns its list, so it may outlive a load that raises.
  auto warnings = std::make_shared<std::vector<std::string>>();
  image.OnWarning = [warnings](TObject*, TGIFSeverity, const std::string& message) {
    warnings->push_back(message);
  };
  TReadOnlyMemoryStream stream(data.data(), data.size());
  image.LoadFromStream(stream);
  image.OnWarning = nullptr;
  return *warnings;
}

std::string LoadError(TGIFImage& image, const std::vector<uint8_t>& data) {
  try {
    LoadGif(image, data);
  } catch (const GIFException& e) {
    return e.Message;
  }
  return "";
}

std::vector<uint8_t> DecodedPixels(const std::vector<uint8_t>& data) {
  TGIFImage image;
  EXPECT_EQ(LoadGif(image, data), std::vector<std::string>());
  if (image.Frames().Count() == 0) return {};
  return FramePixels(FrameOf(image));
}

std::vector<uint8_t> FramePixels(const TGIFSubImage& frame) {
  if (!frame.Data()) return {};
  return std::vector<uint8_t>(frame.Data(), frame.Data() + frame.DataSize());
}

void StoreOptimizedAndReadBack(TGIFImage& image, TGIFImage& back) {
  GIFImageOptimizeOnStream = true;
  TMemoryStream stored;
  try {
    image.WriteData(stored);
  } catch (...) {
    GIFImageOptimizeOnStream = false;
    throw;
  }
  GIFImageOptimizeOnStream = false;
  stored.SetPosition(0);
  back.ReadData(stored);
}
