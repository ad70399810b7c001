// Applying parsed lines to the simulated host, one handler per verb found
// through a table. Each resolves and checks everything it needs first and
// only then calls the host, so a refused line leaves the session as it was.
#include "tools/cadsim/session.h"

#include <filesystem>
#include <map>
#include <set>

#include "text/ascii_case.h"
#include "tools/cadsim/json_dump.h"
#include "tools/cadsim/listing.h"
#include "tools/cadsim/part_records.h"

namespace cadsim {

namespace {

std::string badAppName(const std::string& name, const std::string& why) {
  return "\"" + name + "\" is not a valid application name: " + why;
}

}  // namespace

Session::Session(sim::Host& host, const SessionOptions& options,
                 std::ostream& out)
    : host_(host), options_(options), out_(out) {}

void Session::echoCommandLine() {
  const std::vector<std::string> lines = host_.commandLine();
  for (; echoedLines_ < lines.size(); ++echoedLines_)
    out_ << lines[echoedLines_] << '\n';
}

std::string Session::filePath(const std::string& path) const {
  const std::filesystem::path given(path);
  if (given.is_absolute() || options_.baseDirectory.empty()) return path;
  return (std::filesystem::path(options_.baseDirectory) / given).string();
}

bool Session::isFolder(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_directory(path, ec);
}

bool Session::affords(long objects, text::Error& error) const {
  if (objects <= options_.objectBudget - objectsMade_) return true;
  error.message = "this line would make " + std::to_string(objects) +
                  " objects, past the session's budget of " +
                  std::to_string(options_.objectBudget) + " (" +
                  std::to_string(objectsMade_) +
                  " made so far; --object-budget raises it)";
  return false;
}

std::string Session::displayLabel(AcDbObjectId id) const {
  const std::string label = labels_.labelOf(id);
  return label.empty() ? "#" + host_.handleText(id) : label;
}

bool Session::resolve(const std::string& label, AcDbObjectId& id,
                      text::Error& error) const {
  if (isHandleReference(label)) {
    id = host_.idFromHandle(label.substr(1));
    if (id.isNull()) {
      error.message = "no object with handle " + label.substr(1) +
                      " in drawing " + host_.currentDrawingName();
      return false;
    }
    return true;
  }
  const LabelTable::Entry* entry = labels_.find(label);
  if (entry == nullptr) {
    error.message = "unknown label \"" + label + "\"";
    return false;
  }
  id = entry->id;
  if (host_.isOfClosedDrawing(id)) {
    error.message =
        label + " was in drawing " + entry->drawing + ", which is closed";
    return false;
  }
  return true;
}

bool Session::resolveSelection(const std::vector<std::string>& labels,
                               std::vector<AcDbObjectId>& ids,
                               text::Error& error) const {
  std::set<AcDbObjectId> seen;
  const std::string drawing = host_.currentDrawingName();
  for (const std::string& label : labels) {
    AcDbObjectId id;
    if (!resolve(label, id, error)) return false;
    const LabelTable::Entry* entry = labels_.find(label);
    if (entry != nullptr && entry->drawing != drawing) {
      error.message = label;
      error.message += " is in drawing " + entry->drawing +
                       ", not in the current drawing " + drawing;
      return false;
    }
    sim::ObjectInfo info;
    if (!host_.objectInfo(id, info) || info.erased) {
      error.message = label + " is erased";
      return false;
    }
    if (!seen.insert(id).second) {
      error.message = label + " is selected twice";
      return false;
    }
    ids.push_back(id);
  }
  return true;
}

void Session::labelCreated(const sim::Created& created) {
  std::set<AcDbObjectId> made;
  for (const sim::CreatedPair& pair : created) made.insert(pair.second);
  for (const sim::CreatedPair& pair : created) {
    // What a clone owns was cloned with it and goes by its handle.
    sim::ObjectInfo info;
    host_.objectInfo(pair.second, info);
    if (made.count(info.ownerId)) continue;
    // COPYCLIP's clones lie in the clipboard, not in the current drawing.
    const std::string drawing = host_.drawingNameOf(pair.second);
    const std::string label =
        labels_.nextCloneLabel(pair.first, "#" + host_.handleText(pair.first));
    // Counters go by label text across drawings, so the label is new even
    // when two drawings hold a #2F.
    labels_.add(label, pair.second, drawing);
  }
}

StepResult Session::apply(const Statement& s, text::Error& error) {
  struct VerbEntry {
    Handler handler;
    // Once the last drawing closed, these verbs have nothing to act on.
    bool needsDrawing;
  };
  static const std::map<Verb, VerbEntry> table = {
      {Verb::Drawing, {&Session::applyDrawing, false}},
      {Verb::Close, {&Session::applyClose, false}},
      {Verb::Add, {&Session::applyAdd, true}},
      {Verb::Xdata, {&Session::applyXdata, false}},
      {Verb::Regapp, {&Session::applyRegapp, true}},
      {Verb::Erase, {&Session::applyErase, false}},
      {Verb::Command, {&Session::applySelection, true}},
      {Verb::DeepClone, {&Session::applySelection, false}},
      {Verb::AppendCopy, {&Session::applySelection, false}},
      {Verb::Begin, {&Session::applyBegin, true}},
      {Verb::End, {&Session::applyEnd, false}},
      {Verb::LispBegin, {&Session::applyLisp, false}},
      {Verb::LispEnd, {&Session::applyLisp, false}},
      {Verb::LispCancel, {&Session::applyLisp, false}},
      {Verb::Load, {&Session::applyLoad, false}},
      {Verb::Unload, {&Session::applyUnload, false}},
      {Verb::Open, {&Session::applyOpen, false}},
      {Verb::Save, {&Session::applySave, true}},
      {Verb::Fault, {&Session::applyFault, false}},
      {Verb::Host, {&Session::applyHost, false}},
      {Verb::List, {&Session::applyList, true}},
      {Verb::Dump, {&Session::applyDump, false}},
      {Verb::Check, {&Session::applyCheck, false}},
      {Verb::Expect, {&Session::applyExpect, false}},
      {Verb::Echo, {&Session::applyEcho, false}},
  };
  error.line = s.line;
  const auto entry = table.find(s.verb);
  if (entry == table.end()) {
    error.message = "verb not handled";
    return StepResult::ScriptError;
  }
  if (entry->second.needsDrawing && host_.currentDrawingName().empty()) {
    error.message = "no drawing is open";
    return StepResult::ScriptError;
  }
  if (observer_ == nullptr) return (this->*entry->second.handler)(s, error);
  effects_ = LineEffects();
  observer_->willApply(s);
  const StepResult result = (this->*entry->second.handler)(s, error);
  observer_->applied(s, result, effects_);
  return result;
}

StepResult Session::applyDrawing(const Statement& s, text::Error&) {
  host_.useDrawing(s.name);
  return StepResult::Done;
}

StepResult Session::applyClose(const Statement& s, text::Error& error) {
  if (!host_.closeDrawing(s.name)) {
    error.message = "no drawing \"" + s.name + "\" is open";
    return StepResult::ScriptError;
  }
  return StepResult::Done;
}

StepResult Session::applyAdd(const Statement& s, text::Error& error) {
  if (labels_.find(s.labels[0]) != nullptr) {
    error.message = "label \"" + s.labels[0] + "\" is already in use";
    return StepResult::ScriptError;
  }
  if (!affords(1, error)) return StepResult::ScriptError;
  AcDbObjectId owner;
  if (!s.owner.empty()) {
    sim::ObjectInfo info;
    if (!resolve(s.owner, owner, error)) return StepResult::ScriptError;
    host_.objectInfo(owner, info);
    if (info.erased) {
      error.message = s.owner + " is erased";
      return StepResult::ScriptError;
    }
    if (s.extensionOf && !info.extensionDictionary.isNull()) {
      error.message = s.owner + " has an extension dictionary already";
      return StepResult::ScriptError;
    }
    if (!s.extensionOf && info.type != "DICTIONARY") {
      error.message = s.owner + " is a " + info.type + ", not a dictionary";
      return StepResult::ScriptError;
    }
  }
  const AcDbObjectId id =
      s.owner.empty() ? host_.addObject(s.name, s.pieces)
      : s.extensionOf ? host_.addExtensionDictionary(owner)
                      : host_.addToDictionary(owner, s.labels[0], s.name);
  if (id.isNull()) {
    error.message = "the host refused a new " + s.name;
    return StepResult::ScriptError;
  }
  labels_.add(s.labels[0], id, host_.drawingNameOf(id));
  ++objectsMade_;
  return StepResult::Done;
}

StepResult Session::applyXdata(const Statement& s, text::Error& error) {
  AcDbObjectId id;
  if (!resolve(s.labels[0], id, error)) return StepResult::ScriptError;
  const std::string nameProblem = sim::Host::nameProblem(s.name);
  if (!nameProblem.empty()) {
    error.message = badAppName(s.name, nameProblem);
    return StepResult::ScriptError;
  }
  for (std::size_t k = 0; k < s.items.size(); ++k) {
    const std::string problem = sim::Host::xdataItemProblem(s.items[k]);
    if (problem.empty()) continue;
    error.message = "the host refuses item " + std::to_string(k + 1) +
                    " (code " + std::to_string(s.items[k].code) + ") for " +
                    s.labels[0] + ": " + problem;
    return StepResult::ScriptError;
  }
  const Acad::ErrorStatus status = host_.setXData(id, s.name, s.items);
  if (status != Acad::eOk) {
    error.message = "the host refused xdata under \"" + s.name + "\" for " +
                    s.labels[0] + ": " +
                    sim::toUtf8(acadErrorStatusText(status));
    return StepResult::ScriptError;
  }
  effects_.named.push_back(id);
  return StepResult::Done;
}

StepResult Session::applyRegapp(const Statement& s, text::Error& error) {
  if (!host_.registerApp(s.name)) {
    error.message = badAppName(s.name, sim::Host::nameProblem(s.name));
    return StepResult::ScriptError;
  }
  return StepResult::Done;
}

StepResult Session::applyErase(const Statement& s, text::Error& error) {
  AcDbObjectId id;
  if (!resolve(s.labels[0], id, error)) return StepResult::ScriptError;
  const Acad::ErrorStatus status = host_.erase(id);
  if (status != Acad::eOk) {
    error.message = "cannot erase " + s.labels[0] + ": " +
                    sim::toUtf8(acadErrorStatusText(status));
    return StepResult::ScriptError;
  }
  effects_.named.push_back(id);
  return StepResult::Done;
}

// COMMAND, DEEPCLONE and APPEND-COPY: a selection, the objects it would
// make weighed against the budget, then the host's work labelled.
StepResult Session::applySelection(const Statement& s, text::Error& error) {
  std::vector<AcDbObjectId> ids;
  if (!resolveSelection(s.labels, ids, error)) return StepResult::ScriptError;
  if (s.verb == Verb::Command && !takesWhatItIsGiven(s, ids, error))
    return StepResult::ScriptError;
  const long objects =
      s.verb == Verb::Command
          ? host_.objectsCommandWouldMake(s.name, ids, s.repeat)
      : s.verb == Verb::DeepClone ? host_.objectsDeepCloneWouldMake(ids)
                                  : static_cast<long>(ids.size());
  if (!affords(objects, error)) return StepResult::ScriptError;
  sim::Created created;
  if (s.verb == Verb::Command)
    created = host_.runCommand(s.name, ids, s.repeat, s.outcome);
  else if (s.verb == Verb::DeepClone)
    created = host_.deepClone(ids);
  else
    created = host_.appendCopies(ids);
  objectsMade_ += static_cast<long>(created.size());
  labelCreated(created);
  effects_.named = ids;
  effects_.created = created;
  return StepResult::Done;
}

// EXPLODE and OFFSET pass over what is no entity without a word; a script
// that selects one has a mistake in it.
bool Session::takesWhatItIsGiven(const Statement& s,
                                 const std::vector<AcDbObjectId>& ids,
                                 text::Error& error) const {
  const std::string name = text::upperAscii(s.name);
  if (name != "EXPLODE" && name != "OFFSET") return true;
  for (std::size_t i = 0; i < ids.size(); ++i) {
    sim::ObjectInfo info;
    if (!host_.objectInfo(ids[i], info) || info.entity) continue;
    error.message =
        name + " takes entities, not " + s.labels[i] + " (" + info.type + ")";
    return false;
  }
  return true;
}

StepResult Session::applyBegin(const Statement& s, text::Error&) {
  // A refused name is the host's answer, printed on its command line.
  host_.beginCommand(s.name);
  return StepResult::Done;
}

StepResult Session::applyEnd(const Statement& s, text::Error& error) {
  if (!host_.endCommand(s.name, s.outcome)) {
    error.message = "no command \"" + s.name + "\" is running";
    return StepResult::ScriptError;
  }
  return StepResult::Done;
}

StepResult Session::applyLisp(const Statement& s, text::Error& error) {
  if (s.verb == Verb::LispBegin) {
    ++lispRunning_;
    host_.lispBegin(s.name);
    return StepResult::Done;
  }
  if (lispRunning_ == 0) {
    error.message = "no LISP evaluation is running (lisp begin starts one)";
    return StepResult::ScriptError;
  }
  --lispRunning_;
  if (s.verb == Verb::LispEnd)
    host_.lispEnd();
  else
    host_.lispCancel();
  return StepResult::Done;
}

StepResult Session::applyLoad(const Statement& s, text::Error& error) {
  if (host_.moduleLoaded()) {
    error.message = "a module is already loaded (" + host_.modulePath() + ")";
    return StepResult::ScriptError;
  }
  const std::string path =
      s.name.empty() ? options_.modulePath : filePath(s.name);
  text::Error why;
  const bool loaded = s.name.empty() && options_.moduleEntry != nullptr
                          ? host_.loadModule(options_.moduleEntry, why)
                          : host_.loadModule(path, why);
  if (!loaded) {
    error.message = "cannot load \"" + path + "\": " + why.text();
    return StepResult::ScriptError;
  }
  return StepResult::Done;
}

StepResult Session::applyOpen(const Statement& s, text::Error& error) {
  const std::string path = filePath(s.name);
  if (isFolder(path)) {
    error.message = "cannot open \"" + path + "\": is a directory";
    return StepResult::ScriptError;
  }
  std::string name = s.drawingName;
  if (name.empty()) name = std::filesystem::path(path).stem().string();
  text::Error why;
  if (name.empty() || !host_.openDrawingFile(path, name, s.name, why)) {
    error.message = "cannot open \"" + path +
                    "\": " + (name.empty() ? "name the drawing" : why.text());
    return StepResult::ScriptError;
  }
  // What a file holds is known only once read: it counts from then on.
  objectsMade_ += static_cast<long>(host_.objectCount(name));
  return StepResult::Done;
}

StepResult Session::applySave(const Statement& s, text::Error& error) {
  const std::string path = filePath(s.name);
  if (isFolder(path)) {
    error.message = "cannot save \"" + path + "\": is a directory";
    return StepResult::ScriptError;
  }
  text::Error why;
  if (!host_.saveDrawingFile(path, why)) {
    error.message = "cannot save \"" + path + "\": " + why.text();
    return StepResult::ScriptError;
  }
  return StepResult::Done;
}

StepResult Session::applyUnload(const Statement&, text::Error& error) {
  if (!host_.unloadModule()) {
    error.message = "no module is loaded";
    return StepResult::ScriptError;
  }
  return StepResult::Done;
}

StepResult Session::applyFault(const Statement& s, text::Error& error) {
  if (s.name == "off") {
    host_.clearFaults();
    return StepResult::Done;
  }
  sim::FaultSpec spec = s.fault;
  if (!s.faultObject.empty() && !resolve(s.faultObject, spec.object, error))
    return StepResult::ScriptError;
  host_.armFault(spec);
  return StepResult::Done;
}

StepResult Session::applyHost(const Statement& s, text::Error&) {
  host_.setIdMapReferences(s.switchOn);
  return StepResult::Done;
}

StepResult Session::applyList(const Statement&, text::Error&) {
  writeListing(host_, host_.drawingInfo(host_.currentDrawingName()),
               readPartDictionary(host_, host_.currentDrawingName()), labels_,
               out_);
  return StepResult::Done;
}

StepResult Session::applyDump(const Statement&, text::Error&) {
  out_ << dumpJson(host_, labels_) << '\n';
  return StepResult::Done;
}

StepResult Session::applyCheck(const Statement&, text::Error&) {
  host_.audit();
  const std::vector<std::string>& violations = host_.violations();
  if (violations.empty()) {
    out_ << "check: no violations\n";
  } else {
    checkFailed_ = true;
    out_ << "check: " << violations.size()
         << (violations.size() == 1 ? " violation\n" : " violations\n");
    for (const std::string& v : violations) out_ << "  " << v << '\n';
  }
  return StepResult::Done;
}

StepResult Session::applyExpect(const Statement& s, text::Error& error) {
  return applyExpectation(s.expect, error);
}

StepResult Session::applyEcho(const Statement& s, text::Error&) {
  out_ << s.name << '\n';
  return StepResult::Done;
}

}  // namespace cadsim
