// Entities' geometry read from and written into the groups they keep: the
// tags a new object gets, the shape a user reads back, and what the host's
// commands do to it (move, rotate, scale, mirror, offset, explode).
#ifndef HOST_SIM_DRAWING_ENTITY_GEOMETRY_H
#define HOST_SIM_DRAWING_ENTITY_GEOMETRY_H

#include <string>
#include <vector>

#include "dxf/dxf_document.h"
#include "dxf/dxf_text.h"
#include "host/sim/host.h"

class AcDbImpObject;

namespace sim {

class KeptGroups;

// An object as a drawing file spells it: its own groups, then its
// followers' (a polyline's vertices, an insert's attributes).
struct EntityGroups {
  dxf::Object head;
  std::vector<dxf::Object> followers;
};

// A similarity of the plane (rotation, uniform scale, a mirror) and a
// displacement: x' = xx x + xy y + dx, y' = yx x + yy y + dy,
// z' = zz z + dz (a scale scales heights too).
struct Transform {
  double xx = 1, xy = 0, yx = 0, yy = 1, zz = 1;
  double dx = 0, dy = 0, dz = 0;

  static Transform translation(const Point& by, double times);
  static Transform rotation(const Point& about, double degrees);
  static Transform scaling(const Point& about, double factor);
  // False when the two points are one: no axis.
  static bool mirror(const Point& from, const Point& to, Transform& out);
  Point apply(const Point& p) const;
  // Lengths grow by this much.
  double scale() const;
  bool mirrors() const { return xx * yy - xy * yx < 0; }
  // The direction at DEGREES, carried by the linear part, in degrees.
  double turnAngle(double degrees) const;
};

// The groups OBJECT keeps, or for one the host made without any, the least
// its type needs, as a drawing file would spell it.
void groupsOf(const AcDbImpObject& object, EntityGroups& groups);
KeptGroups keptOf(const EntityGroups& groups);
// The groups of a new entity of the host's kind TYPE (LINE, CIRCLE, ARC,
// POLYLINE, TEXT) with SHAPE's keys, the rest as groupsOf makes them; texts
// in ENCODING. PIECES sizes a polyline given no points.
EntityGroups groupsWith(const std::string& type, const Shape& shape, int pieces,
                        dxf::TextEncoding encoding);

// What a user can read back of GROUPS (Shape::keys says which), texts read
// in ENCODING. False for a type whose geometry the host does not read.
bool shapeOf(const EntityGroups& groups, dxf::TextEncoding encoding,
             Shape& shape);

// False, changing nothing, for a type that keeps its geometry: anything
// but LINE, CIRCLE, ARC, POINT, LWPOLYLINE, a 2D POLYLINE, TEXT, MTEXT and
// INSERT, and any of them drawn in a plane other than the drawing's.
bool transformGroups(EntityGroups& groups, const Transform& t);
// OFFSET by DISTANCE (see Placement). False, changing nothing, for other
// types and for a radius that would not stay above 0.
bool offsetGroups(EntityGroups& groups, double distance);
// The radius OFFSET would leave a CIRCLE or ARC; false for other types.
bool offsetRadius(const EntityGroups& groups, double distance, double& radius);

// One piece EXPLODE makes of a polyline: a LINE or, for a bulged segment,
// an ARC, in the polyline's layer.
struct Piece {
  const char* type;
  EntityGroups groups;
};
// The segments of a polyline with vertices, the closing one included; none
// for anything else.
std::vector<Piece> polylinePieces(const EntityGroups& groups);

}  // namespace sim

#endif
