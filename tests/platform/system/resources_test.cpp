// Resources linked into the program: found by type and by name or number,
// read as read-only streams. The test program embeds its own (see
// tests/CMakeLists.txt).
#include <gtest/gtest.h>

#include "platform/system/resources.h"
#include "tests/support/testsupport.h"

namespace {

std::string Contents(HINSTANCE instance, const std::string& name, const std::string& type) {
  TResourceStream stream(instance, name, type);
  std::vector<uint8_t> bytes = ReadToEnd(stream);
  return std::string(bytes.begin(), bytes.end());
}

const std::string kGreeting = "Brightmill resource\n", kOther = "Another type\n";

}  // namespace

TEST(Resources, FoundByNameOrNumberWithinTheirType) {
  // Names without regard to case; the same name or number in another type
  // is another resource; "#7" names the number 7, leading zeros or not.
  EXPECT_EQ(Contents(HInstance, "greeting", RT_RCDATA), kGreeting);
  EXPECT_EQ(Contents(nullptr, "GREETING", "text"), kOther);
  EXPECT_EQ(Contents(HInstance, "#007", "#10"), kOther);
  EXPECT_EQ(Contents(HInstance, MAKEINTRESOURCE(7), MAKEINTRESOURCE(23)), kGreeting);
  EXPECT_EQ(Contents(HInstance, "Empty", RT_RCDATA), "");
  TResourceStream byNumber(HInstance, 7, RT_RCDATA);
  EXPECT_EQ(byNumber.Size(), int64_t(kOther.size()));
  EXPECT_EQ(RaisedMessage<EStreamError>([&] { byNumber.Write("x", 1); }), "Can't write to a read-only resource stream");

  // Tables added later are searched after the first.
  static const uint8_t data[] = {'l', 'a', 't', 'e', 'r'};
  static const TResourceEntry entries[] = {{"#10", "Greeting", data, sizeof data}, {"#10", "LATER", data, sizeof data}};
  RegisterResources(entries, 2);
  EXPECT_EQ(Contents(HInstance, "Greeting", RT_RCDATA), kGreeting);
  EXPECT_EQ(Contents(HInstance, "later", RT_RCDATA), "later");
}

TEST(Resources, MissingOnesRaiseResNotFound) {
  EXPECT_EQ(RaisedMessage<EResNotFound>([] { TResourceStream(HInstance, "Nothing", RT_RCDATA); }),
            "Resource Nothing not found");
  EXPECT_EQ(RaisedMessage<EResNotFound>([] { TResourceStream(HInstance, 8, RT_RCDATA); }), "Resource 8 not found");
  EXPECT_EQ(RaisedMessage<EResNotFound>([] { TResourceStream(HInstance, "Greeting", "BITMAP"); }),
            "Resource Greeting not found");
  // Only the program's own module has resources; "#" with something other
  // than digits is a name like any other.
  int elsewhere = 0;
  EXPECT_EQ(FindResource(reinterpret_cast<HINSTANCE>(&elsewhere), "Greeting", RT_RCDATA), nullptr);
  EXPECT_EQ(FindResource(HInstance, "#7a", RT_RCDATA), nullptr);
}
