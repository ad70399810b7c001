// Xdata: reading it as a new chain, replacing blocks all or nothing.
#include "host/sim/api/xdata_rules.h"
#include "host/sim/host_state.h"

namespace sim {
namespace {

bool isHexHandle(const AcWString& text) {
  if (text.empty() || text.size() > 16) return false;
  for (ACHAR c : text)
    if (text::hexDigitValue(c) < 0) return false;
  return true;
}

std::size_t itemSize(const StoredItem& item) {
  const std::size_t code = 2;
  if (item.code == 1002) return code + 1;
  switch (kindOfCode(item.code)) {
    case ValueKind::Point:
      return code + 24;
    case ValueKind::Real:
      return code + 8;
    case ValueKind::Int16:
      return code + 2;
    case ValueKind::Int32:
      return code + 4;
    case ValueKind::Binary:
      return code + 1 + item.text.size();
    default:
      return code + 2 + 2 * item.text.size();
  }
}

}  // namespace

std::size_t blockSize(const XdataEntry& block) {
  std::size_t total = 2 + 2;  // the 1001 item: code and application reference
  for (const StoredItem& item : block.items) total += itemSize(item);
  return total;
}

std::size_t xdataSize(const std::vector<XdataEntry>& blocks) {
  std::size_t total = 0;
  for (const XdataEntry& block : blocks) total += blockSize(block);
  return total;
}

Acad::ErrorStatus checkBlockItems(const std::vector<StoredItem>& items) {
  int depth = 0;
  for (const StoredItem& item : items) {
    if (!isXdataDataCode(item.code)) return Acad::eInvalidInput;
    switch (item.code) {
      case 1002:
        if (item.text == ACRX_T("{")) {
          ++depth;
        } else if (item.text == ACRX_T("}")) {
          if (--depth < 0) return Acad::eInvalidInput;
        } else {
          return Acad::eInvalidInput;
        }
        break;
      case 1005:
        if (!isHexHandle(item.text)) return Acad::eInvalidInput;
        break;
      case 1000:
      case 1003:
        if (item.text.size() > kLongestXdataText) return Acad::eInvalidInput;
        break;
      case 1004:
        if (item.text.size() > dxf::kMaxBinaryChunk) return Acad::eInvalidInput;
        break;
      case 1070:
        if (item.n < -32768 || item.n > 32767) return Acad::eInvalidInput;
        break;
      case 1071:
        if (item.n < INT32_MIN || item.n > INT32_MAX)
          return Acad::eInvalidInput;
        break;
      default:
        break;
    }
  }
  return depth == 0 ? Acad::eOk : Acad::eInvalidInput;
}

Acad::ErrorStatus mergeXdata(std::vector<XdataEntry>& blocks,
                             std::vector<XdataEntry>&& updates) {
  // The size of the result is worked out first on the blocks' sizes alone,
  // so that no block is copied and a refused update leaves the object as it
  // was; then the updates are applied in place.
  struct Sized {
    std::size_t app;
    std::size_t size;
  };
  // Objects carry a handful of blocks; more only spill to the heap.
  Sized local[16];
  std::vector<Sized> spilled;
  Sized* sized = local;
  const std::size_t most = blocks.size() + updates.size();
  if (most > sizeof local / sizeof local[0]) {
    spilled.resize(most);
    sized = spilled.data();
  }
  std::size_t count = 0;
  for (const XdataEntry& block : blocks)
    sized[count++] = Sized{block.app, blockSize(block)};
  for (const XdataEntry& update : updates) {
    std::size_t k = 0;
    while (k < count && sized[k].app != update.app) ++k;
    if (update.items.empty()) {
      if (k < count) std::copy(sized + k + 1, sized + count--, sized + k);
    } else if (k < count) {
      sized[k].size = blockSize(update);
    } else {
      sized[count++] = Sized{update.app, blockSize(update)};
    }
  }
  std::size_t total = 0;
  for (std::size_t k = 0; k < count; ++k) total += sized[k].size;
  if (total > kXdataLimit) return Acad::eXdataSizeExceeded;

  for (XdataEntry& update : updates) {
    auto it = blocks.begin();
    while (it != blocks.end() && it->app != update.app) ++it;
    if (update.items.empty()) {
      if (it != blocks.end()) blocks.erase(it);
    } else if (it != blocks.end()) {
      it->items.swap(update.items);
    } else {
      blocks.push_back(std::move(update));
    }
  }
  return Acad::eOk;
}

}  // namespace sim

using sim::HostState;

resbuf* AcDbObject::xData(const ACHAR* regappName) const {
  const sim::HostCodeScope hostCode;
  HostState* state = sim::currentState();
  const AcDbImpObject& imp = *impObject_;
  if (state == nullptr || state->fault(sim::Op::XData, imp.stub))
    return nullptr;
  if (!imp.readEnabled()) {
    state->violation("xData on object " + imp.describe() + " that is not open");
    return nullptr;
  }
  if (imp.stub == nullptr || imp.xdata().empty()) return nullptr;
  const AcDbImpDatabase& drawing = *imp.stub->drawing;
  long wanted = -1;
  if (regappName != nullptr) {
    wanted = drawing.findRegapp(regappName);
    if (wanted < 0) return nullptr;
  }
  resbuf* head = nullptr;
  resbuf* tail = nullptr;
  for (const sim::XdataEntry& block : imp.xdata()) {
    if (wanted >= 0 && block.app != static_cast<std::size_t>(wanted)) continue;
    resbuf* name = state->newStringItem(1001, drawing.regapps[block.app]);
    name->rbnext = state->chainFromStored(block.items, &drawing);
    if (tail == nullptr)
      head = name;
    else
      tail->rbnext = name;
    tail = name;
    while (tail->rbnext != nullptr) tail = tail->rbnext;
  }
  return head;
}

Acad::ErrorStatus AcDbObject::setXData(const resbuf* xdata) {
  const sim::HostCodeScope hostCode;
  HostState* state = sim::currentState();
  AcDbImpObject& imp = *impObject_;
  if (state == nullptr) return Acad::eNoDatabase;
  if (state->fault(sim::Op::SetXData, imp.stub)) return Acad::eOutOfMemory;
  if (!imp.writeEnabled()) {
    state->violation("setXData on object " + imp.describe() +
                     " without a write open");
    return Acad::eNotOpenForWrite;
  }
  // Application names live in a drawing's table, so a new object has none.
  if (imp.stub == nullptr) return Acad::eNoDatabase;
  if (xdata == nullptr) return Acad::eInvalidInput;
  AcDbImpDatabase& drawing = *imp.stub->drawing;

  // Kept by the host between calls, so that an update costs no list of its
  // own; no call can come back in here while it is in use.
  std::vector<sim::XdataEntry>& updates = state->xdataUpdates;
  updates.clear();
  std::size_t count = 0;
  for (const resbuf* rb = xdata; rb != nullptr; rb = rb->rbnext) {
    // No valid chain is this long (the size limit comes first); a longer one
    // is a loop or garbage.
    if (++count > sim::kXdataLimit) return Acad::eXdataSizeExceeded;
    if (rb->restype == 1001) {
      if (rb->resval.rstring == nullptr) return Acad::eInvalidInput;
      const long app = drawing.findRegapp(rb->resval.rstring);
      if (app < 0) return Acad::eRegappIdNotFound;
      updates.push_back(sim::XdataEntry{static_cast<std::size_t>(app), {}});
      continue;
    }
    if (updates.empty() || !sim::isXdataDataCode(rb->restype))
      return Acad::eInvalidInput;
    std::vector<sim::StoredItem>& items = updates.back().items;
    if (items.empty()) {
      // The block's items in one allocation of just their number: the
      // object keeps this storage.
      std::size_t length = 0;
      for (const resbuf* next = rb; next != nullptr && next->restype != 1001 &&
                                    length < sim::kXdataLimit;
           next = next->rbnext)
        ++length;
      items.reserve(length);
    }
    items.emplace_back();
    const Acad::ErrorStatus es = state->storedFromItem(*rb, items.back());
    if (es != Acad::eOk) return es;
  }
  for (const sim::XdataEntry& update : updates) {
    const Acad::ErrorStatus es = sim::checkBlockItems(update.items);
    if (es != Acad::eOk) return es;
  }
  return sim::mergeXdata(imp.editXdata(), std::move(updates));
}
