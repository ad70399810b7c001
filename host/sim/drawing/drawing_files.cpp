// The host's open and save of drawing files: a DXF document read or
// written whole, the drawing made or left as it was.

#include "host/sim/drawing/drawing_loader.h"
#include "host/sim/drawing/drawing_saver.h"
#include "host/sim/host_state.h"

namespace sim {

bool Host::openDrawingFile(const std::string& path, const std::string& name,
                           std::string& error) {
  HostState& s = *state_;
  if (name.empty()) {
    error = "a drawing needs a name";
    return false;
  }
  for (const auto& drawing : s.drawings.open)
    if (drawing->name == name) {
      error = "a drawing named \"" + name + "\" is already open";
      return false;
    }
  dxf::Error problem;
  AcDbImpDatabase* drawing = nullptr;
  if (!dxfio::loadDrawingFile(s, path, name, drawing, problem)) {
    error = path + ": " + problem.text();
    return false;
  }
  useDrawing(name);
  return true;
}

bool Host::saveDrawingFile(const std::string& path, std::string& error) {
  HostState& s = *state_;
  if (s.drawings.current == nullptr) {
    error = "no current drawing to save";
    return false;
  }
  dxf::Error problem;
  if (!dxfio::saveDrawingFile(*s.drawings.current, path, problem)) {
    error = problem.text();
    return false;
  }
  return true;
}

}  // namespace sim
