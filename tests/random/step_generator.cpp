// The mix leans on the copy-family commands and on the part tags that can
// trip the module: tags that look like handles (so a new tag may equal an
// old one), tags that differ only in case, the bare "$", a long tag, and
// objects carrying two tags or other applications' data.
#include "tests/random/step_generator.h"

#include <algorithm>
#include <iomanip>
#include <sstream>

namespace {

const std::vector<std::string> kTags = {
    "$10",
    "$1F",
    "$20",
    "$40",
    "$2B",
    "$A",
    "$ab",
    "$AB",
    "$",
    "$PIPE-RUN",
    "$LONG-TAG-OF-ANOTHER-APPLICATION-WELL-PAST-FORTY-EIGHT-CHARACTERS"};
const std::vector<std::string> kOtherApps = {"ACAD", "SURVEY", "PIPE_DATA"};

struct Weighted {
  const char* name;
  int weight;
};
const Weighted kCommands[] = {{"COPY", 7},
                              {"MIRROR", 2},
                              {"ARRAY", 2},
                              {"DROPGEOM", 1},
                              {"PASTECLIP", 2},
                              {"EXPLODE", 6},
                              {"OFFSET", 4},
                              {"KL712_COPY", 2},
                              {"copy", 1},
                              {"explode", 1},
                              {"COPYCLIP", 1},
                              {"MOVE", 1},
                              {"QORMPLIVETSTART", 1},
                              {"QORMPLIVETSTOP", 1}};
const Weighted kTypes[] = {{"LINE", 30},     {"CIRCLE", 15}, {"ARC", 10},
                           {"POLYLINE", 25}, {"TEXT", 10},   {"DICTIONARY", 5},
                           {"XRECORD", 5}};
const char* const kDrawings[] = {"main", "second", "third"};

// Sessions are kept to drawings of a few hundred objects: the invariants
// compare every object after every step.
const std::size_t kCrowded = 250;

template <std::size_t N>
const char* weightedPick(const Weighted (&table)[N], std::size_t roll) {
  int total = 0;
  for (const Weighted& w : table) total += w.weight;
  int at = static_cast<int>(roll % static_cast<std::size_t>(total));
  for (const Weighted& w : table) {
    if (at < w.weight) return w.name;
    at -= w.weight;
  }
  return table[0].name;
}

std::vector<const LabelledObject*> liveIn(const SessionDriver& session,
                                          const std::string& drawing) {
  std::vector<const LabelledObject*> live;
  for (const LabelledObject& object : session.objects()) {
    if (object.drawing != drawing) continue;
    sim::ObjectInfo info;
    if (session.host().objectInfo(object.id, info) && !info.erased)
      live.push_back(&object);
  }
  return live;
}

// Values are written so that the runner's parser reads back exactly what
// was picked.
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

std::string StepGenerator::opening(std::uint64_t seed) {
  // A stream of its own, so that the steps after it are the seed's as they
  // always were.
  std::uint64_t z = seed ^ 0x1D3A9E5C7B2F4861ULL;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  z ^= z >> 31;
  return std::string("host id-map-references ") + (z % 3 == 0 ? "on" : "off");
}

std::uint64_t StepGenerator::nextBits() {
  std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

sim::Items StepGenerator::items() {
  sim::Items items;
  const std::size_t n = 1 + below(4);
  const bool braced = chance(15);
  if (braced) items.push_back({1002, std::string("{")});
  for (std::size_t i = 0; i < n; ++i) {
    switch (below(7)) {
      case 0:
        items.push_back({1000, pick(std::vector<std::string>{
                                   "pipe", "bend", "flange", "two words"})});
        break;
      case 1:
        items.push_back({1070, static_cast<long>(below(200)) - 100});
        break;
      case 2:
        items.push_back({1071, static_cast<long>(below(200000)) - 100000});
        break;
      case 3:
        items.push_back({1040, static_cast<double>(below(64)) * 0.25 - 4});
        break;
      case 4:
        items.push_back(
            {1010, sim::Point{static_cast<double>(below(20)),
                              static_cast<double>(below(20)) / 2, 0.0}});
        break;
      case 5:
        items.push_back({1003, std::string("0")});
        break;
      default:
        items.push_back(
            {1005, pick(std::vector<std::string>{"1F", "2A", "10"})});
        break;
    }
  }
  if (braced) items.push_back({1002, std::string("}")});
  return items;
}

std::string StepGenerator::add(const SessionDriver& session) {
  const std::string type = weightedPick(kTypes, nextBits());
  std::string line =
      "add " + type.substr(0, 1) + std::to_string(nextLabel_++) + " " + type;
  if (type == "POLYLINE")
    line += " pieces=" + std::to_string(1 + static_cast<int>(below(4)));
  // Owned objects, so that deep clones clone them too: an object's extension
  // dictionary, or an entry of a dictionary. Chosen by the label's number,
  // drawing nothing from the random stream, so a seed's choices stay its own.
  const std::size_t number = static_cast<std::size_t>(nextLabel_) * 2654435761u;
  if ((type != "DICTIONARY" && type != "XRECORD") || number % 5 >= 3)
    return line;
  const std::vector<const LabelledObject*> live =
      liveIn(session, session.host().currentDrawingName());
  if (live.empty()) return line;
  const LabelledObject& owner = *live[(number >> 8) % live.size()];
  sim::ObjectInfo info;
  session.host().objectInfo(owner.id, info);
  if (info.type == "DICTIONARY")
    line += " in=" + owner.label;
  else if (type == "DICTIONARY" && info.extensionDictionary.isNull())
    line += " extension-of=" + owner.label;
  return line;
}

std::string StepGenerator::xdata(const SessionDriver& session) {
  std::vector<const LabelledObject*> userMade;
  for (const LabelledObject& object : session.objects())
    if (object.userMade) userMade.push_back(&object);
  std::string line = "xdata " + pick(userMade)->label + " ";
  line += chance(75) ? pick(kTags) : pick(kOtherApps);
  if (!chance(8))
    for (const sim::Item& item : items()) line += " " + itemText(item);
  return line;
}

std::vector<std::string> StepGenerator::selection(const SessionDriver& session,
                                                  std::size_t most) {
  std::vector<const LabelledObject*> live =
      liveIn(session, session.host().currentDrawingName());
  std::vector<std::string> labels;
  const std::size_t n = below(most + 1);
  for (std::size_t i = 0; i < n && !live.empty(); ++i) {
    const std::size_t at = below(live.size());
    labels.push_back(live[at]->label);
    live.erase(live.begin() + static_cast<std::ptrdiff_t>(at));
  }
  return labels;
}

StepGenerator::CommandPick StepGenerator::command(
    const SessionDriver& session) {
  CommandPick command;
  command.name = weightedPick(kCommands, nextBits());
  const bool crowded = session.objects().size() > kCrowded;
  command.labels = selection(session, crowded ? 1 : 3);
  command.repeat = chance(80) || crowded ? 1 : 2 + static_cast<int>(below(2));
  // The runner refuses repeats of what erases its selection (a second run
  // would find it erased); the draw stays so that each seed keeps the rest
  // of its session.
  std::string upper = command.name;
  for (char& c : upper)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  if (upper == "EXPLODE" || upper == "ERASE") command.repeat = 1;
  const std::size_t roll = below(100);
  command.outcome = roll < 70   ? sim::Outcome::Ended
                    : roll < 85 ? sim::Outcome::Cancelled
                                : sim::Outcome::Failed;
  return command;
}

std::string StepGenerator::fault(const SessionDriver& session) {
  // The host operations, without the module's allocations, which the
  // sweeps fail one by one.
  static const std::vector<std::string> operations = [] {
    std::vector<std::string> names = sim::Host::operationNames();
    names.erase(
        std::remove(names.begin(), names.end(), sim::Host::kModuleAllocName),
        names.end());
    return names;
  }();
  // Mostly the calls the module makes while it copies, so that faults land.
  static const std::vector<std::string> busy = {"open",
                                                "close",
                                                "upgradeOpen",
                                                "xData",
                                                "setXData",
                                                "regApp",
                                                "getAdsName",
                                                "dictionaryGetAt",
                                                "dictionarySetAt",
                                                "setFromRbChain",
                                                "buildList",
                                                "workingDatabase",
                                                "getNamedObjectsDictionary",
                                                "addReactor",
                                                "removeReactor",
                                                "registryAt"};
  const std::string line =
      "fault " + (chance(75) ? pick(busy) : pick(operations));
  if (chance(20) && !session.objects().empty()) {
    // Every call on one object fails, as for a damaged object.
    return line + " object=" + pick(session.objects()).label;
  }
  const long nth = 1 + static_cast<long>(below(6));
  const bool persistent = chance(10);
  const long count = 1 + static_cast<long>(below(3));
  return line + " nth=" + std::to_string(nth) +
         (persistent ? std::string(" persistent")
                     : " count=" + std::to_string(count));
}

std::string StepGenerator::next(const SessionDriver& session) {
  const std::string current = session.host().currentDrawingName();
  const std::size_t live = liveIn(session, current).size();
  const bool crowded = session.objects().size() > kCrowded;
  bool anyUserMade = false;
  for (const LabelledObject& object : session.objects())
    anyUserMade = anyUserMade || object.userMade;

  enum Choice {
    kAdd,
    kXdata,
    kRegapp,
    kErase,
    kCommand,
    kBegin,
    kEnd,
    kDeepClone,
    kAppendCopy,
    kLisp,
    kDrawing,
    kClose,
    kLoad,
    kFault,
    kFaultOff,
    kChoices
  };
  int weights[kChoices] = {};
  weights[kAdd] = crowded ? 0 : live < 4 ? 30 : 10;
  weights[kXdata] = anyUserMade ? 14 : 0;
  weights[kRegapp] = 1;
  weights[kErase] = live > 0 ? 3 : 0;
  weights[kCommand] = 26;
  weights[kBegin] = session.begunCommands().size() < 4 ? 5 : 0;
  weights[kEnd] = session.begunCommands().empty() ? 0 : 7;
  weights[kDeepClone] = live > 0 ? 4 : 0;
  weights[kAppendCopy] = live > 0 ? 2 : 0;
  weights[kLisp] = 4;
  weights[kDrawing] = 3;
  const std::vector<std::string> open = session.host().drawingNames();
  weights[kClose] = open.size() > 1 ? 1 : 0;
  weights[kLoad] = 1;
  weights[kFault] = 6;
  weights[kFaultOff] = 1;
  int total = 0;
  for (int w : weights) total += w;
  int roll = static_cast<int>(below(static_cast<std::size_t>(total)));
  int choice = 0;
  while (roll >= weights[choice]) roll -= weights[choice++];

  switch (choice) {
    case kAdd:
      return add(session);
    case kXdata:
      return xdata(session);
    case kRegapp:
      return "regapp " + (chance(50) ? pick(kTags) : pick(kOtherApps));
    case kErase: {
      const std::vector<std::string> labels = selection(session, 1);
      if (labels.empty()) return add(session);
      return "erase " + labels[0];
    }
    case kCommand: {
      const CommandPick command = this->command(session);
      std::string line = "command " + command.name + labelList(command.labels);
      if (command.repeat != 1)
        line += " repeat=" + std::to_string(command.repeat);
      if (command.outcome != sim::Outcome::Ended)
        line += std::string(" outcome=") + outcomeText(command.outcome);
      return line;
    }
    case kBegin:
      return "begin " + command(session).name;
    case kEnd: {
      const CommandPick command = this->command(session);
      return "end " + pick(session.begunCommands()) + " " +
             outcomeText(command.outcome);
    }
    case kDeepClone:
    case kAppendCopy: {
      std::vector<std::string> labels = selection(session, crowded ? 1 : 3);
      if (labels.empty()) labels = selection(session, 1);
      if (labels.empty()) return add(session);
      return (choice == kDeepClone ? "deepclone" : "append-copy") +
             labelList(labels);
    }
    case kLisp: {
      const std::size_t which = below(4);
      return which < 2    ? "lisp begin \"(c:copyall)\""
             : which == 2 ? "lisp end"
                          : "lisp cancel";
    }
    case kDrawing:
      return std::string("drawing ") + kDrawings[below(3)];
    case kClose:
      return "close " + pick(open);
    case kLoad:
      return session.host().moduleLoaded() ? "unload" : "load";
    case kFault:
      return fault(session);
    default:
      return "fault off";
  }
}
