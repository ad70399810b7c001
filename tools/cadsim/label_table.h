// The names a session gives to drawing objects: labels that `add` makes,
// clone labels (source label plus ".N"), and the drawing each lives in.
#ifndef TOOLS_CADSIM_LABEL_TABLE_H
#define TOOLS_CADSIM_LABEL_TABLE_H

#include <map>
#include <string>
#include <unordered_map>

#include "host/api/ids.h"

namespace cadsim {

class LabelTable {
 public:
  struct Entry {
    AcDbObjectId id;
    std::string drawing;
  };

  // False when LABEL is already in use; nothing changes then.
  bool add(const std::string& label, AcDbObjectId id,
           const std::string& drawing);
  // The next clone label of SOURCE: "L1.3" for its third clone. A source
  // without a label counts under HANDLE_LABEL, its #HEX name ("#2F.1").
  std::string nextCloneLabel(AcDbObjectId source,
                             const std::string& handleLabel);
  const Entry* find(const std::string& label) const;
  // "" when the object has no label.
  std::string labelOf(AcDbObjectId id) const;

 private:
  std::map<std::string, Entry> byLabel_;
  std::unordered_map<const AcDbStub*, std::string> byObject_;
  std::unordered_map<std::string, int> cloneCounts_;
};

}  // namespace cadsim

#endif
