// Writes a Document as text DXF, every object's tags in the order it holds
// them; completeSkeleton() first makes it whole for other CAD programs.
#ifndef DXF_DXF_DOCUMENT_WRITER_H
#define DXF_DXF_DOCUMENT_WRITER_H

#include <functional>
#include <string>

#include "dxf/dxf_document.h"
#include "dxf/dxf_tag.h"

namespace dxf {

// Makes the entities one after another for a writer that writes each before
// the next is made, so that a drawing's entities never all stand as Objects
// at once. It hands every entity to WRITE.
using EntityMaker =
    std::function<void(const std::function<void(const Object&)>& write)>;

std::string writeDocument(const Document& document);
// Replaces the file PATH leads to as FileReplacement does, so a failed save
// never leaves half a drawing behind. The file is written
// as the document is walked, a buffer at a time. ENTITIES, when given,
// stands in for document.entities.
bool writeDocumentFile(const Document& document, const std::string& path,
                       text::Error& error,
                       const EntityMaker& entities = nullptr);

}  // namespace dxf

#endif
