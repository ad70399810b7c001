// How a picture draws the DXF entities it knows: their shape read from
// their groups.
#ifndef PICTURE_DXF_SHAPES_H
#define PICTURE_DXF_SHAPES_H

#include <cstdint>
#include <string>
#include <vector>

#include "dxf/dxf_document.h"
#include "picture/shape.h"

namespace picture {

// Fills `shape` for the kinds a picture draws; false for the others. A
// polyline's vertices are the VERTEX entities that follow it, added by the
// caller as they come (see addVertex). Curves a picture has no element for
// (ellipses, splines, a hatch's boundaries) come as paths through points
// on them. Text stays as the file spells it: the caller knows the
// drawing's encoding (see shownMtext).
bool shapeOf(const dxf::Object& entity, Shape& shape);

// A VERTEX entity's point.
Vec2 vertexPoint(const dxf::Object& vertex);

// Appends a VERTEX entity to the polyline shape it follows.
void addVertex(const dxf::Object& vertex, Shape& polyline);

// The point of an entity's `code` (x) and `code` + 10 (y) groups, 0 where
// one is missing or not a number.
Vec2 pointOf(const dxf::Object& object, int code);

// An entity of paper space (its 67 group is 1) rather than model space.
bool inPaperSpace(const dxf::Object& entity);

// The same for a reader's entity (views into the file's text). Only the
// audit's question of the space is answered in place (here, as it is asked
// of every entity of a file); a shape costs a copy of the entity's groups,
// which only a picture pays.
inline bool inPaperSpace(const dxf::ObjectView& entity) {
  for (const dxf::TagView& tag : entity.tags)
    if (tag.code == 67) {
      std::int64_t value = 0;
      return dxf::parseInteger(tag.value, value) && value == 1;
    }
  return false;
}
bool shapeOf(const dxf::ObjectView& entity, Shape& shape);
void addVertex(const dxf::ObjectView& vertex, Shape& polyline);

// The text an MTEXT's inline codes show, decoded to UTF-8 first: \P a new
// line, \~ a space, \S's stack as a/b, \U+XXXX its character; font, height,
// colour and the other formatting codes and the braces that group them
// removed.
std::string shownMtext(const std::string& utf8);

}  // namespace picture

#endif
