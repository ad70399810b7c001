// One step of a generated session, in the terms of the runner's session
// language, so that any session can be printed as a script that replays it.
#ifndef TESTS_SUPPORT_SESSION_STEP_H
#define TESTS_SUPPORT_SESSION_STEP_H

#include <string>
#include <vector>

#include "host/sim/host.h"

enum class StepKind {
  Drawing,         // drawing NAME
  Close,           // close NAME
  Add,             // add LABEL TYPE [pieces=N] [extension-of=|in=LABEL]
  Xdata,           // xdata LABEL APP ITEM...
  Regapp,          // regapp NAME
  Erase,           // erase LABEL
  Command,         // command NAME [LABEL...] [repeat=N] [outcome=...]
  Begin,           // begin NAME
  End,             // end NAME OUTCOME
  DeepClone,       // deepclone LABEL...
  AppendCopy,      // append-copy LABEL...
  LispBegin,       // lisp begin "LINE"
  LispEnd,         // lisp end
  LispCancel,      // lisp cancel
  Load,            // load
  Unload,          // unload
  Fault,           // fault OPERATION nth=N count=N|persistent [object=LABEL]
  FaultOff,        // fault off
  IdMapReferences  // host id-map-references NAME (on or off)
};

struct SessionStep {
  StepKind kind = StepKind::Drawing;
  std::string name;  // drawing, type, application, command, fault operation
  std::vector<std::string> labels;
  sim::Items items;
  int pieces = 2;
  // add: the owner, whose extension dictionary the new object becomes, or
  // (extensionOf false) the dictionary that holds it
  std::string owner;
  bool extensionOf = false;
  int repeat = 1;
  sim::Outcome outcome = sim::Outcome::Ended;
  long nth = 1;
  long count = 1;
  bool persistent = false;
  // A fault on every call of the operation on this object (labels[0]).
  bool onObject = false;
};

// The step as one line of a session script.
std::string scriptLine(const SessionStep& step);
// Whole script: a comment heading, the steps, then `check`.
std::string scriptOf(const std::vector<SessionStep>& steps,
                     const std::string& heading);

#endif
