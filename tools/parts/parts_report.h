// An audit written out: the human report, one line per part and per
// finding, and the same as one JSON object for scripts.
#ifndef TOOLS_PARTS_PARTS_REPORT_H
#define TOOLS_PARTS_PARTS_REPORT_H

#include <string>

#include "tools/parts/parts_audit.h"

namespace parts {

std::string humanReport(const std::string& file, const Audit& audit);
// One line, keys in the order the report documents.
std::string jsonReport(const std::string& file, const Audit& audit);

}  // namespace parts

#endif
