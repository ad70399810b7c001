// Case rules of names: ASCII letters compare without regard to case, every
// other character only to itself, whatever the locale.
#ifndef TEXT_ASCII_CASE_H
#define TEXT_ASCII_CASE_H

#include <cstddef>

namespace text {

template <typename Char>
constexpr Char upperAsciiChar(Char c) {
  return c >= Char('a') && c <= Char('z') ? static_cast<Char>(c - 'a' + 'A')
                                          : c;
}

// A string of any character type with its ASCII letters made upper case.
template <typename String>
String upperAscii(String s) {
  for (auto& c : s) c = upperAsciiChar(c);
  return s;
}

template <typename Char>
bool equalsIgnoringAsciiCase(const Char* a, std::size_t an, const Char* b,
                             std::size_t bn) {
  if (an != bn) return false;
  for (std::size_t i = 0; i < an; ++i)
    if (upperAsciiChar(a[i]) != upperAsciiChar(b[i])) return false;
  return true;
}

template <typename StringA, typename StringB>
bool equalsIgnoringAsciiCase(const StringA& a, const StringB& b) {
  return equalsIgnoringAsciiCase(a.data(), a.size(), b.data(), b.size());
}

// Orders as the upper-case forms would, unit by unit.
template <typename Char>
bool lessIgnoringAsciiCase(const Char* a, std::size_t an, const Char* b,
                           std::size_t bn) {
  const std::size_t n = an < bn ? an : bn;
  for (std::size_t i = 0; i < n; ++i) {
    const Char x = upperAsciiChar(a[i]);
    const Char y = upperAsciiChar(b[i]);
    if (x != y) return x < y;
  }
  return an < bn;
}

}  // namespace text

#endif
