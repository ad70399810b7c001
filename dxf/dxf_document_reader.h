// Reads a whole text DXF file into a Document, refusing a damaged one with
// the line of the first fault; a refused file leaves nothing behind.
#ifndef HOST_SIM_DXF_DXF_DOCUMENT_READER_H
#define HOST_SIM_DXF_DXF_DOCUMENT_READER_H

#include <string>
#include <string_view>

#include "dxf_document.h"
#include "dxf_tag.h"

namespace dxf {

// Beyond what the tag reader checks: the section layout, an $ACADVER of
// AC1015 or later, handle text, duplicate handles, extended data that
// starts with 1001 and keeps its 1002 braces balanced.
bool readDocument(std::string_view text, Document& document, Error& error);
bool readDocumentFile(const std::string& path, Document& document,
                      Error& error);

}  // namespace dxf

#endif
