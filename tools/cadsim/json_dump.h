// The one-line JSON of the whole host state that `dump` writes.
#ifndef TOOLS_CADSIM_JSON_DUMP_H
#define TOOLS_CADSIM_JSON_DUMP_H

#include <string>

#include "host/sim/host.h"
#include "tools/cadsim/label_table.h"

namespace cadsim {

std::string dumpJson(const sim::Host& host, const LabelTable& labels);

}  // namespace cadsim

#endif
