// UTF-8 <-> UTF-16 conversion for the host's 16-bit text.
#include "host/sim/host.h"
#include "text/utf8.h"

namespace sim {
namespace {
const char32_t kReplacement = 0xFFFD;
}  // namespace

AcWString toWide(const std::string& utf8) {
  AcWString out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    char32_t c;
    if (const std::size_t length = text::decodeUtf8(utf8, i, c)) {
      text::appendUtf16(out, c);
      i += length;
    } else {
      text::appendUtf16(out, kReplacement);
      i += text::malformedUtf8Length(utf8, i);
    }
  }
  return out;
}

std::string toUtf8(const AcWString& utf16) {
  std::string out;
  out.reserve(utf16.size());
  const std::size_t n = utf16.size();
  for (std::size_t i = 0; i < n; ++i) {
    const char32_t unit = static_cast<char16_t>(utf16[i]);
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < n) {
      const char32_t low = static_cast<char16_t>(utf16[i + 1]);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        text::appendUtf8(out,
                         0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        ++i;
        continue;
      }
    }
    if (unit >= 0xD800 && unit <= 0xDFFF)
      text::appendUtf8(out, kReplacement);
    else
      text::appendUtf8(out, unit);
  }
  return out;
}

std::string toUtf8(const ACHAR* utf16) {
  if (utf16 == nullptr) return std::string();
  return toUtf8(AcWString(utf16));
}

}  // namespace sim
