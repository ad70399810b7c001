#include "picture/dxf_shapes.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace picture {

namespace {

constexpr double kPi = 3.14159265358979323846;
// A spline of thousands of control points still draws as a path a reader
// can open.
constexpr std::size_t kMostSplineSegments = 2000;

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

struct Spline {
  int degree = 3;
  std::vector<double> knots;
  std::vector<Vec2> control;
  std::vector<double> weights;
  std::vector<Vec2> fit;
};

// Points along a spline from its control points and knots (de Boor), or
// through its fit points when those are all it has or its knots do not
// match its control points.
std::vector<Vec2> splinePoints(const Spline& spline) {
  const std::size_t n = spline.control.size();
  const std::size_t p = spline.degree > 0 ? spline.degree : 1;
  if (n <= p || spline.knots.size() != n + p + 1)
    return spline.fit.size() >= 2 ? spline.fit : spline.control;
  const std::vector<double>& u = spline.knots;
  const bool rational = spline.weights.size() == n;
  const double first = u[p];
  const double last = u[n];
  if (!(last > first)) return spline.control;
  const std::size_t steps = std::min(kMostSplineSegments, 8 * n);
  std::vector<Vec2> points;
  std::vector<double> x(p + 1), y(p + 1), w(p + 1);
  for (std::size_t step = 0; step <= steps; ++step) {
    const double t = first + (last - first) * step / steps;
    std::size_t k = p;
    while (k + 1 < n && u[k + 1] <= t) ++k;
    for (std::size_t j = 0; j <= p; ++j) {
      const std::size_t i = j + k - p;
      w[j] = rational ? spline.weights[i] : 1;
      x[j] = spline.control[i].x * w[j];
      y[j] = spline.control[i].y * w[j];
    }
    for (std::size_t r = 1; r <= p; ++r)
      for (std::size_t j = p; j >= r; --j) {
        const double span = u[j + 1 + k - r] - u[j + k - p];
        const double a = span != 0 ? (t - u[j + k - p]) / span : 0;
        x[j] = (1 - a) * x[j - 1] + a * x[j];
        y[j] = (1 - a) * y[j - 1] + a * y[j];
        w[j] = (1 - a) * w[j - 1] + a * w[j];
      }
    if (w[p] != 0) points.push_back(Vec2{x[p] / w[p], y[p] / w[p]});
  }
  return points;
}

// Vertices come as runs of 10 and 20 tags, a bulge (42) after its vertex;
// a vertex without its 20 is left out rather than guessed.
void lightweightVertices(const dxf::Object& object, Shape& shape) {
  bool haveX = false;
  double x = 0;
  for (const dxf::Tag& tag : object.tags) {
    double value;
    if (tag.code == 10 && dxf::parseReal(tag.value, value)) {
      x = value;
      haveX = true;
    } else if (tag.code == 20 && haveX && dxf::parseReal(tag.value, value)) {
      shape.points.push_back(Vec2{x, value});
      if (!shape.bulges.empty()) shape.bulges.push_back(0);
      haveX = false;
    } else if (tag.code == 42 && !shape.points.empty() &&
               dxf::parseReal(tag.value, value) && value != 0) {
      // Bulges are kept from the first that is not 0: most polylines
      // have none.
      shape.bulges.resize(shape.points.size(), 0);
      shape.bulges.back() = value;
    }
  }
  if (!shape.bulges.empty()) shape.bulges.resize(shape.points.size(), 0);
}

// An MTEXT's text runs through its 3 groups and ends with its 1 group.
std::string mtextOf(const dxf::Object& object) {
  std::string raw;
  for (const dxf::Tag& tag : object.tags)
    if (tag.code == 3) raw += tag.value;
  if (const dxf::Tag* last = object.find(1)) raw += last->value;
  return raw;
}

// Reads a hatch's groups in order; a group out of place ends its outline.
class HatchReader {
 public:
  explicit HatchReader(const std::vector<dxf::Tag>& tags) : tags_(tags) {}

  bool read(Shape& shape) {
    while (at_ < tags_.size() && tags_[at_].code != 91) ++at_;
    double paths = 0;
    if (!real(91, paths)) return false;
    for (std::size_t path = 0, n = countOf(paths); path < n; ++path) {
      while (at_ < tags_.size() && tags_[at_].code != 92) ++at_;
      double flags = 0;
      if (!real(92, flags)) break;
      std::vector<Vec2> outline;
      if ((static_cast<long>(flags) & 2) != 0)
        readPolyline(outline);
      else
        readEdges(outline);
      if (outline.size() < 2) continue;
      if (!shape.points.empty())
        shape.pathStarts.push_back(shape.points.size());
      shape.points.insert(shape.points.end(), outline.begin(), outline.end());
    }
    shape.closed = true;
    return !shape.points.empty();
  }

 private:
  // A count of items, each at least a group: no more than the groups left.
  std::size_t countOf(double value) const {
    const double left =
        static_cast<double>(tags_.size() - std::min(at_, tags_.size()));
    return value > 0 ? static_cast<std::size_t>(std::min(value, left)) : 0;
  }
  bool real(int code, double& value) {
    if (at_ >= tags_.size() || tags_[at_].code != code ||
        !dxf::parseReal(tags_[at_].value, value))
      return false;
    ++at_;
    return true;
  }
  bool point(int code, Vec2& value) {
    return real(code, value.x) && real(code + 10, value.y);
  }
  bool optional(int code, double& value) {
    return at_ < tags_.size() && tags_[at_].code == code && real(code, value);
  }

  void readPolyline(std::vector<Vec2>& outline) {
    double hasBulge = 0, closed = 0, count = 0;
    if (!real(72, hasBulge) || !optional(73, closed) || !real(93, count))
      return;
    Shape polyline;
    for (std::size_t i = 0, n = countOf(count); i < n; ++i) {
      Vec2 vertex;
      if (!point(10, vertex)) return;
      double bulge = 0;
      optional(42, bulge);
      polyline.points.push_back(vertex);
      polyline.bulges.push_back(bulge);
    }
    polyline.closed = true;
    outline = pathWithArcs(polyline);
  }

  void readEdges(std::vector<Vec2>& outline) {
    double count = 0;
    if (!real(93, count)) return;
    for (std::size_t i = 0, n = countOf(count); i < n; ++i) {
      double type = 0;
      if (!real(72, type) || !readEdge(static_cast<int>(type), outline)) return;
    }
  }

  bool readEdge(int type, std::vector<Vec2>& outline) {
    Vec2 a, b;
    double radius = 0, ratio = 1, start = 0, end = 0, ccw = 1;
    std::vector<Vec2> edge;
    if (type == 1) {
      if (!point(10, a) || !point(11, b)) return false;
      edge = {a, b};
    } else if (type == 2 || type == 3) {
      if (!point(10, a)) return false;
      if (type == 2 ? !real(40, radius) : !point(11, b) || !real(40, ratio))
        return false;
      if (!real(50, start) || !real(51, end) || !optional(73, ccw))
        return false;
      // A clockwise edge keeps its angles as their complements (360 less).
      if (ccw == 0) {
        const double from = 360 - end;
        end = 360 - start;
        start = from;
      }
      double sweep = std::fmod(end - start, 360.0);
      if (sweep <= 0) sweep += 360;
      const Vec2 major = type == 2 ? Vec2{radius, 0} : b;
      const Vec2 minor{-major.y * (type == 2 ? 1 : ratio),
                       major.x * (type == 2 ? 1 : ratio)};
      double from = start * kPi / 180;
      if (type == 3) {
        // An ellipse's angles are of the point, not of its parameter.
        from = std::atan2(std::sin(from) / ratio, std::cos(from));
        const double to = std::atan2(std::sin(end * kPi / 180) / ratio,
                                     std::cos(end * kPi / 180));
        double parameterSweep = std::fmod(to - from, 2 * kPi);
        if (parameterSweep <= 0) parameterSweep += 2 * kPi;
        appendEllipse(edge, a, major, minor, from, parameterSweep);
      } else {
        appendEllipse(edge, a, major, minor, from, sweep * kPi / 180);
      }
      if (ccw == 0) std::reverse(edge.begin(), edge.end());
    } else if (type == 4) {
      Spline spline;
      double degree = 3, rational = 0, periodic = 0, knots = 0, control = 0;
      if (!real(94, degree) || !real(73, rational) || !real(74, periodic) ||
          !real(95, knots) || !real(96, control))
        return false;
      spline.degree =
          static_cast<int>(std::min<std::size_t>(countOf(degree), 32));
      while (at_ < tags_.size()) {
        const int code = tags_[at_].code;
        double value = 0;
        Vec2 p;
        if (code == 40 && real(40, value)) {
          spline.knots.push_back(value);
        } else if (code == 42 && real(42, value)) {
          spline.weights.push_back(value);
        } else if (code == 10 && point(10, p)) {
          spline.control.push_back(p);
        } else if (code == 11 && point(11, p)) {
          spline.fit.push_back(p);
        } else if ((code == 12 && point(12, p)) ||
                   (code == 13 && point(13, p))) {
        } else if (code == 97 && at_ + 1 < tags_.size() &&
                   tags_[at_ + 1].code == 11) {
          ++at_;
        } else {
          break;
        }
      }
      edge = splinePoints(spline);
    } else {
      return false;
    }
    if (edge.empty()) return true;
    if (outline.empty() || outline.back().x != edge.front().x ||
        outline.back().y != edge.front().y)
      outline.push_back(edge.front());
    outline.insert(outline.end(), edge.begin() + 1, edge.end());
    return true;
  }

  const std::vector<dxf::Tag>& tags_;
  std::size_t at_ = 0;
};

bool splineOf(const dxf::Object& entity, Shape& shape) {
  Spline spline;
  spline.degree = static_cast<int>(integerOf(entity, 71));
  bool haveX = false;
  double x = 0;
  int pointCode = 0;
  for (const dxf::Tag& tag : entity.tags) {
    double value;
    if (!dxf::parseReal(tag.value, value)) continue;
    if (tag.code == 40) {
      spline.knots.push_back(value);
    } else if (tag.code == 41) {
      spline.weights.push_back(value);
    } else if (tag.code == 10 || tag.code == 11) {
      x = value;
      haveX = true;
      pointCode = tag.code;
    } else if ((tag.code == 20 || tag.code == 21) && haveX &&
               tag.code == pointCode + 10) {
      (tag.code == 20 ? spline.control : spline.fit).push_back(Vec2{x, value});
      haveX = false;
    }
  }
  shape.points = splinePoints(spline);
  shape.closed = (integerOf(entity, 70) & 1) != 0 && shape.points.size() > 2 &&
                 spline.knots.empty();
  return shape.points.size() >= 2;
}

bool ellipseOf(const dxf::Object& entity, Shape& shape) {
  const Vec2 centre = pointOf(entity, 10);
  const Vec2 major = pointOf(entity, 11);
  const double ratio = realOf(entity, 40, 1);
  const double start = realOf(entity, 41, 0);
  double sweep = realOf(entity, 42, 2 * kPi) - start;
  if (sweep <= 0) sweep += 2 * kPi;
  appendEllipse(shape.points, centre, major,
                Vec2{-major.y * ratio, major.x * ratio}, start, sweep);
  if (std::fabs(sweep - 2 * kPi) < 1e-9) {
    shape.points.pop_back();
    shape.closed = true;
  }
  return true;
}

// A face's corners; SOLID and TRACE list their third and fourth crosswise.
bool faceOf(const dxf::Object& entity, Shape& shape) {
  const bool crosswise = entity.type != "3DFACE";
  const Vec2 corners[4] = {pointOf(entity, 10), pointOf(entity, 11),
                           pointOf(entity, crosswise ? 13 : 12),
                           pointOf(entity, crosswise ? 12 : 13)};
  for (const Vec2& corner : corners)
    if (shape.points.empty() || shape.points.back().x != corner.x ||
        shape.points.back().y != corner.y)
      shape.points.push_back(corner);
  shape.closed = true;
  return true;
}

void appendUtf8(std::string& out, std::uint32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

}  // namespace

Vec2 pointOf(const dxf::Object& object, int code) {
  return Vec2{realOf(object, code), realOf(object, code + 10)};
}

bool shapeOf(const dxf::Object& entity, Shape& shape) {
  const std::string& type = entity.type;
  if (type == "LINE") {
    shape.points = {pointOf(entity, 10), pointOf(entity, 11)};
  } else if (type == "LWPOLYLINE") {
    lightweightVertices(entity, shape);
    shape.closed = (integerOf(entity, 70) & 1) != 0;
  } else if (type == "POLYLINE") {
    // Meshes (16) and polyface meshes (64) have faces, not a line; a 3D
    // polyline (8) is seen from above.
    long flags = integerOf(entity, 70);
    if ((flags & (16 | 64)) != 0) return false;
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
      // Its direction, when given, outranks its angle (in degrees, as
      // writers store it).
      const Vec2 direction = pointOf(entity, 11);
      shape.rotationDegrees =
          entity.find(11) != nullptr && (direction.x != 0 || direction.y != 0)
              ? std::atan2(direction.y, direction.x) * 180 / kPi
              : realOf(entity, 50);
      const long attachment = integerOf(entity, 71);
      shape.hanging = attachment <= 3;
    } else {
      shape.rotationDegrees = realOf(entity, 50);
      if (const dxf::Tag* text = entity.find(1)) shape.text = text->value;
    }
  } else if (type == "INSERT" || type == "DIMENSION") {
    // A dimension's block holds its lines and text where they stand.
    const dxf::Tag* name = entity.find(2);
    if (name == nullptr) return false;
    shape.kind = Shape::Kind::Insert;
    shape.text = name->value;
    if (type == "INSERT") {
      shape.points = {pointOf(entity, 10)};
      shape.scale = Vec2{realOf(entity, 41, 1), realOf(entity, 42, 1)};
      shape.rotationDegrees = realOf(entity, 50);
    } else {
      shape.points = {Vec2()};
    }
  } else if (type == "ELLIPSE") {
    return ellipseOf(entity, shape);
  } else if (type == "SPLINE") {
    return splineOf(entity, shape);
  } else if (type == "HATCH") {
    return HatchReader(entity.tags).read(shape);
  } else if (type == "3DFACE" || type == "SOLID" || type == "TRACE") {
    return faceOf(entity, shape);
  } else {
    return false;
  }
  return true;
}

Vec2 vertexPoint(const dxf::Object& vertex) { return pointOf(vertex, 10); }

void addVertex(const dxf::Object& vertex, Shape& polyline) {
  const double bulge = realOf(vertex, 42);
  // Bulges are kept from the first that is not 0.
  if (bulge != 0 || !polyline.bulges.empty()) {
    polyline.bulges.resize(polyline.points.size(), 0);
    polyline.bulges.push_back(bulge);
  }
  polyline.points.push_back(vertexPoint(vertex));
}

bool inPaperSpace(const dxf::Object& entity) {
  return integerOf(entity, 67) == 1;
}

std::string shownMtext(const std::string& utf8) {
  std::string out;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const char c = utf8[i];
    if (c == '{' || c == '}') continue;
    if (c != '\\' || i + 1 == utf8.size()) {
      out += c;
      continue;
    }
    const char code = utf8[++i];
    switch (code) {
      case 'P':
      case 'X':
      case 'N':
        out += '\n';
        break;
      case '~':
        out += ' ';
        break;
      case 'L':
      case 'l':
      case 'O':
      case 'o':
      case 'K':
      case 'k':
        break;
      case 'S': {
        // A stack "top^bottom", "top/bottom" or "top#bottom" up to ';'.
        for (++i; i < utf8.size() && utf8[i] != ';'; ++i)
          out += utf8[i] == '^' || utf8[i] == '#' ? '/' : utf8[i];
        break;
      }
      case 'U':
        if (i + 5 < utf8.size() && utf8[i + 1] == '+') {
          std::uint32_t value = 0;
          std::size_t digits = 0;
          for (; digits < 4 && i + 2 + digits < utf8.size(); ++digits) {
            const char h = utf8[i + 2 + digits];
            const int v = h >= '0' && h <= '9'   ? h - '0'
                          : h >= 'a' && h <= 'f' ? h - 'a' + 10
                          : h >= 'A' && h <= 'F' ? h - 'A' + 10
                                                 : -1;
            if (v < 0) break;
            value = value * 16 + static_cast<std::uint32_t>(v);
          }
          if (digits == 4) {
            // A lone surrogate is no character.
            appendUtf8(out,
                       value >= 0xD800 && value <= 0xDFFF ? 0xFFFD : value);
            i += 5;
            break;
          }
        }
        out += code;
        break;
      case 'f':
      case 'F':
      case 'H':
      case 'h':
      case 'C':
      case 'c':
      case 'T':
      case 'Q':
      case 'W':
      case 'A':
      case 'p':
        // Formatting with an argument, up to its ';'.
        while (i < utf8.size() && utf8[i] != ';') ++i;
        break;
      default:
        out += code;  // \\, \{ and \} stand for the character itself
    }
  }
  return out;
}

namespace {

dxf::Object ownedObject(const dxf::ObjectView& view) {
  dxf::Object object;
  object.type = std::string(view.type);
  object.line = view.line;
  object.tags.reserve(view.tags.size());
  for (const dxf::TagView& tag : view.tags) object.tags.push_back(tag.tag());
  for (const dxf::TagView& tag : view.xdata) object.xdata.push_back(tag.tag());
  object.handle = view.handle;
  object.owner = view.owner;
  object.handleIndex = view.handleIndex;
  object.ownerIndex = view.ownerIndex;
  return object;
}

}  // namespace

bool shapeOf(const dxf::ObjectView& entity, Shape& shape) {
  return shapeOf(ownedObject(entity), shape);
}

void addVertex(const dxf::ObjectView& vertex, Shape& polyline) {
  addVertex(ownedObject(vertex), polyline);
}

}  // namespace picture
