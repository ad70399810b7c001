// The groups of a drawing file that an object carries and the host does not
// model: its 0 tag, its groups and its followers', written back on save.
#ifndef HOST_SIM_DRAWING_KEPT_GROUPS_H
#define HOST_SIM_DRAWING_KEPT_GROUPS_H

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dxf/dxf_text.h"

namespace dxf {
struct Tag;
}  // namespace dxf

namespace sim {

// A span of the file's text, which stays alive while any object keeps a span
// of it: a drawing's untouched objects then cost no more than the file
// itself. Groups the host rewrote (a copy's reactors, say) are text of
// their own.
class KeptGroups {
 public:
  KeptGroups() = default;
  KeptGroups(std::shared_ptr<const std::string> file, std::string_view span)
      : holder_(std::move(file)), begin_(span.data()), size_(span.size()) {}
  explicit KeptGroups(std::string text);

  bool empty() const { return size_ == 0; }
  std::string_view text() const { return std::string_view(begin_, size_); }

 private:
  std::shared_ptr<const std::string> holder_;
  const char* begin_ = nullptr;
  std::size_t size_ = 0;
};

// The pairs in file order, comments left out.
void decodeKept(const KeptGroups& kept, std::vector<dxf::Tag>& tags);
KeptGroups encodeKept(const std::vector<dxf::Tag>& tags);

// KEPT with its text written in TO rather than FROM, for an object that moves
// to a drawing of another encoding; what TO cannot hold becomes \U+XXXX.
// KEPT itself, sharing its text, when nothing in it reads differently.
KeptGroups reencodeKept(const KeptGroups& kept, dxf::TextEncoding from,
                        dxf::TextEncoding to);

}  // namespace sim

#endif
