// The JSON of `dump`: keys in a fixed order, values typed as the host keeps
// them, so that scripts outside this repository can read it without
// guessing.
#include "tools/cadsim/json_dump.h"

#include <nlohmann/json.hpp>

#include "tools/cadsim/part_records.h"

namespace cadsim {

namespace {

using Json = nlohmann::ordered_json;

Json itemJson(const sim::Item& item) {
  Json value;
  if (const std::string* text = std::get_if<std::string>(&item.value)) {
    value = *text;
  } else if (const long* integer = std::get_if<long>(&item.value)) {
    value = *integer;
  } else if (const double* real = std::get_if<double>(&item.value)) {
    value = *real;
  } else if (const sim::Point* point = std::get_if<sim::Point>(&item.value)) {
    value = Json::array({point->x, point->y, point->z});
  }
  return Json::array({item.code, value});
}

Json itemsJson(const sim::Items& items) {
  Json list = Json::array();
  for (const sim::Item& item : items) list.push_back(itemJson(item));
  return list;
}

Json stringList(const std::vector<std::string>& texts) {
  Json list = Json::array();
  for (const std::string& text : texts) list.push_back(text);
  return list;
}

Json drawingJson(const sim::DrawingInfo& drawing, const PartDictionary& parts,
                 const LabelTable& labels) {
  Json objects = Json::array();
  for (const sim::ObjectInfo& object : drawing.objects) {
    Json xdata = Json::array();
    for (const sim::XdataBlock& block : object.xdata) {
      Json entry = Json::object();
      entry["app"] = block.app;
      entry["items"] = itemsJson(block.items);
      xdata.push_back(std::move(entry));
    }
    const std::string label = labels.labelOf(object.id);
    Json entry = Json::object();
    entry["label"] = label.empty() ? "#" + object.handle : label;
    entry["handle"] = object.handle;
    entry["type"] = object.type;
    entry["erased"] = object.erased;
    entry["xdata"] = std::move(xdata);
    objects.push_back(std::move(entry));
  }
  Json named = Json::object();
  for (const auto& entry : drawing.namedObjects)
    named[entry.first] = entry.second;
  Json records = nullptr;
  if (parts.present) {
    records = Json::object();
    for (const PartRecord& record : parts.records)
      records[record.tag] = itemsJson(record.items);
  }
  Json result = Json::object();
  result["name"] = drawing.name;
  result["current"] = drawing.current;
  result["regapps"] = stringList(drawing.regapps);
  result["objects"] = std::move(objects);
  result["namedObjects"] = std::move(named);
  result["partRecords"] = std::move(records);
  return result;
}

}  // namespace

std::string dumpJson(const sim::Host& host, const LabelTable& labels) {
  Json drawings = Json::array();
  for (const sim::DrawingInfo& drawing : host.drawings())
    drawings.push_back(
        drawingJson(drawing, readPartDictionary(host, drawing.name), labels));
  Json module = Json::object();
  module["loaded"] = host.moduleLoaded();
  module["commands"] = stringList(host.commandNames());
  module["editorReactors"] = host.editorReactorCount();
  module["databaseReactors"] = host.databaseReactorCount();
  Json result = Json::object();
  result["drawings"] = std::move(drawings);
  result["commandLine"] = stringList(host.commandLine());
  result["module"] = std::move(module);
  result["violations"] = stringList(host.violations());
  // Which program wrote the dump, for whoever keeps it beside others.
  result["generator"] =
      Json{{"program", "cadsim"}, {"version", PLIVET_VERSION}};
  // Replace rather than throw on text that is not UTF-8: a dump must always
  // come out, whatever a plug-in wrote.
  return result.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace cadsim
