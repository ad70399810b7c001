// How the host stores group-code values: their kinds, the items of xdata
// and xrecords, and the xdata blocks of one application.
#ifndef HOST_SIM_STORED_VALUES_H
#define HOST_SIM_STORED_VALUES_H

#include <cstddef>
#include <string>
#include <vector>

#include "dxf/group_codes.h"
#include "host/api/host_api.h"
#include "host/sim/wide_string.h"

namespace sim {

// How a group code's value is held in a result buffer: which member of its
// union (rstring, rreal, rpoint, rint, rlong, mnInt64, rlname, rbinary).
enum class ValueKind {
  None,
  String,
  Real,
  Point,
  Int16,
  Int32,
  Int64,
  Name,
  Binary,
  Invalid
};
// Every item the host makes, reads or frees asks for its code's kind: the
// drawing-file codes, 0 to 1071, are read from a table made from the DXF
// library's (group_codes.h).
constexpr int kDrawingCodeKinds = dxf::kMaxGroupCode + 1;
extern const ValueKind* const drawingCodeKinds;
ValueKind kindOfOtherCode(int code);
inline ValueKind kindOfCode(int code) {
  return code >= 0 && code < kDrawingCodeKinds ? drawingCodeKinds[code]
                                               : kindOfOtherCode(code);
}
// The codes xdata may hold after a 1001 item.
inline bool isXdataDataCode(int code) { return dxf::isXdataCode(code); }

// One stored item of xdata or of an xrecord.
struct StoredItem {
  short code = 0;
  AcWString text;
  double v[3] = {0, 0, 0};
  Adesk::Int64 n = 0;
  AcDbStub* ref = nullptr;  // an entity name, kept as the object it names
};

// A binary chunk's bytes are kept in StoredItem::text, a byte to a unit:
// chunks are rare in drawings and a member of their own would widen every
// item.
std::string storedBytes(const StoredItem& item);
void setStoredBytes(StoredItem& item, const std::string& bytes);

struct XdataEntry {
  std::size_t app = 0;  // index into the drawing's registered applications
  std::vector<StoredItem> items;
};

}  // namespace sim

#endif
