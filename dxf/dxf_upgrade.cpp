#include "dxf/dxf_upgrade.h"

#include <algorithm>

#include "dxf/dxf_skeleton.h"
#include "text/ascii_case.h"

namespace dxf {

const char* const kUpgradedVersion = "AC1015";

bool needsUpgrade(std::string_view version) {
  return version.size() == 6 && version.substr(0, 2) == "AC" &&
         version.substr(2) < std::string_view(kUpgradedVersion).substr(2);
}

bool isFollower(std::string_view type) {
  return type == "VERTEX" || type == "ATTRIB" || type == "SEQEND";
}

namespace {

bool sameName(std::string_view a, std::string_view b) {
  return text::equalsIgnoringAsciiCase(a, b);
}

const Object* recordNamed(const Table* table, std::string_view name) {
  if (table == nullptr) return nullptr;
  for (const Object& record : table->records) {
    const Tag* tag = record.find(2);
    if (tag && sameName(tag->value, name)) return &record;
  }
  return nullptr;
}

std::int64_t integerOf(const Object& object, int code) {
  std::int64_t value = 0;
  if (const Tag* tag = object.find(code)) parseInteger(tag->value, value);
  return value;
}

// The subclass of a table's records, for records written without one.
const char* recordSubclass(std::string_view table) {
  if (table == "VPORT") return "AcDbViewportTableRecord";
  if (table == "LTYPE") return "AcDbLinetypeTableRecord";
  if (table == "LAYER") return "AcDbLayerTableRecord";
  if (table == "STYLE") return "AcDbTextStyleTableRecord";
  if (table == "VIEW") return "AcDbViewTableRecord";
  if (table == "UCS") return "AcDbUCSTableRecord";
  if (table == "APPID") return "AcDbRegAppTableRecord";
  if (table == "DIMSTYLE") return "AcDbDimStyleTableRecord";
  if (table == "BLOCK_RECORD") return "AcDbBlockTableRecord";
  return nullptr;
}

// Where an object's own groups start: past its handle, owner and 102
// groups, which R13 and later write first.
std::size_t bodyStart(const Object& object) {
  const std::vector<Tag>& tags = object.tags;
  std::size_t at = 0;
  while (at < tags.size()) {
    const int i = static_cast<int>(at);
    if (i == object.handleIndex || i == object.ownerIndex) {
      ++at;
    } else if (tags[at].code == 102 && !tags[at].value.empty() &&
               tags[at].value[0] == '{') {
      while (at < tags.size() && tags[at].value != "}") ++at;
      if (at < tags.size()) ++at;
    } else {
      break;
    }
  }
  return at;
}

void insertMarkers(Object& object, std::size_t at,
                   std::initializer_list<const char*> markers) {
  for (const char* marker : markers)
    object.tags.insert(object.tags.begin() + static_cast<std::ptrdiff_t>(at++),
                       makeTag(100, marker));
  object.locateHandleAndOwner();
}

// Groups of the AcDbEntity subclass that R12 writes among the others.
bool isCommonEntityCode(int code) {
  return code == 6 || code == 8 || code == 48 || code == 60 || code == 62 ||
         code == 67 || code == 370;
}

// An entity that names no owner belongs to model space, or to paper space
// when its 67 group says so.
bool ownBySpace(const Document& upgraded, Object& entity) {
  if (entity.ownerIndex >= 0) return false;
  const Table* records = upgraded.table("BLOCK_RECORD");
  const Object* space = recordNamed(
      records, integerOf(entity, 67) == 1 ? "*Paper_Space" : "*Model_Space");
  if (space == nullptr) return false;
  entity.setOwner(space->handle);
  return true;
}

class Upgrader {
 public:
  explicit Upgrader(Document& document) : doc_(document) {}

  std::uint64_t run(const SunkEntities& sunk);

 private:
  void number(Object& object);
  void numberGroups(std::vector<Object>& entities);
  void renameSpaceBlocks();
  void blockRecords();
  void subclassMarkers();

  Document& doc_;
  std::uint64_t next_ = 0;
};

// A table's handle follows its name, where R13 and later write it.
void Upgrader::number(Object& object) {
  if (object.handle != 0) return;
  if (object.type == "TABLE" && !object.tags.empty() &&
      object.tags[0].code == 2) {
    object.tags.insert(object.tags.begin() + 1, handleTag(5, next_));
    object.locateHandleAndOwner();
    ++next_;
    return;
  }
  object.setHandle(next_++);
}

void Upgrader::numberGroups(std::vector<Object>& entities) {
  std::uint64_t head = 0;
  for (Object& entity : entities) {
    number(entity);
    if (!isFollower(entity.type))
      head = entity.handle;
    else if (entity.ownerIndex < 0 && head != 0)
      entity.setOwner(head);
  }
}

// R12 names its two spaces $MODEL_SPACE and $PAPER_SPACE.
void Upgrader::renameSpaceBlocks() {
  for (Block& block : doc_.blocks) {
    std::string name = block.name();
    const char* upgraded = sameName(name, "$MODEL_SPACE")   ? "*Model_Space"
                           : sameName(name, "$PAPER_SPACE") ? "*Paper_Space"
                                                            : nullptr;
    if (upgraded == nullptr) continue;
    for (Tag& tag : block.begin.tags)
      if (tag.code == 2 || tag.code == 3) tag.value = upgraded;
  }
}

// Every block of AC1015 has its record; R12 has no BLOCK_RECORD table.
void Upgrader::blockRecords() {
  Table* records = doc_.table("BLOCK_RECORD");
  if (records == nullptr) {
    Table created;
    created.name = "BLOCK_RECORD";
    created.head.type = "TABLE";
    created.head.tags = {makeTag(2, "BLOCK_RECORD"), handleTag(5, next_++),
                         makeTag(330, "0"), makeTag(100, "AcDbSymbolTable"),
                         makeTag(70, "0")};
    created.head.locateHandleAndOwner();
    created.end.type = "ENDTAB";
    doc_.tables.push_back(std::move(created));
    records = &doc_.tables.back();
  }
  std::vector<std::string> names = {"*Model_Space", "*Paper_Space"};
  for (const Block& block : doc_.blocks) names.push_back(block.name());
  for (const std::string& name : names) {
    if (name.empty() || recordNamed(records, name)) continue;
    Object record;
    record.type = "BLOCK_RECORD";
    record.tags = {handleTag(5, next_++), handleTag(330, records->head.handle),
                   makeTag(100, "AcDbSymbolTableRecord"),
                   makeTag(100, "AcDbBlockTableRecord"), makeTag(2, name)};
    record.locateHandleAndOwner();
    records->records.push_back(std::move(record));
  }
}

// Table heads, records and block ends R12 wrote without subclasses get the
// ones AC1015 readers look for.
void Upgrader::subclassMarkers() {
  for (Table& table : doc_.tables) {
    Object& head = table.head;
    if (head.find(100) == nullptr && head.handleIndex >= 0) {
      // 2:name, 5:handle, 330:0, then the subclass, as R13 and later write.
      if (head.ownerIndex < 0) {
        head.tags.insert(head.tags.begin() + head.handleIndex + 1,
                         makeTag(330, "0"));
        head.locateHandleAndOwner();
      }
      insertMarkers(head,
                    static_cast<std::size_t>(
                        std::max(head.handleIndex, head.ownerIndex)) +
                        1,
                    {"AcDbSymbolTable"});
    }
    const char* subclass = recordSubclass(table.name);
    for (Object& record : table.records)
      if (subclass != nullptr && record.find(100) == nullptr)
        insertMarkers(record, bodyStart(record),
                      {"AcDbSymbolTableRecord", subclass});
  }
  for (Block& block : doc_.blocks) {
    for (Object* object : {&block.begin, &block.end}) {
      if (object->find(100) != nullptr) continue;
      std::size_t at = bodyStart(*object);
      insertMarkers(*object, at, {"AcDbEntity"});
      ++at;
      while (at < object->tags.size() &&
             isCommonEntityCode(object->tags[at].code))
        ++at;
      insertMarkers(
          *object, at,
          {object == &block.begin ? "AcDbBlockBegin" : "AcDbBlockEnd"});
    }
  }
}

std::uint64_t Upgrader::run(const SunkEntities& sunk) {
  next_ = std::max(doc_.nextFreeHandle(), sunk.highestHandle + 1);
  for (Table& table : doc_.tables) {
    number(table.head);
    for (Object& record : table.records) number(record);
  }
  for (Block& block : doc_.blocks) {
    number(block.begin);
    numberGroups(block.entities);
    number(block.end);
  }
  const std::uint64_t sunkFrom = next_;
  next_ += sunk.withoutHandle;
  numberGroups(doc_.entities);
  for (Object& object : doc_.objects) number(object);

  renameSpaceBlocks();
  blockRecords();
  for (Object& entity : doc_.entities)
    if (!isFollower(entity.type)) ownBySpace(doc_, entity);
  doc_.setHeaderVariable("$ACADVER", {makeTag(1, kUpgradedVersion)});
  doc_.header.erase(std::remove_if(doc_.header.begin(), doc_.header.end(),
                                   [](const HeaderVariable& variable) {
                                     // AC1015 drawings always carry handles.
                                     return variable.name == "$HANDLING";
                                   }),
                    doc_.header.end());
  doc_.setHeaderVariable("$HANDSEED", {handleTag(5, next_)});
  completeSkeleton(doc_);
  subclassMarkers();
  return sunkFrom;
}

}  // namespace

std::uint64_t upgradeDocument(Document& document, const SunkEntities& sunk) {
  return Upgrader(document).run(sunk);
}

bool upgradeEntityGroup(const Document& upgraded, std::vector<Object>& group,
                        std::uint64_t& next) {
  bool changed = false;
  std::uint64_t head = 0;
  for (Object& object : group) {
    if (object.handle == 0) {
      object.setHandle(next++);
      changed = true;
    }
    if (!isFollower(object.type)) {
      head = object.handle;
      changed = ownBySpace(upgraded, object) || changed;
    } else if (object.ownerIndex < 0 && head != 0) {
      object.setOwner(head);
      changed = true;
    }
  }
  return changed;
}

}  // namespace dxf
