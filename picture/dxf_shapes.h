// How a picture draws the DXF entities it knows: their shape read from
// their groups.
#ifndef PICTURE_DXF_SHAPES_H
#define PICTURE_DXF_SHAPES_H

#include "dxf/dxf_document.h"
#include "picture/shape.h"

namespace picture {

// Fills `shape` for the kinds a picture draws; false for the others. A
// 2D polyline's vertices are the VERTEX entities that follow it, added by
// the caller as they come (see vertexPoint). Text stays as the file spells
// it: the caller knows the drawing's encoding. Each takes a document's
// object or a reader's entity (views into the file's text).
bool shapeOf(const dxf::Object& entity, Shape& shape);
bool shapeOf(const dxf::ObjectView& entity, Shape& shape);

// A VERTEX entity's point.
Vec2 vertexPoint(const dxf::Object& vertex);
Vec2 vertexPoint(const dxf::ObjectView& vertex);

// An entity of paper space (its 67 group is 1) rather than model space.
bool inPaperSpace(const dxf::Object& entity);
bool inPaperSpace(const dxf::ObjectView& entity);

}  // namespace picture

#endif
