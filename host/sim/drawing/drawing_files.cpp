// The host's open and save of drawing files: a DXF document read or
// written whole, the drawing made or left as it was.

#include "host/sim/drawing/drawing_loader.h"
#include "host/sim/drawing/drawing_saver.h"
#include "host/sim/host_state.h"

namespace sim {

bool Host::openDrawingFile(const std::string& path, const std::string& name,
                           const std::string& shownPath, text::Error& error) {
  HostState& s = *state_;
  if (name.empty()) {
    error.message = "a drawing needs a name";
    return false;
  }
  for (const auto& drawing : s.drawings.open)
    if (drawing->name == name) {
      error.message = "a drawing named \"" + name + "\" is already open";
      return false;
    }
  text::Error problem;
  AcDbImpDatabase* drawing = nullptr;
  if (!dxfio::loadDrawingFile(s, path, name, drawing, problem)) {
    error.message = path + ": " + problem.text();
    return false;
  }
  drawing->openedAs = shownPath;
  useDrawing(name);
  return true;
}

bool Host::saveDrawingFile(const std::string& path, text::Error& error) {
  HostState& s = *state_;
  if (s.drawings.current == nullptr) {
    error.message = "no current drawing to save";
    return false;
  }
  text::Error problem;
  AcDbImpDatabase& drawing = *s.drawings.current;
  if (!dxfio::saveDrawingFile(drawing, path, problem)) {
    error.message = problem.text();
    return false;
  }
  // Saved, the drawing is of the version written from now on.
  if (!drawing.upgradedFrom.empty()) {
    s.print("\"" + drawing.openedAs + "\" was " + drawing.upgradedFrom +
            "; saved as " + drawing.fileDocument->version() + "\n");
    drawing.upgradedFrom.clear();
  }
  return true;
}

}  // namespace sim
