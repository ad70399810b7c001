// An index of names that compare without regard to ASCII case, over a list
// of names kept elsewhere (a drawing's registered applications).
#ifndef HOST_SIM_FOLDED_NAME_INDEX_H
#define HOST_SIM_FOLDED_NAME_INDEX_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "host/api/host_api.h"
#include "host/sim/wide_string.h"

namespace sim {

// The hash of a name folded to ASCII upper case, computed as it is read.
std::uint32_t foldedHash(const ACHAR* name, std::size_t length);
// True when a (length units) equals b without regard to ASCII case.
bool equalsFolded(const ACHAR* a, std::size_t length, const AcWString& b);

// Every xdata read and write looks its applications up here, so a lookup
// folds and hashes the name as it reads it, without copying it, and probes
// one flat table; a cell keeps the hash, so most mismatches never touch the
// name they stand for.
class FoldedNameIndex {
 public:
  // The position in names of the name equal to name without regard to ASCII
  // case, or -1.
  long find(const ACHAR* name, const std::vector<AcWString>& names) const;
  // The same for a name of known length and hash (foldedHash).
  long find(const ACHAR* name, std::size_t length, std::uint32_t hash,
            const std::vector<AcWString>& names) const;
  // Indexes names[position], which no other indexed name equals.
  void add(std::size_t position, const std::vector<AcWString>& names);
  // The same when the name's hash is known.
  void add(std::size_t position, std::uint32_t hash);

 private:
  struct Cell {
    std::uint32_t hash;
    std::uint32_t positionPlusOne;  // 0: free
  };
  void grow();

  std::vector<Cell> cells_;  // open addressing, a power of two, under 1/2 full
  std::size_t count_ = 0;
  // The two names found last: moving a part's xdata from one application to
  // another looks the same two up over and over. A name is compared with
  // one only when their hashes agree.
  mutable Cell recent_[2] = {{0, 0}, {0, 0}};
};

}  // namespace sim

#endif
