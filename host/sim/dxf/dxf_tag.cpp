#include "dxf_tag.h"

#include <charconv>
#include <cmath>
#include <limits>

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

ValueKind valueKindOf(int code) {
  if (code == 5 || code == 105) return ValueKind::Handle;
  if (code >= 10 && code <= 59) return ValueKind::Real;
  if (code >= 60 && code <= 79) return ValueKind::Int16;
  if (code >= 90 && code <= 99) return ValueKind::Int32;
  if (code >= 110 && code <= 149) return ValueKind::Real;
  if (code >= 160 && code <= 169) return ValueKind::Int64;
  if (code >= 170 && code <= 179) return ValueKind::Int16;
  if (code >= 210 && code <= 239) return ValueKind::Real;
  if (code >= 270 && code <= 299) return ValueKind::Int16;
  if (code >= 310 && code <= 319) return ValueKind::Binary;
  if (code >= 320 && code <= 369) return ValueKind::Handle;
  if (code >= 370 && code <= 389) return ValueKind::Int16;
  if (code >= 390 && code <= 399) return ValueKind::Handle;
  if (code >= 400 && code <= 409) return ValueKind::Int16;
  if (code >= 420 && code <= 429) return ValueKind::Int32;
  if (code >= 440 && code <= 459) return ValueKind::Int32;
  if (code >= 460 && code <= 469) return ValueKind::Real;
  if (code == 480 || code == 481) return ValueKind::Handle;
  if (code == 1004) return ValueKind::Binary;
  if (code == 1005) return ValueKind::Handle;
  if (code >= 1010 && code <= 1059) return ValueKind::Real;
  if (code >= 1060 && code <= 1070) return ValueKind::Int16;
  if (code == 1071) return ValueKind::Int32;
  return ValueKind::Text;
}

bool isNumericKind(ValueKind kind) {
  return kind == ValueKind::Real || kind == ValueKind::Int16 ||
         kind == ValueKind::Int32 || kind == ValueKind::Int64;
}

bool parseHandle(std::string_view text, std::uint64_t& handle) {
  if (text.empty() || text.size() > 16) return false;
  std::uint64_t value = 0;
  for (char c : text) {
    int digit;
    if (c >= '0' && c <= '9')
      digit = c - '0';
    else if (c >= 'A' && c <= 'F')
      digit = c - 'A' + 10;
    else if (c >= 'a' && c <= 'f')
      digit = c - 'a' + 10;
    else
      return false;
    value = (value << 4) | static_cast<std::uint64_t>(digit);
  }
  handle = value;
  return true;
}

std::string handleText(std::uint64_t handle) {
  static const char kDigits[] = "0123456789ABCDEF";
  char buffer[16];
  int count = 0;
  do {
    buffer[count++] = kDigits[handle & 0xF];
    handle >>= 4;
  } while (handle != 0);
  std::string text;
  text.reserve(static_cast<std::size_t>(count));
  while (count > 0) text.push_back(buffer[--count]);
  return text;
}

}  // namespace dxf
