// Label bookkeeping of a session.
#include "tools/cadsim/label_table.h"

namespace cadsim {

bool LabelTable::add(const std::string& label, AcDbObjectId id,
                     const std::string& drawing) {
  if (byLabel_.count(label) || byObject_.count(id.stub())) return false;
  byLabel_[label] = Entry{id, drawing};
  byObject_[id.stub()] = label;
  return true;
}

std::string LabelTable::nextCloneLabel(AcDbObjectId source,
                                       const std::string& handleLabel) {
  std::string base = labelOf(source);
  if (base.empty()) base = handleLabel;
  return base + "." + std::to_string(++cloneCounts_[base]);
}

const LabelTable::Entry* LabelTable::find(const std::string& label) const {
  const auto found = byLabel_.find(label);
  return found == byLabel_.end() ? nullptr : &found->second;
}

std::string LabelTable::labelOf(AcDbObjectId id) const {
  const auto found = byObject_.find(id.stub());
  return found == byObject_.end() ? std::string() : found->second;
}

}  // namespace cadsim
