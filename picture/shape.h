// A drawing entity as a picture draws it, in drawing units: what both the
// parts tool (from a DXF file) and the runner (from the host's objects)
// hand to the renderer.
#ifndef PICTURE_SHAPE_H
#define PICTURE_SHAPE_H

#include <string>
#include <vector>

namespace picture {

struct Vec2 {
  double x = 0;
  double y = 0;
};

struct Shape {
  enum class Kind { Path, Circle, Arc, Point, Text };
  Kind kind = Kind::Path;
  std::vector<Vec2> points;  // a path's vertices; else the centre or
                             // insertion point alone
  bool closed = false;
  double radius = 0;
  double startDegrees = 0;  // arcs run counterclockwise from start to end
  double endDegrees = 0;
  double height = 0;  // text
  std::string text;   // UTF-8
};

}  // namespace picture

#endif
