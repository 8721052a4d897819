// Cuts and case changes of UTF-8 file names.
#include <gtest/gtest.h>

#include "platform/system/utf8.h"

TEST(Utf8, LowerCaseChangesOnlyValidCharacters) {
  const std::pair<std::string, std::string> cases[] = {
      {"IMG_01(Convert)", "img_01(convert)"},
      {"\xC3\x89T\xC3\x89", "\xC3\xA9t\xC3\xA9"},               // ÉTÉ
      {"\xD0\x9F\xD0\xA0", "\xD0\xBF\xD1\x80"},                 // ПР, a longer code across a byte boundary
      // Overlong forms of ".", "/" and the zero byte stay exactly as they are.
      {"\xC0\xAE\xC0\xAE\xC0\xAF" "X", "\xC0\xAE\xC0\xAE\xC0\xAF" "x"},
      {"A\xC0\x80" "B", "a\xC0\x80" "b"},
      {"\xE0\x80\xAF\xF0\x80\x80\xAF", "\xE0\x80\xAF\xF0\x80\x80\xAF"},
      // Lone continuation bytes, cut sequences, surrogates, beyond U+10FFFF.
      {"\x80\xBFZ", "\x80\xBFz"},
      {"Q\xE2\x82", "q\xE2\x82"},
      {"\xED\xA0\x80\xF4\x90\x80\x80\xFF", "\xED\xA0\x80\xF4\x90\x80\x80\xFF"},
  };
  for (const auto& [text, lower] : cases) EXPECT_EQ(Utf8LowerCase(text), lower) << text;
  // Whatever goes in, no separator or zero byte comes out that was not there.
  for (int a = 0x80; a < 0x100; ++a)
    for (int b = 0x80; b < 0xC0; ++b) {
      std::string text{char(a), char(b), char(0xAF)};
      std::string lower = Utf8LowerCase(text);
      EXPECT_EQ(lower.find('/'), std::string::npos) << a << " " << b;
      EXPECT_EQ(lower.find('\0'), std::string::npos) << a << " " << b;
    }
}

TEST(Utf8, LeftCountsInvalidBytesAsCharacters) {
  EXPECT_EQ(Utf8Left("\xC3\xA9\xC3\xA9x", 2), "\xC3\xA9\xC3\xA9");
  EXPECT_EQ(Utf8Left("\xC0\xAF\xC0\xAF", 2), "\xC0\xAF");  // two stray bytes
  EXPECT_EQ(Utf8Left("ab", 5), "ab");
}
