// Writes a Document as text DXF, every object's tags in the order it holds
// them; completeSkeleton() first makes it whole for other CAD programs.
#ifndef HOST_SIM_DXF_DXF_DOCUMENT_WRITER_H
#define HOST_SIM_DXF_DXF_DOCUMENT_WRITER_H

#include <string>

#include "dxf_document.h"
#include "dxf_tag.h"

namespace dxf {

std::string writeDocument(const Document& document);
// Writes to a temporary file beside the path and renames it over the path,
// so a failed save never leaves half a drawing behind.
bool writeDocumentFile(const Document& document, const std::string& path,
                       Error& error);

}  // namespace dxf

#endif
