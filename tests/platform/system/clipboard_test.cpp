// The clipboard: registered formats, global memory blocks, and the rules of
// opening, placing and reading data.
#include <gtest/gtest.h>

#include <thread>

#include "tests/support/testsupport.h"

namespace {

bool OpenOnOtherThread() {
  bool opened = true;
  std::thread([&] { opened = OpenClipboard() && CloseClipboard(); }).join();
  return opened;
}

}  // namespace

TEST(Clipboard, FormatsAndBlocks) {
  uint16_t a = RegisterClipboardFormat("Brightmill test picture");
  EXPECT_GE(a, 0xC000);
  EXPECT_NE(RegisterClipboardFormat("Brightmill test text"), a);
  EXPECT_EQ(RegisterClipboardFormat("BRIGHTMILL TEST PICTURE"), a);
  EXPECT_EQ(GetClipboardFormatName(a), "Brightmill test picture");

  HGLOBAL block = GlobalAlloc(GHND, 100);
  EXPECT_EQ(GlobalBlockBytes(block), std::vector<uint8_t>(100, 0));
  EXPECT_EQ(GlobalFree(block), nullptr);
  // A freed handle is refused, never used.
  EXPECT_EQ(GlobalFree(block), block);
  EXPECT_EQ(GlobalLock(block), nullptr);
  EXPECT_EQ(GlobalSize(block), 0u);
}

TEST(Clipboard, OpenPlaceReadAndEmpty) {
  uint16_t format = RegisterClipboardFormat("Brightmill test text");
  HGLOBAL first = GlobalBlockOf({1}), second = GlobalBlockOf({2, 2});
  // Closed: nothing is placed and the caller keeps the block.
  EXPECT_EQ(SetClipboardData(format, first), nullptr);
  EXPECT_EQ(GlobalSize(first), 1u);

  ASSERT_TRUE(OpenClipboard());
  EXPECT_FALSE(OpenOnOtherThread());
  EXPECT_EQ(SetClipboardData(format, first), first);
  // A second block for the format replaces and frees the first, which is
  // then refused.
  EXPECT_EQ(SetClipboardData(format, second), second);
  EXPECT_EQ(GlobalSize(first), 0u);
  EXPECT_EQ(SetClipboardData(format, first), nullptr);
  ASSERT_TRUE(CloseClipboard());

  // Reading wants the clipboard open; asking for a format does not.
  EXPECT_TRUE(IsClipboardFormatAvailable(format));
  EXPECT_EQ(GetClipboardData(format), nullptr);
  EXPECT_TRUE(OpenOnOtherThread());
  ASSERT_TRUE(OpenClipboard());
  EXPECT_EQ(GlobalBlockBytes(GetClipboardData(format)), std::vector<uint8_t>({2, 2}));
  EXPECT_TRUE(EmptyClipboard());
  EXPECT_EQ(GlobalSize(second), 0u);
  EXPECT_FALSE(IsClipboardFormatAvailable(format));
  CloseClipboard();
}
