// UTF-8 and UTF-16 read and written by one set of rules: overlong forms,
// surrogates and values past U+10FFFF are no characters.
#ifndef TEXT_UTF8_H
#define TEXT_UTF8_H

#include <cstddef>
#include <string>
#include <string_view>

namespace text {

// The sequence at TEXT[AT]: its length, with C its character, or 0 when it is
// malformed or cut off.
inline std::size_t decodeUtf8(std::string_view text, std::size_t at,
                              char32_t& c) {
  const unsigned char lead = static_cast<unsigned char>(text[at]);
  std::size_t length;
  char32_t smallest;
  if (lead < 0x80) {
    c = lead;
    return 1;
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2, c = lead & 0x1F, smallest = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, c = lead & 0x0F, smallest = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, c = lead & 0x07, smallest = 0x10000;
  } else {
    return 0;
  }
  if (at + length > text.size()) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    const unsigned char next = static_cast<unsigned char>(text[at + k]);
    if ((next & 0xC0) != 0x80) return 0;
    c = (c << 6) | (next & 0x3F);
  }
  if (c < smallest || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
  return length;
}

// How much of TEXT[AT] a reader that replaces a malformed sequence skips:
// the lead and the continuation bytes after it, as many as it announced, so
// that one bad sequence gives one replacement.
inline std::size_t malformedUtf8Length(std::string_view text, std::size_t at) {
  const unsigned char lead = static_cast<unsigned char>(text[at]);
  const std::size_t announced = (lead & 0xE0) == 0xC0   ? 2
                                : (lead & 0xF0) == 0xE0 ? 3
                                : (lead & 0xF8) == 0xF0 ? 4
                                                        : 1;
  std::size_t length = 1;
  while (length < announced && at + length < text.size() &&
         (static_cast<unsigned char>(text[at + length]) & 0xC0) == 0x80)
    ++length;
  return length;
}

inline void appendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

// Into a string of any 16-bit unit type; past U+FFFF as a surrogate pair.
template <typename String>
void appendUtf16(String& out, char32_t c) {
  using Unit = typename String::value_type;
  if (c < 0x10000) {
    out.push_back(static_cast<Unit>(c));
  } else {
    c -= 0x10000;
    out.push_back(static_cast<Unit>(0xD800 + (c >> 10)));
    out.push_back(static_cast<Unit>(0xDC00 + (c & 0x3FF)));
  }
}

// UTF-16 BYTES, two to a unit, low byte first unless BIG_ENDIAN, appended
// to OUT as UTF-8. False at the first unit that is no character (a lone
// surrogate, or a byte left over at the end), with AT its byte offset.
inline bool appendUtf8FromUtf16(std::string_view bytes, bool bigEndian,
                                std::string& out, std::size_t& at) {
  const auto unitAt = [&](std::size_t i) -> char32_t {
    const unsigned char first = static_cast<unsigned char>(bytes[i]);
    const unsigned char second = static_cast<unsigned char>(bytes[i + 1]);
    return bigEndian ? (first << 8) | second : (second << 8) | first;
  };
  for (at = 0; at + 1 < bytes.size(); at += 2) {
    char32_t c = unitAt(at);
    if (c >= 0xDC00 && c <= 0xDFFF) return false;
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (at + 3 >= bytes.size()) return false;
      const char32_t low = unitAt(at + 2);
      if (low < 0xDC00 || low > 0xDFFF) return false;
      c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
      at += 2;
    }
    appendUtf8(out, c);
  }
  return at == bytes.size();
}

}  // namespace text

#endif
