// What the parts tool needs of a DXF drawing, taken out of the DXF library's
// document as the file is read: each object's handle, type and xdata
// applications, the registered applications, the part records, and the shapes
// of model space.
#ifndef TOOLS_PARTS_DRAWING_FACTS_H
#define TOOLS_PARTS_DRAWING_FACTS_H

#include <memory>
#include <string>
#include <vector>

#include "dxf/dxf_tag.h"
#include "picture/shape.h"

namespace parts {

struct DrawingObject {
  std::string handle;             // upper-case hexadecimal, "" if none
  std::string type;               // its 0 tag
  std::vector<std::string> apps;  // xdata applications in order, UTF-8
  bool modelSpace = false;        // an entity of model space
  // An entity of model space the picture draws, when shapes were asked for;
  // held apart so that an audit's objects stay small.
  std::unique_ptr<picture::Shape> shape;
};

// One entry of the part dictionary.
struct PartRecord {
  std::string key;
  std::string handle;       // the entry's object, "" when the entry names none
  bool wellFormed = false;  // an xrecord of "{MORVAT_PART", 330s, "}"
  std::vector<std::string> members;  // handle texts, as listed
};

struct DrawingFacts {
  std::vector<DrawingObject> objects;  // every object, in file order
  std::vector<std::string> registeredApps;
  bool hasPartDictionary = false;  // the root dictionary has PVNR_HANDLE
  bool partDictionaryIsDictionary = false;
  std::string partDictionaryHandle;
  std::vector<PartRecord> records;  // in the part dictionary's order
};

// Reads the file with the DXF library; false with its error when the file
// is refused. Shapes are read only for a picture: reading their numbers
// costs more than the whole audit.
bool readDrawingFacts(const std::string& path, bool withShapes,
                      DrawingFacts& facts, text::Error& error);

}  // namespace parts

#endif
