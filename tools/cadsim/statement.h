// One parsed line of a session script: its verb and its arguments, checked
// for syntax, ready to be resolved against the session and applied.
#ifndef TOOLS_CADSIM_STATEMENT_H
#define TOOLS_CADSIM_STATEMENT_H

#include <string>
#include <vector>

#include "host/sim/host.h"
#include "text/error.h"

namespace cadsim {

enum class Verb {
  Drawing,
  Close,
  Add,
  Xdata,
  Regapp,
  Erase,
  Command,
  Begin,
  End,
  DeepClone,
  AppendCopy,
  LispBegin,
  LispEnd,
  LispCancel,
  Load,
  Unload,
  Open,
  Save,
  Fault,
  Host,
  List,
  Dump,
  Check,
  Expect,
  Echo
};

// A part tag as an expectation names it: literal text ("$10"), or the tag
// the module makes from an object's handle ("@L1.1").
struct TagRef {
  bool fromLabel = false;
  std::string text;  // the tag, or the label whose handle makes it
};

enum class ExpectKind {
  Tag,               // LABEL tag TAG|none
  TagNot,            // LABEL tag-not TAG
  Xdata,             // LABEL xdata APP ITEM...
  NoXdata,           // LABEL no-xdata APP
  Owner,             // LABEL owner LABEL|none
  ExtensionDict,     // LABEL extension-dictionary LABEL|none
  Erased,            // erased LABEL
  NotErased,         // not-erased LABEL
  Record,            // record TAG LABEL...
  NoRecord,          // no-record TAG
  Records,           // records N
  Regapp,            // regapp NAME
  NoRegapp,          // no-regapp NAME
  Line,              // line "TEXT"
  NoLine,            // no-line "TEXT"
  Loaded,            // loaded
  Unloaded,          // unloaded
  Commands,          // commands NAME...
  EditorReactors,    // editor-reactors N
  DatabaseReactors,  // database-reactors N
  Violations         // violations N
};

struct Expectation {
  ExpectKind kind = ExpectKind::Loaded;
  std::string label;     // the object looked at
  bool tagNone = false;  // "tag none", "owner none"...
  TagRef tag;            // the tag or application looked at
  std::string text;      // line text
  // members of a record, command names, the owner or extension dictionary
  std::vector<std::string> names;
  sim::Items items;  // Xdata
  long count = 0;    // Records, the reactor counts, Violations
};

struct Statement {
  int line = 0;
  Verb verb = Verb::List;
  std::string name;                 // drawing, type, app, command, path, text
  std::string drawingName;          // open: the name the drawing gets
  std::vector<std::string> labels;  // objects named, in order
  sim::Items items;                 // xdata items
  int pieces = 2;                   // add POLYLINE
  // add: the object that owns the new one, and whether the new one is its
  // extension dictionary (else an entry of that dictionary)
  std::string owner;
  bool extensionOf = false;
  int repeat = 1;  // command
  sim::Outcome outcome = sim::Outcome::Ended;
  // fault: what to arm, and the label of the object it is limited to
  sim::FaultSpec fault;
  std::string faultObject;
  bool switchOn = false;  // host: the option's new setting
  Expectation expect;
};

// Parses the whole script. On the first error, returns false with ERROR
// naming its line, and STATEMENTS unspecified.
bool parseScript(const std::string& text, std::vector<Statement>& statements,
                 text::Error& error);

// Label syntax: what `add` accepts, and what may name an object anywhere
// (clone labels such as L1.2.1 and handle labels such as #1F included).
bool isNewLabel(const std::string& word);
bool isLabelReference(const std::string& word);
// The rule WORD breaks as a label of each kind, or "".
std::string newLabelProblem(const std::string& word);
std::string labelReferenceProblem(const std::string& word);
// #HEX alone: an object named by its handle rather than by a label.
bool isHandleReference(const std::string& word);

}  // namespace cadsim

#endif
