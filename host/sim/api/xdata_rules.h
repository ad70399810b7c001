// The rules of xdata: which items a block may hold, how its size is counted
// and how an update merges with what an object carries.
#ifndef HOST_SIM_API_XDATA_RULES_H
#define HOST_SIM_API_XDATA_RULES_H

#include <cstddef>
#include <vector>

#include "host/sim/stored_values.h"

namespace sim {

// Per object, the host refuses xdata whose counted size exceeds this.
constexpr std::size_t kXdataLimit = 16384;
// A text item (1000, 1003) holds at most this many UTF-16 units.
constexpr std::size_t kLongestXdataText = 255;

// Bytes counted for xdata, as a compact binary writer would store it: two
// bytes of group code per item, plus for the value: an application
// reference 2, a text 2 (its length) + 2 per UTF-16 unit, a brace 1, a
// binary chunk 1 (its length) + 1 per byte, a point 24, a real 8, a 16-bit
// integer 2, a 32-bit integer 4.
std::size_t xdataSize(const std::vector<XdataEntry>& blocks);

// The data items of one block: only supported codes, texts present, braces
// "{" / "}" balanced, handles as hexadecimal, binary chunks of at most 127
// bytes. eOk or eInvalidInput.
Acad::ErrorStatus checkBlockItems(const std::vector<StoredItem>& items);

// Applies the updates to an object's blocks, each replacing its
// application's block whole (an empty block removes it; a new application
// goes to the end). eOk, or eXdataSizeExceeded with BLOCKS untouched.
Acad::ErrorStatus mergeXdata(std::vector<XdataEntry>& blocks,
                             std::vector<XdataEntry>&& updates);

}  // namespace sim

#endif
