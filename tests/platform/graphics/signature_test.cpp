// Picture classes that read a stream to its end look at its first bytes
// before: junk is refused with the class's own message and is not read.
#include <gtest/gtest.h>

#include "platform/graphics/icon.h"
#include "platform/graphics/jpeg.h"
#include "platform/metafile/metafile.h"
#include "tests/support/testsupport.h"

namespace {

// Counts the bytes read from it.
class CountingStream : public TReadOnlyMemoryStream {
 public:
  using TReadOnlyMemoryStream::TReadOnlyMemoryStream;
  int64_t Read(void* buffer, int64_t count) override {
    int64_t n = TReadOnlyMemoryStream::Read(buffer, count);
    Total += n;
    return n;
  }
  int64_t Total = 0;
};

template <class G, class E>
std::string Refused(const std::vector<uint8_t>& junk, int64_t& read) {
  CountingStream stream(junk.data(), junk.size());
  G graphic;
  std::string message = RaisedMessage<E>([&] { graphic.LoadFromStream(stream); });
  read = stream.Total;
  return message;
}

}  // namespace

TEST(Signatures, JunkIsRefusedByItsFirstBytes) {
  std::vector<uint8_t> junk(1 << 20, 'x');
  int64_t read = 0;
  EXPECT_EQ((Refused<TJPEGImage, EJPEG>(junk, read)), "Not a JPEG file: starts with 0x78 0x78");
  EXPECT_LT(read, 64);
  EXPECT_EQ((Refused<TIcon, EInvalidGraphic>(junk, read)), "Icon image is not valid");
  EXPECT_LT(read, 64);
  EXPECT_EQ((Refused<TMetafile, EInvalidGraphic>(junk, read)), "Metafile is not valid");
  EXPECT_LT(read, 64);
  // What starts right is read whole and judged as before.
  junk[0] = 0xFF;
  junk[1] = 0xD8;
  EXPECT_NE((Refused<TJPEGImage, EJPEG>(junk, read)), "(nothing raised)");
  EXPECT_GE(read, int64_t(junk.size()));
}
