#include "platform/system/utf8.h"

#include <cwctype>
#include <locale>

namespace {

// Length of the UTF-8 sequence starting at text[i], or 1 for a byte that
// does not start a valid sequence. Decodes the code point into cp. Only the
// shortest form of a scalar value counts as valid: overlong forms (C0 AF for
// "/", C0 80 for a zero byte), surrogates and values above U+10FFFF are
// single stray bytes, so nothing ever decodes them into another character.
size_t SequenceAt(const std::string& text, size_t i, char32_t& cp) {
  auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  unsigned char b = byte(i);
  size_t length = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
  cp = b;
  if (length == 0 || i + length > text.size()) return 1;
  if (length == 1) return 1;
  char32_t value = length == 2 ? (b & 0x1F) : length == 3 ? (b & 0x0F) : (b & 0x07);
  for (size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 1;
    value = (value << 6) | (byte(i + k) & 0x3F);
  }
  static constexpr char32_t kShortest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (value < kShortest[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 1;
  cp = value;
  return length;
}

void Append(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// The Unicode case table of the C.UTF-8 locale, when the system has it.
const std::ctype<wchar_t>* UnicodeCase() {
  static const std::ctype<wchar_t>* facet = []() -> const std::ctype<wchar_t>* {
    try {
      static const std::locale locale("C.UTF-8");
      return &std::use_facet<std::ctype<wchar_t>>(locale);
    } catch (...) {
      return nullptr;
    }
  }();
  return facet;
}

}  // namespace

std::string Utf8Left(const std::string& text, size_t count) {
  size_t i = 0;
  for (size_t n = 0; n < count && i < text.size(); ++n) {
    char32_t cp;
    i += SequenceAt(text, i, cp);
  }
  return text.substr(0, i);
}

std::string Utf8LowerCase(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  const std::ctype<wchar_t>* unicode = UnicodeCase();
  for (size_t i = 0; i < text.size();) {
    char32_t cp;
    size_t length = SequenceAt(text, i, cp);
    if (length == 1 && cp >= 0x80) {
      out += text[i];  // a stray byte stays as it is
    } else if (cp < 0x80) {
      out += static_cast<char>(cp >= 'A' && cp <= 'Z' ? cp + 32 : cp);
    } else {
      char32_t lower = unicode ? static_cast<char32_t>(unicode->tolower(static_cast<wchar_t>(cp))) : cp;
      // A letter never becomes a path separator, a zero byte or anything
      // that is not a character (U+0130 lower-cases to a plain "i").
      if (lower == 0 || lower == '/' || lower == '.' || lower > 0x10FFFF || (lower >= 0xD800 && lower <= 0xDFFF))
        lower = cp;
      Append(out, lower);
    }
    i += length;
  }
  return out;
}
