// Makes a Document whole for other CAD programs: the header with $ACADVER
// and $HANDSEED, the nine tables with the records they rely on, the model-
// and paper-space block records and blocks, the root dictionary with its
// group and layout dictionaries and the two layouts.
#ifndef DXF_DXF_SKELETON_H
#define DXF_DXF_SKELETON_H

#include <cstdint>

#include "dxf/dxf_document.h"

namespace dxf {

// Adds only what is missing; what is there stays as it is, except table
// counts that are too small and $HANDSEED, which ends past every handle.
// Entities without a handle or owner get one (model space for the owner).
void completeSkeleton(Document& document);

// Handles of the pieces other code attaches to; 0 when missing.
std::uint64_t modelSpaceRecord(const Document& document);
const Object* rootDictionary(const Document& document);
Object* rootDictionary(Document& document);

}  // namespace dxf

#endif
