// An SVG picture of a drawing's parts: each part in its own colour, objects
// of no part in grey, and a legend of the tags, their member counts and the
// entity kinds the picture does not draw.
#ifndef PICTURE_PARTS_PICTURE_H
#define PICTURE_PARTS_PICTURE_H

#include <cstddef>
#include <string>
#include <vector>

#include "picture/shape.h"

namespace picture {

struct PicturePart {
  std::string tag;
  std::size_t members = 0;
};

// One model-space object: its entity type, its shape when the picture can
// draw it, and its index in the parts, or -1 for none.
struct PictureObject {
  const std::string* type = nullptr;
  const Shape* shape = nullptr;
  int part = -1;
};

struct PictureInput {
  std::vector<PicturePart> parts;
  std::vector<PictureObject> objects;
};

// The drawing sits in <g id="drawing">, one <g class="part" data-tag=...>
// per part inside it; the legend in <g id="legend">.
std::string svgPicture(const PictureInput& input);

}  // namespace picture

#endif
