#include "picture/shape.h"

#include <algorithm>
#include <cmath>

namespace picture {

namespace {

// Curves a picture has no element for become this many segments a turn,
// enough to look round at the picture's size.
constexpr double kSegmentsPerTurn = 72;
constexpr double kPi = 3.14159265358979323846;

int segmentsFor(double sweepRadians) {
  return std::max(2, static_cast<int>(std::ceil(std::fabs(sweepRadians) /
                                                (2 * kPi) * kSegmentsPerTurn)));
}

}  // namespace

void appendEllipse(std::vector<Vec2>& out, Vec2 centre, Vec2 major, Vec2 minor,
                   double start, double sweep) {
  const int segments = segmentsFor(sweep);
  for (int i = 0; i <= segments; ++i) {
    const double t = start + sweep * i / segments;
    out.push_back(
        Vec2{centre.x + major.x * std::cos(t) + minor.x * std::sin(t),
             centre.y + major.y * std::cos(t) + minor.y * std::sin(t)});
  }
}

std::vector<Vec2> pathWithArcs(const Shape& path) {
  const std::vector<Vec2>& points = path.points;
  if (path.bulges.size() != points.size() || points.size() < 2) return points;
  std::vector<Vec2> out;
  const std::size_t segments = path.closed ? points.size() : points.size() - 1;
  out.push_back(points.front());
  for (std::size_t i = 0; i < segments; ++i) {
    const Vec2 a = points[i];
    const Vec2 b = points[(i + 1) % points.size()];
    const double bulge = path.bulges[i];
    const double chord = std::hypot(b.x - a.x, b.y - a.y);
    if (bulge == 0 || chord == 0 || !std::isfinite(bulge)) {
      out.push_back(b);
      continue;
    }
    // The arc's angle is four times the bulge's arctangent; its centre
    // lies off the chord's middle by the sagitta's complement.
    const double angle = 4 * std::atan(bulge);
    const double radius = chord / (2 * std::sin(std::fabs(angle) / 2));
    const double offset = radius * std::cos(angle / 2) * (bulge > 0 ? 1 : -1);
    const Vec2 middle{(a.x + b.x) / 2, (a.y + b.y) / 2};
    const Vec2 normal{-(b.y - a.y) / chord, (b.x - a.x) / chord};
    const Vec2 centre{middle.x + normal.x * offset,
                      middle.y + normal.y * offset};
    const double start = std::atan2(a.y - centre.y, a.x - centre.x);
    std::vector<Vec2> arc;
    appendEllipse(arc, centre, Vec2{radius, 0}, Vec2{0, radius}, start, angle);
    arc.back() = b;
    out.insert(out.end(), arc.begin() + 1, arc.end());
  }
  if (path.closed && out.size() > 1) out.pop_back();
  return out;
}

}  // namespace picture
