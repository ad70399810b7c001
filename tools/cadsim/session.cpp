// Applying parsed lines to the simulated host. Each verb resolves and checks
// everything it needs first and only then calls the host, so a refused line
// leaves the session as it was.
#include "session.h"

#include <filesystem>
#include <set>

#include "json_dump.h"
#include "listing.h"
#include "part_records.h"

namespace cadsim {

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

std::string Session::displayLabel(AcDbObjectId id) const {
  const std::string label = labels_.labelOf(id);
  return label.empty() ? "#" + host_.handleText(id) : label;
}

bool Session::resolve(const std::string& label, AcDbObjectId& id,
                      std::string& message) const {
  if (isHandleReference(label)) {
    id = host_.idFromHandle(label.substr(1));
    if (id.isNull()) {
      message = "no object with handle " + label.substr(1) + " in drawing " +
                host_.currentDrawingName();
      return false;
    }
    return true;
  }
  const LabelTable::Entry* entry = labels_.find(label);
  if (entry == nullptr) {
    message = "unknown label \"" + label + "\"";
    return false;
  }
  id = entry->id;
  if (host_.isOfClosedDrawing(id)) {
    message = label + " was in drawing " + entry->drawing + ", which is closed";
    return false;
  }
  return true;
}

bool Session::resolveSelection(const std::vector<std::string>& labels,
                               std::vector<AcDbObjectId>& ids,
                               std::string& message) const {
  std::set<AcDbObjectId> seen;
  const std::string drawing = host_.currentDrawingName();
  for (const std::string& label : labels) {
    AcDbObjectId id;
    if (!resolve(label, id, message)) return false;
    const LabelTable::Entry* entry = labels_.find(label);
    if (entry != nullptr && entry->drawing != drawing) {
      message = label + " is in drawing " + entry->drawing +
                ", not in the current drawing " + drawing;
      return false;
    }
    sim::ObjectInfo info;
    if (!host_.objectInfo(id, info) || info.erased) {
      message = label + " is erased";
      return false;
    }
    if (!seen.insert(id).second) {
      message = label + " is selected twice";
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

StepResult Session::apply(const Statement& s, std::string& message) {
  // Once the last drawing closed, only these verbs have a drawing to act on.
  const bool needsDrawing = s.verb == Verb::Add || s.verb == Verb::Regapp ||
                            s.verb == Verb::List || s.verb == Verb::Save;
  if (needsDrawing && host_.currentDrawingName().empty()) {
    message = "no drawing is open";
    return StepResult::ScriptError;
  }
  switch (s.verb) {
    case Verb::Drawing:
      host_.useDrawing(s.name);
      return StepResult::Done;

    case Verb::Close:
      if (!host_.closeDrawing(s.name)) {
        message = "no drawing \"" + s.name + "\" is open";
        return StepResult::ScriptError;
      }
      return StepResult::Done;

    case Verb::Add: {
      if (labels_.find(s.labels[0]) != nullptr) {
        message = "label \"" + s.labels[0] + "\" is already in use";
        return StepResult::ScriptError;
      }
      AcDbObjectId owner;
      if (!s.owner.empty()) {
        sim::ObjectInfo info;
        if (!resolve(s.owner, owner, message)) return StepResult::ScriptError;
        host_.objectInfo(owner, info);
        if (info.erased) {
          message = s.owner + " is erased";
          return StepResult::ScriptError;
        }
        if (s.extensionOf && !info.extensionDictionary.isNull()) {
          message = s.owner + " has an extension dictionary already";
          return StepResult::ScriptError;
        }
        if (!s.extensionOf && info.type != "DICTIONARY") {
          message = s.owner + " is a " + info.type + ", not a dictionary";
          return StepResult::ScriptError;
        }
      }
      const AcDbObjectId id =
          s.owner.empty() ? host_.addObject(s.name, s.pieces)
          : s.extensionOf ? host_.addExtensionDictionary(owner)
                          : host_.addToDictionary(owner, s.labels[0], s.name);
      if (id.isNull()) {
        message = "the host refused a new " + s.name;
        return StepResult::ScriptError;
      }
      labels_.add(s.labels[0], id, host_.drawingNameOf(id));
      return StepResult::Done;
    }

    case Verb::Xdata: {
      AcDbObjectId id;
      if (!resolve(s.labels[0], id, message)) return StepResult::ScriptError;
      const Acad::ErrorStatus status = host_.setXData(id, s.name, s.items);
      if (status != Acad::eOk) {
        message = "the host refused xdata under \"" + s.name + "\" for " +
                  s.labels[0] + ": " + sim::toUtf8(acadErrorStatusText(status));
        return StepResult::ScriptError;
      }
      return StepResult::Done;
    }

    case Verb::Regapp:
      if (!host_.registerApp(s.name)) {
        message = "\"" + s.name + "\" is not a valid application name";
        return StepResult::ScriptError;
      }
      return StepResult::Done;

    case Verb::Erase: {
      AcDbObjectId id;
      if (!resolve(s.labels[0], id, message)) return StepResult::ScriptError;
      const Acad::ErrorStatus status = host_.erase(id);
      if (status != Acad::eOk) {
        message = "cannot erase " + s.labels[0] + ": " +
                  sim::toUtf8(acadErrorStatusText(status));
        return StepResult::ScriptError;
      }
      return StepResult::Done;
    }

    case Verb::Command:
    case Verb::DeepClone:
    case Verb::AppendCopy: {
      std::vector<AcDbObjectId> ids;
      if (!resolveSelection(s.labels, ids, message))
        return StepResult::ScriptError;
      if (s.verb == Verb::Command)
        labelCreated(host_.runCommand(s.name, ids, s.repeat, s.outcome));
      else if (s.verb == Verb::DeepClone)
        labelCreated(host_.deepClone(ids));
      else
        labelCreated(host_.appendCopies(ids));
      return StepResult::Done;
    }

    case Verb::Begin:
      // A refused name is the host's answer, printed on its command line.
      host_.beginCommand(s.name);
      return StepResult::Done;

    case Verb::End:
      if (!host_.endCommand(s.name, s.outcome)) {
        message = "no command \"" + s.name + "\" is running";
        return StepResult::ScriptError;
      }
      return StepResult::Done;

    case Verb::LispBegin:
      host_.lispBegin(s.name);
      return StepResult::Done;
    case Verb::LispEnd:
      host_.lispEnd();
      return StepResult::Done;
    case Verb::LispCancel:
      host_.lispCancel();
      return StepResult::Done;

    case Verb::Load: {
      if (host_.moduleLoaded()) {
        message = "a module is already loaded (" + host_.modulePath() + ")";
        return StepResult::ScriptError;
      }
      const std::string path =
          s.name.empty() ? options_.modulePath : filePath(s.name);
      std::string error;
      if (!host_.loadModule(path, error)) {
        message = "cannot load \"" + path + "\": " + error;
        return StepResult::ScriptError;
      }
      return StepResult::Done;
    }

    case Verb::Open: {
      const std::string path = filePath(s.name);
      std::string name = s.drawingName;
      if (name.empty()) name = std::filesystem::path(path).stem().string();
      std::string error;
      if (name.empty() || !host_.openDrawingFile(path, name, error)) {
        message = "cannot open \"" + path +
                  "\": " + (name.empty() ? "name the drawing" : error);
        return StepResult::ScriptError;
      }
      return StepResult::Done;
    }

    case Verb::Save: {
      const std::string path = filePath(s.name);
      std::string error;
      if (!host_.saveDrawingFile(path, error)) {
        message = "cannot save \"" + path + "\": " + error;
        return StepResult::ScriptError;
      }
      return StepResult::Done;
    }

    case Verb::Unload:
      if (!host_.unloadModule()) {
        message = "no module is loaded";
        return StepResult::ScriptError;
      }
      return StepResult::Done;

    case Verb::Fault: {
      if (s.name == "off") {
        host_.clearFaults();
        return StepResult::Done;
      }
      sim::FaultSpec spec = s.fault;
      if (!s.faultObject.empty() &&
          !resolve(s.faultObject, spec.object, message))
        return StepResult::ScriptError;
      host_.armFault(spec);
      return StepResult::Done;
    }

    case Verb::List:
      writeListing(host_.drawingInfo(host_.currentDrawingName()),
                   readPartDictionary(host_, host_.currentDrawingName()),
                   labels_, out_);
      return StepResult::Done;

    case Verb::Dump:
      out_ << dumpJson(host_, labels_) << '\n';
      return StepResult::Done;

    case Verb::Check: {
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

    case Verb::Expect:
      return applyExpectation(s.expect, message);

    case Verb::Echo:
      out_ << s.name << '\n';
      return StepResult::Done;
  }
  message = "verb not handled";
  return StepResult::ScriptError;
}

}  // namespace cadsim
