// Resources linked into the program: found by type and by name or number,
// read as read-only streams. The test program embeds its own (see
// tests/CMakeLists.txt).
#include <gtest/gtest.h>

#include "platform/system/resources.h"
#include "tests/support/testsupport.h"

namespace {

std::string Contents(TResourceStream& stream) {
  std::vector<uint8_t> bytes = ReadToEnd(stream);
  return std::string(bytes.begin(), bytes.end());
}

const std::string kGreeting = "Brightmill resource\n", kOther = "Another type\n";

}  // namespace

TEST(Resources, OpenByNameOrNumberWithinTheirType) {
  // Names without regard to case; the same name or number in another type
  // is another resource.
  TResourceStream byName(HInstance, "greeting", RT_RCDATA);
  EXPECT_EQ(Contents(byName), kGreeting);
  TResourceStream otherType(nullptr, "GREETING", "text");
  EXPECT_EQ(Contents(otherType), kOther);
  TResourceStream byNumber(HInstance, 7, RT_RCDATA);
  EXPECT_EQ(Contents(byNumber), kOther);
  TResourceStream numberedType(HInstance, 7, MAKEINTRESOURCE(23));
  EXPECT_EQ(Contents(numberedType), kGreeting);
  // "#7" names the number 7, leading zeros or not.
  TResourceStream hashName(HInstance, "#007", "#10");
  EXPECT_EQ(Contents(hashName), kOther);
  TResourceStream empty(HInstance, "Empty", RT_RCDATA);
  EXPECT_EQ(empty.Size(), 0);
  EXPECT_EQ(Contents(empty), "");
}

TEST(Resources, TheStreamReadsSeeksAndRefusesWriting) {
  TResourceStream stream(HInstance, "Greeting", RT_RCDATA);
  EXPECT_EQ(stream.Size(), int64_t(kGreeting.size()));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(stream.Memory()), kGreeting.size()), kGreeting);
  char word[10] = {};
  stream.Seek(-9, soEnd);
  stream.ReadBuffer(word, 8);
  EXPECT_STREQ(word, "resource");
  EXPECT_EQ(RaisedMessage<EStreamError>([&] { stream.Write("x", 1); }),
            "Can't write to a read-only resource stream");
  stream.SetPosition(0);
  EXPECT_EQ(Contents(stream), kGreeting);  // unchanged
}

TEST(Resources, MissingOnesRaiseResNotFound) {
  EXPECT_EQ(RaisedMessage<EResNotFound>([] { TResourceStream(HInstance, "Nothing", RT_RCDATA); }),
            "Resource Nothing not found");
  EXPECT_EQ(RaisedMessage<EResNotFound>([] { TResourceStream(HInstance, 8, RT_RCDATA); }),
            "Resource 8 not found");
  EXPECT_EQ(RaisedMessage<EResNotFound>([] { TResourceStream(HInstance, "Greeting", "BITMAP"); }),
            "Resource Greeting not found");
  // Only the program's own module has resources.
  int elsewhere = 0;
  EXPECT_EQ(FindResource(reinterpret_cast<HINSTANCE>(&elsewhere), "Greeting", RT_RCDATA), nullptr);
  EXPECT_NE(FindResource(HInstance, "Greeting", RT_RCDATA), nullptr);
  // "#" with something other than digits is a name like any other.
  EXPECT_EQ(FindResource(HInstance, "#7a", RT_RCDATA), nullptr);
}

TEST(Resources, TablesAddedLaterAreFoundAfterTheFirst) {
  static const uint8_t data[] = {'l', 'a', 't', 'e', 'r'};
  static const TResourceEntry entries[] = {{"#10", "Greeting", data, sizeof data},
                                           {"#10", "LATER", data, sizeof data}};
  RegisterResources(entries, 2);
  TResourceStream first(HInstance, "Greeting", RT_RCDATA);
  EXPECT_EQ(Contents(first), kGreeting);
  TResourceStream later(HInstance, "later", RT_RCDATA);
  EXPECT_EQ(Contents(later), "later");
}
