#include "stored_item_tags.h"

#include <string>

#include "dxf_document.h"
#include "dxf_tag_writer.h"

namespace sim {
namespace dxfio {

namespace {

bool decode(const dxf::Tag& tag, dxf::TextEncoding encoding, AcWString& text,
            dxf::Error& error) {
  if (dxf::decodeText(tag.value, encoding, text)) return true;
  error.line = tag.line + 1;
  error.message = "text of group code " + std::to_string(tag.code) +
                  " is not in the drawing's code page";
  return false;
}

// A point starts at a code whose second and third coordinates sit 10 and 20
// codes above it; the Y must follow, the Z may be missing (a 2D point).
bool startsPoint(int code) {
  return (code >= 10 && code <= 18) || (code >= 110 && code <= 118) ||
         code == 210 || (code >= 1010 && code <= 1013);
}

const dxf::Tag* readPoint(const dxf::Tag* at, const dxf::Tag* end,
                          StoredItem& item, dxf::Error& error) {
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

dxf::Tag tag(int code, std::string value) {
  return dxf::makeTag(code, std::move(value));
}

void appendPoint(int code, const double v[3], std::vector<dxf::Tag>& tags) {
  tags.push_back(tag(code, dxf::formatReal(v[0])));
  tags.push_back(tag(code + 10, dxf::formatReal(v[1])));
  tags.push_back(tag(code + 20, dxf::formatReal(v[2])));
}

}  // namespace

bool xdataItemsFromTags(const dxf::Tag* begin, const dxf::Tag* end,
                        dxf::TextEncoding encoding,
                        std::vector<StoredItem>& items, dxf::Error& error) {
  items.clear();
  for (const dxf::Tag* at = begin; at != end;) {
    if (at->code == 999) {
      ++at;
      continue;
    }
    StoredItem item;
    item.code = static_cast<short>(at->code);
    switch (at->code) {
      case 1000:
      case 1002:
      case 1003:
      case 1005:
        if (!decode(*at, encoding, item.text, error)) return false;
        ++at;
        break;
      case 1010:
        at = readPoint(at, end, item, error);
        if (at == nullptr) return false;
        break;
      case 1040:
        dxf::parseReal(at->value, item.v[0]);
        ++at;
        break;
      case 1070:
      case 1071: {
        std::int64_t n = 0;
        dxf::parseInteger(at->value, n);
        item.n = n;
        ++at;
        break;
      }
      default:
        error.line = at->line;
        error.message = "extended data group code " + std::to_string(at->code) +
                        " is not one this host holds (it holds 1000, "
                        "1002, 1003, 1005, 1010, 1040, 1070 and 1071)";
        return false;
    }
    items.push_back(std::move(item));
  }
  return true;
}

void appendXdataTags(const std::vector<StoredItem>& items,
                     dxf::TextEncoding encoding, std::vector<dxf::Tag>& tags) {
  for (const StoredItem& item : items) {
    switch (item.code) {
      case 1010:
        appendPoint(1010, item.v, tags);
        break;
      case 1040:
        tags.push_back(tag(1040, dxf::formatReal(item.v[0])));
        break;
      case 1070:
      case 1071:
        tags.push_back(tag(item.code, std::to_string(item.n)));
        break;
      default:
        tags.push_back(tag(item.code, dxf::encodeText(item.text, encoding)));
    }
  }
}

bool recordItemsFromTags(const dxf::Tag* begin, const dxf::Tag* end,
                         dxf::TextEncoding encoding,
                         const HandleResolver& resolve,
                         std::vector<StoredItem>& items, dxf::Error& error) {
  items.clear();
  for (const dxf::Tag* at = begin; at != end;) {
    StoredItem item;
    item.code = static_cast<short>(at->code);
    ValueKind kind = at->code == 5 ? ValueKind::String : kindOfCode(at->code);
    switch (kind) {
      case ValueKind::String:
        if (!decode(*at, encoding, item.text, error)) return false;
        ++at;
        break;
      case ValueKind::Point:
        if (startsPoint(at->code)) {
          at = readPoint(at, end, item, error);
          if (at == nullptr) return false;
        } else {
          dxf::parseReal(at->value, item.v[0]);
          ++at;
        }
        break;
      case ValueKind::Real:
        dxf::parseReal(at->value, item.v[0]);
        ++at;
        break;
      case ValueKind::Int16:
      case ValueKind::Int32:
      case ValueKind::Int64: {
        std::int64_t n = 0;
        dxf::parseInteger(at->value, n);
        item.n = n;
        ++at;
        break;
      }
      case ValueKind::Name: {
        std::uint64_t handle = 0;
        dxf::parseHandle(at->value, handle);
        item.ref = handle != 0 ? resolve(handle) : nullptr;
        ++at;
        break;
      }
      default:
        error.line = at->line;
        error.message = "group code " + std::to_string(at->code) +
                        " is not one this host holds in an xrecord";
        return false;
    }
    items.push_back(std::move(item));
  }
  return true;
}

void appendRecordTags(const std::vector<StoredItem>& items,
                      dxf::TextEncoding encoding, std::vector<dxf::Tag>& tags) {
  for (const StoredItem& item : items) {
    ValueKind kind = item.code == 5 ? ValueKind::String : kindOfCode(item.code);
    switch (kind) {
      case ValueKind::Point:
        if (startsPoint(item.code))
          appendPoint(item.code, item.v, tags);
        else
          tags.push_back(tag(item.code, dxf::formatReal(item.v[0])));
        break;
      case ValueKind::Real:
        tags.push_back(tag(item.code, dxf::formatReal(item.v[0])));
        break;
      case ValueKind::Int16:
      case ValueKind::Int32:
      case ValueKind::Int64:
        tags.push_back(tag(item.code, std::to_string(item.n)));
        break;
      case ValueKind::Name:
        tags.push_back(
            tag(item.code,
                dxf::handleText(item.ref != nullptr ? item.ref->handle : 0)));
        break;
      default:
        tags.push_back(tag(item.code, dxf::encodeText(item.text, encoding)));
    }
  }
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
