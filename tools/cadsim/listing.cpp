// Human listing of a drawing: short lines a person can scan, with xdata in
// the same CODE:VALUE form a script writes it.
#include "tools/cadsim/listing.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <sstream>

namespace cadsim {

namespace {

// Written so that the reader's rule gives TEXT back: a quote becomes \",
// and backslashes are doubled only where a quote follows them (one inside
// TEXT, or the closing one).
std::string quoted(const std::string& text) {
  std::string result = "\"";
  std::size_t backslashes = 0;
  for (char c : text) {
    if (c == '"') {
      result.append(backslashes + 1, '\\');
    }
    backslashes = c == '\\' ? backslashes + 1 : 0;
    result += c;
  }
  result.append(backslashes, '\\');
  return result + "\"";
}

// The shortest decimal text that reads back as the same double.
std::string formatReal(double value) {
  char buffer[40];
  for (int precision = 15; precision <= 17; ++precision) {
    std::snprintf(buffer, sizeof buffer, "%.*g", precision, value);
    if (std::strtod(buffer, nullptr) == value) break;
  }
  return buffer;
}

// TEXT and the blanks that bring it to WIDTH, plus two between columns.
std::string padded(const std::string& text, std::size_t width) {
  return text +
         std::string(text.size() < width ? width - text.size() + 2 : 2, ' ');
}

void writeXdata(const sim::ObjectInfo& object, const std::string& indent,
                std::ostream& out) {
  for (const sim::XdataBlock& block : object.xdata) {
    out << indent << block.app;
    for (const sim::Item& item : block.items) out << ' ' << formatItem(item);
    out << '\n';
  }
}

// The unlabelled objects OWNER owns, each with its xdata and what it owns
// in turn, one step further in.
void writeOwned(
    const sim::Host& host, const sim::ObjectInfo& owner,
    const std::map<AcDbObjectId, std::vector<const sim::ObjectInfo*>>& owned,
    const std::string& indent, std::ostream& out) {
  const auto found = owned.find(owner.id);
  if (found == owned.end()) return;
  std::vector<sim::DictionaryEntry> entries;
  if (owner.type == "DICTIONARY") entries = host.dictionaryEntries(owner.id);
  for (const sim::ObjectInfo* object : found->second) {
    std::string line = indent + "#" + object->handle + "  " + object->type;
    if (object->id == owner.extensionDictionary) {
      line += " (extension dictionary)";
    } else {
      for (const sim::DictionaryEntry& entry : entries)
        if (entry.id == object->id) line += " " + quoted(entry.key);
    }
    if (object->erased) line += " erased";
    out << line << '\n';
    writeXdata(*object, indent + "  ", out);
    writeOwned(host, *object, owned, indent + "  ", out);
  }
}

}  // namespace

std::string formatItem(const sim::Item& item) {
  std::string value;
  if (const std::string* text = std::get_if<std::string>(&item.value)) {
    const bool bare = item.code == 1002 || item.code == 1004 ||
                      item.code == 1005 || item.code == 330;
    value = bare ? *text : quoted(*text);
  } else if (const long* integer = std::get_if<long>(&item.value)) {
    value = std::to_string(*integer);
  } else if (const double* real = std::get_if<double>(&item.value)) {
    value = formatReal(*real);
  } else if (const sim::Point* point = std::get_if<sim::Point>(&item.value)) {
    value = formatReal(point->x) + "," + formatReal(point->y) + "," +
            formatReal(point->z);
  }
  return std::to_string(item.code) + ":" + value;
}

void writeListing(const sim::Host& host, const sim::DrawingInfo& drawing,
                  const PartDictionary& parts, const LabelTable& labels,
                  std::ostream& out) {
  std::map<std::string, std::string> labelByHandle;
  for (const sim::ObjectInfo& object : drawing.objects) {
    const std::string label = labels.labelOf(object.id);
    labelByHandle[object.handle] = label.empty() ? "#" + object.handle : label;
  }

  out << "drawing " << drawing.name << (drawing.current ? " (current)" : "")
      << '\n';
  out << "  applications:";
  if (drawing.regapps.empty()) out << " (none)";
  for (const std::string& app : drawing.regapps) out << ' ' << app;
  out << '\n';

  // Unlabelled dictionaries and xrecords are the drawing's own bookkeeping
  // (and the module's records), listed under the object that owns them; the
  // named objects and part records have their own sections below.
  std::vector<const sim::ObjectInfo*> shown;
  std::map<AcDbObjectId, std::vector<const sim::ObjectInfo*>> owned;
  for (const sim::ObjectInfo& object : drawing.objects) {
    const bool bookkeeping =
        labels.labelOf(object.id).empty() &&
        (object.type == "DICTIONARY" || object.type == "XRECORD");
    if (!bookkeeping)
      shown.push_back(&object);
    else if (!object.ownerId.isNull())
      owned[object.ownerId].push_back(&object);
  }
  std::size_t labelWidth = 0, handleWidth = 0, typeWidth = 0;
  for (const sim::ObjectInfo* object : shown) {
    labelWidth = std::max(labelWidth, labelByHandle[object->handle].size());
    handleWidth = std::max(handleWidth, object->handle.size());
    typeWidth = std::max(typeWidth, object->type.size());
  }
  out << "  objects:" << (shown.empty() ? " (none)" : "") << '\n';
  for (const sim::ObjectInfo* object : shown) {
    std::string line = "    " +
                       padded(labelByHandle[object->handle], labelWidth) +
                       padded(object->handle, handleWidth) + object->type;
    if (object->type == "POLYLINE")
      line += " (" + std::to_string(object->pieces) + " pieces)";
    if (object->erased) line += " erased";
    out << line << '\n';
    writeXdata(*object, "      ", out);
    writeOwned(host, *object, owned, "      ", out);
  }

  out << "  named objects:";
  if (drawing.namedObjects.empty()) out << " (none)";
  for (std::size_t i = 0; i < drawing.namedObjects.size(); ++i)
    out << (i ? ", " : " ") << drawing.namedObjects[i].first << " ("
        << drawing.namedObjects[i].second << ')';
  out << '\n';

  if (!parts.present) {
    out << "  part records: (no part dictionary)\n";
    return;
  }
  out << "  part records:" << (parts.records.empty() ? " (none)" : "") << '\n';
  for (const PartRecord& record : parts.records) {
    // The module's layout: {MORVAT_PART, one 330 per member, }. Anything
    // else is written item by item so that nothing is hidden.
    const sim::Items& items = record.items;
    bool usual =
        items.size() >= 2 && items.front().code == 102 &&
        items.back().code == 102 &&
        items.front().value == sim::Value(std::string("{MORVAT_PART")) &&
        items.back().value == sim::Value(std::string("}"));
    for (std::size_t i = 1; usual && i + 1 < items.size(); ++i)
      usual = items[i].code == 330 &&
              std::holds_alternative<std::string>(items[i].value);
    out << "    " << record.tag;
    if (usual) {
      if (items.size() == 2) out << " (no members)";
      for (std::size_t i = 1; i + 1 < items.size(); ++i) {
        const std::string& handle = std::get<std::string>(items[i].value);
        const auto found = labelByHandle.find(handle);
        out << ' '
            << (found == labelByHandle.end() ? "#" + handle : found->second);
      }
    } else {
      for (const sim::Item& item : items) out << ' ' << formatItem(item);
    }
    out << '\n';
  }
}

}  // namespace cadsim
