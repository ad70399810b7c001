// The module's part records as the runner reads them: through the host's
// generic access to dictionaries and xrecords, since the host itself knows no
// plug-in's data.
#ifndef TOOLS_CADSIM_PART_RECORDS_H
#define TOOLS_CADSIM_PART_RECORDS_H

#include <string>
#include <vector>

#include "host/sim/host.h"

namespace cadsim {

struct PartRecord {
  std::string tag;
  sim::Items items;  // a 330 item's value is the handle text it names
};

struct PartDictionary {
  // False when the named-objects dictionary holds no live dictionary under
  // the module's key.
  bool present = false;
  std::vector<PartRecord> records;  // in key order
};

PartDictionary readPartDictionary(const sim::Host& host,
                                  const std::string& drawingName);

}  // namespace cadsim

#endif
