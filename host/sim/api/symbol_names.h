// Names the host compares without regard to ASCII case: their hash and
// equality, and which names it accepts.
#ifndef HOST_SIM_API_SYMBOL_NAMES_H
#define HOST_SIM_API_SYMBOL_NAMES_H

#include <cstddef>
#include <cstring>
#include <string_view>

#include "host/api/host_api.h"
#include "host/sim/wide_string.h"
#include "text/ascii_case.h"
#include "text/hex_digits.h"

namespace sim {

// Application names, dictionary keys and command names compare without
// regard to ASCII case (the host's symbol tables do); the stored spelling is
// kept for display. Handles are written as hexadecimal digits.
using text::hexText;
using text::upperAscii;

// Hash and equality of names without regard to ASCII case, for unordered
// containers keyed by them (or by views of them).
using NameView = std::basic_string_view<ACHAR>;
struct FoldedHash {
  std::size_t operator()(NameView name) const {
    std::size_t hash = 14695981039346656037ull;  // FNV-1a
    for (ACHAR c : name)
      hash = (hash ^ std::size_t(text::upperAsciiChar(c))) * 1099511628211ull;
    return hash;
  }
};
struct FoldedEqual {
  bool operator()(NameView a, NameView b) const {
    // Names are mostly asked for as they were stored, and comparing bytes
    // costs a third of comparing letters folded (a copy looks up three).
    if (a.size() != b.size()) return false;
    return std::memcmp(a.data(), b.data(), a.size() * sizeof(ACHAR)) == 0 ||
           text::equalsIgnoringAsciiCase(a, b);
  }
};

// An application name or dictionary key the host accepts: 1 to 255 units, no
// control characters, none of <>/\":;?*|,=` and no blank at either end.
bool isValidSymbolName(const AcWString& name);
bool isValidSymbolName(const ACHAR* name, std::size_t length);

}  // namespace sim

#endif
