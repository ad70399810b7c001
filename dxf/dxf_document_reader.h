// Reads a whole text DXF file into a Document, refusing a damaged one with
// the line of the first fault; a refused file leaves nothing behind.
#ifndef DXF_DXF_DOCUMENT_READER_H
#define DXF_DXF_DOCUMENT_READER_H

#include <functional>
#include <string>
#include <string_view>

#include "dxf/dxf_document.h"
#include "dxf/dxf_tag.h"

namespace dxf {

// Beyond what the tag reader checks: the section layout, an $ACADVER of
// AC1009 (R12) or later, judged before the rest is read, handle text,
// duplicate handles, extended data that starts with 1001 and keeps its 1002
// braces balanced (an XRECORD's data may use any code; only 1001 starts its
// extended data).
//
// Given an entity sink, every entity is checked as a whole and handed to it
// in file order, as views into the file's text, with its text in the file
// (its 0 tag to the next 0 tag) instead of being kept in document.entities,
// so that a large drawing's entities never all stand as Objects at once and
// no group is copied. The document then keeps the file's text
// (Document::source) that those spans point into. The sink sees entities of
// a file that may still be refused further on.
using EntitySink =
    std::function<void(const ObjectView& entity, std::string_view text)>;
bool readDocument(std::string_view text, Document& document, text::Error& error,
                  const EntitySink& entities = nullptr);
bool readDocumentFile(const std::string& path, Document& document,
                      text::Error& error, const EntitySink& entities = nullptr);

}  // namespace dxf

#endif
