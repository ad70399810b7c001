// One group code / value pair of a DXF file, what kind of value each group
// code carries, and the error that every DXF routine reports.
#ifndef DXF_DXF_TAG_H
#define DXF_DXF_TAG_H

#include <cstdint>
#include <string>
#include <string_view>

#include "dxf/group_codes.h"
#include "text/error.h"

namespace dxf {

// The value is kept as the file spelled it (trailing CR removed), so a tag
// that nobody changes is written back byte for byte.
struct Tag {
  int code = 0;
  int line = 0;  // line of the group code; 0 for a tag made here
  std::string value;
};

// A pair as the reader hands it out: the value points into the text read,
// so reading costs no string per value.
struct TagView {
  int code = 0;
  int line = 0;
  std::string_view value;
  Tag tag() const { return Tag{code, line, std::string(value)}; }
};

// How a file spells a group code's value. Codes that no range assigns are
// read as text, as other readers do.
enum class ValueKind { Text, Real, Int16, Int32, Int64, Handle, Binary };

inline ValueKind valueKindOf(int code) {
  switch (codeKindOf(code)) {
    case CodeKind::Handle:
    case CodeKind::Pointer:
      return ValueKind::Handle;
    case CodeKind::Point:
    case CodeKind::Real:
      return ValueKind::Real;
    case CodeKind::Int16:
      return ValueKind::Int16;
    case CodeKind::Int32:
      return ValueKind::Int32;
    case CodeKind::Int64:
      return ValueKind::Int64;
    case CodeKind::Binary:
      return ValueKind::Binary;
    case CodeKind::Unassigned:
    case CodeKind::Text:
      break;
  }
  return ValueKind::Text;
}
inline bool isNumericKind(ValueKind kind) {
  return kind == ValueKind::Real || kind == ValueKind::Int16 ||
         kind == ValueKind::Int32 || kind == ValueKind::Int64;
}

// A DXF problem is a text::Error, tied to a line of the file when one is
// known.

// Numbers as a DXF file spells them: optional blanks around, optional sign;
// reals must be finite. False for anything else.
bool parseInteger(std::string_view text, std::int64_t& value);
bool parseReal(std::string_view text, double& value);
// Whether parseReal would take the text, without converting it.
bool isReal(std::string_view text);
// The range a group code's integer kind allows.
bool integerFits(ValueKind kind, std::int64_t value);

// Binary data is an even number of hexadecimal digits, either case, two a
// byte; written in upper case.
bool parseBinary(std::string_view text, std::string& bytes);
std::string binaryText(std::string_view bytes);

// Handles are 1 to 16 hexadecimal digits, either case.
bool parseHandle(std::string_view text, std::uint64_t& handle);
// Upper-case hexadecimal without leading zeros, "0" for zero.
std::string handleText(std::uint64_t handle);

}  // namespace dxf

#endif
