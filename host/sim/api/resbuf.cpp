// Result buffers: the kinds of group codes, counted chains, and the
// utilities that build, free and print with them.
#include <cstdarg>
#include <cstring>

#include "host/sim/host_state.h"

namespace sim {

namespace {
constexpr ValueKind kindOfAnyCode(int code) {
  // The result codes of the utility functions.
  switch (code) {
    case 5001:  // real
    case 5004:  // angle
    case 5008:  // orientation
      return ValueKind::Real;
    case 5002:  // point
    case 5009:  // 3D point
      return ValueKind::Point;
    case 5003:
      return ValueKind::Int16;
    case 5005:  // string
    case 5020:  // entity type
      return ValueKind::String;
    case 5006:  // entity name
    case 5007:  // selection set
      return ValueKind::Name;
    case 5010:
      return ValueKind::Int32;
    case 5014:  // void
    case 5016:  // list begin
    case 5017:  // list end
    case 5018:  // dotted pair end
    case 5019:  // nil
    case 5021:  // true
      return ValueKind::None;
    default:
      break;
  }
  // Drawing-file group codes, as the DXF library's table has them.
  switch (dxf::codeKindOf(code)) {
    case dxf::CodeKind::Text:
    case dxf::CodeKind::Handle:
      return ValueKind::String;
    case dxf::CodeKind::Pointer:
      return ValueKind::Name;
    case dxf::CodeKind::Point:
      return ValueKind::Point;
    case dxf::CodeKind::Real:
      return ValueKind::Real;
    case dxf::CodeKind::Int16:
      return ValueKind::Int16;
    case dxf::CodeKind::Int32:
      return ValueKind::Int32;
    case dxf::CodeKind::Int64:
      return ValueKind::Int64;
    case dxf::CodeKind::Binary:
      return ValueKind::Binary;
    case dxf::CodeKind::Unassigned:
      break;
  }
  return ValueKind::Invalid;
}

struct DrawingCodeKinds {
  ValueKind kinds[kDrawingCodeKinds];
};
constexpr DrawingCodeKinds drawingCodeKinds() {
  DrawingCodeKinds table{};
  for (int code = 0; code < kDrawingCodeKinds; ++code)
    table.kinds[code] = kindOfAnyCode(code);
  return table;
}
// Made by the compiler: no guard to pass at each lookup.
constexpr DrawingCodeKinds kDrawingCodes = drawingCodeKinds();
}  // namespace

const ValueKind* const drawingCodeKinds = kDrawingCodes.kinds;

ValueKind kindOfOtherCode(int code) { return kindOfAnyCode(code); }

std::string storedBytes(const StoredItem& item) {
  std::string bytes(item.text.size(), '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i)
    bytes[i] = static_cast<char>(item.text[i]);
  return bytes;
}

void setStoredBytes(StoredItem& item, const std::string& bytes) {
  item.text.resize(bytes.size());
  for (std::size_t i = 0; i < bytes.size(); ++i)
    item.text[i] = static_cast<unsigned char>(bytes[i]);
}

resbuf* HostState::newItem(short code) { return resbufs.allocate(code); }

void HostState::freeItem(resbuf* item) { resbufs.release(item); }

void HostState::adsNameOf(const AcDbStub* stub, ads_name name) const {
  name[0] = stub != nullptr ? stub->drawing->serial : 0;
  name[1] = stub != nullptr ? static_cast<Adesk::Int64>(stub->handle) : 0;
}

const AcDbImpDatabase* HostState::closedDrawingOfAdsName(
    const ads_name name) const {
  for (const auto& drawing : drawings.closed)
    if (drawing->serial == name[0]) return drawing.get();
  return nullptr;
}

AcDbStub* HostState::stubOfAdsName(const ads_name name) const {
  for (const auto& drawing : drawings.open) {
    if (drawing->serial != name[0]) continue;
    AcDbStub* stub = drawing->findHandle(static_cast<Adesk::UInt64>(name[1]));
    return stub != nullptr && stub->object != nullptr ? stub : nullptr;
  }
  return nullptr;
}

resbuf* HostState::chainFromStored(const std::vector<StoredItem>& items,
                                   const AcDbImpDatabase*) {
  resbuf* head = nullptr;
  resbuf* tail = nullptr;
  for (const StoredItem& stored : items) {
    const ValueKind kind = kindOfCode(stored.code);
    resbuf* item = kind == ValueKind::String
                       ? newStringItem(stored.code, stored.text)
                       : newItem(stored.code);
    switch (kind) {
      case ValueKind::String:
        break;
      case ValueKind::Point:
        std::copy(stored.v, stored.v + 3, item->resval.rpoint);
        break;
      case ValueKind::Real:
        item->resval.rreal = stored.v[0];
        break;
      case ValueKind::Int16:
        item->resval.rint = static_cast<short>(stored.n);
        break;
      case ValueKind::Int32:
        item->resval.rlong = static_cast<Adesk::Int32>(stored.n);
        break;
      case ValueKind::Int64:
        item->resval.mnInt64 = stored.n;
        break;
      case ValueKind::Name:
        adsNameOf(stored.ref, item->resval.rlname);
        break;
      case ValueKind::Binary: {
        char* bytes = resbufs.giveBinary(item, stored.text.size());
        for (std::size_t i = 0; i < stored.text.size(); ++i)
          bytes[i] = static_cast<char>(stored.text[i]);
        break;
      }
      default:
        break;
    }
    if (tail == nullptr)
      head = item;
    else
      tail->rbnext = item;
    tail = item;
  }
  return head;
}

Acad::ErrorStatus HostState::storedFromItem(const resbuf& rb,
                                            StoredItem& stored) {
  stored.code = rb.restype;
  switch (kindOfCode(rb.restype)) {
    case ValueKind::String:
      if (rb.resval.rstring == nullptr) return Acad::eInvalidInput;
      stored.text = rb.resval.rstring;
      break;
    case ValueKind::Point:
      std::copy(rb.resval.rpoint, rb.resval.rpoint + 3, stored.v);
      break;
    case ValueKind::Real:
      stored.v[0] = rb.resval.rreal;
      break;
    case ValueKind::Int16:
      stored.n = rb.resval.rint;
      break;
    case ValueKind::Int32:
      stored.n = rb.resval.rlong;
      break;
    case ValueKind::Int64:
      stored.n = rb.resval.mnInt64;
      break;
    case ValueKind::Name:
      stored.ref = stubOfAdsName(rb.resval.rlname);
      if (stored.ref == nullptr) {
        const AcDbImpDatabase* closed =
            closedDrawingOfAdsName(rb.resval.rlname);
        if (closed == nullptr) return Acad::eInvalidAdsName;
        reportClosedUse("an entity name in a result buffer", *closed);
        return Acad::eDatabaseClosed;
      }
      break;
    case ValueKind::Binary: {
      const ads_binary& chunk = rb.resval.rbinary;
      if (chunk.clen < 0 ||
          static_cast<std::size_t>(chunk.clen) > dxf::kMaxBinaryChunk ||
          (chunk.clen > 0 && chunk.buf == nullptr))
        return Acad::eInvalidInput;
      stored.text.resize(static_cast<std::size_t>(chunk.clen));
      for (short i = 0; i < chunk.clen; ++i)
        stored.text[static_cast<std::size_t>(i)] =
            static_cast<unsigned char>(chunk.buf[i]);
      break;
    }
    case ValueKind::None:
      break;
    case ValueKind::Invalid:
      return Acad::eInvalidInput;
  }
  return Acad::eOk;
}

Acad::ErrorStatus HostState::storedFromChain(const resbuf* chain,
                                             std::vector<StoredItem>& out) {
  // Far past any chain a plug-in means to pass: a longer one loops.
  const std::size_t kLongest = std::size_t(1) << 20;
  out.clear();
  std::size_t length = 0;
  for (const resbuf* rb = chain; rb != nullptr && length < kLongest;
       rb = rb->rbnext)
    ++length;
  out.reserve(length);  // one allocation: the result is kept as it is
  for (const resbuf* rb = chain; rb != nullptr; rb = rb->rbnext) {
    if (out.size() >= kLongest) return Acad::eInvalidInput;
    out.emplace_back();
    const Acad::ErrorStatus es = storedFromItem(*rb, out.back());
    if (es != Acad::eOk) return es;
  }
  return Acad::eOk;
}

}  // namespace sim

using sim::HostState;
using sim::ValueKind;

resbuf* acutBuildList(int restype, ...) {
  const sim::HostCodeScope hostCode;
  HostState* state = sim::currentState();
  if (state == nullptr || state->fault(sim::Op::BuildList)) return nullptr;
  resbuf* head = nullptr;
  resbuf* tail = nullptr;
  std::string problem;
  va_list args;
  va_start(args, restype);
  for (int code = restype; code != RTNONE; code = va_arg(args, int)) {
    const ValueKind kind = sim::kindOfCode(code);
    if (kind == ValueKind::Invalid || code < -32768 || code > 32767) {
      problem = "unsupported group code " + std::to_string(code);
      break;
    }
    // A string item gets its text as it is made: one slot lookup, not two.
    const ACHAR* text =
        kind == ValueKind::String ? va_arg(args, const ACHAR*) : nullptr;
    resbuf* item = text != nullptr ? state->resbufs.allocate(
                                         static_cast<short>(code), text,
                                         std::char_traits<ACHAR>::length(text))
                                   : state->newItem(static_cast<short>(code));
    if (tail == nullptr)
      head = item;
    else
      tail->rbnext = item;
    tail = item;
    switch (kind) {
      case ValueKind::String:
        if (text == nullptr)
          problem = "null string for group code " + std::to_string(code);
        break;
      case ValueKind::Point: {
        const double* point = va_arg(args, const double*);
        if (point == nullptr) {
          problem = "null point for group code " + std::to_string(code);
          break;
        }
        std::copy(point, point + 3, item->resval.rpoint);
        break;
      }
      case ValueKind::Real:
        item->resval.rreal = va_arg(args, double);
        break;
      case ValueKind::Int16:
        item->resval.rint = static_cast<short>(va_arg(args, int));
        break;
      case ValueKind::Int32:
        item->resval.rlong = static_cast<Adesk::Int32>(va_arg(args, int));
        break;
      case ValueKind::Int64:
        item->resval.mnInt64 = va_arg(args, Adesk::Int64);
        break;
      case ValueKind::Name: {
        const Adesk::Int64* name = va_arg(args, const Adesk::Int64*);
        if (name == nullptr) {
          problem = "null entity name for group code " + std::to_string(code);
          break;
        }
        item->resval.rlname[0] = name[0];
        item->resval.rlname[1] = name[1];
        break;
      }
      case ValueKind::Binary: {
        const ads_binary* chunk = va_arg(args, const ads_binary*);
        if (chunk == nullptr || chunk->clen < 0 ||
            static_cast<std::size_t>(chunk->clen) > dxf::kMaxBinaryChunk ||
            (chunk->clen > 0 && chunk->buf == nullptr)) {
          problem = "bad binary chunk for group code " + std::to_string(code);
          break;
        }
        char* bytes = state->resbufs.giveBinary(
            item, static_cast<std::size_t>(chunk->clen));
        std::copy(chunk->buf, chunk->buf + chunk->clen, bytes);
        break;
      }
      default:
        break;
    }
    if (!problem.empty()) break;
  }
  va_end(args);
  if (!problem.empty()) {
    state->violation("acutBuildList: " + problem);
    while (head != nullptr) {
      resbuf* next = head->rbnext;
      state->freeItem(head);
      head = next;
    }
    return nullptr;
  }
  return head;
}

int acutRelRb(resbuf* chain) {
  const sim::HostCodeScope hostCode;
  HostState* state = sim::currentState();
  if (state == nullptr) return RTERROR;
  for (resbuf* item = chain; item != nullptr;) {
    // Checked before anything is read from it: it may be freed already.
    sim::ResbufPool::Returned returned;
    if (!state->resbufs.giveBack(item, returned)) {
      // Freeing memory the host never handed out corrupts a real heap.
      state->violation(
          "acutRelRb: an item the host did not hand out (or freed twice)");
      return RTERROR;
    }
    const ValueKind kind = sim::kindOfCode(returned.code);
    if (kind == ValueKind::String && returned.string != returned.given)
      state->violation(
          "acutRelRb: an item's string was replaced by memory the host did "
          "not allocate");
    if (kind == ValueKind::Binary &&
        returned.binary != reinterpret_cast<const char*>(returned.given))
      state->violation(
          "acutRelRb: an item's binary chunk was replaced by memory the host "
          "did not allocate");
    item = returned.next;
  }
  return RTNORM;
}

int acutPrintf(const ACHAR* format, ...) {
  const sim::HostCodeScope hostCode;
  HostState* state = sim::currentState();
  if (state == nullptr || format == nullptr) return 0;
  AcWString out;
  va_list args;
  va_start(args, format);
  for (const ACHAR* p = format; *p != 0; ++p) {
    if (*p != '%') {
      out += *p;
      continue;
    }
    const ACHAR spec = p[1];
    if (spec == '%') {
      out += '%';
      ++p;
    } else if (spec == 's') {
      const ACHAR* text = va_arg(args, const ACHAR*);
      out += text != nullptr ? AcWString(text) : AcWString(ACRX_T("(null)"));
      ++p;
    } else if (spec == 'd') {
      out += sim::toWide(std::to_string(va_arg(args, int)));
      ++p;
    } else {
      // Consuming an argument for an unknown conversion would misread the
      // rest; print it as written and say so.
      state->violation("acutPrintf: unsupported conversion in format \"" +
                       sim::toUtf8(format) + "\"");
      out += '%';
    }
  }
  va_end(args);
  state->print(sim::toUtf8(out));
  return static_cast<int>(out.size());
}
