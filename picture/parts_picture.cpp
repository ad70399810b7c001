#include "picture/parts_picture.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <deque>
#include <limits>
#include <map>
#include <unordered_map>

#include "text/ascii_case.h"

namespace picture {

namespace {

// Tableau 10, a categorical palette made so that neighbouring categories
// stay apart; its grey is kept for objects of no part, the other nine go to
// the parts in turn.
const char* const kPartColours[] = {"#4E79A7", "#F28E2B", "#E15759",
                                    "#76B7B2", "#59A14F", "#EDC948",
                                    "#B07AA1", "#FF9DA7", "#9C755F"};
const char kNoPartColour[] = "#BAB0AC";
const std::size_t kPartColourCount =
    sizeof(kPartColours) / sizeof(kPartColours[0]);
// When there are more parts than colours, the largest keep a colour each
// and the rest share this one, under one line of the legend.
const char kMorePartsColour[] = "#4D4D4D";

// Past this, a coordinate is a damaged or stray number, not a drawing's.
const double kFarthest = 1e10;
// Blocks inserted in blocks are drawn this deep; a block that inserts
// itself stops there too.
const int kDeepestInsert = 8;
// Inserts of blocks that insert others many times over would place shapes
// without end: a picture stops placing them here.
const std::size_t kMostPlacedShapes = 200000;

const double kMargin = 20;
const double kMaxWidth = 800;
const double kMaxHeight = 600;
const double kLegendWidth = 260;
const double kLegendLine = 20;
const double kLegendTextLeft = 22;
const double kLegendCharWidth = 7.5;  // an average at 13 px, with room
constexpr double kPi = 3.14159265358979323846;

// Hundredths of a picture unit. to_chars writes what "%.2f" writes, at a
// tenth of the cost: formatting was two thirds of drawing a picture.
void appendNumber(std::string& out, double value) {
  char text[32];
  const std::to_chars_result written = std::to_chars(
      text, text + sizeof text, value, std::chars_format::fixed, 2);
  if (written.ec == std::errc()) {
    out.append(text, written.ptr);
    return;
  }
  std::snprintf(text, sizeof text, "%.2f", value);
  out += text;
}

std::string number(double value) {
  std::string text;
  appendNumber(text, value);
  return text;
}

std::string escaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

struct Extents {
  double minX = std::numeric_limits<double>::infinity();
  double minY = minX;
  double maxX = -minX;
  double maxY = -minX;
  bool broken = false;  // a point that is not a pair of numbers was added
  void add(double x, double y) {
    if (!std::isfinite(x) || !std::isfinite(y)) {
      broken = true;
      return;
    }
    minX = std::min(minX, x);
    minY = std::min(minY, y);
    maxX = std::max(maxX, x);
    maxY = std::max(maxY, y);
  }
  void add(const Extents& other) {
    if (other.empty()) return;
    add(other.minX, other.minY);
    add(other.maxX, other.maxY);
  }
  bool empty() const { return !(minX <= maxX && minY <= maxY); }
  bool meets(const Extents& other) const {
    return minX <= other.maxX && other.minX <= maxX && minY <= other.maxY &&
           other.minY <= maxY;
  }
  bool withinReach() const {
    return !broken && minX >= -kFarthest && maxX <= kFarthest &&
           minY >= -kFarthest && maxY <= kFarthest;
  }
};

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines(1);
  for (char c : text)
    if (c == '\n')
      lines.emplace_back();
    else
      lines.back() += c;
  return lines;
}

// The number of lines of a text and the length of its longest.
std::pair<std::size_t, std::size_t> textSize(const std::string& text) {
  std::size_t lines = 1, longest = 0, length = 0;
  for (char c : text) {
    if (c == '\n') {
      ++lines;
      length = 0;
    } else {
      longest = std::max(longest, ++length);
    }
  }
  return {lines, longest};
}

constexpr double kLineSpacing = 1.25;  // of the text's height

Extents boxOf(const Shape& shape) {
  Extents box;
  if (shape.points.empty()) return box;
  const Vec2& p = shape.points.front();
  switch (shape.kind) {
    case Shape::Kind::Circle:
    case Shape::Kind::Arc:
      box.add(p.x - shape.radius, p.y - shape.radius);
      box.add(p.x + shape.radius, p.y + shape.radius);
      if (!std::isfinite(shape.startDegrees) ||
          !std::isfinite(shape.endDegrees))
        box.add(std::nan(""), 0);
      return box;
    case Shape::Kind::Text: {
      // A guess at the size: glyphs are about six tenths as wide as tall.
      const auto [lines, longest] = textSize(shape.text);
      const double h = shape.height;
      const double width = 0.6 * h * static_cast<double>(longest);
      const double top = shape.hanging ? 0 : h;
      const double bottom =
          top - h - kLineSpacing * h * static_cast<double>(lines - 1);
      const double turn = shape.rotationDegrees * kPi / 180;
      const double c = std::cos(turn), s = std::sin(turn);
      for (double x : {0.0, width})
        for (double y : {bottom, top})
          box.add(p.x + x * c - y * s, p.y + x * s + y * c);
      if (!std::isfinite(turn)) box.add(std::nan(""), 0);
      return box;
    }
    default:
      for (const Vec2& q : shape.points) box.add(q.x, q.y);
      return box;
  }
}

// x' = a x + b y + e, y' = c x + d y + f: where an insert puts its block.
struct Affine {
  double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;
  Vec2 operator()(Vec2 p) const {
    return Vec2{a * p.x + b * p.y + e, c * p.x + d * p.y + f};
  }
  // This after `inner`.
  Affine after(const Affine& inner) const {
    return Affine{a * inner.a + b * inner.c,     a * inner.b + b * inner.d,
                  c * inner.a + d * inner.c,     c * inner.b + d * inner.d,
                  a * inner.e + b * inner.f + e, c * inner.e + d * inner.f + f};
  }
  double areaScale() const { return std::fabs(a * d - b * c); }
  // Turns and scales alike in every direction, perhaps mirrored.
  bool keepsCircles() const {
    const double tolerance = 1e-9 * (std::fabs(a) + std::fabs(b) + 1);
    return (std::fabs(a - d) <= tolerance && std::fabs(b + c) <= tolerance) ||
           (std::fabs(a + d) <= tolerance && std::fabs(b - c) <= tolerance);
  }
};

// The block's base point to the insertion point, scaled, then turned.
Affine insertPlacement(const Shape& insert, Vec2 base) {
  const double turn = insert.rotationDegrees * kPi / 180;
  const double cs = std::cos(turn), sn = std::sin(turn);
  Affine at{cs * insert.scale.x,
            -sn * insert.scale.y,
            sn * insert.scale.x,
            cs * insert.scale.y,
            0,
            0};
  const Vec2 moved = at(base);
  const Vec2 to = insert.points.empty() ? Vec2() : insert.points.front();
  at.e = to.x - moved.x;
  at.f = to.y - moved.y;
  return at;
}

// Every object's shapes as they are drawn, in model space: an object's own
// shape where it can be, copies for what an insert places, for bulged
// paths and for curves an insert has bent out of shape.
class Flattener {
 public:
  struct Drawn {
    const Shape* shape;
    int part;
    std::size_t object;
    Extents box;
  };

  Flattener(const std::vector<PictureBlock>& blocks, std::size_t objects) {
    drawn_.reserve(objects);
    for (const PictureBlock& block : blocks)
      blocks_.emplace(text::upperAscii(block.name), &block);
  }

  // False for an insert of a block the input does not hold.
  bool add(const Shape& shape, int part, std::size_t object) {
    if (shape.kind == Shape::Kind::Insert &&
        blocks_.find(text::upperAscii(shape.text)) == blocks_.end())
      return false;
    place(shape, Affine(), false, 0, part, object);
    return true;
  }

  std::vector<Drawn>& drawn() { return drawn_; }
  // Objects whose inserts placed shapes past the most a picture places.
  std::size_t cutShort() const { return cutShort_; }

 private:
  void keep(const Shape& shape, int part, std::size_t object) {
    drawn_.push_back(Drawn{&shape, part, object, boxOf(shape)});
  }
  Shape& made() { return made_.emplace_back(); }

  void place(const Shape& shape, const Affine& at, bool moved, int depth,
             int part, std::size_t object) {
    if (shape.points.empty()) return;
    if (shape.kind == Shape::Kind::Insert) {
      auto block = blocks_.find(text::upperAscii(shape.text));
      if (block == blocks_.end() || depth >= kDeepestInsert) return;
      const Affine inner =
          at.after(insertPlacement(shape, block->second->base));
      for (const Shape& piece : block->second->shapes) {
        if (made_.size() >= kMostPlacedShapes) {
          if (lastCut_ != object) ++cutShort_;
          lastCut_ = object;
          return;
        }
        place(piece, inner, true, depth + 1, part, object);
      }
      return;
    }
    const bool bulged =
        shape.kind == Shape::Kind::Path && !shape.bulges.empty();
    if (!moved && !bulged) return keep(shape, part, object);
    Shape& copy = made();
    switch (shape.kind) {
      case Shape::Kind::Path:
        copy.points = pathWithArcs(shape);
        copy.pathStarts = shape.pathStarts;
        copy.closed = shape.closed;
        break;
      case Shape::Kind::Circle:
      case Shape::Kind::Arc: {
        if (shape.kind == Shape::Kind::Circle && at.keepsCircles()) {
          copy.kind = Shape::Kind::Circle;
          copy.points = {shape.points.front()};
          copy.radius = shape.radius * std::sqrt(at.areaScale());
          break;
        }
        double sweep =
            shape.kind == Shape::Kind::Circle
                ? 360
                : std::fmod(shape.endDegrees - shape.startDegrees, 360.0);
        if (sweep <= 0) sweep += 360;
        const double r = shape.radius;
        appendEllipse(copy.points, shape.points.front(), Vec2{r, 0}, Vec2{0, r},
                      shape.startDegrees * kPi / 180, sweep * kPi / 180);
        copy.closed = shape.kind == Shape::Kind::Circle;
        break;
      }
      case Shape::Kind::Text:
        copy = shape;
        copy.height = shape.height * std::sqrt(at.areaScale());
        copy.rotationDegrees += std::atan2(at.c, at.a) * 180 / kPi;
        break;
      default:
        copy = shape;
    }
    for (Vec2& p : copy.points) p = at(p);
    keep(copy, part, object);
  }

  std::unordered_map<std::string, const PictureBlock*> blocks_;
  std::deque<Shape> made_;
  std::vector<Drawn> drawn_;
  std::size_t cutShort_ = 0;
  std::size_t lastCut_ = static_cast<std::size_t>(-1);
};

// Model coordinates to the picture's: fitted, y upward.
class Mapping {
 public:
  explicit Mapping(const Extents& box) : box_(box) {
    double width = std::max(box.maxX - box.minX, 1e-9);
    double height = std::max(box.maxY - box.minY, 1e-9);
    scale_ = std::min(kMaxWidth / width, kMaxHeight / height);
    width_ = width * scale_;
    height_ = height * scale_;
  }
  double x(double model) const {
    return kMargin + (model - box_.minX) * scale_;
  }
  double y(double model) const {
    return kMargin + (box_.maxY - model) * scale_;
  }
  double length(double model) const { return model * scale_; }
  double width() const { return width_; }
  double height() const { return height_; }

 private:
  Extents box_;
  double scale_ = 1;
  double width_ = 0;
  double height_ = 0;
};

void appendPoint(std::string& out, const Mapping& at, double x, double y) {
  appendNumber(out, at.x(x));
  out += ',';
  appendNumber(out, at.y(y));
}

void appendPath(std::string& out, const Shape& shape, const Mapping& at) {
  if (shape.pathStarts.empty()) {
    out += shape.closed ? "<polygon points=\"" : "<polyline points=\"";
    for (std::size_t i = 0; i < shape.points.size(); ++i) {
      if (i > 0) out += ' ';
      appendPoint(out, at, shape.points[i].x, shape.points[i].y);
    }
    out += "\"/>\n";
    return;
  }
  out += "<path d=\"";
  std::size_t next = 0;
  for (std::size_t i = 0; i < shape.points.size(); ++i) {
    const bool starts = i == 0 || (next < shape.pathStarts.size() &&
                                   shape.pathStarts[next] == i);
    if (starts && i > 0) {
      ++next;
      if (shape.closed) out += " Z";
    }
    out += starts ? (i == 0 ? "M" : " M") : " L";
    appendPoint(out, at, shape.points[i].x, shape.points[i].y);
  }
  if (shape.closed) out += " Z";
  out += "\"/>\n";
}

void appendText(std::string& out, const Shape& shape, const Mapping& at,
                const char* colour) {
  const Vec2& p = shape.points.front();
  const double size = std::max(at.length(shape.height), 1.0);
  const double x = at.x(p.x);
  const double y = at.y(p.y) + (shape.hanging ? size : 0);
  out += "<text x=\"";
  appendNumber(out, x);
  out += "\" y=\"";
  appendNumber(out, y);
  out += "\" font-size=\"";
  appendNumber(out, size);
  out += "\" fill=\"";
  out += colour;
  out += "\" stroke=\"none\"";
  if (shape.rotationDegrees != 0) {
    // Counterclockwise in the drawing is clockwise once y points down.
    out += " transform=\"rotate(";
    appendNumber(out, -shape.rotationDegrees);
    out += ' ';
    appendNumber(out, x);
    out += ' ';
    appendNumber(out, at.y(p.y));
    out += ")\"";
  }
  out += '>';
  if (shape.text.find('\n') == std::string::npos) {
    out += escaped(shape.text);
  } else {
    const std::vector<std::string> lines = linesOf(shape.text);
    for (std::size_t i = 0; i < lines.size(); ++i) {
      out += "<tspan x=\"";
      appendNumber(out, x);
      out += "\" y=\"";
      appendNumber(out, y + kLineSpacing * size * static_cast<double>(i));
      out += "\">" + escaped(lines[i]) + "</tspan>";
    }
  }
  out += "</text>\n";
}

// Appended to the part's group as it goes: a string per element and per
// number cost more than the numbers.
void appendShape(std::string& out, const Shape& shape, const Mapping& at,
                 const char* colour) {
  const Vec2& p = shape.points.front();
  switch (shape.kind) {
    case Shape::Kind::Path:
      if (shape.points.size() >= 2) appendPath(out, shape, at);
      return;
    case Shape::Kind::Circle:
    case Shape::Kind::Point:
      out += "<circle cx=\"";
      appendNumber(out, at.x(p.x));
      out += "\" cy=\"";
      appendNumber(out, at.y(p.y));
      if (shape.kind == Shape::Kind::Point) {
        out += "\" r=\"2\" fill=\"";
        out += colour;
      } else {
        out += "\" r=\"";
        appendNumber(out, at.length(shape.radius));
      }
      out += "\"/>\n";
      return;
    case Shape::Kind::Arc: {
      double start = shape.startDegrees * kPi / 180;
      double sweep = std::fmod(shape.endDegrees - shape.startDegrees, 360.0);
      if (sweep <= 0) sweep += 360;
      double end = start + sweep * kPi / 180;
      double r = shape.radius;
      // Counterclockwise in the drawing is clockwise once y points down.
      out += "<path d=\"M";
      appendPoint(out, at, p.x + r * std::cos(start),
                  p.y + r * std::sin(start));
      out += " A";
      appendNumber(out, at.length(r));
      out += ',';
      appendNumber(out, at.length(r));
      out += sweep > 180 ? " 0 1,0 " : " 0 0,0 ";
      appendPoint(out, at, p.x + r * std::cos(end), p.y + r * std::sin(end));
      out += "\"/>\n";
      return;
    }
    case Shape::Kind::Text:
      appendText(out, shape, at, colour);
      return;
    case Shape::Kind::Insert:
      return;  // placed as its block's shapes
  }
}

std::string legendLine(double y, const char* colour, const std::string& text) {
  std::string line;
  if (colour != nullptr)
    line += "<rect x=\"0\" y=\"" + number(y - 11) +
            "\" width=\"14\" height=\"14\" fill=\"" + colour + "\"/>\n";
  return line + "<text x=\"" + number(kLegendTextLeft) + "\" y=\"" + number(y) +
         "\">" + escaped(text) + "</text>\n";
}

std::string counted(std::size_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

// Each part's colour; with more parts than colours, the largest (the
// first, among equals) keep one each and the rest share one.
std::vector<const char*> partColours(const std::vector<PicturePart>& parts,
                                     std::vector<std::size_t>& listed) {
  std::vector<const char*> colours(parts.size(), kMorePartsColour);
  listed.clear();
  for (std::size_t i = 0; i < parts.size(); ++i) listed.push_back(i);
  if (parts.size() > kPartColourCount) {
    std::stable_sort(listed.begin(), listed.end(),
                     [&parts](std::size_t a, std::size_t b) {
                       return parts[a].members > parts[b].members;
                     });
    listed.resize(kPartColourCount - 1);
    std::sort(listed.begin(), listed.end());
  }
  for (std::size_t rank = 0; rank < listed.size(); ++rank)
    colours[listed[rank]] = kPartColours[rank];
  return colours;
}

// What the picture leaves out, object by object.
enum : unsigned char { kShown = 1, kOutsideView = 2, kOutOfReach = 4 };

}  // namespace

std::string svgPicture(const PictureInput& input) {
  const std::vector<PicturePart>& parts = input.parts;
  std::vector<std::size_t> listed;
  const std::vector<const char*> colours = partColours(parts, listed);
  auto colourOf = [&colours](int part) {
    return part < 0 ? kNoPartColour : colours[static_cast<std::size_t>(part)];
  };

  Flattener flat(input.blocks, input.objects.size());
  std::size_t unparted = 0;
  std::size_t inPaperSpace = 0;
  std::size_t inBlocks = 0;
  std::map<std::string, std::size_t> notDrawn;
  for (std::size_t i = 0; i < input.objects.size(); ++i) {
    const PictureObject& object = input.objects[i];
    const int part = object.part;
    if (object.space != Space::Model) {
      if (part >= 0) ++(object.space == Space::Paper ? inPaperSpace : inBlocks);
      continue;
    }
    if (part < 0) ++unparted;
    if (!object.shape || !flat.add(*object.shape, part, i))
      ++notDrawn[object.type != nullptr ? *object.type : std::string()];
  }

  // The view fits the parts' members, of what is within reach.
  std::vector<Flattener::Drawn>& drawn = flat.drawn();
  std::vector<unsigned char> fate(input.objects.size(), 0);
  Extents view;
  Extents everything;
  for (const Flattener::Drawn& item : drawn) {
    if (!item.box.withinReach()) {
      fate[item.object] |= kOutOfReach;
      continue;
    }
    (item.part >= 0 ? view : everything).add(item.box);
  }
  // A part of a single point or text would make a view of nothing.
  if (view.empty() || (view.maxX == view.minX && view.maxY == view.minY))
    if (!everything.empty()) view.add(everything);
  if (view.empty()) view = Extents{0, 0, 1, 1};
  Mapping at(view);

  // Groups in the parts' order, objects of no part last.
  std::vector<std::string> groups(parts.size() + 1);
  for (const Flattener::Drawn& item : drawn) {
    unsigned char& seen = fate[item.object];
    if ((seen & kOutOfReach) != 0) continue;
    if (item.part < 0 && !item.box.meets(view)) {
      seen |= kOutsideView;
      continue;
    }
    seen |= kShown;
    const int part = item.part;
    appendShape(
        groups[part < 0 ? parts.size() : static_cast<std::size_t>(part)],
        *item.shape, at, colourOf(part));
  }
  std::size_t outsideView = 0;
  std::size_t outOfReach = 0;
  for (unsigned char seen : fate) {
    if ((seen & kOutOfReach) != 0)
      ++outOfReach;
    else if (seen == kOutsideView)
      ++outsideView;
  }

  std::string drawing;
  for (std::size_t part = 0; part < parts.size(); ++part)
    if (!groups[part].empty())
      drawing += "<g class=\"part\" data-tag=\"" + escaped(parts[part].tag) +
                 "\" stroke=\"" + colourOf(static_cast<int>(part)) +
                 "\">\n<title>" + escaped(parts[part].tag) + " (" +
                 counted(parts[part].members, "member", "members") +
                 ")</title>\n" + groups[part] + "</g>\n";
  if (!groups.back().empty())
    drawing += std::string("<g class=\"no-part\" stroke=\"") + kNoPartColour +
               "\">\n" + groups.back() + "</g>\n";

  std::string legend;
  double y = kLegendLine;
  double legendWidth = 0;
  auto line = [&](const char* colour, const std::string& text) {
    legend += legendLine(y, colour, text);
    y += kLegendLine;
    legendWidth = std::max(
        legendWidth,
        kLegendTextLeft + kLegendCharWidth * static_cast<double>(text.size()));
  };
  std::size_t moreMembers = 0;
  for (std::size_t part = 0; part < parts.size(); ++part)
    if (colours[part] == kMorePartsColour) moreMembers += parts[part].members;
  for (std::size_t part : listed)
    line(colours[part],
         parts[part].tag + " (" + std::to_string(parts[part].members) + ")");
  if (listed.size() < parts.size())
    line(kMorePartsColour,
         counted(parts.size() - listed.size(), "more part", "more parts") +
             " (" + std::to_string(moreMembers) + ")");
  line(kNoPartColour, "no part (" + std::to_string(unparted) + ")");
  for (const auto& kind : notDrawn)
    line(nullptr,
         kind.first + " (" + std::to_string(kind.second) + "): not drawn");
  if (inPaperSpace > 0)
    line(nullptr, counted(inPaperSpace, "member", "members") +
                      " in paper space: not drawn (model space only)");
  if (inBlocks > 0)
    line(nullptr, counted(inBlocks, "member", "members") +
                      " in block definitions: not drawn");
  if (outsideView > 0)
    line(nullptr, counted(outsideView, "object", "objects") +
                      " of no part outside the view: not drawn");
  if (flat.cutShort() > 0)
    line(nullptr, counted(flat.cutShort(), "insert", "inserts") +
                      " drawn in part: over " +
                      std::to_string(kMostPlacedShapes) + " shapes");
  if (outOfReach > 0)
    line(nullptr, counted(outOfReach, "object", "objects") +
                      " with coordinates out of range: not drawn");

  const double drawingWidth = at.width() + 2 * kMargin;
  const double drawingHeight = at.height() + 2 * kMargin;
  double legendLeft = at.width() + 3 * kMargin;
  double width = legendLeft + std::max(kLegendWidth, legendWidth);
  double height = std::max(drawingHeight, y + kMargin);
  // The nested svg clips what overhangs the view without an id, which an
  // inline picture would share with every other on its page.
  return "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + number(width) +
         "\" height=\"" + number(height) + "\" viewBox=\"0 0 " + number(width) +
         " " + number(height) + "\">\n" +
         "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n" +
         "<svg width=\"" + number(drawingWidth) + "\" height=\"" +
         number(drawingHeight) + "\" overflow=\"hidden\">\n" +
         "<g id=\"drawing\" fill=\"none\" stroke-width=\"2\" "
         "stroke-linecap=\"round\" font-family=\"sans-serif\">\n" +
         drawing + "</g>\n</svg>\n" +
         "<g id=\"legend\" transform=\"translate(" + number(legendLeft) + "," +
         number(kMargin) +
         ")\" font-family=\"sans-serif\" font-size=\"13\">\n" + legend +
         "</g>\n</svg>\n";
}

}  // namespace picture
