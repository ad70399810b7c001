#include "picture/parts_picture.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <map>

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

const double kMargin = 20;
const double kMaxWidth = 800;
const double kMaxHeight = 600;
const double kLegendWidth = 260;
const double kLegendLine = 20;
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
  void add(double x, double y) {
    minX = std::min(minX, x);
    minY = std::min(minY, y);
    maxX = std::max(maxX, x);
    maxY = std::max(maxY, y);
  }
};

Extents extentsOf(const PictureInput& input) {
  Extents box;
  for (const PictureObject& object : input.objects) {
    if (!object.shape) continue;
    const Shape& shape = *object.shape;
    for (const Vec2& p : shape.points) {
      if (shape.kind == Shape::Kind::Circle || shape.kind == Shape::Kind::Arc) {
        box.add(p.x - shape.radius, p.y - shape.radius);
        box.add(p.x + shape.radius, p.y + shape.radius);
      } else if (shape.kind == Shape::Kind::Text) {
        // A guess at the width: glyphs are about six tenths as wide as tall.
        box.add(p.x, p.y);
        box.add(
            p.x + 0.6 * shape.height * static_cast<double>(shape.text.size()),
            p.y + shape.height);
      } else {
        box.add(p.x, p.y);
      }
    }
  }
  if (box.minX > box.maxX) box = Extents{0, 0, 1, 1};
  return box;
}

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

// Appended to the part's group as it goes: a string per element and per
// number cost more than the numbers.
void appendShape(std::string& out, const Shape& shape, const Mapping& at,
                 const char* colour) {
  const Vec2& p = shape.points.empty() ? Vec2() : shape.points.front();
  switch (shape.kind) {
    case Shape::Kind::Path: {
      if (shape.points.size() < 2) return;
      out += shape.closed ? "<polygon points=\"" : "<polyline points=\"";
      for (std::size_t i = 0; i < shape.points.size(); ++i) {
        if (i > 0) out += ' ';
        appendPoint(out, at, shape.points[i].x, shape.points[i].y);
      }
      out += "\"/>\n";
      return;
    }
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
      out += "<text x=\"";
      appendNumber(out, at.x(p.x));
      out += "\" y=\"";
      appendNumber(out, at.y(p.y));
      out += "\" font-size=\"";
      appendNumber(out, std::max(at.length(shape.height), 1.0));
      out += "\" fill=\"";
      out += colour;
      out += "\" stroke=\"none\">";
      out += escaped(shape.text);
      out += "</text>\n";
      return;
  }
}

std::string legendLine(double y, const char* colour, const std::string& text) {
  std::string line;
  if (colour != nullptr)
    line += "<rect x=\"0\" y=\"" + number(y - 11) +
            "\" width=\"14\" height=\"14\" fill=\"" + colour + "\"/>\n";
  return line + "<text x=\"22\" y=\"" + number(y) + "\">" + escaped(text) +
         "</text>\n";
}

}  // namespace

std::string svgPicture(const PictureInput& input) {
  Mapping at(extentsOf(input));
  auto colourOf = [](int part) {
    return part < 0 ? kNoPartColour
                    : kPartColours[static_cast<std::size_t>(part) %
                                   kPartColourCount];
  };

  // Groups in the parts' order, objects of no part last.
  const std::vector<PicturePart>& parts = input.parts;
  std::vector<std::string> groups(parts.size() + 1);
  std::size_t unparted = 0;
  std::map<std::string, std::size_t> notDrawn;
  for (const PictureObject& object : input.objects) {
    const int part = object.part;
    if (part < 0) ++unparted;
    if (!object.shape) {
      ++notDrawn[object.type != nullptr ? *object.type : std::string()];
      continue;
    }
    appendShape(
        groups[part < 0 ? parts.size() : static_cast<std::size_t>(part)],
        *object.shape, at, colourOf(part));
  }

  std::string drawing;
  for (std::size_t part = 0; part < parts.size(); ++part)
    if (!groups[part].empty())
      drawing += "<g class=\"part\" data-tag=\"" + escaped(parts[part].tag) +
                 "\" stroke=\"" + colourOf(static_cast<int>(part)) + "\">\n" +
                 groups[part] + "</g>\n";
  if (!groups.back().empty())
    drawing += std::string("<g class=\"no-part\" stroke=\"") + kNoPartColour +
               "\">\n" + groups.back() + "</g>\n";

  std::string legend;
  double y = kLegendLine;
  for (std::size_t part = 0; part < parts.size(); ++part, y += kLegendLine)
    legend += legendLine(
        y, colourOf(static_cast<int>(part)),
        parts[part].tag + " (" + std::to_string(parts[part].members) + ")");
  legend += legendLine(y, kNoPartColour,
                       "no part (" + std::to_string(unparted) + ")");
  y += kLegendLine;
  for (const auto& kind : notDrawn) {
    legend += legendLine(
        y, nullptr,
        kind.first + " (" + std::to_string(kind.second) + "): not drawn");
    y += kLegendLine;
  }

  double legendLeft = at.width() + 3 * kMargin;
  double width = legendLeft + kLegendWidth;
  double height = std::max(at.height() + 2 * kMargin, y + kMargin);
  return "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + number(width) +
         "\" height=\"" + number(height) + "\" viewBox=\"0 0 " + number(width) +
         " " + number(height) + "\">\n" +
         "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n" +
         "<g id=\"drawing\" fill=\"none\" stroke-width=\"2\" "
         "stroke-linecap=\"round\" font-family=\"sans-serif\">\n" +
         drawing + "</g>\n" + "<g id=\"legend\" transform=\"translate(" +
         number(legendLeft) + "," + number(kMargin) +
         ")\" font-family=\"sans-serif\" font-size=\"13\">\n" + legend +
         "</g>\n</svg>\n";
}

}  // namespace picture
