// Turns a drawing of the simulated host into a DXF document: objects read
// from a file keep their tags where the host left them alone, new objects
// get the tags CAD programs expect, and the skeleton is completed.
#ifndef HOST_SIM_DXF_DRAWING_DRAWING_SAVER_H
#define HOST_SIM_DXF_DRAWING_DRAWING_SAVER_H

#include <cstdint>

#include "dxf_document.h"
#include "host/sim/host_state.h"

namespace sim {
namespace dxfio {

// The document to write. Handles it had to make (followers of copied
// polylines, the skeleton's tables) lie past every handle of the drawing;
// the caller moves the drawing's next handle past $HANDSEED once written.
dxf::Document saveDrawing(const AcDbImpDatabase& drawing);

// After a successful write: the document becomes the drawing's file
// document, and the drawing never hands out a handle the file uses.
void adoptSavedDocument(AcDbImpDatabase& drawing, dxf::Document document);

}  // namespace dxfio
}  // namespace sim

#endif
