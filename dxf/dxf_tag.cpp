#include "dxf/dxf_tag.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "text/hex_digits.h"

namespace dxf {

namespace {

std::string_view trimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
    text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
    text.remove_suffix(1);
  return text;
}

}  // namespace

bool parseInteger(std::string_view text, std::int64_t& value) {
  text = trimBlanks(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return false;
  const char* end = text.data() + text.size();
  auto result = std::from_chars(text.data(), end, value);
  return result.ec == std::errc() && result.ptr == end;
}

bool parseReal(std::string_view text, double& value) {
  text = trimBlanks(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return false;
  // from_chars would also take "inf", "nan" and hexadecimal forms.
  char first = text.front() == '-' && text.size() > 1 ? text[1] : text.front();
  if (!(first >= '0' && first <= '9') && first != '.') return false;
  const char* end = text.data() + text.size();
  auto result =
      std::from_chars(text.data(), end, value, std::chars_format::general);
  return result.ec == std::errc() && result.ptr == end && std::isfinite(value);
}

bool isReal(std::string_view text) {
  std::string_view body = trimBlanks(text);
  if (!body.empty() && body.front() == '+') body.remove_prefix(1);
  // A plain decimal, what files hold almost always, needs no conversion to
  // be known finite: under 300 characters it stays far below the largest
  // double. Converting every real cost a tenth of reading a file.
  if (body.size() < 300) {
    std::size_t i = !body.empty() && body.front() == '-' ? 1 : 0;
    std::size_t digits = 0;
    bool point = false;
    for (; i < body.size(); ++i) {
      const char c = body[i];
      if (c >= '0' && c <= '9') {
        ++digits;
      } else if (c == '.' && !point) {
        point = true;
      } else {
        break;
      }
    }
    if (i == body.size()) return digits > 0;
  }
  double value;
  return parseReal(text, value);
}

bool integerFits(ValueKind kind, std::int64_t value) {
  switch (kind) {
    case ValueKind::Int16:
      return value >= std::numeric_limits<std::int16_t>::min() &&
             value <= std::numeric_limits<std::int16_t>::max();
    case ValueKind::Int32:
      return value >= std::numeric_limits<std::int32_t>::min() &&
             value <= std::numeric_limits<std::int32_t>::max();
    default:
      return true;
  }
}

bool parseBinary(std::string_view text, std::string& bytes) {
  if (text.size() % 2 != 0) return false;
  std::string out;
  out.reserve(text.size() / 2);
  for (std::size_t i = 0; i < text.size(); i += 2) {
    const int high = text::hexDigitValue(text[i]);
    const int low = text::hexDigitValue(text[i + 1]);
    if (high < 0 || low < 0) return false;
    out.push_back(static_cast<char>(high * 16 + low));
  }
  bytes.swap(out);
  return true;
}

std::string binaryText(std::string_view bytes) {
  std::string digits;
  digits.reserve(bytes.size() * 2);
  for (char byte : bytes)
    text::appendHex(digits, static_cast<unsigned char>(byte), 2);
  return digits;
}

bool parseHandle(std::string_view text, std::uint64_t& handle) {
  if (text.empty() || text.size() > 16) return false;
  std::uint64_t value = 0;
  for (char c : text) {
    const int digit = text::hexDigitValue(c);
    if (digit < 0) return false;
    value = (value << 4) | static_cast<std::uint64_t>(digit);
  }
  handle = value;
  return true;
}

std::string handleText(std::uint64_t handle) { return text::hexText(handle); }

}  // namespace dxf
