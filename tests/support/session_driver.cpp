// Each step is checked against what it may do: the checker compares the
// drawings before and after, and the watch model, fed by the same
// notifications, says what the watcher must hold and which clones a flush
// must have moved to a tag of their own. Where the host failed a call the
// module's choices are its own, so the model takes the module's state.
#include "tests/support/session_driver.h"

#include <algorithm>
#include <climits>

#include "module/module_entry.h"
#include "tools/cadsim/json_dump.h"

namespace {

std::string upper(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

bool isRegisteredCommand(const sim::Host& host, const std::string& name) {
  for (const std::string& registered : host.commandNames())
    if (upper(registered) == upper(name)) return true;
  return false;
}

}  // namespace

SessionDriver::SessionDriver(ExtraInvariant extra,
                             const sim::FaultSpec* armedByHost)
    : extra_(std::move(extra)), host_(new sim::Host) {
  if (armedByHost != nullptr) {
    ArmedFault armed;
    armed.operation = armedByHost->operation;
    armed.first = armedByHost->nth;
    armed.last = armedByHost->persistent
                     ? LONG_MAX
                     : armedByHost->nth + armedByHost->count - 1;
    faults_.push_back(armed);
  }
  host_->useDrawing("main");
  model_.reset(new WatchModel(*host_));
  model_->attach();
  invariants_.reset(new PartInvariants(*host_));
  SessionStep load;
  load.kind = StepKind::Load;
  apply(load);
  stepsApplied_ = 0;
}

SessionDriver::~SessionDriver() {
  model_->detach();
  if (host_->moduleLoaded()) host_->unloadModule();
  invariants_.reset();
  model_.reset();
  host_.reset();
}

void SessionDriver::loadModule() {
  std::string error;
  if (host_->loadModule(acrxEntryPoint, error)) model_->watcherCreated();
}

void SessionDriver::unloadModule() {
  // The model lives in this program, as the linked-in module does; the host
  // would take it for a reactor the module forgot.
  model_->detach();
  host_->unloadModule();
  model_->attach();
  // A module that refused to unload keeps its watcher.
  if (!host_->moduleLoaded()) model_->watcherDestroyed();
}

void SessionDriver::afterPluginCommand(const std::string& name) {
  if (upper(name) == "QORMPLIVETSTART")
    model_->watcherCreated();
  else if (upper(name) == "QORMPLIVETSTOP")
    model_->watcherDestroyed();
}

void SessionDriver::filterSelection(std::vector<std::string>& labels) const {
  const std::string drawing = host_->currentDrawingName();
  std::set<AcDbObjectId> seen;
  std::vector<std::string> kept;
  for (const std::string& label : labels) {
    const cadsim::LabelTable::Entry* entry = labels_.find(label);
    if (entry == nullptr || entry->drawing != drawing) continue;
    sim::ObjectInfo info;
    if (!host_->objectInfo(entry->id, info) || info.erased) continue;
    if (seen.insert(entry->id).second) kept.push_back(label);
  }
  labels.swap(kept);
}

void SessionDriver::resolveSelection(const std::vector<std::string>& labels,
                                     std::vector<AcDbObjectId>& ids) const {
  for (const std::string& label : labels)
    ids.push_back(labels_.find(label)->id);
}

// IDS and every object whose chain of owners leads to one of them: what
// EXPLODE and ERASE erase.
std::set<AcDbObjectId> SessionDriver::withOwned(
    const sim::Host& host, const std::vector<AcDbObjectId>& ids) {
  std::set<AcDbObjectId> all(ids.begin(), ids.end());
  const sim::DrawingInfo drawing = host.drawingInfo(host.currentDrawingName());
  for (const sim::ObjectInfo& object : drawing.objects) {
    std::set<AcDbObjectId> seen;
    for (AcDbObjectId at = object.ownerId;
         !at.isNull() && seen.insert(at).second;) {
      if (std::find(ids.begin(), ids.end(), at) != ids.end()) {
        all.insert(object.id);
        break;
      }
      sim::ObjectInfo owner;
      if (!host.objectInfo(at, owner)) break;
      at = owner.ownerId;
    }
  }
  return all;
}

void SessionDriver::labelCreated(const sim::Created& created) {
  std::set<AcDbObjectId> made;
  for (const sim::CreatedPair& pair : created) made.insert(pair.second);
  for (const sim::CreatedPair& pair : created) {
    // As the runner labels: what a clone owns goes by its handle.
    sim::ObjectInfo info;
    host_->objectInfo(pair.second, info);
    if (made.count(info.ownerId)) continue;
    // COPYCLIP's clones lie in the clipboard.
    const std::string drawing = host_->drawingNameOf(pair.second);
    const std::string label =
        labels_.nextCloneLabel(pair.first, "#" + host_->handleText(pair.first));
    if (!labels_.add(label, pair.second, drawing)) continue;
    objects_.push_back(LabelledObject{label, pair.second, drawing, false});
  }
}

bool SessionDriver::perform(const SessionStep& step, StepFacts& facts) {
  sim::Host& host = *host_;
  switch (step.kind) {
    case StepKind::Drawing:
      host.useDrawing(step.name);
      return true;

    case StepKind::Close: {
      if (!host.closeDrawing(step.name)) return false;
      facts.closedDrawing = step.name;
      // The host cancelled what was begun there; its objects name nothing.
      for (std::size_t i = begun_.size(); i-- > 0;) {
        if (begunIn_[i] != step.name) continue;
        begun_.erase(begun_.begin() + static_cast<std::ptrdiff_t>(i));
        begunIn_.erase(begunIn_.begin() + static_cast<std::ptrdiff_t>(i));
      }
      objects_.erase(std::remove_if(objects_.begin(), objects_.end(),
                                    [&](const LabelledObject& o) {
                                      return o.drawing == step.name;
                                    }),
                     objects_.end());
      return true;
    }

    case StepKind::Add: {
      if (labels_.find(step.labels[0]) != nullptr) return false;
      const cadsim::LabelTable::Entry* owner =
          step.owner.empty() ? nullptr : labels_.find(step.owner);
      if (!step.owner.empty() && owner == nullptr) return false;
      const AcDbObjectId id =
          owner == nullptr ? host.addObject(step.name, step.pieces)
          : step.extensionOf
              ? host.addExtensionDictionary(owner->id)
              : host.addToDictionary(owner->id, step.labels[0], step.name);
      if (id.isNull()) return false;
      labels_.add(step.labels[0], id, host.drawingNameOf(id));
      objects_.push_back(
          LabelledObject{step.labels[0], id, host.drawingNameOf(id), true});
      return true;
    }

    case StepKind::Xdata: {
      const cadsim::LabelTable::Entry* entry = labels_.find(step.labels[0]);
      if (entry == nullptr) return false;
      if (host.setXData(entry->id, step.name, step.items) != Acad::eOk)
        return false;
      facts.edited.insert(entry->id);
      return true;
    }

    case StepKind::Regapp:
      return host.registerApp(step.name);

    case StepKind::Erase: {
      const cadsim::LabelTable::Entry* entry = labels_.find(step.labels[0]);
      if (entry == nullptr || host.erase(entry->id) != Acad::eOk) return false;
      facts.erasable.insert(entry->id);
      return true;
    }

    case StepKind::Command: {
      std::vector<AcDbObjectId> ids;
      resolveSelection(step.labels, ids);
      if (upper(step.name) == "EXPLODE" || upper(step.name) == "ERASE")
        facts.erasable = withOwned(host, ids);
      const bool plugin = isRegisteredCommand(host, step.name);
      facts.created =
          host.runCommand(step.name, ids, step.repeat, step.outcome);
      labelCreated(facts.created);
      if (plugin) afterPluginCommand(step.name);
      return true;
    }

    case StepKind::Begin: {
      const bool plugin = isRegisteredCommand(host, step.name);
      host.beginCommand(step.name);
      begun_.push_back(step.name);
      begunIn_.push_back(host.currentDrawingName());
      if (plugin) afterPluginCommand(step.name);
      return true;
    }

    case StepKind::End: {
      if (!host.endCommand(step.name, step.outcome)) return false;
      for (std::size_t i = begun_.size(); i-- > 0;) {
        if (upper(begun_[i]) != upper(step.name)) continue;
        begun_.erase(begun_.begin() + static_cast<std::ptrdiff_t>(i));
        begunIn_.erase(begunIn_.begin() + static_cast<std::ptrdiff_t>(i));
        break;
      }
      return true;
    }

    case StepKind::DeepClone:
    case StepKind::AppendCopy: {
      std::vector<AcDbObjectId> ids;
      if (step.labels.empty()) return false;
      resolveSelection(step.labels, ids);
      facts.created = step.kind == StepKind::DeepClone ? host.deepClone(ids)
                                                       : host.appendCopies(ids);
      labelCreated(facts.created);
      return true;
    }

    case StepKind::LispBegin:
      host.lispBegin(step.name);
      return true;
    case StepKind::LispEnd:
      host.lispEnd();
      return true;
    case StepKind::LispCancel:
      host.lispCancel();
      return true;

    case StepKind::Load:
      if (host.moduleLoaded()) return false;
      loadModule();
      return true;
    case StepKind::Unload:
      if (!host.moduleLoaded()) return false;
      unloadModule();
      return true;

    case StepKind::Fault: {
      if (!sim::Host::isOperation(step.name) || step.name.empty()) return false;
      sim::FaultSpec spec;
      spec.operation = step.name;
      spec.nth = step.nth;
      spec.count = step.count;
      spec.persistent = step.persistent;
      if (step.onObject) {
        const cadsim::LabelTable::Entry* entry =
            step.labels.empty() ? nullptr : labels_.find(step.labels[0]);
        if (entry == nullptr) return false;
        spec.object = entry->id;
      }
      ArmedFault armed;
      armed.onObject = step.onObject;
      armed.operation = step.name;
      armed.armedAt = host.callCount(step.name);
      armed.first = step.nth;
      armed.last = step.persistent ? LONG_MAX : step.nth + step.count - 1;
      host.armFault(spec);
      faults_.push_back(armed);
      return true;
    }
    case StepKind::FaultOff:
      host.clearFaults();
      faults_.clear();
      return true;
    case StepKind::IdMapReferences:
      host.setIdMapReferences(step.name == "on");
      return true;
  }
  return false;
}

std::set<std::string> SessionDriver::faultedOperations(
    const std::map<std::string, long>& callsBefore) const {
  std::set<std::string> operations;
  for (const ArmedFault& armed : faults_) {
    const auto was = callsBefore.find(armed.operation);
    const long before =
        (was == callsBefore.end() ? 0 : was->second) - armed.armedAt;
    const long after = host_->callCount(armed.operation) - armed.armedAt;
    // Which calls were on the object is not counted: any call may have been.
    if (armed.onObject) {
      if (after > before) operations.insert(armed.operation);
      continue;
    }
    // Calls before+1 .. after were made in the step; the fault hits
    // first .. last, counted from arming.
    if (after >= armed.first && before < armed.last)
      operations.insert(armed.operation);
  }
  return operations;
}

bool SessionDriver::apply(SessionStep step) {
  failure_.clear();
  if (step.kind == StepKind::Command || step.kind == StepKind::DeepClone ||
      step.kind == StepKind::AppendCopy)
    filterSelection(step.labels);
  model_->beginStep();
  invariants_->before(pendingClonesOfModule());
  const std::map<std::string, long> callsBefore = host_->callCounts();
  const long injectedBefore = host_->faultsInjected();
  StepFacts facts;
  if (!perform(step, facts)) {
    invariants_->forget();
    return false;
  }
  ++stepsApplied_;
  lastApplied_ = step;
  const long injected = host_->faultsInjected() - injectedBefore;
  faultsInjected_ += injected;
  if (injected > 0) facts.faultedOperations = faultedOperations(callsBefore);
  facts.earlierFaults = earlierFaults_;
  // A reactor the host refused to take, or to give back, shows only later:
  // at its removal, or when the module unloads.
  for (const char* lasting : {"addReactor", "removeReactor"})
    if (facts.faultedOperations.count(lasting)) earlierFaults_.insert(lasting);
  facts.stripDrawings = model_->offsetDrawingsSeen();
  if (injected > 0) {
    for (const std::string& d : offsetDrawingsOfModule(*host_))
      facts.stripDrawings.insert(d);
  }
  check(facts, injected > 0);
  return true;
}

void SessionDriver::check(const StepFacts& stepFacts, bool faulted) {
  StepFacts facts = stepFacts;
  if (!faulted)
    for (const auto& group : model_->flushed())
      for (AcDbObjectId clone : group.second)
        facts.filedUnder[clone] = group.first;
  std::vector<std::string> failures = invariants_->after(facts);
  if (faulted && facts.faultedOperations.empty())
    failures.push_back("a fault was injected outside every armed operation");
  const WatchState actual = watchStateOfModule(*host_);
  // No offset reactor serves while no OFFSET runs; one the host refused to
  // detach is held idle and does not count.
  if (static_cast<int>(actual.offsetDrawings.size()) > model_->offsetsRunning())
    failures.push_back(std::to_string(actual.offsetDrawings.size()) +
                       " offset reactor(s) serve " +
                       std::to_string(model_->offsetsRunning()) +
                       " running OFFSET(s)");
  if (faulted) {
    // What the module did with a failed call is its own choice; follow it.
    model_->state() = actual;
  } else {
    if (!(actual == model_->state()))
      failures.push_back("the watcher holds " + actual.describe() +
                         " where the model holds " +
                         model_->state().describe());
    for (const auto& group : model_->flushed()) {
      const std::string& tag = group.first;
      std::string newTag;
      for (AcDbObjectId clone : group.second) {
        const auto retag = invariants_->retags().find(clone);
        if (retag != invariants_->retags().end()) newTag = retag->second.second;
      }
      for (AcDbObjectId clone : group.second) {
        sim::ObjectInfo info;
        if (!host_->objectInfo(clone, info) || info.erased) continue;
        if (partTagIn(info.xdata) != tag) continue;
        // It may stay in its source's part only when no clone of its group
        // could name a new one: each offered a name the drawing knew.
        if (newTag.empty() && invariants_->knewApp(host_->currentDrawingName(),
                                                   "$" + info.handle))
          continue;
        failures.push_back("copy " + info.handle +
                           " still carries its source's tag " + tag);
      }
    }
  }
  if (extra_) {
    const std::string broken = extra_(*host_);
    if (!broken.empty()) failures.push_back(broken);
  }
  for (const std::string& f : failures)
    failure_ += (failure_.empty() ? "" : "; ") + f;
  if (!failure_.empty() && faulted) {
    failure_ += " (faults injected into:";
    for (const std::string& op : facts.faultedOperations) failure_ += " " + op;
    failure_ += ")";
  }
}

std::string SessionDriver::dump() {
  // The model is no reactor of the session the script describes.
  model_->detach();
  const std::string json = cadsim::dumpJson(*host_, labels_);
  model_->attach();
  return json;
}
