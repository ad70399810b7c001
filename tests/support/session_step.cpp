// Writing steps in the session language; values are written so that the
// runner reads back exactly what the generator stored.
#include "tests/support/session_step.h"

#include <iomanip>
#include <sstream>

namespace {

std::string quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

std::string real(double value) {
  std::ostringstream out;
  out << std::setprecision(17) << value;
  return out.str();
}

std::string itemText(const sim::Item& item) {
  std::string text = std::to_string(item.code) + ":";
  if (const std::string* s = std::get_if<std::string>(&item.value)) {
    const bool bare = item.code == 1002 || item.code == 1005;
    return text + (bare ? *s : quoted(*s));
  }
  if (const long* n = std::get_if<long>(&item.value))
    return text + std::to_string(*n);
  if (const double* d = std::get_if<double>(&item.value))
    return text + real(*d);
  const sim::Point& p = std::get<sim::Point>(item.value);
  return text + real(p.x) + "," + real(p.y) + "," + real(p.z);
}

const char* outcomeText(sim::Outcome outcome) {
  switch (outcome) {
    case sim::Outcome::Cancelled:
      return "cancelled";
    case sim::Outcome::Failed:
      return "failed";
    default:
      return "ended";
  }
}

std::string labelList(const std::vector<std::string>& labels) {
  std::string text;
  for (const std::string& label : labels) text += " " + label;
  return text;
}

}  // namespace

std::string scriptLine(const SessionStep& step) {
  switch (step.kind) {
    case StepKind::Drawing:
      return "drawing " + step.name;
    case StepKind::Close:
      return "close " + step.name;
    case StepKind::Add:
      return "add " + step.labels[0] + " " + step.name +
             (step.name == "POLYLINE" ? " pieces=" + std::to_string(step.pieces)
                                      : std::string()) +
             (step.owner.empty()
                  ? std::string()
                  : (step.extensionOf ? " extension-of=" : " in=") +
                        step.owner);
    case StepKind::Xdata: {
      std::string line = "xdata " + step.labels[0] + " " + step.name;
      for (const sim::Item& item : step.items) line += " " + itemText(item);
      return line;
    }
    case StepKind::Regapp:
      return "regapp " + step.name;
    case StepKind::Erase:
      return "erase " + step.labels[0];
    case StepKind::Command: {
      std::string line = "command " + step.name + labelList(step.labels);
      if (step.repeat != 1) line += " repeat=" + std::to_string(step.repeat);
      if (step.outcome != sim::Outcome::Ended)
        line += std::string(" outcome=") + outcomeText(step.outcome);
      return line;
    }
    case StepKind::Begin:
      return "begin " + step.name;
    case StepKind::End:
      return "end " + step.name + " " + outcomeText(step.outcome);
    case StepKind::DeepClone:
      return "deepclone" + labelList(step.labels);
    case StepKind::AppendCopy:
      return "append-copy" + labelList(step.labels);
    case StepKind::LispBegin:
      return "lisp begin " + quoted(step.name);
    case StepKind::LispEnd:
      return "lisp end";
    case StepKind::LispCancel:
      return "lisp cancel";
    case StepKind::Load:
      return "load";
    case StepKind::Unload:
      return "unload";
    case StepKind::Fault:
      if (step.onObject)
        return "fault " + step.name + " object=" + step.labels[0];
      return "fault " + step.name + " nth=" + std::to_string(step.nth) +
             (step.persistent ? std::string(" persistent")
                              : " count=" + std::to_string(step.count));
    case StepKind::FaultOff:
      return "fault off";
    case StepKind::IdMapReferences:
      return "host id-map-references " + step.name;
  }
  return "# ?";
}

std::string scriptOf(const std::vector<SessionStep>& steps,
                     const std::string& heading) {
  std::string script;
  std::istringstream lines(heading);
  std::string line;
  while (std::getline(lines, line)) script += "# " + line + "\n";
  for (const SessionStep& step : steps) script += scriptLine(step) + "\n";
  return script + "check\n";
}
