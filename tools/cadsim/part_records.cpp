#include "tools/cadsim/part_records.h"

namespace cadsim {

namespace {
// Where the module keeps its part records in the named-objects dictionary.
const char kPartDictionaryKey[] = "PVNR_HANDLE";
}  // namespace

PartDictionary readPartDictionary(const sim::Host& host,
                                  const std::string& drawingName) {
  PartDictionary parts;
  const AcDbObjectId dictionary = host.dictionaryAt(
      host.namedObjectsDictionary(drawingName), kPartDictionaryKey);
  sim::ObjectInfo info;
  if (!host.objectInfo(dictionary, info) || info.type != "DICTIONARY")
    return parts;
  parts.present = true;
  for (const sim::DictionaryEntry& entry : host.dictionaryEntries(dictionary))
    parts.records.push_back({entry.key, host.xrecordItems(entry.id)});
  return parts;
}

}  // namespace cadsim
