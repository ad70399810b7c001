#include "picture/dxf_shapes.h"

namespace picture {

namespace {

// Of a document's objects and of a reader's entities (views) alike.
template <typename AnyObject>
double realOf(const AnyObject& object, int code, double fallback = 0) {
  double value = fallback;
  if (const auto* tag = object.find(code))
    if (!dxf::parseReal(tag->value, value)) value = fallback;
  return value;
}

template <typename AnyObject>
long integerOf(const AnyObject& object, int code) {
  std::int64_t value = 0;
  if (const auto* tag = object.find(code))
    if (!dxf::parseInteger(tag->value, value)) value = 0;
  return static_cast<long>(value);
}

template <typename AnyObject>
Vec2 pointOf(const AnyObject& object, int code) {
  return Vec2{realOf(object, code), realOf(object, code + 10)};
}

// Vertices come as runs of 10 and 20 tags; a vertex without its 20 is
// left out rather than guessed.
template <typename AnyObject>
std::vector<Vec2> lightweightVertices(const AnyObject& object) {
  std::vector<Vec2> points;
  bool haveX = false;
  double x = 0;
  for (const auto& tag : object.tags) {
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
template <typename AnyObject>
std::string mtextOf(const AnyObject& object) {
  std::string raw;
  for (const auto& tag : object.tags)
    if (tag.code == 3) raw += tag.value;
  if (const auto* last = object.find(1)) raw += last->value;
  return raw;
}

template <typename AnyObject>
bool anyShapeOf(const AnyObject& entity, Shape& shape) {
  const std::string_view type = entity.type;
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
    } else if (const auto* text = entity.find(1)) {
      shape.text = std::string(text->value);
    }
  } else {
    return false;
  }
  return true;
}

}  // namespace

bool shapeOf(const dxf::Object& entity, Shape& shape) {
  return anyShapeOf(entity, shape);
}
bool shapeOf(const dxf::ObjectView& entity, Shape& shape) {
  return anyShapeOf(entity, shape);
}

Vec2 vertexPoint(const dxf::Object& vertex) { return pointOf(vertex, 10); }
Vec2 vertexPoint(const dxf::ObjectView& vertex) { return pointOf(vertex, 10); }

bool inPaperSpace(const dxf::Object& entity) {
  return integerOf(entity, 67) == 1;
}
bool inPaperSpace(const dxf::ObjectView& entity) {
  return integerOf(entity, 67) == 1;
}

}  // namespace picture
