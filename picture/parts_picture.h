// An SVG picture of a drawing's parts: each part in its own colour, objects
// of no part in grey, and a legend of the tags, their member counts and
// what the picture leaves out.
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

// Where an object lives: only model space is drawn; a part's members
// elsewhere are counted in the legend.
enum class Space { Model, Paper, Block };

// One object: its entity type, its shape when the picture can draw it, and
// its index in the parts, or -1 for none.
struct PictureObject {
  const std::string* type = nullptr;
  const Shape* shape = nullptr;
  int part = -1;
  Space space = Space::Model;
};

// A block definition, for the inserts that place it; its name compares
// without regard to ASCII case.
struct PictureBlock {
  std::string name;
  Vec2 base;
  std::vector<Shape> shapes;
};

struct PictureInput {
  std::vector<PicturePart> parts;
  std::vector<PictureObject> objects;
  // Without its block, an insert is listed as not drawn.
  std::vector<PictureBlock> blocks;
};

// The drawing sits in <g id="drawing">, one <g class="part" data-tag=...>
// per part inside it, titled with its tag; the legend in <g id="legend">.
// The view fits what the parts' members draw (everything, when they draw
// nothing).
std::string svgPicture(const PictureInput& input);

}  // namespace picture

#endif
