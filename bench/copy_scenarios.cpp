// Source tags are "$P" and a number, which no handle text can spell, so a tag
// the module makes never meets a source's and every part record is new.
#include "bench/copy_scenarios.h"

namespace bench {

namespace {

std::string sourceTag(long part) { return "$P" + std::to_string(part); }

// The tag a copy carries: the first "$" application of its xdata.
std::string partTagOf(const sim::Host& host, AcDbObjectId id) {
  for (const sim::XdataBlock& block : host.xdataOf(id))
    if (!block.app.empty() && block.app[0] == '$') return block.app;
  return "";
}

CopyScenario scenario(std::string name, std::string label, std::string command,
                      long entities, long partSize) {
  CopyScenario s;
  s.name = std::move(name);
  s.label = std::move(label);
  s.command = std::move(command);
  s.entities = entities;
  s.partSize = partSize;
  return s;
}

}  // namespace

std::vector<CopyScenario> copyScenarios() {
  std::vector<CopyScenario> all;
  const long sizes[] = {10000, 100000, 1000000};
  const int repetitions[] = {7, 5, 3};
  for (int i = 0; i < 3; ++i) {
    CopyScenario s = scenario("copy_parts_of_10/N:" + std::to_string(sizes[i]),
                              "COPY, parts of 10", "COPY", sizes[i], 10);
    s.repetitions = repetitions[i];
    if (i > 0) s.tenthName = all.back().name;
    all.push_back(s);
  }
  CopyScenario single = scenario("copy_parts_of_1/N:100000", "COPY, parts of 1",
                                 "COPY", 100000, 1);
  single.repetitions = 5;
  all.push_back(single);
  CopyScenario explode = scenario("explode_10_pieces/N:10000",
                                  "EXPLODE, 10 pieces", "EXPLODE", 10000, 10);
  explode.pieces = 10;
  explode.repetitions = 5;
  all.push_back(explode);
  CopyScenario array = scenario("array_100_copies/N:1000", "ARRAY, 100 copies",
                                "ARRAY", 1000, 10);
  array.repeat = 100;
  array.repetitions = 5;
  all.push_back(array);
  return all;
}

PreparedDrawing::PreparedDrawing(const CopyScenario& scenario, bool watching,
                                 const std::string& moduleFile)
    : scenario_(scenario), watching_(watching), host_(new sim::Host) {
  sim::Host& host = *host_;
  host.useDrawing("main");
  text::Error error;
  if (!host.loadModule(moduleFile, error)) {
    problem_ = "cannot load the module: " + error.text();
    return;
  }
  if (!watching) host.runCommand("QORMPLIVETSTOP");
  if (host.editorReactorCount() != (watching ? 1 : 0)) {
    problem_ = "the module is not in the expected mode";
    return;
  }
  const bool explode = scenario.command == "EXPLODE";
  selection_.reserve(static_cast<std::size_t>(scenario.entities));
  for (long i = 0; i < scenario.entities; ++i) {
    AcDbObjectId id =
        host.addObject(explode ? "POLYLINE" : "LINE", scenario.pieces);
    // A part tag block as a real part carries: a name and a size.
    if (host.setXData(id, sourceTag(i / scenario.partSize),
                      {{1000, std::string("pipe")}, {1040, 2.5}}) !=
        Acad::eOk) {
      problem_ = "cannot tag the drawing's entities";
      return;
    }
    selection_.push_back(id);
  }
}

PreparedDrawing::~PreparedDrawing() = default;

sim::Created PreparedDrawing::run() {
  host_->resetCounters();
  return host_->runCommand(scenario_.command, selection_, scenario_.repeat);
}

std::string PreparedDrawing::checkCopies(const sim::Created& created) const {
  if (static_cast<long>(created.size()) != scenario_.clones())
    return "the command made " + std::to_string(created.size()) +
           " copies, not " + std::to_string(scenario_.clones());
  if (!host_->violations().empty())
    return "the host reports: " + host_->violations().front();
  // The first and last copies stand for the rest.
  for (const sim::CreatedPair& pair : {created.front(), created.back()}) {
    const std::string source = partTagOf(*host_, pair.first);
    const std::string copy = partTagOf(*host_, pair.second);
    if (source.empty()) return "a source lost its tag";
    if (watching_ && (copy.empty() || copy == source))
      return "a copy made while watching kept its source's tag";
    if (!watching_ && copy != source)
      return "a copy made while stopped did not keep its source's tag";
  }
  return "";
}

}  // namespace bench
