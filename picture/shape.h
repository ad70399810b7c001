// A drawing entity as a picture draws it, in drawing units: what both the
// parts tool (from a DXF file) and the runner (from the host's objects)
// hand to the renderer.
#ifndef PICTURE_SHAPE_H
#define PICTURE_SHAPE_H

#include <cstddef>
#include <string>
#include <vector>

namespace picture {

struct Vec2 {
  double x = 0;
  double y = 0;
};

struct Shape {
  // An Insert draws the shapes of the block named by `text`, its base point
  // placed at points[0], scaled, then rotated.
  enum class Kind { Path, Circle, Arc, Point, Text, Insert };
  Kind kind = Kind::Path;
  std::vector<Vec2> points;  // a path's vertices; else the centre or
                             // insertion point alone
  // A path's bulge for each vertex: the segment that starts there is an arc
  // whose bulge is the tangent of a quarter of its angle, positive
  // counterclockwise. Empty when every segment is straight.
  std::vector<double> bulges;
  // Where each outline after the first begins, for a path of several (a
  // hatch's boundaries); each is closed when `closed` is.
  std::vector<std::size_t> pathStarts;
  bool closed = false;
  double radius = 0;
  double startDegrees = 0;  // arcs run counterclockwise from start to end
  double endDegrees = 0;
  double height = 0;           // text
  double rotationDegrees = 0;  // text and inserts, counterclockwise
  Vec2 scale{1, 1};            // an insert's, along the block's axes
  bool hanging = false;        // text that hangs below its insertion point
  std::string text;            // UTF-8, lines apart at '\n'; a block name
};

// Appends points of an elliptical arc from parameter `start` through
// `sweep` radians (negative: clockwise), its first and last included: the
// point at t is centre + major cos t + minor sin t. A circle's arc when
// minor is major turned a quarter.
void appendEllipse(std::vector<Vec2>& out, Vec2 centre, Vec2 major, Vec2 minor,
                   double start, double sweep);

// The points a path passes through, its bulged segments as arcs.
std::vector<Vec2> pathWithArcs(const Shape& path);

}  // namespace picture

#endif
