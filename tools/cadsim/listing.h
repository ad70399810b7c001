// The human listing of one drawing (`list`), and items written back in the
// script's own CODE:VALUE syntax.
#ifndef TOOLS_CADSIM_LISTING_H
#define TOOLS_CADSIM_LISTING_H

#include <ostream>
#include <string>

#include "host/sim/host.h"
#include "tools/cadsim/label_table.h"
#include "tools/cadsim/part_records.h"

namespace cadsim {

// 1000:"pipe", 1070:3, 1010:1,2,0: what `xdata` would take to make it.
std::string formatItem(const sim::Item& item);

// Labelled objects and those the host made for itself, each with what it
// owns and no label names (an extension dictionary a deep clone made, the
// xrecords in it) indented under it; then the named objects and the part
// records.
void writeListing(const sim::Host& host, const sim::DrawingInfo& drawing,
                  const PartDictionary& parts, const LabelTable& labels,
                  std::ostream& out);

}  // namespace cadsim

#endif
