// What the parts tool needs of a DXF drawing, taken out of the DXF library's
// document as the file is read: each object's handle, type and xdata
// applications, the registered applications, the part records, and the shapes
// of model space.
#ifndef TOOLS_PARTS_DRAWING_FACTS_H
#define TOOLS_PARTS_DRAWING_FACTS_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dxf/dxf_tag.h"
#include "picture/parts_picture.h"
#include "picture/shape.h"

namespace parts {

struct DrawingObject {
  std::uint64_t handle = 0;  // 0 if none
  // Its xdata applications in order: `appCount` indexes into the facts'
  // appNames, from objectApps[firstApp] on.
  std::uint32_t firstApp = 0;
  std::uint32_t appCount = 0;
  // The rest only a picture asks, and a reading for the audit alone leaves
  // model space's entities without it (readDrawingFacts' withShapes): the
  // 0 tag, as an index in the facts' typeNames, the space and the shape.
  std::uint32_t type = 0;
  bool modelSpace = false;  // an entity of model space
  bool paperSpace = false;  // an entity of a paper space layout
  bool inBlock = false;     // an entity of another block definition
  // An entity of model space the picture draws, held apart so that an
  // audit's objects stay small.
  std::unique_ptr<picture::Shape> shape;
};

// One entry of the part dictionary.
struct PartRecord {
  std::string key;
  std::string handle;       // the entry's object, "" when the entry names none
  bool wellFormed = false;  // an xrecord of "{MORVAT_PART", 330s, "}"
  std::vector<std::uint64_t> members;  // handles, as listed
};

struct DrawingFacts {
  std::vector<DrawingObject> objects;  // every object, in file order
  // Each type, and each spelling of an application the objects' xdata uses
  // (in UTF-8), once: a large drawing repeats a few names on many objects.
  std::vector<std::string> typeNames;
  std::vector<std::string> appNames;
  std::vector<std::uint32_t> objectApps;  // see DrawingObject::firstApp
  std::vector<std::string> registeredApps;
  bool hasPartDictionary = false;  // the root dictionary has PVNR_HANDLE
  bool partDictionaryIsDictionary = false;
  std::string partDictionaryHandle;
  std::vector<PartRecord> records;  // in the part dictionary's order
  // The block definitions inserts place, when shapes were asked for.
  std::vector<picture::PictureBlock> blocks;
};

// Reads the file with the DXF library; false with its error when the file
// is refused. Types, spaces and shapes are read only for a picture
// (WITH_SHAPES): reading their numbers costs more than the whole audit.
bool readDrawingFacts(const std::string& path, bool withShapes,
                      DrawingFacts& facts, text::Error& error);

}  // namespace parts

#endif
