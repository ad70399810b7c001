// A step is judged by comparing every object before and after it: the module
// may only rename a part tag (keeping its items) on clones it was given, or
// take the first tag off an entity appended under an offset reactor.
#include "tests/support/part_invariants.h"

#include <algorithm>

#include "module/module_entry.h"
#include "tools/cadsim/part_records.h"

namespace {

bool isPartTagName(const std::string& app) {
  return !app.empty() && app[0] == '$';
}

// Application names and dictionary keys compare as the host compares them.
std::string folded(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

bool isEntityType(const std::string& type) {
  return type != "DICTIONARY" && type != "XRECORD";
}

// Violations that a failed host call forces on any plug-in, with the
// operation that must have failed for each.
struct ForcedViolation {
  const char* operation;
  const char* text;
};
const ForcedViolation kForced[] = {
    // A close that fails leaves the object open whatever the caller does.
    {"close", " left open for "},
    // A drawing's reactor the host will not detach is still attached when
    // the drawing closes.
    {"removeReactor", "left attached to drawing"},
    {"removeGroup", "still registered after it unloaded"},
};

std::string describe(const std::string& drawing, const std::string& handle) {
  return drawing + ":" + handle;
}

std::string blocksText(const std::vector<sim::XdataBlock>& xdata) {
  std::string text = "[";
  for (const sim::XdataBlock& block : xdata)
    text += (text.size() > 1 ? " " : "") + block.app + "(" +
            std::to_string(block.items.size()) + ")";
  return text + "]";
}

}  // namespace

std::set<AcDbObjectId> pendingClonesOfModule() {
  std::set<AcDbObjectId> ids;
  if (gEditReactor == nullptr) return ids;
  const PendingGroupList& pending = gEditReactor->pendingGroups();
  for (std::size_t g = 0; g < pending.groupCount(); ++g) {
    const AcDbObjectIdArray clones = pending.idsOf(g);
    for (int i = 0; i < clones.length(); ++i) ids.insert(clones[i]);
  }
  return ids;
}

std::vector<std::string> offsetDrawingsOfModule(const sim::Host& host) {
  std::vector<std::string> names;
  if (gEditReactor == nullptr) return names;
  const OffsetReactorHolding& held = gEditReactor->offsetReactors();
  for (std::size_t i = 0; i < held.count(); ++i) {
    if (held.reactorAt(i)->state() != AsdkDbReactor::kServing) continue;
    for (const std::string& name : host.drawingNames())
      if (host.drawing(name) == held.drawingAt(i)) names.push_back(name);
  }
  return names;
}

std::string partTagIn(const std::vector<sim::XdataBlock>& xdata) {
  for (const sim::XdataBlock& block : xdata)
    if (isPartTagName(block.app)) return block.app;
  return std::string();
}

PartInvariants::State PartInvariants::take() const {
  State state;
  for (const sim::DrawingInfo& drawing : host_.drawings()) {
    DrawingState& d = state.drawings[drawing.name];
    d.regapps.insert(drawing.regapps.begin(), drawing.regapps.end());
    for (const cadsim::PartRecord& record :
         cadsim::readPartDictionary(host_, drawing.name).records)
      d.records[record.tag] = record.items;
    for (const sim::ObjectInfo& object : drawing.objects) {
      ObjectState& o = state.objects[object.id];
      o.drawing = drawing.name;
      o.handle = object.handle;
      o.type = object.type;
      o.erased = object.erased;
      o.xdata = object.xdata;
      d.byHandle[object.handle] = object.id;
    }
  }
  return state;
}

void PartInvariants::before(const std::set<AcDbObjectId>& mayChange) {
  if (!haveBefore_) before_ = take();
  haveBefore_ = false;
  mayChange_ = mayChange;
}

std::vector<sim::XdataBlock> PartInvariants::xdataOf(AcDbObjectId id) const {
  auto found = before_.objects.find(id);
  return found == before_.objects.end() ? std::vector<sim::XdataBlock>()
                                        : found->second.xdata;
}

PartInvariants::Change PartInvariants::classify(
    const std::vector<sim::XdataBlock>& was,
    const std::vector<sim::XdataBlock>& now, std::string& oldTag,
    std::string& newTag) {
  auto sameBlock = [](const sim::XdataBlock& a, const sim::XdataBlock& b) {
    return a.app == b.app && a.items == b.items;
  };
  if (was.size() == now.size() &&
      std::equal(was.begin(), was.end(), now.begin(), sameBlock))
    return Change::None;
  auto findApp = [](const std::vector<sim::XdataBlock>& in,
                    const std::string& app) {
    return std::find_if(
        in.begin(), in.end(),
        [&](const sim::XdataBlock& block) { return block.app == app; });
  };
  std::vector<const sim::XdataBlock*> removed, added;
  std::vector<const sim::XdataBlock*> keptWas, keptNow;
  for (const sim::XdataBlock& block : was) {
    if (findApp(now, block.app) == now.end())
      removed.push_back(&block);
    else
      keptWas.push_back(&block);
  }
  for (const sim::XdataBlock& block : now) {
    if (findApp(was, block.app) == was.end())
      added.push_back(&block);
    else
      keptNow.push_back(&block);
  }
  // Whatever the module did not move must be there as it was, in its order.
  if (keptWas.size() != keptNow.size()) return Change::Other;
  for (std::size_t i = 0; i < keptWas.size(); ++i)
    if (!sameBlock(*keptWas[i], *keptNow[i])) return Change::Other;
  if (removed.size() == 1 && added.size() == 1 &&
      isPartTagName(removed[0]->app) && isPartTagName(added[0]->app) &&
      removed[0]->items == added[0]->items) {
    oldTag = removed[0]->app;
    newTag = added[0]->app;
    return Change::Retag;
  }
  if (removed.size() == 1 && added.empty() &&
      removed[0]->app == partTagIn(was)) {
    oldTag = removed[0]->app;
    return Change::Strip;
  }
  return Change::Other;
}

void PartInvariants::checkViolations(const StepFacts& facts,
                                     std::vector<std::string>& failures) {
  host_.audit();
  for (const std::string& violation : host_.violations()) {
    bool forced = false;
    for (const ForcedViolation& f : kForced)
      if ((facts.faultedOperations.count(f.operation) ||
           facts.earlierFaults.count(f.operation)) &&
          violation.find(f.text) != std::string::npos)
        forced = true;
    if (!forced) failures.push_back("host reports: " + violation);
  }
  host_.clearViolations();
  if (host_.openObjectCount() != 0)
    failures.push_back(std::to_string(host_.openObjectCount()) +
                       " object(s) still open after the audit");
  if (host_.liveResbufItems() != 0)
    failures.push_back("result-buffer items still live after the audit");
  if (host_.liveNewObjects() != 0)
    failures.push_back("new objects neither added nor deleted");
}

// A deep clone points a copy's 1005 handle at the clone of the object it
// named when that object was cloned too. Such an item is put back to the
// source's value, so the copy compares as unchanged: where its value names
// an object new in this step and the source's names one that was there.
std::vector<sim::XdataBlock> PartInvariants::untranslated(
    const State& now, const ObjectState& source,
    std::vector<sim::XdataBlock> copy, const std::string& copyDrawing) const {
  auto named = [](const State& state, const std::string& drawing,
                  const sim::Value& value) {
    const auto d = state.drawings.find(drawing);
    const std::string* handle = std::get_if<std::string>(&value);
    if (d == state.drawings.end() || handle == nullptr) return AcDbObjectId();
    const auto id = d->second.byHandle.find(*handle);
    return id == d->second.byHandle.end() ? AcDbObjectId() : id->second;
  };
  const std::string tag = partTagIn(source.xdata);
  for (sim::XdataBlock& block : copy) {
    const sim::XdataBlock* from = nullptr;
    for (const sim::XdataBlock& b : source.xdata)
      if (b.app == block.app || (from == nullptr && b.app == tag)) from = &b;
    if (from == nullptr || from->items.size() != block.items.size()) continue;
    for (std::size_t i = 0; i < block.items.size(); ++i) {
      sim::Item& item = block.items[i];
      const sim::Item& was = from->items[i];
      if (item.code != 1005 || was.code != 1005 || item == was) continue;
      const AcDbObjectId clone = named(now, copyDrawing, item.value);
      if (!clone.isNull() && !before_.objects.count(clone) &&
          !named(before_, source.drawing, was.value).isNull())
        item.value = was.value;
    }
  }
  return copy;
}

void PartInvariants::checkObjects(const State& now, const StepFacts& facts,
                                  std::vector<std::string>& failures) {
  std::map<AcDbObjectId, AcDbObjectId> sourceOf;
  for (const sim::CreatedPair& pair : facts.created)
    sourceOf[pair.second] = pair.first;

  for (const auto& entry : now.objects) {
    const AcDbObjectId id = entry.first;
    const ObjectState& o = entry.second;
    const std::string name = describe(o.drawing, o.handle);
    const auto was = before_.objects.find(id);
    const auto source = sourceOf.find(id);
    std::string oldTag, newTag;

    if (was == before_.objects.end()) {
      if (facts.edited.count(id)) continue;
      if (source == sourceOf.end()) {
        // Objects the module makes for itself, or the user's bare `add`.
        if (!o.xdata.empty())
          failures.push_back("new object " + name + " (" + o.type +
                             ") carries xdata " + blocksText(o.xdata));
        continue;
      }
      const auto from = before_.objects.find(source->second);
      if (from == before_.objects.end()) continue;
      Change change = classify(
          from->second.xdata,
          untranslated(now, from->second, o.xdata, o.drawing), oldTag, newTag);
      // A pending source retagged earlier in the same step (a repeated copy)
      // gave its later copies its new xdata. Compared with what the source
      // was before the step, such a copy can look retagged when it is not:
      // a source with two tags carries its new one after the other.
      const auto sourceNow = now.objects.find(source->second);
      if (change != Change::None && sourceNow != now.objects.end()) {
        std::string nowOld, nowNew;
        const Change sinceRetag =
            classify(sourceNow->second.xdata,
                     untranslated(now, sourceNow->second, o.xdata, o.drawing),
                     nowOld, nowNew);
        if (change == Change::Other || sinceRetag == Change::None) {
          change = sinceRetag;
          oldTag = nowOld;
          newTag = nowNew;
        }
      }
      // Filed under the tag it carries now: it stayed in that part.
      const auto filed = facts.filedUnder.find(id);
      if (change == Change::Retag && filed != facts.filedUnder.end() &&
          folded(filed->second) == folded(newTag))
        change = Change::None;
      switch (change) {
        case Change::None:
          break;
        case Change::Retag:
          retags_[id] = {oldTag, newTag};
          break;
        case Change::Strip:
          if (!facts.stripDrawings.count(o.drawing) || !isEntityType(o.type))
            failures.push_back("copy " + name + " lost its tag " + oldTag +
                               " outside OFFSET");
          break;
        case Change::Other:
          failures.push_back(
              "copy " + name + " of " +
              describe(from->second.drawing, from->second.handle) +
              " changed from " + blocksText(from->second.xdata) + " to " +
              blocksText(o.xdata));
          break;
      }
      continue;
    }

    if (was->second.erased != o.erased &&
        !(o.erased && facts.erasable.count(id)))
      failures.push_back("object " + name +
                         (o.erased ? " erased" : " unerased") +
                         " by the module");
    if (facts.edited.count(id)) continue;
    switch (classify(was->second.xdata, o.xdata, oldTag, newTag)) {
      case Change::None:
        break;
      case Change::Retag:
        if (mayChange_.count(id))
          retags_[id] = {oldTag, newTag};
        else
          failures.push_back("object " + name + " that the module was not " +
                             "copying changed its tag " + oldTag + " to " +
                             newTag);
        break;
      case Change::Strip:
        failures.push_back("existing object " + name + " lost its tag " +
                           oldTag);
        break;
      case Change::Other:
        failures.push_back("object " + name + " changed from " +
                           blocksText(was->second.xdata) + " to " +
                           blocksText(o.xdata));
        break;
    }
  }
  for (const auto& entry : before_.objects)
    if (!now.objects.count(entry.first) &&
        entry.second.drawing != facts.closedDrawing)
      failures.push_back("object " +
                         describe(entry.second.drawing, entry.second.handle) +
                         " vanished");
}

void PartInvariants::checkRecords(const State& now, const StepFacts& facts,
                                  std::vector<std::string>& failures) const {
  for (const auto& d : now.drawings) {
    const DrawingState& drawing = d.second;
    const auto earlier = before_.drawings.find(d.first);
    for (const auto& r : drawing.records) {
      const std::string& tag = r.first;
      const sim::Items& items = r.second;
      const std::string where = "record " + tag + " in " + d.first;
      if (earlier != before_.drawings.end()) {
        const auto old = earlier->second.records.find(tag);
        if (old != earlier->second.records.end() && old->second != items)
          failures.push_back(where + " was rewritten");
      }
      if (items.size() < 2 ||
          !(items.front() == sim::Item{102, "{MORVAT_PART"}) ||
          !(items.back() == sim::Item{102, "}"})) {
        failures.push_back(where + " is not framed by {MORVAT_PART and }");
        continue;
      }
      for (std::size_t i = 1; i + 1 < items.size(); ++i) {
        const sim::Item& item = items[i];
        const std::string* handle = std::get_if<std::string>(&item.value);
        if (item.code != 330 || handle == nullptr) {
          failures.push_back(where + " holds an item that is not a member");
          continue;
        }
        const auto member = drawing.byHandle.find(*handle);
        if (member == drawing.byHandle.end()) {
          failures.push_back(where + " names " + *handle +
                             ", no object of that drawing");
          continue;
        }
        const ObjectState& o = now.objects.at(member->second);
        const bool carries = std::any_of(o.xdata.begin(), o.xdata.end(),
                                         [&](const sim::XdataBlock& b) {
                                           return folded(b.app) == folded(tag);
                                         });
        if (!carries)
          failures.push_back(where + " names " + *handle +
                             ", which does not carry the tag");
      }
    }
  }
  // A new part's tag is a name its drawing did not know when the group was
  // flushed: a known one would join the copies to another part.
  for (const auto& retag : retags_) {
    const ObjectState& o = now.objects.at(retag.first);
    if (knewApp(o.drawing, retag.second.second))
      failures.push_back(describe(o.drawing, o.handle) + " was retagged to " +
                         retag.second.second + ", a name its drawing knew");
  }
  // A retag on a step the host did not fail must leave its tag registered and
  // recorded, with the object listed.
  if (!facts.faultedOperations.empty()) return;
  for (const auto& retag : retags_) {
    const ObjectState& o = now.objects.at(retag.first);
    const std::string& tag = retag.second.second;
    const DrawingState& drawing = now.drawings.at(o.drawing);
    const std::string name = describe(o.drawing, o.handle);
    if (!drawing.regapps.count(tag))
      failures.push_back(name + " carries " + tag +
                         ", not registered in its drawing");
    auto record = drawing.records.begin();
    while (record != drawing.records.end() &&
           folded(record->first) != folded(tag))
      ++record;
    if (record == drawing.records.end()) {
      failures.push_back(name + " was retagged to " + tag +
                         " but its drawing has no record of it");
      continue;
    }
    const sim::Item member{330, o.handle};
    if (std::find(record->second.begin(), record->second.end(), member) ==
        record->second.end())
      failures.push_back("record " + tag + " does not list " + name);
  }
}

bool PartInvariants::knewApp(const std::string& drawing,
                             const std::string& app) const {
  const auto known = knownApps_.find(drawing);
  return known != knownApps_.end() && known->second.count(folded(app)) > 0;
}

std::vector<std::string> PartInvariants::after(const StepFacts& facts) {
  std::vector<std::string> failures;
  retags_.clear();
  knownApps_.clear();
  for (const auto& d : before_.drawings)
    for (const std::string& app : d.second.regapps)
      knownApps_[d.first].insert(folded(app));
  checkViolations(facts, failures);
  State now = take();
  for (const sim::CreatedPair& pair : facts.created) {
    const auto copy = now.objects.find(pair.second);
    if (copy == now.objects.end()) continue;
    // A source in the clipboard is in no drawing the states hold; a paste
    // leaves it as it was.
    const auto source = before_.objects.find(pair.first);
    const std::vector<sim::XdataBlock> carried =
        source != before_.objects.end() ? source->second.xdata
                                        : host_.xdataOf(pair.first);
    for (const sim::XdataBlock& block : carried)
      knownApps_[copy->second.drawing].insert(folded(block.app));
  }
  checkObjects(now, facts, failures);
  checkRecords(now, facts, failures);
  before_ = std::move(now);
  haveBefore_ = true;
  return failures;
}
