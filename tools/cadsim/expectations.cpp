// `expect` lines: a scenario script states what must hold at that point, and
// the run stops with status 1 at the first statement that does not.
//
//   expect LABEL tag $10 | tag none | tag @L1.1     part tag of LABEL
//   expect LABEL tag-not $10                        any other tag, or none
//   expect LABEL xdata APP ITEM... | no-xdata APP   APP's block exactly
//   expect LABEL owner LABEL|none                   what owns LABEL
//   expect LABEL extension-dictionary LABEL|none    LABEL's own dictionary
//   expect erased LABEL | not-erased LABEL
//   expect record TAG LABEL... | no-record TAG      part records, current
//   expect records N                                drawing
//   expect regapp APP | no-regapp APP               ditto
//   expect line "TEXT" | no-line "TEXT"             the host's command line
//   expect loaded | unloaded | commands NAME...     the plug-in
//   expect editor-reactors N | database-reactors N | violations N
//
// "@LABEL" stands for the tag the module makes from that object's handle,
// wherever a TAG or an APP is written. One judge per kind, found through a
// table; only the one about applications lists the drawing.
#include <algorithm>
#include <functional>
#include <map>

#include "tools/cadsim/listing.h"
#include "tools/cadsim/part_records.h"
#include "tools/cadsim/session.h"

namespace cadsim {

namespace {

// The part tag as the module finds it: the first application whose name
// begins with "$".
std::string partTag(const std::vector<sim::XdataBlock>& xdata) {
  for (const sim::XdataBlock& block : xdata)
    if (!block.app.empty() && block.app[0] == '$') return block.app;
  return std::string();
}

std::string describeItems(const sim::Items& items) {
  if (items.empty()) return "(no items)";
  std::string text;
  for (const sim::Item& item : items) {
    if (!text.empty()) text += ' ';
    text += formatItem(item);
  }
  return text;
}

std::string joined(const std::vector<std::string>& words) {
  if (words.empty()) return "(none)";
  std::string text;
  for (const std::string& word : words) {
    if (!text.empty()) text += ' ';
    text += word;
  }
  return text;
}

// What an expectation looks at, resolved before it is judged.
struct Subject {
  const Expectation& e;
  sim::Host& host;
  AcDbObjectId id;  // the object of e.label
  std::string tag;  // the tag or application, @LABEL made into its tag
  std::vector<std::string> members;  // e.names as objects are labelled
  std::function<std::string(AcDbObjectId)> labelOf;
};

// "" when the expectation holds, else what was found instead.
using Judge = std::string (*)(Subject&);

std::string judgeTag(Subject& x) {
  const std::string actual = partTag(x.host.xdataOf(x.id));
  const std::string wanted = x.e.tagNone ? std::string() : x.tag;
  const bool equal = actual == wanted;
  if (x.e.kind == ExpectKind::Tag && !equal)
    return x.e.label + " has tag " + (actual.empty() ? "none" : actual) +
           ", not " + (wanted.empty() ? "none" : wanted);
  if (x.e.kind == ExpectKind::TagNot && equal)
    return x.e.label + " has tag " + actual;
  return std::string();
}

std::string judgeXdata(Subject& x) {
  const std::vector<sim::XdataBlock> xdata = x.host.xdataOf(x.id);
  const sim::XdataBlock* block = nullptr;
  for (const sim::XdataBlock& b : xdata)
    if (b.app == x.tag) block = &b;
  if (x.e.kind == ExpectKind::NoXdata)
    return block == nullptr ? std::string()
                            : x.e.label + " has xdata under " + x.tag + ": " +
                                  describeItems(block->items);
  if (block == nullptr) return x.e.label + " has no xdata under " + x.tag;
  if (!(block->items == x.e.items))
    return x.e.label + " has under " + x.tag + ": " +
           describeItems(block->items) + ", not " + describeItems(x.e.items);
  return std::string();
}

std::string judgeOwnership(Subject& x) {
  sim::ObjectInfo info;
  x.host.objectInfo(x.id, info);
  const bool owner = x.e.kind == ExpectKind::Owner;
  const AcDbObjectId actual = owner ? info.ownerId : info.extensionDictionary;
  const std::string actualText = actual.isNull() ? "none" : x.labelOf(actual);
  const std::string wanted = x.e.tagNone ? "none" : x.members.front();
  if (actualText == wanted) return std::string();
  return x.e.label + (owner ? "'s owner is " : "'s extension dictionary is ") +
         actualText + ", not " + wanted;
}

std::string judgeErased(Subject& x) {
  sim::ObjectInfo info;
  x.host.objectInfo(x.id, info);
  if (info.erased == (x.e.kind == ExpectKind::Erased)) return std::string();
  return x.e.label + (info.erased ? " is erased" : " is not erased");
}

// The applications of the current drawing are known only from its listing,
// so only that expectation asks for it.
sim::DrawingInfo currentDrawing(sim::Host& host) {
  return host.drawingInfo(host.currentDrawingName());
}

const PartRecord* findRecord(const PartDictionary& parts,
                             const std::string& tag) {
  for (const PartRecord& r : parts.records)
    if (r.tag == tag) return &r;
  return nullptr;
}

std::string judgeRecord(Subject& x) {
  const std::string drawing = x.host.currentDrawingName();
  const PartDictionary parts = readPartDictionary(x.host, drawing);
  const PartRecord* record = findRecord(parts, x.tag);
  if (x.e.kind == ExpectKind::NoRecord)
    return record == nullptr
               ? std::string()
               : "part record " + x.tag + " exists in drawing " + drawing;
  if (record == nullptr)
    return "no part record " + x.tag + " in drawing " + drawing;
  std::vector<std::string> actual;
  for (const sim::Item& item : record->items) {
    if (item.code != 330) continue;
    const std::string* handle = std::get_if<std::string>(&item.value);
    const AcDbObjectId member =
        handle ? x.host.idFromHandle(*handle) : AcDbObjectId();
    actual.push_back(member.isNull() ? "?" : x.labelOf(member));
  }
  if (actual == x.members) return std::string();
  return "part record " + x.tag + " lists " + joined(actual) + ", not " +
         joined(x.members);
}

std::string judgeRecordCount(Subject& x) {
  const std::string drawing = x.host.currentDrawingName();
  const PartDictionary parts = readPartDictionary(x.host, drawing);
  if (static_cast<long>(parts.records.size()) == x.e.count)
    return std::string();
  return "drawing " + drawing + " has " + std::to_string(parts.records.size()) +
         " part records, not " + std::to_string(x.e.count);
}

std::string judgeRegapp(Subject& x) {
  const sim::DrawingInfo drawing = currentDrawing(x.host);
  const bool registered =
      std::find(drawing.regapps.begin(), drawing.regapps.end(), x.tag) !=
      drawing.regapps.end();
  if (registered == (x.e.kind == ExpectKind::Regapp)) return std::string();
  return x.tag + (registered ? " is" : " is not") + " registered in drawing " +
         drawing.name;
}

std::string judgeLine(Subject& x) {
  const std::vector<std::string> lines = x.host.commandLine();
  const bool present =
      std::find(lines.begin(), lines.end(), x.e.text) != lines.end();
  if (present == (x.e.kind == ExpectKind::Line)) return std::string();
  return "the command line " +
         std::string(present ? "holds" : "does not hold") + " the line \"" +
         x.e.text + "\"";
}

std::string judgeLoaded(Subject& x) {
  const bool loaded = x.host.moduleLoaded();
  if (loaded == (x.e.kind == ExpectKind::Loaded)) return std::string();
  return loaded ? "a module is loaded" : "no module is loaded";
}

std::string judgeCommands(Subject& x) {
  const std::vector<std::string> actual = x.host.commandNames();
  if (actual == x.e.names) return std::string();
  return "registered commands are " + joined(actual) + ", not " +
         joined(x.e.names);
}

std::string judgeReactors(Subject& x) {
  const bool editor = x.e.kind == ExpectKind::EditorReactors;
  const long actual =
      editor ? x.host.editorReactorCount() : x.host.databaseReactorCount();
  if (actual == x.e.count) return std::string();
  return std::to_string(actual) +
         (editor ? " editor reactors" : " database reactors") +
         " attached, not " + std::to_string(x.e.count);
}

std::string judgeViolations(Subject& x) {
  x.host.audit();
  const long actual = static_cast<long>(x.host.violations().size());
  if (actual == x.e.count) return std::string();
  return std::to_string(actual) + " violations, not " +
         std::to_string(x.e.count) +
         (actual ? ": " + x.host.violations().front() : "");
}

struct ExpectationEntry {
  Judge judge;
  bool namesTag;      // e.tag is resolved into the subject's tag
  bool namesMembers;  // e.names are labels, resolved into members
};

const std::map<ExpectKind, ExpectationEntry>& expectationTable() {
  static const std::map<ExpectKind, ExpectationEntry> table = {
      {ExpectKind::Tag, {judgeTag, true, false}},
      {ExpectKind::TagNot, {judgeTag, true, false}},
      {ExpectKind::Xdata, {judgeXdata, true, false}},
      {ExpectKind::NoXdata, {judgeXdata, true, false}},
      {ExpectKind::Owner, {judgeOwnership, false, true}},
      {ExpectKind::ExtensionDict, {judgeOwnership, false, true}},
      {ExpectKind::Erased, {judgeErased, false, false}},
      {ExpectKind::NotErased, {judgeErased, false, false}},
      {ExpectKind::Record, {judgeRecord, true, true}},
      {ExpectKind::NoRecord, {judgeRecord, true, false}},
      {ExpectKind::Records, {judgeRecordCount, false, false}},
      {ExpectKind::Regapp, {judgeRegapp, true, false}},
      {ExpectKind::NoRegapp, {judgeRegapp, true, false}},
      {ExpectKind::Line, {judgeLine, false, false}},
      {ExpectKind::NoLine, {judgeLine, false, false}},
      {ExpectKind::Loaded, {judgeLoaded, false, false}},
      {ExpectKind::Unloaded, {judgeLoaded, false, false}},
      {ExpectKind::Commands, {judgeCommands, false, false}},
      {ExpectKind::EditorReactors, {judgeReactors, false, false}},
      {ExpectKind::DatabaseReactors, {judgeReactors, false, false}},
      {ExpectKind::Violations, {judgeViolations, false, false}},
  };
  return table;
}

}  // namespace

bool Session::tagOf(const TagRef& ref, std::string& tag,
                    text::Error& error) const {
  if (!ref.fromLabel) {
    tag = ref.text;
    return true;
  }
  AcDbObjectId id;
  if (!resolve(ref.text, id, error)) return false;
  tag = "$" + host_.handleText(id);
  return true;
}

StepResult Session::applyExpectation(const Expectation& e, text::Error& error) {
  const auto entry = expectationTable().find(e.kind);
  if (entry == expectationTable().end()) {
    error.message = "expectation not handled";
    return StepResult::ScriptError;
  }
  // Resolve first: a name that means nothing is a script error, not a
  // failed expectation.
  Subject subject{
      e, host_, AcDbObjectId(), std::string(), {}, [this](AcDbObjectId id) {
        return displayLabel(id);
      }};
  if (!e.label.empty() && !resolve(e.label, subject.id, error))
    return StepResult::ScriptError;
  if (entry->second.namesTag && !e.tagNone && !tagOf(e.tag, subject.tag, error))
    return StepResult::ScriptError;
  if (entry->second.namesMembers)
    for (const std::string& member : e.names) {
      AcDbObjectId memberId;
      if (!resolve(member, memberId, error)) return StepResult::ScriptError;
      subject.members.push_back(displayLabel(memberId));
    }
  const std::string failure = entry->second.judge(subject);
  if (failure.empty()) return StepResult::Done;
  error.message = "expectation failed: " + failure;
  return StepResult::ExpectationFailed;
}

}  // namespace cadsim
