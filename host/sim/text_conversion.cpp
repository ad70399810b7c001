// UTF-8 <-> UTF-16 conversion for the host's 16-bit text.
#include "host/sim/sim_host.h"

namespace sim {
namespace {
const char32_t kReplacement = 0xFFFD;

void appendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

void appendUtf16(AcWString& out, char32_t c) {
  if (c < 0x10000) {
    out += static_cast<ACHAR>(c);
  } else {
    c -= 0x10000;
    out += static_cast<ACHAR>(0xD800 + (c >> 10));
    out += static_cast<ACHAR>(0xDC00 + (c & 0x3FF));
  }
}
}  // namespace

AcWString toWide(const std::string& utf8) {
  AcWString out;
  out.reserve(utf8.size());
  const std::size_t n = utf8.size();
  std::size_t i = 0;
  while (i < n) {
    const unsigned char lead = static_cast<unsigned char>(utf8[i]);
    int extra;
    char32_t c;
    if (lead < 0x80) {
      extra = 0;
      c = lead;
    } else if ((lead & 0xE0) == 0xC0) {
      extra = 1;
      c = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
      extra = 2;
      c = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
      extra = 3;
      c = lead & 0x07;
    } else {
      appendUtf16(out, kReplacement);
      ++i;
      continue;
    }
    bool valid = true;
    std::size_t consumed = 1;
    for (int k = 0; k < extra; ++k, ++consumed) {
      if (i + consumed >= n ||
          (static_cast<unsigned char>(utf8[i + consumed]) & 0xC0) != 0x80) {
        valid = false;
        break;
      }
      c = (c << 6) | (static_cast<unsigned char>(utf8[i + consumed]) & 0x3F);
    }
    // Overlong forms, surrogates and values past the last code point are not
    // characters; one replacement per bad sequence keeps the rest readable.
    static const char32_t kMinimum[] = {0, 0x80, 0x800, 0x10000};
    if (valid &&
        (c < kMinimum[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)))
      valid = false;
    if (!valid) {
      appendUtf16(out, kReplacement);
      i += consumed;
      continue;
    }
    appendUtf16(out, c);
    i += static_cast<std::size_t>(extra) + 1;
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
        appendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        ++i;
        continue;
      }
    }
    if (unit >= 0xD800 && unit <= 0xDFFF)
      appendUtf8(out, kReplacement);
    else
      appendUtf8(out, unit);
  }
  return out;
}

std::string toUtf8(const ACHAR* utf16) {
  if (utf16 == nullptr) return std::string();
  return toUtf8(AcWString(utf16));
}

}  // namespace sim
