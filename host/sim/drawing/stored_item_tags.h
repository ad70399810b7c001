// Between a DXF file's tags and the items the simulated host stores: the
// data of one application's xdata block and the data of an xrecord.
#ifndef HOST_SIM_DRAWING_STORED_ITEM_TAGS_H
#define HOST_SIM_DRAWING_STORED_ITEM_TAGS_H

#include <cstdint>
#include <functional>
#include <vector>

#include "dxf/dxf_tag.h"
#include "dxf/dxf_text.h"
#include "host/sim/stored_values.h"

namespace sim {
namespace dxfio {

// Finds the host's object for a handle in the file, or null.
using HandleResolver = std::function<AcDbStub*(std::uint64_t)>;

// The items after a 1001 tag up to the next 1001: only the codes the host
// holds in xdata; a point (1010 to 1013) takes its Y and Z tags; a binary
// chunk is at most 127 bytes. False with the line of the offending tag
// otherwise.
bool xdataItemsFromTags(const dxf::Tag* begin, const dxf::Tag* end,
                        dxf::TextEncoding encoding,
                        std::vector<StoredItem>& items, text::Error& error);
void appendXdataTags(const std::vector<StoredItem>& items,
                     dxf::TextEncoding encoding, std::vector<dxf::Tag>& tags);

// An xrecord's data: any group code the host holds; points take their
// second and third coordinates; pointers are resolved to the host's
// objects (null when the handle names none). False when a code is one no
// range assigns.
bool recordItemsFromTags(const dxf::Tag* begin, const dxf::Tag* end,
                         dxf::TextEncoding encoding,
                         const HandleResolver& resolve,
                         std::vector<StoredItem>& items, text::Error& error);
void appendRecordTags(const std::vector<StoredItem>& items,
                      dxf::TextEncoding encoding, std::vector<dxf::Tag>& tags);

bool sameItems(const std::vector<StoredItem>& a,
               const std::vector<StoredItem>& b);

}  // namespace dxfio
}  // namespace sim

#endif
