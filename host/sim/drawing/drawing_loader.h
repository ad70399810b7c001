// Turns a DXF document into a new drawing of the simulated host: entities,
// dictionaries and xrecords become the host's objects with their handles,
// owners, xdata and untouched tags; the APPID table becomes the registered
// applications; the root dictionary becomes the named-objects dictionary.
#ifndef HOST_SIM_DRAWING_DRAWING_LOADER_H
#define HOST_SIM_DRAWING_DRAWING_LOADER_H

#include <memory>
#include <string>

#include "dxf/dxf_document.h"
#include "host/sim/host_state.h"

namespace sim {
namespace dxfio {

// Everything is checked before the drawing is made, so a refused file adds
// nothing. The drawing keeps what the host does not model (tables, blocks,
// layouts, ...) in its file document, to write back as it came, and the
// file's text, which its entities keep their untouched groups in.
bool loadDrawingFile(HostState& host, const std::string& path,
                     const std::string& name, AcDbImpDatabase*& drawing,
                     text::Error& error);

}  // namespace dxfio
}  // namespace sim

#endif
