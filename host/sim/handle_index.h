// Where a drawing's stubs stand by handle, for the stubs whose handle is not
// their place plus one: handles read from a file, or changed afterwards.
#ifndef HOST_SIM_HANDLE_INDEX_H
#define HOST_SIM_HANDLE_INDEX_H

#include <cstddef>
#include <cstdint>
#include <map>

namespace sim {

// Stubs made in a row with handles in a row share one entry. A file's
// entities nearly always come so: a hash node per stub cost about 56 bytes
// of the 370 an entity of a 500,000-entity drawing took, the entries here
// cost next to nothing; a file of scattered handles costs a node per stub,
// as the hash did.
class HandleIndex {
 public:
  static constexpr std::size_t npos = ~std::size_t(0);

  void add(std::uint64_t handle, std::size_t position);
  void erase(std::uint64_t handle);
  std::size_t find(std::uint64_t handle) const;  // npos when absent
  void clear() {
    runs_.clear();
    last_ = runs_.end();
  }

 private:
  struct Run {
    std::size_t position;  // of the first handle's stub
    std::size_t count;
  };
  using Runs = std::map<std::uint64_t, Run>;  // by first handle
  Runs runs_;
  Runs::iterator last_ = runs_.end();  // the run the last add went to
};

}  // namespace sim

#endif
