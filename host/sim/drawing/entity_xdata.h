// An entity's xdata as groups of the text it keeps from its drawing file:
// checked when the file is opened, decoded into the host's items on first use.
#ifndef HOST_SIM_DRAWING_ENTITY_XDATA_H
#define HOST_SIM_DRAWING_ENTITY_XDATA_H

#include <string_view>
#include <vector>

#include "dxf/dxf_tag.h"

namespace sim {
namespace dxfio {

// The xdata groups of the entity that heads KEPT (its followers left out),
// lines counted from FIRST_LINE; the entity's type.
std::string_view entityXdataTags(std::string_view kept, int firstLine,
                                 std::vector<dxf::Tag>& tags);

}  // namespace dxfio
}  // namespace sim

#endif
