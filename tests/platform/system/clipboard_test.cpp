// The clipboard: registered formats, global memory blocks, and the rules of
// opening, placing and reading data.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <thread>

#include "platform/system/clipboard.h"
#include "tests/support/testsupport.h"

namespace {

// A block holding the text's bytes.
HGLOBAL TextBlock(const std::string& text) {
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, text.size());
  std::memcpy(GlobalLock(block), text.data(), text.size());
  GlobalUnlock(block);
  return block;
}

std::string BlockText(HGLOBAL block) {
  const char* p = static_cast<const char*>(GlobalLock(block));
  std::string text = p ? std::string(p, GlobalSize(block)) : "(no block)";
  GlobalUnlock(block);
  return text;
}

bool OpenOnOtherThread() {
  bool opened = true;
  std::thread([&] {
    opened = OpenClipboard();
    if (opened) CloseClipboard();
  }).join();
  return opened;
}

}  // namespace

TEST(ClipboardFormats, OneNumberPerName) {
  uint16_t a = RegisterClipboardFormat("Brightmill test picture");
  uint16_t b = RegisterClipboardFormat("Brightmill test text");
  EXPECT_GE(a, 0xC000);
  EXPECT_GE(b, 0xC000);
  EXPECT_NE(a, b);
  EXPECT_EQ(RegisterClipboardFormat("Brightmill test picture"), a);
  EXPECT_EQ(RegisterClipboardFormat("BRIGHTMILL TEST PICTURE"), a);
  EXPECT_EQ(GetClipboardFormatName(a), "Brightmill test picture");
  EXPECT_EQ(RegisterClipboardFormat(""), 0);
  EXPECT_EQ(GetClipboardFormatName(CF_BITMAP), "");
  EXPECT_EQ(GetClipboardFormatName(0xFFFF), "");
}

TEST(GlobalMemory, BlocksAndStaleHandles) {
  HGLOBAL block = GlobalAlloc(GHND, 100);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(GlobalSize(block), 100u);
  auto* p = static_cast<uint8_t*>(GlobalLock(block));
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(std::count(p, p + 100, 0), 100);
  EXPECT_EQ(GlobalLock(block), p);
  EXPECT_TRUE(GlobalUnlock(block));   // one lock left
  EXPECT_FALSE(GlobalUnlock(block));  // none left
  EXPECT_FALSE(GlobalUnlock(block));
  EXPECT_EQ(GlobalFree(block), nullptr);
  // A freed handle is refused, never used.
  EXPECT_EQ(GlobalFree(block), block);
  EXPECT_EQ(GlobalLock(block), nullptr);
  EXPECT_EQ(GlobalSize(block), 0u);
  EXPECT_EQ(GlobalAlloc(GMEM_MOVEABLE, 0), nullptr);
  EXPECT_EQ(GlobalLock(nullptr), nullptr);
}

TEST(Clipboard, OpenPlaceReadAndEmpty) {
  uint16_t format = RegisterClipboardFormat("Brightmill test text");
  HGLOBAL first = TextBlock("first");
  // Closed: nothing is placed and the caller keeps the block.
  EXPECT_EQ(SetClipboardData(format, first), nullptr);
  EXPECT_EQ(BlockText(first), "first");
  EXPECT_FALSE(EmptyClipboard());
  EXPECT_FALSE(CloseClipboard());

  ASSERT_TRUE(OpenClipboard());
  EXPECT_TRUE(OpenClipboard());  // again on the same thread
  EXPECT_FALSE(OpenOnOtherThread());
  ASSERT_TRUE(EmptyClipboard());
  EXPECT_EQ(SetClipboardData(0, first), nullptr);
  EXPECT_EQ(SetClipboardData(format, first), first);
  EXPECT_EQ(GetClipboardData(format), first);
  EXPECT_EQ(GetClipboardData(CF_TEXT), nullptr);
  // A second block for the format replaces and frees the first.
  HGLOBAL second = TextBlock("second");
  EXPECT_EQ(SetClipboardData(format, second), second);
  EXPECT_EQ(GlobalSize(first), 0u);
  EXPECT_EQ(BlockText(GetClipboardData(format)), "second");
  EXPECT_EQ(SetClipboardData(format, first), nullptr);  // a freed block is refused
  ASSERT_TRUE(CloseClipboard());

  // Reading wants the clipboard open; asking whether a format is there
  // does not.
  EXPECT_TRUE(IsClipboardFormatAvailable(format));
  EXPECT_EQ(GetClipboardData(format), nullptr);
  EXPECT_TRUE(OpenOnOtherThread());

  ASSERT_TRUE(OpenClipboard());
  EXPECT_TRUE(EmptyClipboard());
  EXPECT_EQ(GlobalSize(second), 0u);
  EXPECT_FALSE(IsClipboardFormatAvailable(format));
  CloseClipboard();
}

TEST(SysUtils, AbortIsSilentException) {
  EXPECT_EQ(RaisedMessage<EAbort>([] { Abort(); }), "Operation aborted");
  EXPECT_EQ(RaisedMessage<Exception>([] { Abort(); }), "Operation aborted");
}
