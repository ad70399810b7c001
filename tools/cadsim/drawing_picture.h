// The picture of a drawing's parts as the simulated host holds them now,
// drawn by the renderer the parts tool uses on a file.
#ifndef TOOLS_CADSIM_DRAWING_PICTURE_H
#define TOOLS_CADSIM_DRAWING_PICTURE_H

#include <string>
#include <vector>

#include "host/sim/host.h"
#include "text/error.h"

namespace cadsim {

// Part tags in the order a session first met them, so that a part keeps its
// place, and so its colour, from one picture of a drawing to the next.
class PartOrder {
 public:
  // The place of TAG, given one if it is new; tags differing in ASCII case
  // are one part, as the host compares application names.
  std::size_t placeOf(const std::string& tag);

 private:
  std::vector<std::string> folded_;
};

// The SVG picture of drawing NAME's model space: each live entity in the
// part of its first "$" application, drawn from the groups a save would
// write for it. False, with ERROR set, when no drawing NAME is open.
bool drawingPicture(const sim::Host& host, const std::string& name,
                    PartOrder& order, std::string& svg, text::Error& error);

}  // namespace cadsim

#endif
