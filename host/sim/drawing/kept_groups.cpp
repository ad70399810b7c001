#include "host/sim/drawing/kept_groups.h"

#include "dxf/dxf_tag_reader.h"
#include "dxf/dxf_tag_writer.h"

namespace sim {

KeptGroups::KeptGroups(std::string text) {
  if (text.empty()) return;
  auto own = std::make_shared<const std::string>(std::move(text));
  begin_ = own->data();
  size_ = own->size();
  holder_ = std::move(own);
}

void decodeKept(const KeptGroups& kept, std::vector<dxf::Tag>& tags) {
  tags.clear();
  dxf::TagReader reader(kept.text(), 1);
  dxf::TagView tag;
  while (reader.next(tag))
    if (tag.code != 999) tags.push_back(tag.tag());
}

KeptGroups encodeKept(const std::vector<dxf::Tag>& tags) {
  std::string text;
  dxf::TagWriter writer(text, false);
  for (const dxf::Tag& tag : tags) writer.tag(tag);
  return KeptGroups(std::move(text));
}

}  // namespace sim
