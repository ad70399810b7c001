#include "host/sim/drawing/entity_geometry.h"

#include <algorithm>
#include <cmath>

#include "dxf/dxf_tag.h"
#include "dxf/dxf_tag_writer.h"
#include "host/sim/drawing/kept_groups.h"
#include "host/sim/object_state.h"

namespace sim {

namespace {

const double kPi = 3.14159265358979323846;

double radians(double degrees) { return degrees * kPi / 180.0; }

// In [0, 360).
double normalDegrees(double degrees) {
  double d = std::fmod(degrees, 360.0);
  if (d < 0) d += 360.0;
  return d >= 360.0 ? 0.0 : d;
}

dxf::Tag tag(int code, std::string value) {
  return dxf::makeTag(code, std::move(value));
}

dxf::Tag realTag(int code, double value) {
  return tag(code, dxf::formatReal(value));
}

// The first tag of CODE among an object's own groups, or null.
dxf::Tag* first(dxf::Object& object, int code) {
  for (dxf::Tag& t : object.tags)
    if (t.code == code) return &t;
  return nullptr;
}

double realOf(const dxf::Object& object, int code, double otherwise) {
  const dxf::Tag* t = object.find(code);
  double value = 0;
  return t != nullptr && dxf::parseReal(t->value, value) ? value : otherwise;
}

std::int64_t integerOf(const dxf::Object& object, int code) {
  std::int64_t value = 0;
  if (const dxf::Tag* t = object.find(code)) dxf::parseInteger(t->value, value);
  return value;
}

Point pointOf(const dxf::Object& object, int code) {
  Point p;
  p.x = realOf(object, code, 0);
  p.y = realOf(object, code + 10, 0);
  p.z = realOf(object, code + 20, 0);
  return p;
}

// Where a group the object lacks goes: after its subclass MARKER, else at
// the end.
std::size_t placeFor(const dxf::Object& object, const char* marker) {
  for (std::size_t i = 0; i < object.tags.size(); ++i)
    if (object.tags[i].code == 100 && object.tags[i].value == marker)
      return i + 1;
  return object.tags.size();
}

void setReal(dxf::Object& object, int code, double value, const char* marker) {
  if (dxf::Tag* t = first(object, code)) {
    t->value = dxf::formatReal(value);
    return;
  }
  object.tags.insert(object.tags.begin() +
                         static_cast<std::ptrdiff_t>(placeFor(object, marker)),
                     realTag(code, value));
}

// A point's three groups; a missing one goes right after the one before it.
void setPoint(dxf::Object& object, int code, const Point& p,
              const char* marker) {
  setReal(object, code, p.x, marker);
  const double values[] = {p.y, p.z};
  for (int k = 0; k < 2; ++k) {
    const int c = code + 10 * (k + 1);
    if (dxf::Tag* t = first(object, c)) {
      t->value = dxf::formatReal(values[k]);
      continue;
    }
    for (std::size_t i = 0; i < object.tags.size(); ++i)
      if (object.tags[i].code == c - 10) {
        object.tags.insert(
            object.tags.begin() + static_cast<std::ptrdiff_t>(i + 1),
            realTag(c, values[k]));
        break;
      }
  }
}

void scaleReal(dxf::Object& object, int code, double factor) {
  if (dxf::Tag* t = first(object, code)) {
    double value = 0;
    if (dxf::parseReal(t->value, value))
      t->value = dxf::formatReal(value * factor);
  }
}

// Drawn in the drawing's own plane: no extrusion, or straight up.
bool planar(const dxf::Object& object) {
  return realOf(object, 210, 0) == 0 && realOf(object, 220, 0) == 0 &&
         realOf(object, 230, 1) > 0;
}

void turn(dxf::Object& object, int code, const Transform& t,
          const char* marker) {
  const double before = realOf(object, code, 0);
  const double after = t.turnAngle(before);
  if (after != before) setReal(object, code, after, marker);
}

// TEXT and ATTRIB: insertion and alignment points, height, rotation.
void transformText(dxf::Object& text, const Transform& t) {
  setPoint(text, 10, t.apply(pointOf(text, 10)), "AcDbText");
  if (text.find(11) != nullptr)
    setPoint(text, 11, t.apply(pointOf(text, 11)), "AcDbText");
  scaleReal(text, 40, t.scale());
  turn(text, 50, t, "AcDbText");
}

// LWPOLYLINE vertices and widths; bulges turn the other way in a mirror.
void transformLightweight(dxf::Object& polyline, const Transform& t) {
  std::vector<dxf::Tag>& tags = polyline.tags;
  for (std::size_t i = 0; i < tags.size(); ++i) {
    dxf::Tag& tg = tags[i];
    if (tg.code == 10 && i + 1 < tags.size() && tags[i + 1].code == 20) {
      Point p;
      dxf::parseReal(tg.value, p.x);
      dxf::parseReal(tags[i + 1].value, p.y);
      Point q = t.apply(p);
      tg.value = dxf::formatReal(q.x);
      tags[i + 1].value = dxf::formatReal(q.y);
      ++i;
    } else if (tg.code == 40 || tg.code == 41 || tg.code == 43) {
      double w = 0;
      if (dxf::parseReal(tg.value, w))
        tg.value = dxf::formatReal(w * t.scale());
    } else if (tg.code == 42 && t.mirrors()) {
      double b = 0;
      if (dxf::parseReal(tg.value, b)) tg.value = dxf::formatReal(-b);
    }
  }
  const double elevation = realOf(polyline, 38, 0);
  if (t.zz * elevation + t.dz != elevation)
    setReal(polyline, 38, t.zz * elevation + t.dz, "AcDbPolyline");
}

// A 2D POLYLINE: the elevation in its own 30, vertices as followers.
void transformOldPolyline(EntityGroups& groups, const Transform& t) {
  dxf::Object& head = groups.head;
  const double elevation = realOf(head, 30, 0);
  if (t.zz * elevation + t.dz != elevation)
    setReal(head, 30, t.zz * elevation + t.dz, "AcDb2dPolyline");
  scaleReal(head, 40, t.scale());
  scaleReal(head, 41, t.scale());
  for (dxf::Object& vertex : groups.followers) {
    if (vertex.type != "VERTEX") continue;
    Point p = pointOf(vertex, 10);
    const double z = p.z;
    p = t.apply(p);
    p.z = z;
    setPoint(vertex, 10, p, "AcDbVertex");
    scaleReal(vertex, 40, t.scale());
    scaleReal(vertex, 41, t.scale());
    if (t.mirrors())
      if (dxf::Tag* b = first(vertex, 42)) {
        double bulge = 0;
        if (dxf::parseReal(b->value, bulge)) b->value = dxf::formatReal(-bulge);
      }
    if (vertex.find(50) != nullptr) turn(vertex, 50, t, "AcDbVertex");
  }
}

void transformInsert(EntityGroups& groups, const Transform& t) {
  dxf::Object& insert = groups.head;
  const char* marker = "AcDbBlockReference";
  setPoint(insert, 10, t.apply(pointOf(insert, 10)), marker);
  const double s = t.scale();
  if (s != 1 || t.mirrors()) {
    setReal(insert, 41, realOf(insert, 41, 1) * s, marker);
    setReal(insert, 42, realOf(insert, 42, 1) * (t.mirrors() ? -s : s), marker);
    setReal(insert, 43, realOf(insert, 43, 1) * s, marker);
  }
  scaleReal(insert, 44, s);
  scaleReal(insert, 45, s);
  turn(insert, 50, t, marker);
  for (dxf::Object& follower : groups.followers)
    if (follower.type == "ATTRIB" && planar(follower))
      transformText(follower, t);
}

void transformMText(dxf::Object& text, const Transform& t) {
  const char* marker = "AcDbMText";
  setPoint(text, 10, t.apply(pointOf(text, 10)), marker);
  if (text.find(11) != nullptr) {
    Point d = pointOf(text, 11);
    Point w{t.xx * d.x + t.xy * d.y, t.yx * d.x + t.yy * d.y, d.z};
    const double length = std::hypot(w.x, w.y);
    if (length > 0) {
      w.x /= length;
      w.y /= length;
    }
    setPoint(text, 11, w, marker);
  } else {
    turn(text, 50, t, marker);
  }
  for (int code : {40, 41, 46}) scaleReal(text, code, t.scale());
}

bool isOldPolyline2d(const dxf::Object& head) {
  return head.type == "POLYLINE" && (integerOf(head, 70) & (8 | 16 | 64)) == 0;
}

// A copy's own groups without the source's handle: the saver gives the
// handle and owner of the object they are written for.
void synthesize(const std::string& kind, bool entity, int pieces,
                dxf::Object& object) {
  object.tags.push_back(tag(5, "0"));
  if (entity) {
    object.tags.push_back(tag(100, "AcDbEntity"));
    object.tags.push_back(tag(8, "0"));
  }
  if (kind == "LINE") {
    object.type = "LINE";
    for (auto item : {std::make_pair(100, "AcDbLine"),
                      {10, "0.0"},
                      {20, "0.0"},
                      {30, "0.0"},
                      {11, "1.0"},
                      {21, "0.0"},
                      {31, "0.0"}})
      object.tags.push_back(tag(item.first, item.second));
  } else if (kind == "CIRCLE" || kind == "ARC") {
    object.type = kind;
    for (auto item : {std::make_pair(100, "AcDbCircle"),
                      {10, "0.0"},
                      {20, "0.0"},
                      {30, "0.0"},
                      {40, "1.0"}})
      object.tags.push_back(tag(item.first, item.second));
    if (kind == "ARC")
      for (auto item :
           {std::make_pair(100, "AcDbArc"), {50, "0.0"}, {51, "90.0"}})
        object.tags.push_back(tag(item.first, item.second));
  } else if (kind == "TEXT") {
    object.type = "TEXT";
    for (auto item : {std::make_pair(100, "AcDbText"),
                      {10, "0.0"},
                      {20, "0.0"},
                      {30, "0.0"},
                      {40, "2.5"},
                      {1, ""},
                      {100, "AcDbText"}})
      object.tags.push_back(tag(item.first, item.second));
  } else if (kind == "POLYLINE") {
    // The host's polyline is the lightweight one; one vertex more than it
    // has pieces.
    object.type = "LWPOLYLINE";
    int vertices = std::max(1, pieces) + 1;
    object.tags.push_back(tag(100, "AcDbPolyline"));
    object.tags.push_back(tag(90, std::to_string(vertices)));
    object.tags.push_back(tag(70, "0"));
    for (int v = 0; v < vertices; ++v) {
      object.tags.push_back(tag(10, dxf::formatReal(v)));
      object.tags.push_back(tag(20, "0.0"));
    }
  } else if (kind == "DICTIONARY") {
    object.type = "DICTIONARY";
    object.tags.push_back(tag(100, "AcDbDictionary"));
    object.tags.push_back(tag(281, "1"));
  } else if (kind == "XRECORD") {
    object.type = "XRECORD";
    object.tags.push_back(tag(100, "AcDbXrecord"));
    object.tags.push_back(tag(280, "1"));
  } else {
    object.type = kind;
  }
  object.locateHandleAndOwner();
}

// The vertices of a polyline and their elevation; false for anything else,
// or one whose vertices the host does not read (a mesh, say).
bool polylineVertices(const EntityGroups& groups, std::vector<Vertex>& out,
                      std::vector<double>& heights, bool& closed) {
  const dxf::Object& head = groups.head;
  out.clear();
  heights.clear();
  closed = (integerOf(head, 70) & 1) != 0;
  if (head.type == "LWPOLYLINE") {
    const double elevation = realOf(head, 38, 0);
    const std::vector<dxf::Tag>& tags = head.tags;
    for (std::size_t i = 0; i < tags.size(); ++i) {
      double value = 0;
      if (tags[i].code == 10 && dxf::parseReal(tags[i].value, value)) {
        out.emplace_back();
        out.back().x = value;
        heights.push_back(elevation);
      } else if (out.empty()) {
        continue;
      } else if (tags[i].code == 20 && dxf::parseReal(tags[i].value, value)) {
        out.back().y = value;
      } else if (tags[i].code == 42 && dxf::parseReal(tags[i].value, value)) {
        out.back().bulge = value;
      }
    }
    return true;
  }
  if (head.type != "POLYLINE" || (integerOf(head, 70) & (16 | 64)) != 0)
    return false;
  const bool flat = isOldPolyline2d(head);
  for (const dxf::Object& vertex : groups.followers) {
    if (vertex.type != "VERTEX") continue;
    Vertex v;
    v.x = realOf(vertex, 10, 0);
    v.y = realOf(vertex, 20, 0);
    v.bulge = flat ? realOf(vertex, 42, 0) : 0;
    out.push_back(v);
    heights.push_back(flat ? realOf(head, 30, 0) : realOf(vertex, 30, 0));
  }
  return true;
}

void copyLayer(const dxf::Object& from, dxf::Object& to) {
  if (const dxf::Tag* layer = from.find(8))
    if (dxf::Tag* own = first(to, 8)) own->value = layer->value;
}

Piece segment(const dxf::Object& source, const Vertex& a, double za,
              const Vertex& b, double zb) {
  const double chord = std::hypot(b.x - a.x, b.y - a.y);
  if (a.bulge == 0 || chord == 0) {
    Piece piece{"LINE", EntityGroups()};
    synthesize("LINE", true, 1, piece.groups.head);
    copyLayer(source, piece.groups.head);
    setPoint(piece.groups.head, 10, Point{a.x, a.y, za}, "AcDbLine");
    setPoint(piece.groups.head, 11, Point{b.x, b.y, zb}, "AcDbLine");
    return piece;
  }
  // The included angle is four times the bulge's arctangent; the center
  // lies on the chord's left for a counter-clockwise segment.
  const double theta = 4 * std::atan(a.bulge);
  const double h = (chord / 2) / std::tan(theta / 2);
  const double ux = (b.x - a.x) / chord, uy = (b.y - a.y) / chord;
  const Point center{(a.x + b.x) / 2 - uy * h, (a.y + b.y) / 2 + ux * h, za};
  const double radius = std::fabs(chord / (2 * std::sin(theta / 2)));
  double start = std::atan2(a.y - center.y, a.x - center.x) * 180 / kPi;
  double end = std::atan2(b.y - center.y, b.x - center.x) * 180 / kPi;
  if (a.bulge < 0) std::swap(start, end);
  Piece piece{"ARC", EntityGroups()};
  dxf::Object& arc = piece.groups.head;
  synthesize("ARC", true, 1, arc);
  copyLayer(source, arc);
  setPoint(arc, 10, center, "AcDbCircle");
  setReal(arc, 40, radius, "AcDbCircle");
  setReal(arc, 50, normalDegrees(start), "AcDbArc");
  setReal(arc, 51, normalDegrees(end), "AcDbArc");
  return piece;
}

}  // namespace

Transform Transform::translation(const Point& by, double times) {
  Transform t;
  t.dx = by.x * times;
  t.dy = by.y * times;
  t.dz = by.z * times;
  return t;
}

Transform Transform::rotation(const Point& about, double degrees) {
  Transform t;
  double c = std::cos(radians(degrees)), s = std::sin(radians(degrees));
  // Quarter turns exactly, so that a rotated drawing keeps round numbers.
  const double quarters = degrees / 90.0;
  if (quarters == std::floor(quarters) && std::fabs(quarters) < 1e9) {
    const long k = static_cast<long>(std::fmod(quarters, 4.0) + 4) % 4;
    const double cs[] = {1, 0, -1, 0}, sn[] = {0, 1, 0, -1};
    c = cs[k];
    s = sn[k];
  }
  t.xx = c;
  t.xy = -s;
  t.yx = s;
  t.yy = c;
  t.dx = about.x - (c * about.x - s * about.y);
  t.dy = about.y - (s * about.x + c * about.y);
  return t;
}

Transform Transform::scaling(const Point& about, double factor) {
  Transform t;
  t.xx = t.yy = t.zz = factor;
  t.dx = about.x * (1 - factor);
  t.dy = about.y * (1 - factor);
  return t;
}

bool Transform::mirror(const Point& from, const Point& to, Transform& out) {
  const double ux = to.x - from.x, uy = to.y - from.y;
  const double length = std::hypot(ux, uy);
  if (!(length > 0)) return false;
  const double c = ux / length, s = uy / length;
  // Reflection across the direction (c, s): [c2 s2; s2 -c2] of the double
  // angle, about FROM.
  Transform t;
  t.xx = c * c - s * s;
  t.xy = 2 * c * s;
  t.yx = 2 * c * s;
  t.yy = s * s - c * c;
  t.dx = from.x - (t.xx * from.x + t.xy * from.y);
  t.dy = from.y - (t.yx * from.x + t.yy * from.y);
  out = t;
  return true;
}

Point Transform::apply(const Point& p) const {
  return Point{xx * p.x + xy * p.y + dx, yx * p.x + yy * p.y + dy,
               zz * p.z + dz};
}

double Transform::scale() const {
  return std::sqrt(std::fabs(xx * yy - xy * yx));
}

double Transform::turnAngle(double degrees) const {
  if (xx == 1 && xy == 0 && yx == 0 && yy == 1) return degrees;
  if (xx > 0 && xy == 0 && yx == 0 && yy == xx) return degrees;
  const double c = std::cos(radians(degrees)), s = std::sin(radians(degrees));
  return normalDegrees(std::atan2(yx * c + yy * s, xx * c + xy * s) * 180 /
                       kPi);
}

void groupsOf(const AcDbImpObject& object, EntityGroups& groups) {
  groups = EntityGroups();
  if (object.extras.empty()) {
    synthesize(object.type, object.self->isKindOf(AcDbEntity::desc()),
               object.pieces, groups.head);
    return;
  }
  std::vector<dxf::Tag> tags;
  decodeKept(object.extras, tags);
  dxf::Object* current = nullptr;
  for (dxf::Tag& item : tags) {
    if (item.code == 0) {
      if (current == nullptr) {
        current = &groups.head;
      } else {
        groups.followers.emplace_back();
        current = &groups.followers.back();
      }
      current->type = std::move(item.value);
      continue;
    }
    if (current == nullptr) continue;
    // An xrecord's data may use 1000-range codes too: a 1001 starts xdata.
    bool xdata = item.code == 1001 || !current->xdata.empty();
    (xdata ? current->xdata : current->tags).push_back(std::move(item));
  }
  groups.head.locateHandleAndOwner();
  for (dxf::Object& follower : groups.followers)
    follower.locateHandleAndOwner();
}

KeptGroups keptOf(const EntityGroups& groups) {
  std::vector<dxf::Tag> tags;
  auto add = [&tags](const dxf::Object& object) {
    tags.push_back(tag(0, object.type));
    tags.insert(tags.end(), object.tags.begin(), object.tags.end());
    tags.insert(tags.end(), object.xdata.begin(), object.xdata.end());
  };
  add(groups.head);
  for (const dxf::Object& follower : groups.followers) add(follower);
  return encodeKept(tags);
}

EntityGroups groupsWith(const std::string& type, const Shape& shape, int pieces,
                        dxf::TextEncoding encoding) {
  EntityGroups groups;
  dxf::Object& head = groups.head;
  synthesize(type, true, pieces, head);
  if (type == "LINE") {
    if (shape.has(Shape::kFrom)) setPoint(head, 10, shape.from, "AcDbLine");
    if (shape.has(Shape::kTo)) setPoint(head, 11, shape.to, "AcDbLine");
  } else if (type == "CIRCLE" || type == "ARC") {
    if (shape.has(Shape::kCenter))
      setPoint(head, 10, shape.center, "AcDbCircle");
    if (shape.has(Shape::kRadius))
      setReal(head, 40, shape.radius, "AcDbCircle");
    if (type == "ARC" && shape.has(Shape::kAngles)) {
      setReal(head, 50, shape.startAngle, "AcDbArc");
      setReal(head, 51, shape.endAngle, "AcDbArc");
    }
  } else if (type == "POLYLINE") {
    std::vector<dxf::Tag>& tags = head.tags;
    if (shape.has(Shape::kPoints)) {
      tags.erase(std::remove_if(tags.begin(), tags.end(),
                                [](const dxf::Tag& t) {
                                  return t.code == 10 || t.code == 20 ||
                                         t.code == 90;
                                }),
                 tags.end());
      tags.insert(tags.begin() + static_cast<std::ptrdiff_t>(
                                     placeFor(head, "AcDbPolyline")),
                  tag(90, std::to_string(shape.vertices.size())));
      for (const Vertex& v : shape.vertices) {
        tags.push_back(realTag(10, v.x));
        tags.push_back(realTag(20, v.y));
        if (v.bulge != 0) tags.push_back(realTag(42, v.bulge));
      }
    }
    if (shape.has(Shape::kClosed))
      first(head, 70)->value = shape.closed ? "1" : "0";
  } else if (type == "TEXT") {
    if (shape.has(Shape::kAt)) setPoint(head, 10, shape.at, "AcDbText");
    if (shape.has(Shape::kText))
      first(head, 1)->value = dxf::encodeText(toWide(shape.text), encoding);
  }
  head.locateHandleAndOwner();
  return groups;
}

bool shapeOf(const EntityGroups& groups, dxf::TextEncoding encoding,
             Shape& shape) {
  const dxf::Object& head = groups.head;
  const std::string& type = head.type;
  shape = Shape();
  if (type == "LINE") {
    shape.keys = Shape::kFrom | Shape::kTo;
    shape.from = pointOf(head, 10);
    shape.to = pointOf(head, 11);
  } else if (type == "CIRCLE" || type == "ARC") {
    shape.keys = Shape::kCenter | Shape::kRadius;
    shape.center = pointOf(head, 10);
    shape.radius = realOf(head, 40, 0);
    if (type == "ARC") {
      shape.keys |= Shape::kAngles;
      shape.startAngle = realOf(head, 50, 0);
      shape.endAngle = realOf(head, 51, 0);
    }
  } else if (type == "LWPOLYLINE" || type == "POLYLINE") {
    std::vector<double> heights;
    if (!polylineVertices(groups, shape.vertices, heights, shape.closed))
      return false;
    shape.keys = Shape::kPoints | Shape::kClosed;
  } else if (type == "TEXT" || type == "MTEXT") {
    shape.keys = Shape::kAt | Shape::kText;
    shape.at = pointOf(head, 10);
    // An MTEXT's long text comes in 3 groups before its last, 1.
    std::string raw;
    for (const dxf::Tag& t : head.tags)
      if (t.code == 3 && type == "MTEXT") raw += t.value;
    if (const dxf::Tag* last = head.find(1)) raw += last->value;
    AcWString text;
    shape.text = dxf::decodeText(raw, encoding, text) ? toUtf8(text) : raw;
  } else if (type == "INSERT" || type == "POINT") {
    shape.keys = Shape::kAt;
    shape.at = pointOf(head, 10);
  } else {
    return false;
  }
  return true;
}

bool transformGroups(EntityGroups& groups, const Transform& t) {
  dxf::Object& head = groups.head;
  const std::string& type = head.type;
  // Drawn in a plane of its own, an entity's coordinates are that plane's:
  // only LINE and POINT are in world coordinates whatever their extrusion.
  const bool flat = planar(head);
  if (type == "LINE") {
    setPoint(head, 10, t.apply(pointOf(head, 10)), "AcDbLine");
    setPoint(head, 11, t.apply(pointOf(head, 11)), "AcDbLine");
  } else if (type == "POINT") {
    setPoint(head, 10, t.apply(pointOf(head, 10)), "AcDbPoint");
  } else if (flat && (type == "CIRCLE" || type == "ARC")) {
    setPoint(head, 10, t.apply(pointOf(head, 10)), "AcDbCircle");
    scaleReal(head, 40, t.scale());
    if (type == "ARC") {
      double start = t.turnAngle(realOf(head, 50, 0));
      double end = t.turnAngle(realOf(head, 51, 0));
      // A mirror reverses the arc's direction: it runs the other way round.
      if (t.mirrors()) std::swap(start, end);
      setReal(head, 50, start, "AcDbArc");
      setReal(head, 51, end, "AcDbArc");
    }
  } else if (flat && type == "LWPOLYLINE") {
    transformLightweight(head, t);
  } else if (flat && isOldPolyline2d(head)) {
    transformOldPolyline(groups, t);
  } else if (flat && type == "TEXT") {
    transformText(head, t);
  } else if (flat && type == "MTEXT") {
    transformMText(head, t);
  } else if (flat && type == "INSERT") {
    transformInsert(groups, t);
  } else {
    return false;
  }
  head.locateHandleAndOwner();
  for (dxf::Object& follower : groups.followers)
    follower.locateHandleAndOwner();
  return true;
}

bool offsetRadius(const EntityGroups& groups, double distance, double& radius) {
  const dxf::Object& head = groups.head;
  if (head.type != "CIRCLE" && head.type != "ARC") return false;
  radius = realOf(head, 40, 0) + distance;
  return true;
}

bool offsetGroups(EntityGroups& groups, double distance) {
  dxf::Object& head = groups.head;
  double radius = 0;
  if (offsetRadius(groups, distance, radius)) {
    if (!(radius > 0) || !planar(head)) return false;
    setReal(head, 40, radius, "AcDbCircle");
    return true;
  }
  if (head.type != "LINE") return false;
  const Point a = pointOf(head, 10), b = pointOf(head, 11);
  const double length = std::hypot(b.x - a.x, b.y - a.y);
  if (!(length > 0)) return false;
  // The left of the direction from start to end.
  const Point by{-(b.y - a.y) / length * distance,
                 (b.x - a.x) / length * distance, 0};
  return transformGroups(groups, Transform::translation(by, 1));
}

std::vector<Piece> polylinePieces(const EntityGroups& groups) {
  std::vector<Piece> pieces;
  std::vector<Vertex> vertices;
  std::vector<double> heights;
  bool closed = false;
  if (!planar(groups.head) ||
      !polylineVertices(groups, vertices, heights, closed) ||
      vertices.size() < 2)
    return pieces;
  const std::size_t n = vertices.size();
  const std::size_t segments = closed ? n : n - 1;
  pieces.reserve(segments);
  for (std::size_t k = 0; k < segments; ++k) {
    const std::size_t next = (k + 1) % n;
    pieces.push_back(segment(groups.head, vertices[k], heights[k],
                             vertices[next], heights[next]));
  }
  return pieces;
}

}  // namespace sim
