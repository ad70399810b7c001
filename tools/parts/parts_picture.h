// An SVG picture of model space: each part in its own colour, objects of no
// part in grey, and a legend of the tags, their member counts and the
// entity kinds the picture does not draw.
#ifndef TOOLS_PARTS_PARTS_PICTURE_H
#define TOOLS_PARTS_PARTS_PICTURE_H

#include <string>

#include "tools/parts/drawing_facts.h"
#include "tools/parts/parts_audit.h"

namespace parts {

// The drawing sits in <g id="drawing">, one <g class="part" data-tag=...>
// per part inside it; the legend in <g id="legend">.
std::string svgPicture(const DrawingFacts& facts, const Audit& audit);

}  // namespace parts

#endif
