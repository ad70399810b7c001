// Hexadecimal as drawings write it: upper-case digits out, either case in.
#ifndef TEXT_HEX_DIGITS_H
#define TEXT_HEX_DIGITS_H

#include <cstdint>
#include <string>

namespace text {

constexpr char kHexDigits[] = "0123456789ABCDEF";

// The value of one digit, or -1 for any other character.
template <typename Char>
constexpr int hexDigitValue(Char c) {
  return c >= Char('0') && c <= Char('9')   ? int(c - '0')
         : c >= Char('A') && c <= Char('F') ? int(c - 'A' + 10)
         : c >= Char('a') && c <= Char('f') ? int(c - 'a' + 10)
                                            : -1;
}

// VALUE without leading zeros, "0" for zero.
inline std::string hexText(std::uint64_t value) {
  char digits[16];
  char* first = digits + sizeof digits;
  do {
    *--first = kHexDigits[value & 0xF];
    value >>= 4;
  } while (value != 0);
  return std::string(first, digits + sizeof digits);
}

// The low WIDTH digits of VALUE, leading zeros kept.
inline void appendHex(std::string& out, std::uint64_t value, int width) {
  for (int shift = 4 * (width - 1); shift >= 0; shift -= 4)
    out.push_back(kHexDigits[(value >> shift) & 0xF]);
}

}  // namespace text

#endif
