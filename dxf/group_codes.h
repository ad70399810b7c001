// What kind of value each group code holds: the one table that the DXF
// files, the simulated host's result buffers and the runner's items all read.
#ifndef DXF_GROUP_CODES_H
#define DXF_GROUP_CODES_H

#include <cstddef>

namespace dxf {

// Group codes outside 0..1071 are not DXF.
constexpr int kMaxGroupCode = 1071;

enum class CodeKind : unsigned char {
  Unassigned,  // no range assigns it: files spell it as text
  Text,
  Handle,   // hexadecimal text naming an object, held as text (5, 1005)
  Pointer,  // an object the drawing points at, held as an entity name
  Point,    // a point's x; its y and z sit 10 and 20 codes above
  Real,
  Int16,
  Int32,
  Int64,
  Binary,  // bytes, spelled in files as hexadecimal digits
};

namespace detail {
constexpr CodeKind kindOfGroupCode(int code) {
  if (code >= 0 && code <= 4) return CodeKind::Text;
  if (code == 5) return CodeKind::Handle;
  if (code >= 6 && code <= 9) return CodeKind::Text;
  if (code >= 10 && code <= 18) return CodeKind::Point;
  if (code >= 19 && code <= 59) return CodeKind::Real;
  if (code >= 60 && code <= 79) return CodeKind::Int16;
  if (code >= 90 && code <= 99) return CodeKind::Int32;
  if (code >= 100 && code <= 102) return CodeKind::Text;
  if (code == 105) return CodeKind::Handle;
  if (code >= 110 && code <= 118) return CodeKind::Point;
  if (code >= 119 && code <= 149) return CodeKind::Real;
  if (code >= 160 && code <= 169) return CodeKind::Int64;
  if (code >= 170 && code <= 179) return CodeKind::Int16;
  if (code == 210) return CodeKind::Point;
  if (code >= 211 && code <= 239) return CodeKind::Real;
  if (code >= 270 && code <= 299) return CodeKind::Int16;
  if (code >= 300 && code <= 309) return CodeKind::Text;
  if (code >= 310 && code <= 319) return CodeKind::Binary;
  if (code >= 320 && code <= 329) return CodeKind::Handle;
  if (code >= 330 && code <= 369) return CodeKind::Pointer;
  if (code >= 370 && code <= 389) return CodeKind::Int16;
  if (code >= 390 && code <= 399) return CodeKind::Handle;
  if (code >= 400 && code <= 409) return CodeKind::Int16;
  if (code >= 410 && code <= 419) return CodeKind::Text;
  if (code >= 420 && code <= 429) return CodeKind::Int32;
  if (code >= 430 && code <= 439) return CodeKind::Text;
  if (code >= 440 && code <= 459) return CodeKind::Int32;
  if (code >= 460 && code <= 469) return CodeKind::Real;
  if (code >= 470 && code <= 479) return CodeKind::Text;
  if (code == 480 || code == 481) return CodeKind::Handle;
  if (code == 999) return CodeKind::Text;
  if (code >= 1000 && code <= 1003) return CodeKind::Text;
  if (code == 1004) return CodeKind::Binary;
  if (code == 1005) return CodeKind::Handle;
  if (code >= 1006 && code <= 1009) return CodeKind::Text;
  if (code >= 1010 && code <= 1013) return CodeKind::Point;
  if (code >= 1014 && code <= 1059) return CodeKind::Real;
  if (code >= 1060 && code <= 1070) return CodeKind::Int16;
  if (code == 1071) return CodeKind::Int32;
  return CodeKind::Unassigned;
}

struct GroupCodeTable {
  CodeKind kinds[kMaxGroupCode + 1];
};
constexpr GroupCodeTable makeGroupCodeTable() {
  GroupCodeTable table{};
  for (int code = 0; code <= kMaxGroupCode; ++code)
    table.kinds[code] = kindOfGroupCode(code);
  return table;
}
// Made by the compiler: a lookup is one load, with no guard to pass.
inline constexpr GroupCodeTable kGroupCodes = makeGroupCodeTable();
}  // namespace detail

// Codes outside 0..kMaxGroupCode are Unassigned.
constexpr CodeKind codeKindOf(int code) {
  return code >= 0 && code <= kMaxGroupCode ? detail::kGroupCodes.kinds[code]
                                            : CodeKind::Unassigned;
}

// The codes an application's block of xdata holds after its 1001.
constexpr bool isXdataCode(int code) {
  switch (code) {
    case 1000:
    case 1002:
    case 1003:
    case 1004:
    case 1005:
    case 1010:
    case 1011:
    case 1012:
    case 1013:
    case 1040:
    case 1041:
    case 1042:
    case 1070:
    case 1071:
      return true;
    default:
      return false;
  }
}
// The same list, for messages that name what is held.
constexpr const char* kXdataCodesText =
    "1000 1002 1003 1004 1005 1010 1011 1012 1013 1040 1041 1042 1070 1071";

// The most bytes one binary chunk holds.
constexpr std::size_t kMaxBinaryChunk = 127;

}  // namespace dxf

#endif
