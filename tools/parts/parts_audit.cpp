#include "tools/parts/parts_audit.h"

#include <unordered_map>
#include <unordered_set>

#include "text/ascii_case.h"

namespace parts {

namespace {

bool isTag(const std::string& app) { return !app.empty() && app[0] == '$'; }

// Application names and dictionary keys, as the host compares them: `$ab`
// in the APPID table, `$AB` in xdata and a record `$ab` are one part.
std::string folded(const std::string& name) { return text::upperAscii(name); }

Finding finding(Severity severity, const char* kind, const std::string* tag,
                const std::string* handle) {
  Finding made;
  made.severity = severity;
  made.kind = kind;
  if (tag != nullptr) {
    made.hasTag = true;
    made.tag = *tag;
  }
  if (handle != nullptr && !handle->empty()) {
    made.hasHandle = true;
    made.handle = *handle;
  }
  return made;
}

class Auditor {
 public:
  explicit Auditor(const DrawingFacts& facts) : facts_(facts) {}
  Audit run();

 private:
  void collectParts();
  void checkDictionary();
  void checkRegistration();
  void checkRecords();
  void checkUnrecordedMembers();
  void checkTwoTags();
  void add(Severity severity, const char* kind, const std::string* tag,
           const std::string* handle) {
    audit_.findings.push_back(finding(severity, kind, tag, handle));
  }

  int partOf(const std::string& tag);

  const DrawingFacts& facts_;
  Audit audit_;
  std::unordered_map<std::string, int> partIndex_;  // by folded tag
  std::unordered_map<std::string, std::string> registeredSpelling_;
};

// A part is named as the host names it: the APPID table's spelling of its
// tag, or, for a tag the table lacks, the first spelling the drawing uses.
int Auditor::partOf(const std::string& tag) {
  const std::string key = folded(tag);
  auto inserted = partIndex_.emplace(key, audit_.parts.size());
  if (inserted.second) {
    audit_.parts.emplace_back();
    auto registered = registeredSpelling_.find(key);
    audit_.parts.back().tag =
        registered != registeredSpelling_.end() ? registered->second : tag;
  }
  return inserted.first->second;
}

void Auditor::collectParts() {
  for (const std::string& app : facts_.registeredApps)
    registeredSpelling_.emplace(folded(app), app);
  audit_.partOfObject.assign(facts_.objects.size(), -1);
  for (std::size_t i = 0; i < facts_.objects.size(); ++i) {
    const DrawingObject& object = facts_.objects[i];
    std::string tag = partTagOf(object);
    if (tag.empty()) continue;
    const int part = partOf(tag);
    audit_.parts[part].members.push_back(object.handle);
    audit_.partOfObject[i] = part;
  }
  // A record whose objects are all gone still names a part.
  for (const PartRecord& record : facts_.records) {
    if (!isTag(record.key)) continue;
    Part& part = audit_.parts[partOf(record.key)];
    if (record.wellFormed && !part.hasRecord) {
      part.hasRecord = true;
      part.record = record.members;
    } else if (!record.wellFormed) {
      part.recordMalformed = true;
    }
  }
}

void Auditor::checkDictionary() {
  if (facts_.hasPartDictionary && !facts_.partDictionaryIsDictionary)
    add(Severity::Error, "record-malformed", nullptr,
        &facts_.partDictionaryHandle);
  for (const PartRecord& record : facts_.records)
    if (!record.wellFormed)
      add(Severity::Error, "record-malformed", &record.key, &record.handle);
}

void Auditor::checkRegistration() {
  std::unordered_set<std::string> registered;
  for (const std::string& app : facts_.registeredApps)
    registered.insert(folded(app));
  std::unordered_set<std::string> reported;
  for (const DrawingObject& object : facts_.objects)
    for (const std::string& app : object.apps)
      if (isTag(app) && !registered.count(folded(app)) &&
          reported.insert(folded(app)).second)
        add(Severity::Error, "tag-not-registered", &app, &object.handle);
  for (const PartRecord& record : facts_.records)
    if (!registered.count(folded(record.key)) &&
        reported.insert(folded(record.key)).second)
      add(Severity::Error, "tag-not-registered", &record.key, nullptr);
}

void Auditor::checkRecords() {
  // Only the objects records list are looked up: indexing every object of a
  // large drawing cost a third of the audit.
  constexpr std::size_t kMissing = static_cast<std::size_t>(-1);
  std::unordered_map<std::string, std::size_t> listed;
  for (const PartRecord& record : facts_.records)
    for (const std::string& handle : record.members)
      listed.emplace(handle, kMissing);
  if (listed.empty()) return;
  for (std::size_t i = 0; i < facts_.objects.size(); ++i) {
    auto found = listed.find(facts_.objects[i].handle);
    if (found != listed.end() && found->second == kMissing) found->second = i;
  }
  std::vector<Finding> untagged;
  for (const PartRecord& record : facts_.records)
    for (const std::string& handle : record.members) {
      std::size_t object = listed[handle];
      if (object == kMissing)
        add(Severity::Note, "record-member-missing", &record.key, &handle);
      else if (folded(partTagOf(facts_.objects[object])) != folded(record.key))
        untagged.push_back(finding(Severity::Note, "record-member-untagged",
                                   &record.key, &handle));
    }
  audit_.findings.insert(audit_.findings.end(), untagged.begin(),
                         untagged.end());
}

void Auditor::checkUnrecordedMembers() {
  for (const Part& part : audit_.parts) {
    if (!part.hasRecord) continue;
    std::unordered_set<std::string> listed(part.record.begin(),
                                           part.record.end());
    for (const std::string& member : part.members)
      if (!listed.count(member))
        add(Severity::Note, "member-not-recorded", &part.tag, &member);
  }
}

void Auditor::checkTwoTags() {
  for (std::size_t i = 0; i < facts_.objects.size(); ++i) {
    const DrawingObject& object = facts_.objects[i];
    std::unordered_set<std::string> tags;
    for (const std::string& app : object.apps)
      if (isTag(app)) tags.insert(folded(app));
    if (tags.size() > 1)
      add(Severity::Note, "two-tags", &audit_.parts[audit_.partOfObject[i]].tag,
          &object.handle);
  }
}

Audit Auditor::run() {
  collectParts();
  checkDictionary();
  checkRegistration();
  checkRecords();
  checkUnrecordedMembers();
  checkTwoTags();
  return std::move(audit_);
}

}  // namespace

bool Audit::hasErrors() const {
  for (const Finding& finding : findings)
    if (finding.severity == Severity::Error) return true;
  return false;
}

std::string partTagOf(const DrawingObject& object) {
  for (const std::string& app : object.apps)
    if (isTag(app)) return app;
  return std::string();
}

Audit auditParts(const DrawingFacts& facts) { return Auditor(facts).run(); }

}  // namespace parts
