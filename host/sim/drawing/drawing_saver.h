// Writes a drawing of the simulated host as a DXF file: objects read from a
// file keep their groups where the host left them alone, new objects get
// the groups CAD programs expect, and the skeleton is completed.
#ifndef HOST_SIM_DRAWING_DRAWING_SAVER_H
#define HOST_SIM_DRAWING_DRAWING_SAVER_H

#include <string>

#include "dxf/dxf_document.h"
#include "host/sim/host_state.h"

namespace sim {
namespace dxfio {

// Writes the drawing to PATH, the entities made one at a time as the file
// is written. Handles it had to make (followers of copied polylines, the
// skeleton's tables) lie past every handle of the drawing. After a
// successful write the written document becomes the drawing's file
// document and the drawing never hands out a handle the file uses; a failed
// write changes nothing.
bool saveDrawingFile(AcDbImpDatabase& drawing, const std::string& path,
                     text::Error& error);

}  // namespace dxfio
}  // namespace sim

#endif
