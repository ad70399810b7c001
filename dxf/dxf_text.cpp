#include "dxf/dxf_text.h"

#include <cstdint>

#include "text/ascii_case.h"
#include "text/hex_digits.h"
#include "text/utf8.h"

namespace dxf {

namespace {

// Windows-1252 bytes 0x80..0x9F; the five unassigned ones map to the C1
// control of the same number, as the platform's own conversion does, so
// every byte survives a round trip.
const char16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

int windows1252Byte(char16_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return c;
  for (int i = 0; i < 32; ++i)
    if (kWindows1252High[i] == c) return 0x80 + i;
  return -1;
}

// Reads \U+XXXX at raw[i]; the code unit, or -1 if there is no escape.
int escapeAt(std::string_view raw, std::size_t i) {
  if (i + 7 > raw.size() || raw[i] != '\\' || (raw[i + 1] != 'U') ||
      raw[i + 2] != '+')
    return -1;
  int value = 0;
  for (std::size_t k = i + 3; k < i + 7; ++k) {
    int d = text::hexDigitValue(raw[k]);
    if (d < 0) return -1;
    value = value * 16 + d;
  }
  return value;
}

void appendEscape(std::string& out, char16_t unit) {
  out += "\\U+";
  text::appendHex(out, unit, 4);
}

}  // namespace

TextEncoding textEncodingFor(std::string_view version,
                             std::string_view codePage) {
  if (version.size() == 6 && version.substr(0, 2) == "AC" &&
      version.substr(2) >= "1021")
    return TextEncoding::Utf8;
  if (codePage.empty()) return TextEncoding::Windows1252;
  if (text::upperAscii(std::string(codePage)) == "ANSI_1252")
    return TextEncoding::Windows1252;
  return TextEncoding::AsciiOnly;
}

bool decodeText(std::string_view raw, TextEncoding encoding,
                std::u16string& text) {
  text.clear();
  text.reserve(raw.size());
  std::size_t i = 0;
  while (i < raw.size()) {
    char c = raw[i];
    if (c == '\\') {
      int unit = escapeAt(raw, i);
      if (unit >= 0) {
        text.push_back(static_cast<char16_t>(unit));
        i += 7;
        continue;
      }
    }
    if (c == '^' && i + 1 < raw.size()) {
      char n = raw[i + 1];
      if (n == ' ') {
        text.push_back(u'^');
        i += 2;
        continue;
      }
      if (n >= '@' && n <= '_') {
        text.push_back(static_cast<char16_t>(n - '@'));
        i += 2;
        continue;
      }
    }
    unsigned char b = static_cast<unsigned char>(c);
    if (b < 0x80) {
      text.push_back(b);
      ++i;
      continue;
    }
    switch (encoding) {
      case TextEncoding::Windows1252:
        text.push_back(b >= 0xA0 ? char16_t(b) : kWindows1252High[b - 0x80]);
        ++i;
        break;
      case TextEncoding::Utf8: {
        char32_t cp;
        const std::size_t length = text::decodeUtf8(raw, i, cp);
        if (length == 0) return false;
        i += length;
        text::appendUtf16(text, cp);
        break;
      }
      case TextEncoding::AsciiOnly:
        return false;
    }
  }
  return true;
}

std::string encodeText(std::u16string_view text, TextEncoding encoding) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char16_t c = text[i];
    if (c < 0x20) {
      out.push_back('^');
      out.push_back(static_cast<char>('@' + c));
      continue;
    }
    if (c == u'^') {
      // A caret before a character that reads as an escape must be escaped
      // itself; elsewhere it stays as it is.
      char16_t n = i + 1 < text.size() ? text[i + 1] : 0;
      if (n == u' ' || (n >= u'@' && n <= u'_')) {
        out += "^ ";
        continue;
      }
    }
    if (c == u'\\' && i + 6 < text.size() && text[i + 1] == u'U' &&
        text[i + 2] == u'+') {
      // Text that merely looks like an escape: escaping its backslash keeps
      // it from reading back as the character it seems to name.
      std::string probe;
      for (std::size_t k = i; k < i + 7; ++k)
        probe.push_back(text[k] < 0x80 ? static_cast<char>(text[k]) : '?');
      if (escapeAt(probe, 0) >= 0) {
        appendEscape(out, c);
        continue;
      }
    }
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
      continue;
    }
    if (encoding == TextEncoding::Windows1252) {
      int b = windows1252Byte(c);
      if (b >= 0) {
        out.push_back(static_cast<char>(b));
        continue;
      }
    } else if (encoding == TextEncoding::Utf8) {
      char32_t cp = c;
      bool high = c >= 0xD800 && c <= 0xDBFF;
      if (high && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
          text[i + 1] <= 0xDFFF) {
        cp = 0x10000 + ((char32_t(c) - 0xD800) << 10) + (text[i + 1] - 0xDC00);
        ++i;
        text::appendUtf8(out, cp);
        continue;
      }
      if (!(c >= 0xD800 && c <= 0xDFFF)) {
        text::appendUtf8(out, cp);
        continue;
      }
    }
    appendEscape(out, c);
  }
  return out;
}

std::u16string asciiToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (char c : text) out.push_back(static_cast<unsigned char>(c));
  return out;
}

#if defined(_WIN32)
bool decodeText(std::string_view raw, TextEncoding encoding,
                std::wstring& text) {
  std::u16string units;
  if (!decodeText(raw, encoding, units)) return false;
  text.assign(units.begin(), units.end());
  return true;
}

std::string encodeText(std::wstring_view text, TextEncoding encoding) {
  const std::u16string units(text.begin(), text.end());
  return encodeText(std::u16string_view(units), encoding);
}
#endif

}  // namespace dxf
