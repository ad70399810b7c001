// The drawing as a DXF file holds it: header variables, classes, tables and
// their records, blocks, entities and objects. Each object keeps its tags in
// file order, so what nobody changes is written back tag for tag.
#ifndef DXF_DXF_DOCUMENT_H
#define DXF_DXF_DOCUMENT_H

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dxf/dxf_tag.h"
#include "dxf/dxf_text.h"

namespace dxf {

// One entity, table record, table head, block begin or end, or object.
struct Object {
  std::string type;          // the value of its 0 tag
  int line = 0;              // line of its 0 tag; 0 for one made here
  std::vector<Tag> tags;     // everything between the 0 tag and the xdata
  std::vector<Tag> xdata;    // from the first 1001 on, as it came
  std::uint64_t handle = 0;  // 0: the object has none
  std::uint64_t owner = 0;   // 0: none, or owned by nobody (330:0)
  int handleIndex = -1;      // positions of those two tags in `tags`
  int ownerIndex = -1;
  // Its 0 tag and groups as a file spells them, written as they are when
  // tags and xdata are empty (an entity a reader's sink kept this way).
  std::string_view text;

  // The group code that carries this type's handle.
  int handleCode() const { return type == "DIMSTYLE" ? 105 : 5; }
  // Set the handle or owner, keeping the tag where it stands, or adding it
  // where CAD programs put it: the handle first, the owner after the
  // handle and any 102 groups.
  void setHandle(std::uint64_t value);
  void setOwner(std::uint64_t value);
  // The first value of a group code among `tags`, or null.
  const Tag* find(int code) const;
  // Finds the handle and owner tags again after `tags` changed.
  void locateHandleAndOwner();
};

// An entity as the reader hands it to a sink: the same fields as an Object,
// with its type and groups as views into the file's text, so that reading
// costs no string per group. Valid during the sink's call only.
struct ObjectView {
  std::string_view type;
  int line = 0;
  std::vector<TagView> tags;
  std::vector<TagView> xdata;
  std::uint64_t handle = 0;
  std::uint64_t owner = 0;
  int handleIndex = -1;
  int ownerIndex = -1;

  int handleCode() const { return type == "DIMSTYLE" ? 105 : 5; }
  const TagView* find(int code) const;
  void locateHandleAndOwner();
};

struct HeaderVariable {
  std::string name;  // with its "$"
  int line = 0;
  std::vector<Tag> values;
};

struct Table {
  std::string name;  // VPORT, LTYPE, ..., BLOCK_RECORD
  Object head;       // 0:TABLE and its tags
  std::vector<Object> records;
  Object end;  // 0:ENDTAB
};

struct Block {
  Object begin;  // 0:BLOCK
  std::vector<Object> entities;
  Object end;  // 0:ENDBLK
  std::string name() const;
};

// A section this reader does not interpret, kept as it came.
struct RawSection {
  std::string name;
  std::vector<Tag> tags;
};

struct Document {
  std::vector<HeaderVariable> header;
  bool hasClasses = false;
  std::vector<Object> classes;
  std::vector<Table> tables;
  std::vector<Block> blocks;
  std::vector<Object> entities;
  std::vector<Object> objects;
  std::vector<RawSection> otherSections;
  bool crlf = true;  // line ends to write; a read file keeps its own
  // The file's text, when entities went to a reader's sink.
  std::shared_ptr<const std::string> source;

  const HeaderVariable* headerVariable(std::string_view name) const;
  // Replaces the variable's values, or adds it (after $ACADVER if possible).
  void setHeaderVariable(std::string_view name, std::vector<Tag> values);
  std::string version() const;  // $ACADVER, "" if absent
  TextEncoding encoding() const;
  std::uint64_t handleSeed() const;  // $HANDSEED, 0 if absent

  Table* table(std::string_view name);
  const Table* table(std::string_view name) const;
  Block* block(std::string_view name);

  // Every object that can carry a handle, in file order.
  void forEachObject(const std::function<void(Object&)>& visit);
  void forEachObject(const std::function<void(const Object&)>& visit) const;
  // The first handle no object uses and $HANDSEED does not rule out: new
  // objects get handles from here up, so they never collide with a handle
  // that a damaged seed would hand out again.
  std::uint64_t nextFreeHandle() const;
};

// A dictionary's entries: pairs of a 3 key and a 350 (soft owner) or 360
// (hard owner) handle after its AcDbDictionary marker.
struct DictionaryEntry {
  std::string key;  // as the file spells it
  int code = 350;
  std::uint64_t handle = 0;
};
std::vector<DictionaryEntry> dictionaryEntries(const Object& dictionary);
// The handle under a key, 0 if the key is absent.
std::uint64_t dictionaryEntry(const Object& dictionary, std::string_view key);
// Adds the entry at the end; an existing key is left as it is.
void addDictionaryEntry(Object& dictionary, std::string_view key,
                        std::uint64_t handle, int code = 350);

// Tag helpers for building objects here.
Tag makeTag(int code, std::string value);
Tag handleTag(int code, std::uint64_t handle);

}  // namespace dxf

#endif
