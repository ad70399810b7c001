#include "tools/parts/parts_audit.h"

#include <unordered_map>
#include <unordered_set>

#include "dxf/dxf_tag.h"
#include "text/ascii_case.h"

namespace parts {

namespace {

bool isTag(const std::string& app) { return !app.empty() && app[0] == '$'; }

// Application names and dictionary keys, as the host compares them: `$ab`
// in the APPID table, `$AB` in xdata and a record `$ab` are one part.
std::string folded(const std::string& name) { return text::upperAscii(name); }

std::string handleOf(const DrawingObject& object) {
  return object.handle != 0 ? dxf::handleText(object.handle) : std::string();
}

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

constexpr int kNoTag = -1;

class Auditor {
 public:
  explicit Auditor(const DrawingFacts& facts);
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
  // The first "$" application of an object is its part tag, as the module
  // reads it: its index in the facts' appNames, or kNoTag.
  int tagAppOf(const DrawingObject& object) const;
  const std::uint32_t* appsOf(const DrawingObject& object) const {
    return facts_.objectApps.data() + object.firstApp;
  }

  const DrawingFacts& facts_;
  Audit audit_;
  std::vector<std::string> foldedApps_;  // by index in the facts' appNames
  std::unordered_map<std::string, int> partIndex_;  // by folded tag
  std::unordered_map<std::string, std::string> registeredSpelling_;
};

Auditor::Auditor(const DrawingFacts& facts) : facts_(facts) {
  foldedApps_.reserve(facts.appNames.size());
  for (const std::string& app : facts.appNames)
    foldedApps_.push_back(folded(app));
}

int Auditor::tagAppOf(const DrawingObject& object) const {
  const std::uint32_t* apps = appsOf(object);
  for (std::uint32_t i = 0; i < object.appCount; ++i)
    if (isTag(facts_.appNames[apps[i]])) return static_cast<int>(apps[i]);
  return kNoTag;
}

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
  // The part of each application name, once it is asked for.
  constexpr int kUnknown = -2;
  std::vector<int> partOfApp(facts_.appNames.size(), kUnknown);
  for (std::size_t i = 0; i < facts_.objects.size(); ++i) {
    const DrawingObject& object = facts_.objects[i];
    const int app = tagAppOf(object);
    if (app == kNoTag) continue;
    if (partOfApp[app] == kUnknown)
      partOfApp[app] = partOf(facts_.appNames[app]);
    const int part = partOfApp[app];
    audit_.parts[part].members.push_back(handleOf(object));
    audit_.partOfObject[i] = part;
  }
  // A record whose objects are all gone still names a part.
  for (const PartRecord& record : facts_.records) {
    if (!isTag(record.key)) continue;
    Part& part = audit_.parts[partOf(record.key)];
    if (record.wellFormed && !part.hasRecord) {
      part.hasRecord = true;
      for (std::uint64_t handle : record.members)
        part.record.push_back(dxf::handleText(handle));
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
  std::vector<bool> unregisteredTag(facts_.appNames.size());
  for (std::size_t app = 0; app < facts_.appNames.size(); ++app)
    unregisteredTag[app] =
        isTag(facts_.appNames[app]) && !registered.count(foldedApps_[app]);
  std::unordered_set<std::string> reported;
  for (const DrawingObject& object : facts_.objects) {
    const std::uint32_t* apps = appsOf(object);
    for (std::uint32_t i = 0; i < object.appCount; ++i)
      if (unregisteredTag[apps[i]] &&
          reported.insert(foldedApps_[apps[i]]).second) {
        const std::string handle = handleOf(object);
        add(Severity::Error, "tag-not-registered", &facts_.appNames[apps[i]],
            &handle);
      }
  }
  for (const PartRecord& record : facts_.records)
    if (!registered.count(folded(record.key)) &&
        reported.insert(folded(record.key)).second)
      add(Severity::Error, "tag-not-registered", &record.key, nullptr);
}

void Auditor::checkRecords() {
  // Only the objects records list are looked up: indexing every object of a
  // large drawing cost a third of the audit.
  constexpr std::size_t kMissing = static_cast<std::size_t>(-1);
  std::unordered_map<std::uint64_t, std::size_t> listed;
  for (const PartRecord& record : facts_.records)
    for (std::uint64_t handle : record.members)
      listed.emplace(handle, kMissing);
  if (listed.empty()) return;
  for (std::size_t i = 0; i < facts_.objects.size(); ++i) {
    if (facts_.objects[i].handle == 0) continue;
    auto found = listed.find(facts_.objects[i].handle);
    if (found != listed.end() && found->second == kMissing) found->second = i;
  }
  static const std::string kNoFolded;
  std::vector<Finding> untagged;
  for (const PartRecord& record : facts_.records)
    for (std::uint64_t member : record.members) {
      const std::string handle = dxf::handleText(member);
      std::size_t object = listed[member];
      if (object == kMissing) {
        add(Severity::Note, "record-member-missing", &record.key, &handle);
        continue;
      }
      const int app = tagAppOf(facts_.objects[object]);
      if ((app == kNoTag ? kNoFolded : foldedApps_[app]) != folded(record.key))
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
    if (object.appCount < 2) continue;
    // Two tags are two spellings that fold apart.
    const std::uint32_t* apps = appsOf(object);
    const std::string* first = nullptr;
    bool two = false;
    for (std::uint32_t a = 0; a < object.appCount && !two; ++a) {
      if (!isTag(facts_.appNames[apps[a]])) continue;
      const std::string& tag = foldedApps_[apps[a]];
      if (first == nullptr)
        first = &tag;
      else
        two = tag != *first;
    }
    if (two) {
      const std::string handle = handleOf(object);
      add(Severity::Note, "two-tags", &audit_.parts[audit_.partOfObject[i]].tag,
          &handle);
    }
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

Audit auditParts(const DrawingFacts& facts) { return Auditor(facts).run(); }

}  // namespace parts
