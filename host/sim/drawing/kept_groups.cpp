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

namespace {

// Bytes past ASCII read differently in another encoding, and a backslash
// may begin a \U+XXXX escape that one encoding needs and another does not.
bool mayReadDifferently(std::string_view text) {
  for (char c : text)
    if (static_cast<unsigned char>(c) >= 0x80 || c == '\\') return true;
  return false;
}

}  // namespace

KeptGroups reencodeKept(const KeptGroups& kept, dxf::TextEncoding from,
                        dxf::TextEncoding to) {
  if (from == to || !mayReadDifferently(kept.text())) return kept;
  std::vector<dxf::Tag> tags;
  decodeKept(kept, tags);
  std::u16string text;
  for (dxf::Tag& tag : tags)
    // Bytes that are no text in the source's encoding stay as they came.
    if (mayReadDifferently(tag.value) && dxf::decodeText(tag.value, from, text))
      tag.value = dxf::encodeText(text, to);
  return encodeKept(tags);
}

KeptGroups encodeKept(const std::vector<dxf::Tag>& tags) {
  std::string text;
  dxf::TagWriter writer(text, false);
  for (const dxf::Tag& tag : tags) writer.tag(tag);
  return KeptGroups(std::move(text));
}

}  // namespace sim
