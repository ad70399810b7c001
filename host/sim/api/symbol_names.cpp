// Which names the host accepts, and why it refuses one.
#include "host/sim/api/symbol_names.h"

#include <string>

#include "host/sim/host.h"

namespace sim {

bool isValidSymbolName(const AcWString& name) {
  return isValidSymbolName(name.data(), name.size());
}

namespace {
// The ASCII units a name may not hold: controls, DEL and some punctuation.
struct ForbiddenInNames {
  bool units[0x80];
};
constexpr ForbiddenInNames forbiddenInNames() {
  ForbiddenInNames table{};
  for (int unit = 0; unit < 0x20; ++unit) table.units[unit] = true;
  table.units[0x7F] = true;
  for (const char c : "<>/\\\":;?*|,=`")
    if (c != 0) table.units[static_cast<unsigned char>(c)] = true;
  return table;
}
constexpr ForbiddenInNames kForbiddenInNames = forbiddenInNames();
}  // namespace

bool isValidSymbolName(const ACHAR* name, std::size_t length) {
  if (length == 0 || length > 255) return false;
  if (name[0] == ' ' || name[length - 1] == ' ') return false;
  for (std::size_t i = 0; i < length; ++i) {
    const ACHAR c = name[i];
    if (c < 0x80 && kForbiddenInNames.units[c]) return false;
  }
  return true;
}

std::string Host::nameProblem(const std::string& name) {
  const AcWString wide = toWide(name);
  if (wide.empty()) return "a name is at least one character";
  if (wide.size() > 255)
    return "a name is at most 255 characters, not " +
           std::to_string(wide.size());
  if (wide.front() == ' ' || wide.back() == ' ')
    return "a name neither starts nor ends with a blank";
  for (const ACHAR c : wide)
    if (c < 0x80 && kForbiddenInNames.units[c])
      return c < 0x20 || c == 0x7F
                 ? std::string("a name holds no control character")
                 : std::string(
                       "a name holds none of <>/\\\":;?*|,=` (it has ") +
                       static_cast<char>(c) + ")";
  return std::string();
}

}  // namespace sim
