// Colour names in the summaries.
#include "platform/graphics/colornames.h"

#include <gtest/gtest.h>

TEST(ColorNames, NamedColoursAndHexForTheRest) {
  EXPECT_EQ(ColorToString(0x008000), "clGreen");
  EXPECT_EQ(ColorToString(clBtnFace), "clBtnFace");
  EXPECT_EQ(ColorToString(clInfoBk), "clInfoBk");
  // Past the last system colour, and colours outside the 41 names.
  EXPECT_EQ(ColorToString(clInfoBk + 1), "$FF000019");
  EXPECT_EQ(ColorToString(clMoneyGreen), "$00C0DCC0");
  EXPECT_EQ(ColorToString(0x0A0B0C), "$000A0B0C");
}
