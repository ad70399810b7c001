#include "tools/parts/parts_report.h"

#include <nlohmann/json.hpp>

namespace parts {

namespace {

std::string counted(std::size_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

std::string handleOrNone(const Finding& finding) {
  return finding.hasHandle ? finding.handle : std::string("(no handle)");
}

// What each kind means, so the report can be read without a manual.
std::string describe(const Finding& finding) {
  const std::string& tag = finding.tag;
  const std::string handle = handleOrNone(finding);
  if (finding.kind == "record-malformed")
    return finding.hasTag ? "the record " + tag + " (" + handle +
                                ") is not an xrecord of \"{MORVAT_PART\", "
                                "330 handles, \"}\""
                          : "PVNR_HANDLE (" + handle + ") is not a dictionary";
  if (finding.kind == "tag-not-registered")
    return finding.hasHandle
               ? tag + " is used by " + handle + " but not in the APPID table"
               : "the record key " + tag + " is not in the APPID table";
  // A saved drawing keeps no erased object: a pointer to one is written 0.
  if (finding.kind == "record-member-missing")
    return "the record " + tag + " lists " +
           (handle == "0" ? "a null handle" : handle) +
           ", which no object has (erased or exploded since)";
  if (finding.kind == "record-member-untagged")
    return "the record " + tag + " lists " + handle + ", which is not in " +
           tag;
  if (finding.kind == "member-not-recorded")
    return handle + " is in " + tag +
           " but not in its record (copied since, or left in its source's "
           "part)";
  return handle + " carries more than one \"$\" application; " + tag +
         " counts";
}

}  // namespace

std::string humanReport(const std::string& file, const Audit& audit) {
  std::size_t errors = 0;
  for (const Finding& finding : audit.findings)
    if (finding.severity == Severity::Error) ++errors;
  std::string out = file + ": " + counted(audit.parts.size(), "part", "parts") +
                    ", " + counted(errors, "error", "errors") + ", " +
                    counted(audit.findings.size() - errors, "note", "notes") +
                    "\n";
  for (const Part& part : audit.parts) {
    out += "part " + part.tag + ": " +
           counted(part.members.size(), "member", "members") + ", ";
    if (part.hasRecord)
      out += "a record of " + counted(part.record.size(), "handle", "handles");
    else
      out += part.recordMalformed ? "a malformed record" : "no record";
    out += "\n";
  }
  for (const Finding& finding : audit.findings)
    out +=
        std::string(finding.severity == Severity::Error ? "error " : "note ") +
        finding.kind + ": " + describe(finding) + "\n";
  return out;
}

std::string jsonReport(const std::string& file, const Audit& audit) {
  using Json = nlohmann::ordered_json;
  Json parts = Json::array();
  for (const Part& part : audit.parts)
    parts.push_back(
        Json{{"tag", part.tag},
             {"members", part.members},
             {"record", part.hasRecord ? Json(part.record) : Json(nullptr)}});
  Json findings = Json::array();
  for (const Finding& finding : audit.findings)
    findings.push_back(Json{
        {"severity", finding.severity == Severity::Error ? "error" : "note"},
        {"kind", finding.kind},
        {"tag", finding.hasTag ? Json(finding.tag) : Json(nullptr)},
        {"handle", finding.hasHandle ? Json(finding.handle) : Json(nullptr)}});
  Json report{{"file", file},
              {"parts", parts},
              {"findings", findings},
              {"generator",
               {{"program", "plivet-parts"}, {"version", PLIVET_VERSION}}}};
  return report.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
}

}  // namespace parts
