// The parts of a drawing and where its part records disagree with them:
// errors for data that is damaged, notes for the history a record keeps.
#ifndef TOOLS_PARTS_PARTS_AUDIT_H
#define TOOLS_PARTS_PARTS_AUDIT_H

#include <string>
#include <vector>

#include "tools/parts/drawing_facts.h"

namespace parts {

struct Part {
  std::string tag;
  std::vector<std::string> members;  // handles in file order
  bool hasRecord = false;            // a well-formed record under the tag
  bool recordMalformed = false;      // a record under the tag, but damaged
  std::vector<std::string> record;   // its handles, as listed
};

enum class Severity { Error, Note };

struct Finding {
  Severity severity = Severity::Note;
  std::string kind;  // record-malformed, tag-not-registered, ...
  bool hasTag = false;
  std::string tag;
  bool hasHandle = false;
  std::string handle;
};

struct Audit {
  std::vector<Part> parts;  // in the order their tags first appear
  std::vector<Finding> findings;
  // For each of the facts' objects, its index in `parts`, or -1.
  std::vector<int> partOfObject;
  bool hasErrors() const;
};

Audit auditParts(const DrawingFacts& facts);

}  // namespace parts

#endif
