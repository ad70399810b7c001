#include "host/sim/handle_index.h"

namespace sim {

void HandleIndex::add(std::uint64_t handle, std::size_t position) {
  if (last_ != runs_.end() && last_->first + last_->second.count == handle &&
      last_->second.position + last_->second.count == position &&
      runs_.find(handle) == runs_.end()) {
    ++last_->second.count;
    return;
  }
  last_ = runs_.insert_or_assign(handle, Run{position, 1}).first;
}

std::size_t HandleIndex::find(std::uint64_t handle) const {
  auto it = runs_.upper_bound(handle);
  if (it == runs_.begin()) return npos;
  --it;
  const std::uint64_t offset = handle - it->first;
  return offset < it->second.count
             ? it->second.position + static_cast<std::size_t>(offset)
             : npos;
}

void HandleIndex::erase(std::uint64_t handle) {
  auto it = runs_.upper_bound(handle);
  if (it == runs_.begin()) return;
  --it;
  const std::uint64_t offset = handle - it->first;
  const Run run = it->second;
  if (offset >= run.count) return;
  last_ = runs_.end();
  // What follows the handle becomes a run of its own.
  if (offset + 1 < run.count)
    runs_.emplace(handle + 1,
                  Run{run.position + static_cast<std::size_t>(offset) + 1,
                      run.count - static_cast<std::size_t>(offset) - 1});
  if (offset == 0)
    runs_.erase(it);
  else
    it->second.count = static_cast<std::size_t>(offset);
}

}  // namespace sim
