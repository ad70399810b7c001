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
// wherever a TAG or an APP is written.
#include <algorithm>

#include "listing.h"
#include "part_records.h"
#include "session.h"

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

}  // namespace

bool Session::tagOf(const TagRef& ref, std::string& tag,
                    std::string& message) const {
  if (!ref.fromLabel) {
    tag = ref.text;
    return true;
  }
  AcDbObjectId id;
  if (!resolve(ref.text, id, message)) return false;
  tag = "$" + host_.handleText(id);
  return true;
}

StepResult Session::applyExpectation(const Expectation& e,
                                     std::string& message) {
  // Resolve first: a name that means nothing is a script error, not a
  // failed expectation.
  AcDbObjectId id;
  if (!e.label.empty() && !resolve(e.label, id, message))
    return StepResult::ScriptError;
  std::string tag;
  switch (e.kind) {
    case ExpectKind::Tag:
    case ExpectKind::TagNot:
    case ExpectKind::Record:
    case ExpectKind::NoRecord:
    case ExpectKind::Xdata:
    case ExpectKind::NoXdata:
    case ExpectKind::Regapp:
    case ExpectKind::NoRegapp:
      if (e.tagNone) break;
      if (!tagOf(e.tag, tag, message)) return StepResult::ScriptError;
      break;
    default:
      break;
  }
  std::vector<std::string> memberLabels;
  if (e.kind == ExpectKind::Record || e.kind == ExpectKind::Owner ||
      e.kind == ExpectKind::ExtensionDict) {
    for (const std::string& member : e.names) {
      AcDbObjectId memberId;
      if (!resolve(member, memberId, message)) return StepResult::ScriptError;
      memberLabels.push_back(displayLabel(memberId));
    }
  }

  const sim::DrawingInfo drawing =
      host_.drawingInfo(host_.currentDrawingName());
  const PartDictionary parts = readPartDictionary(host_, drawing.name);
  const PartRecord* record = nullptr;
  for (const PartRecord& r : parts.records)
    if (r.tag == tag) record = &r;

  std::string failure;
  switch (e.kind) {
    case ExpectKind::Tag:
    case ExpectKind::TagNot: {
      const std::string actual = partTag(host_.xdataOf(id));
      const std::string wanted = e.tagNone ? std::string() : tag;
      const bool equal = actual == wanted;
      if (e.kind == ExpectKind::Tag && !equal)
        failure = e.label + " has tag " + (actual.empty() ? "none" : actual) +
                  ", not " + (wanted.empty() ? "none" : wanted);
      if (e.kind == ExpectKind::TagNot && equal)
        failure = e.label + " has tag " + actual;
      break;
    }
    case ExpectKind::Xdata:
    case ExpectKind::NoXdata: {
      const sim::XdataBlock* block = nullptr;
      const std::vector<sim::XdataBlock> xdata = host_.xdataOf(id);
      for (const sim::XdataBlock& b : xdata)
        if (b.app == tag) block = &b;
      if (e.kind == ExpectKind::NoXdata) {
        if (block != nullptr)
          failure = e.label + " has xdata under " + tag + ": " +
                    describeItems(block->items);
      } else if (block == nullptr) {
        failure = e.label + " has no xdata under " + tag;
      } else if (!(block->items == e.items)) {
        failure = e.label + " has under " + tag + ": " +
                  describeItems(block->items) + ", not " +
                  describeItems(e.items);
      }
      break;
    }
    case ExpectKind::Owner:
    case ExpectKind::ExtensionDict: {
      sim::ObjectInfo info;
      host_.objectInfo(id, info);
      const bool owner = e.kind == ExpectKind::Owner;
      const AcDbObjectId actual =
          owner ? info.ownerId : info.extensionDictionary;
      const std::string actualText =
          actual.isNull() ? "none" : displayLabel(actual);
      const std::string wanted = e.tagNone ? "none" : memberLabels.front();
      if (actualText != wanted)
        failure = e.label +
                  (owner ? "'s owner is " : "'s extension dictionary is ") +
                  actualText + ", not " + wanted;
      break;
    }
    case ExpectKind::Erased:
    case ExpectKind::NotErased: {
      sim::ObjectInfo info;
      host_.objectInfo(id, info);
      if (info.erased != (e.kind == ExpectKind::Erased))
        failure = e.label + (info.erased ? " is erased" : " is not erased");
      break;
    }
    case ExpectKind::Record: {
      if (record == nullptr) {
        failure = "no part record " + tag + " in drawing " + drawing.name;
        break;
      }
      std::vector<std::string> actual;
      for (const sim::Item& item : record->items) {
        if (item.code != 330) continue;
        const std::string* handle = std::get_if<std::string>(&item.value);
        const AcDbObjectId member =
            handle ? host_.idFromHandle(*handle) : AcDbObjectId();
        actual.push_back(member.isNull() ? "?" : displayLabel(member));
      }
      if (actual != memberLabels)
        failure = "part record " + tag + " lists " + joined(actual) + ", not " +
                  joined(memberLabels);
      break;
    }
    case ExpectKind::NoRecord:
      if (record != nullptr)
        failure = "part record " + tag + " exists in drawing " + drawing.name;
      break;
    case ExpectKind::Records:
      if (static_cast<long>(parts.records.size()) != e.count)
        failure = "drawing " + drawing.name + " has " +
                  std::to_string(parts.records.size()) + " part records, not " +
                  std::to_string(e.count);
      break;
    case ExpectKind::Regapp:
    case ExpectKind::NoRegapp: {
      const bool registered =
          std::find(drawing.regapps.begin(), drawing.regapps.end(), tag) !=
          drawing.regapps.end();
      if (registered != (e.kind == ExpectKind::Regapp))
        failure = tag + (registered ? " is" : " is not") +
                  " registered in drawing " + drawing.name;
      break;
    }
    case ExpectKind::Line:
    case ExpectKind::NoLine: {
      const std::vector<std::string> lines = host_.commandLine();
      const bool present =
          std::find(lines.begin(), lines.end(), e.text) != lines.end();
      if (present != (e.kind == ExpectKind::Line))
        failure = "the command line " +
                  std::string(present ? "holds" : "does not hold") +
                  " the line \"" + e.text + "\"";
      break;
    }
    case ExpectKind::Loaded:
    case ExpectKind::Unloaded:
      if (host_.moduleLoaded() != (e.kind == ExpectKind::Loaded))
        failure =
            host_.moduleLoaded() ? "a module is loaded" : "no module is loaded";
      break;
    case ExpectKind::Commands: {
      const std::vector<std::string> actual = host_.commandNames();
      if (actual != e.names)
        failure = "registered commands are " + joined(actual) + ", not " +
                  joined(e.names);
      break;
    }
    case ExpectKind::EditorReactors:
    case ExpectKind::DatabaseReactors: {
      const bool editor = e.kind == ExpectKind::EditorReactors;
      const long actual =
          editor ? host_.editorReactorCount() : host_.databaseReactorCount();
      if (actual != e.count)
        failure = std::to_string(actual) +
                  (editor ? " editor reactors" : " database reactors") +
                  " attached, not " + std::to_string(e.count);
      break;
    }
    case ExpectKind::Violations: {
      host_.audit();
      const long actual = static_cast<long>(host_.violations().size());
      if (actual != e.count)
        failure = std::to_string(actual) + " violations, not " +
                  std::to_string(e.count) +
                  (actual ? ": " + host_.violations().front() : "");
      break;
    }
  }
  if (failure.empty()) return StepResult::Done;
  message = "expectation failed: " + failure;
  return StepResult::ExpectationFailed;
}

}  // namespace cadsim
