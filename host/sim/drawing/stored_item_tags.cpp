#include "host/sim/drawing/stored_item_tags.h"

#include <string>

#include "dxf/dxf_document.h"
#include "dxf/dxf_tag_writer.h"
#include "host/sim/object_stubs.h"

namespace sim {
namespace dxfio {

namespace {

bool decode(const dxf::Tag& tag, dxf::TextEncoding encoding, AcWString& text,
            text::Error& error) {
  if (dxf::decodeText(tag.value, encoding, text)) return true;
  error.line = tag.line + 1;
  error.message = "text of group code " + std::to_string(tag.code) +
                  " is not in the drawing's code page";
  return false;
}

const dxf::Tag* readPoint(const dxf::Tag* at, const dxf::Tag* end,
                          StoredItem& item, text::Error& error) {
  dxf::parseReal(at->value, item.v[0]);
  const dxf::Tag* next = at + 1;
  if (next == end || next->code != at->code + 10) {
    error.line = at->line;
    error.message = "point " + std::to_string(at->code) + " without its " +
                    std::to_string(at->code + 10);
    return nullptr;
  }
  dxf::parseReal(next->value, item.v[1]);
  ++next;
  if (next != end && next->code == at->code + 20) {
    dxf::parseReal(next->value, item.v[2]);
    ++next;
  }
  return next;
}

// One item from the tag at AT (a point also takes its Y and Z tags): the
// tag after it, or null with the error. Pointers are resolved by RESOLVE.
const dxf::Tag* readItem(const dxf::Tag* at, const dxf::Tag* end,
                         dxf::TextEncoding encoding,
                         const HandleResolver* resolve, StoredItem& item,
                         text::Error& error) {
  item.code = static_cast<short>(at->code);
  switch (dxf::codeKindOf(at->code)) {
    case dxf::CodeKind::Text:
    case dxf::CodeKind::Handle:
      if (!decode(*at, encoding, item.text, error)) return nullptr;
      break;
    case dxf::CodeKind::Point:
      return readPoint(at, end, item, error);
    case dxf::CodeKind::Real:
      dxf::parseReal(at->value, item.v[0]);
      break;
    case dxf::CodeKind::Int16:
    case dxf::CodeKind::Int32:
    case dxf::CodeKind::Int64: {
      std::int64_t n = 0;
      dxf::parseInteger(at->value, n);
      item.n = n;
      break;
    }
    case dxf::CodeKind::Pointer: {
      std::uint64_t handle = 0;
      dxf::parseHandle(at->value, handle);
      item.ref =
          handle != 0 && resolve != nullptr ? (*resolve)(handle) : nullptr;
      break;
    }
    case dxf::CodeKind::Binary: {
      std::string bytes;
      if (!dxf::parseBinary(at->value, bytes) ||
          bytes.size() > dxf::kMaxBinaryChunk) {
        error.line = at->line + 1;
        error.message = "group code " + std::to_string(at->code) +
                        " needs at most " +
                        std::to_string(dxf::kMaxBinaryChunk) +
                        " bytes as pairs of hexadecimal digits, not \"" +
                        at->value.substr(0, 40) + "\"";
        return nullptr;
      }
      setStoredBytes(item, bytes);
      break;
    }
    case dxf::CodeKind::Unassigned:
      error.line = at->line;
      error.message = "group code " + std::to_string(at->code) +
                      " is not one this host holds";
      return nullptr;
  }
  return at + 1;
}

dxf::Tag tag(int code, std::string value) {
  return dxf::makeTag(code, std::move(value));
}

void appendItem(const StoredItem& item, dxf::TextEncoding encoding,
                std::vector<dxf::Tag>& tags) {
  switch (dxf::codeKindOf(item.code)) {
    case dxf::CodeKind::Point:
      tags.push_back(tag(item.code, dxf::formatReal(item.v[0])));
      tags.push_back(tag(item.code + 10, dxf::formatReal(item.v[1])));
      tags.push_back(tag(item.code + 20, dxf::formatReal(item.v[2])));
      break;
    case dxf::CodeKind::Real:
      tags.push_back(tag(item.code, dxf::formatReal(item.v[0])));
      break;
    case dxf::CodeKind::Int16:
    case dxf::CodeKind::Int32:
    case dxf::CodeKind::Int64:
      tags.push_back(tag(item.code, std::to_string(item.n)));
      break;
    case dxf::CodeKind::Pointer:
      tags.push_back(
          tag(item.code,
              dxf::handleText(item.ref != nullptr ? item.ref->handle : 0)));
      break;
    case dxf::CodeKind::Binary:
      tags.push_back(tag(item.code, dxf::binaryText(storedBytes(item))));
      break;
    case dxf::CodeKind::Text:
    case dxf::CodeKind::Handle:
    case dxf::CodeKind::Unassigned:
      tags.push_back(tag(item.code, dxf::encodeText(item.text, encoding)));
      break;
  }
}

}  // namespace

bool xdataItemsFromTags(const dxf::Tag* begin, const dxf::Tag* end,
                        dxf::TextEncoding encoding,
                        std::vector<StoredItem>& items, text::Error& error) {
  items.clear();
  for (const dxf::Tag* at = begin; at != end;) {
    if (!dxf::isXdataCode(at->code)) {
      error.line = at->line;
      error.message = "extended data group code " + std::to_string(at->code) +
                      " is not one this host holds (it holds " +
                      dxf::kXdataCodesText + ")";
      return false;
    }
    items.emplace_back();
    at = readItem(at, end, encoding, nullptr, items.back(), error);
    if (at == nullptr) return false;
  }
  return true;
}

void appendXdataTags(const std::vector<StoredItem>& items,
                     dxf::TextEncoding encoding, std::vector<dxf::Tag>& tags) {
  for (const StoredItem& item : items) appendItem(item, encoding, tags);
}

bool recordItemsFromTags(const dxf::Tag* begin, const dxf::Tag* end,
                         dxf::TextEncoding encoding,
                         const HandleResolver& resolve,
                         std::vector<StoredItem>& items, text::Error& error) {
  items.clear();
  for (const dxf::Tag* at = begin; at != end;) {
    items.emplace_back();
    at = readItem(at, end, encoding, &resolve, items.back(), error);
    if (at == nullptr) return false;
  }
  return true;
}

void appendRecordTags(const std::vector<StoredItem>& items,
                      dxf::TextEncoding encoding, std::vector<dxf::Tag>& tags) {
  for (const StoredItem& item : items) appendItem(item, encoding, tags);
}

bool sameItems(const std::vector<StoredItem>& a,
               const std::vector<StoredItem>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const StoredItem& x = a[i];
    const StoredItem& y = b[i];
    if (x.code != y.code || x.text != y.text || x.n != y.n || x.ref != y.ref ||
        x.v[0] != y.v[0] || x.v[1] != y.v[1] || x.v[2] != y.v[2])
      return false;
  }
  return true;
}

}  // namespace dxfio
}  // namespace sim
