// Each line is checked against what it may do: the checker compares the
// drawings before and after, and the watch model, fed by the same
// notifications, says what the watcher must hold and which clones a flush
// must have moved to a tag of their own. Where the host failed a call the
// module's choices are its own, so the model takes the module's state.
// The session itself is the runner's: this only watches it.
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
  cadsim::SessionOptions options;
  options.moduleEntry = acrxEntryPoint;
  session_.reset(new cadsim::Session(*host_, options, output_));
  session_->setObserver(this);
  apply("load");
  linesApplied_ = 0;
}

SessionDriver::~SessionDriver() {
  session_.reset();
  model_->detach();
  if (host_->moduleLoaded()) host_->unloadModule();
  invariants_.reset();
  model_.reset();
  host_.reset();
}

bool SessionDriver::apply(const std::string& line) {
  std::vector<cadsim::Statement> statements;
  text::Error error;
  if (!cadsim::parseScript(line + "\n", statements, error) ||
      statements.size() != 1) {
    failure_ =
        "\"" + line + "\" is no line of the session language: " + error.text();
    return false;
  }
  return apply(statements[0]);
}

bool SessionDriver::apply(const cadsim::Statement& statement) {
  failure_.clear();
  text::Error ignored;
  ran_ = false;
  session_->apply(statement, ignored);
  return ran_;
}

void SessionDriver::afterPluginCommand(const std::string& name) {
  if (upper(name) == "QORMPLIVETSTART")
    model_->watcherCreated();
  else if (upper(name) == "QORMPLIVETSTOP")
    model_->watcherDestroyed();
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
  // The session labelled what it could; what a clone owns goes by its
  // handle.
  for (const sim::CreatedPair& pair : created) {
    const std::string label = labels().labelOf(pair.second);
    if (label.empty()) continue;
    objects_.push_back(LabelledObject{label, pair.second,
                                      labels().find(label)->drawing, false});
  }
}

void SessionDriver::closed(const std::string& drawing) {
  // The host cancelled what was begun there; its objects name nothing.
  for (std::size_t i = begun_.size(); i-- > 0;) {
    if (begunIn_[i] != drawing) continue;
    begun_.erase(begun_.begin() + static_cast<std::ptrdiff_t>(i));
    begunIn_.erase(begunIn_.begin() + static_cast<std::ptrdiff_t>(i));
  }
  objects_.erase(std::remove_if(objects_.begin(), objects_.end(),
                                [&](const LabelledObject& o) {
                                  return o.drawing == drawing;
                                }),
                 objects_.end());
}

void SessionDriver::willApply(const cadsim::Statement& s) {
  model_->beginStep();
  invariants_->before(pendingClonesOfModule());
  callsBefore_ = host_->callCounts();
  injectedBefore_ = host_->faultsInjected();
  pluginCommand_ =
      (s.verb == cadsim::Verb::Command || s.verb == cadsim::Verb::Begin) &&
      isRegisteredCommand(*host_, s.name);
  // The model lives in this program, as the linked-in module does; the host
  // would take it for a reactor the module forgot.
  if (s.verb == cadsim::Verb::Unload) model_->detach();
  loadedBefore_ = host_->moduleLoaded();
}

void SessionDriver::follow(const cadsim::Statement& s,
                           const cadsim::LineEffects& effects,
                           StepFacts& facts) {
  using cadsim::Verb;
  facts.created = effects.created;
  switch (s.verb) {
    case Verb::Close:
      facts.closedDrawing = s.name;
      closed(s.name);
      break;
    case Verb::Add: {
      const cadsim::LabelTable::Entry* entry = labels().find(s.labels[0]);
      objects_.push_back(
          LabelledObject{s.labels[0], entry->id, entry->drawing, true});
      break;
    }
    case Verb::Xdata:
      facts.edited.insert(effects.named.begin(), effects.named.end());
      break;
    case Verb::Erase:
      facts.erasable.insert(effects.named.begin(), effects.named.end());
      break;
    case Verb::Command:
      if (upper(s.name) == "EXPLODE" || upper(s.name) == "ERASE")
        facts.erasable = withOwned(*host_, effects.named);
      labelCreated(effects.created);
      if (pluginCommand_) afterPluginCommand(s.name);
      break;
    case Verb::Begin:
      begun_.push_back(s.name);
      begunIn_.push_back(host_->currentDrawingName());
      if (pluginCommand_) afterPluginCommand(s.name);
      break;
    case Verb::End:
      for (std::size_t i = begun_.size(); i-- > 0;) {
        if (upper(begun_[i]) != upper(s.name)) continue;
        begun_.erase(begun_.begin() + static_cast<std::ptrdiff_t>(i));
        begunIn_.erase(begunIn_.begin() + static_cast<std::ptrdiff_t>(i));
        break;
      }
      break;
    case Verb::DeepClone:
    case Verb::AppendCopy:
      labelCreated(effects.created);
      break;
    case Verb::Load:
      model_->watcherCreated();
      break;
    case Verb::Unload:
      // A module that refused to unload keeps its watcher.
      if (!host_->moduleLoaded()) model_->watcherDestroyed();
      break;
    case Verb::Fault: {
      if (s.name == "off") {
        faults_.clear();
        break;
      }
      ArmedFault armed;
      armed.onObject = !s.faultObject.empty();
      armed.operation = s.fault.operation;
      const auto was = callsBefore_.find(s.fault.operation);
      armed.armedAt = was == callsBefore_.end() ? 0 : was->second;
      armed.first = s.fault.nth;
      armed.last =
          s.fault.persistent ? LONG_MAX : s.fault.nth + s.fault.count - 1;
      faults_.push_back(armed);
      break;
    }
    default:
      break;
  }
}

void SessionDriver::applied(const cadsim::Statement& s,
                            cadsim::StepResult result,
                            const cadsim::LineEffects& effects) {
  if (s.verb == cadsim::Verb::Unload) model_->attach();
  // A load the module refused has run all the same: what it left behind is
  // checked, and the line stays in the session.
  const bool refusedLoad = s.verb == cadsim::Verb::Load && !loadedBefore_;
  if (result != cadsim::StepResult::Done && !refusedLoad) {
    invariants_->forget();
    return;
  }
  ran_ = true;
  StepFacts facts;
  if (result == cadsim::StepResult::Done) follow(s, effects, facts);
  ++linesApplied_;
  const long injected = host_->faultsInjected() - injectedBefore_;
  faultsInjected_ += injected;
  if (injected > 0) facts.faultedOperations = faultedOperations(callsBefore_);
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
  const std::string json = cadsim::dumpJson(*host_, labels());
  model_->attach();
  return json;
}
