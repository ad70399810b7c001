#include "host/sim/drawing/entity_xdata.h"

#include "dxf/dxf_document.h"
#include "dxf/dxf_tag_reader.h"
#include "host/sim/drawing/stored_item_tags.h"
#include "host/sim/drawing_state.h"
#include "host/sim/object_state.h"

namespace sim {
namespace dxfio {

std::string_view entityXdataTags(std::string_view kept, int firstLine,
                                 std::vector<dxf::Tag>& tags) {
  dxf::TagReader reader(kept, firstLine);
  dxf::TagView tag;
  if (!reader.next(tag)) return std::string_view();
  const std::string_view type = tag.value;
  while (reader.next(tag) && tag.code != 0)
    if (tag.code >= 1000) tags.push_back(tag.tag());
  return type;
}

}  // namespace dxfio
}  // namespace sim

// The loader checked these groups with the same encoding and registered
// their applications, so decoding them cannot fail.
void AcDbImpObject::decodeXdata() const {
  xdataInFile_ = false;
  if (stub == nullptr || !stub->drawing->fileDocument) return;
  AcDbImpDatabase& drawing = *stub->drawing;
  const dxf::TextEncoding encoding = drawing.fileDocument->encoding();
  std::vector<dxf::Tag> tags;
  sim::dxfio::entityXdataTags(extras.text(), 1, tags);
  for (std::size_t i = 0; i < tags.size();) {
    std::size_t next = i + 1;
    while (next < tags.size() && tags[next].code != 1001) ++next;
    AcWString app;
    dxf::decodeText(tags[i].value, encoding, app);
    sim::XdataEntry entry;
    entry.app = drawing.registerApp(app);
    text::Error ignored;
    sim::dxfio::xdataItemsFromTags(tags.data() + i + 1, tags.data() + next,
                                   encoding, entry.items, ignored);
    xdata_.push_back(std::move(entry));
    i = next;
  }
}
