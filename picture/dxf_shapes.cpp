#include "picture/dxf_shapes.h"

namespace picture {

namespace {

double realOf(const dxf::Object& object, int code, double fallback = 0) {
  double value = fallback;
  if (const dxf::Tag* tag = object.find(code))
    if (!dxf::parseReal(tag->value, value)) value = fallback;
  return value;
}

long integerOf(const dxf::Object& object, int code) {
  std::int64_t value = 0;
  if (const dxf::Tag* tag = object.find(code))
    if (!dxf::parseInteger(tag->value, value)) value = 0;
  return static_cast<long>(value);
}

Vec2 pointOf(const dxf::Object& object, int code) {
  return Vec2{realOf(object, code), realOf(object, code + 10)};
}

// Vertices come as runs of 10 and 20 tags; a vertex without its 20 is
// left out rather than guessed.
std::vector<Vec2> lightweightVertices(const dxf::Object& object) {
  std::vector<Vec2> points;
  bool haveX = false;
  double x = 0;
  for (const dxf::Tag& tag : object.tags) {
    double value;
    if (tag.code == 10 && dxf::parseReal(tag.value, value)) {
      x = value;
      haveX = true;
    } else if (tag.code == 20 && haveX && dxf::parseReal(tag.value, value)) {
      points.push_back(Vec2{x, value});
      haveX = false;
    }
  }
  return points;
}

// An MTEXT's text runs through its 3 groups and ends with its 1 group.
std::string mtextOf(const dxf::Object& object) {
  std::string raw;
  for (const dxf::Tag& tag : object.tags)
    if (tag.code == 3) raw += tag.value;
  if (const dxf::Tag* last = object.find(1)) raw += last->value;
  return raw;
}

// Fills `shape` for the kinds the picture draws; false for the others. A
// 2D polyline's vertices are the VERTEX entities that follow it, added as
// they come. Text stays as the file spells it until the drawing's encoding
// is known.
}  // namespace

bool shapeOf(const dxf::Object& entity, Shape& shape) {
  const std::string& type = entity.type;
  if (type == "LINE") {
    shape.points = {pointOf(entity, 10), pointOf(entity, 11)};
  } else if (type == "LWPOLYLINE") {
    shape.points = lightweightVertices(entity);
    shape.closed = (integerOf(entity, 70) & 1) != 0;
  } else if (type == "POLYLINE") {
    // 3D polylines (8), meshes (16) and polyface meshes (64) are not 2D.
    long flags = integerOf(entity, 70);
    if ((flags & (8 | 16 | 64)) != 0) return false;
    shape.closed = (flags & 1) != 0;
  } else if (type == "CIRCLE" || type == "ARC") {
    shape.kind = type == "CIRCLE" ? Shape::Kind::Circle : Shape::Kind::Arc;
    shape.points = {pointOf(entity, 10)};
    shape.radius = realOf(entity, 40);
    shape.startDegrees = realOf(entity, 50);
    shape.endDegrees = realOf(entity, 51, 360);
  } else if (type == "POINT") {
    shape.kind = Shape::Kind::Point;
    shape.points = {pointOf(entity, 10)};
  } else if (type == "TEXT" || type == "MTEXT") {
    shape.kind = Shape::Kind::Text;
    shape.points = {pointOf(entity, 10)};
    shape.height = realOf(entity, 40, 1);
    if (type == "MTEXT") {
      shape.text = mtextOf(entity);
    } else if (const dxf::Tag* text = entity.find(1)) {
      shape.text = text->value;
    }
  } else {
    return false;
  }
  return true;
}

Vec2 vertexPoint(const dxf::Object& vertex) { return pointOf(vertex, 10); }

bool inPaperSpace(const dxf::Object& entity) {
  return integerOf(entity, 67) == 1;
}

}  // namespace picture
