#include "dxf/dxf_skeleton.h"

#include <algorithm>
#include <cctype>
#include <initializer_list>
#include <string>
#include <utility>

#include "text/ascii_case.h"

namespace dxf {

namespace {

const char* const kTableOrder[9] = {"VPORT", "LTYPE",    "LAYER",
                                    "STYLE", "VIEW",     "UCS",
                                    "APPID", "DIMSTYLE", "BLOCK_RECORD"};

typedef std::initializer_list<std::pair<int, const char*>> TagList;

void append(Object& object, TagList tags) {
  for (const auto& tag : tags)
    object.tags.push_back(makeTag(tag.first, tag.second));
}

// An object with its handle and owner in the places CAD programs write them.
Object newObject(const char* type, int handleCode, std::uint64_t handle,
                 std::uint64_t owner, TagList rest) {
  Object object;
  object.type = type;
  object.tags.push_back(handleTag(handleCode, handle));
  object.tags.push_back(handleTag(330, owner));
  append(object, rest);
  object.locateHandleAndOwner();
  return object;
}

class SkeletonBuilder {
 public:
  explicit SkeletonBuilder(Document& document)
      : doc_(document), next_(document.nextFreeHandle()) {}

  void run();

 private:
  std::uint64_t allocate() { return next_++; }
  void header();
  Table& table(const char* name);
  Object* record(Table& table, std::string_view name);
  void addRecord(const char* tableName, const char* name, TagList body);
  Block& block(const char* name, std::uint64_t recordHandle);
  Object& rootDictionary();
  Object& dictionaryUnderRoot(Object& root, const char* key);
  void layouts(Object& layoutDictionary);
  void handlesAndOwners();
  void registerXdataApplications();
  void tableCounts();

  Document& doc_;
  std::uint64_t next_;
};

void SkeletonBuilder::header() {
  if (doc_.version().empty())
    doc_.setHeaderVariable("$ACADVER", {makeTag(1, "AC1015")});
  if (doc_.encoding() != TextEncoding::Utf8 &&
      !doc_.headerVariable("$DWGCODEPAGE"))
    doc_.setHeaderVariable("$DWGCODEPAGE", {makeTag(3, "ANSI_1252")});
}

Table& SkeletonBuilder::table(const char* name) {
  if (Table* existing = doc_.table(name)) return *existing;
  // Keep the usual order: after the last present table that comes earlier.
  std::size_t at = 0;
  for (const char* earlier : kTableOrder) {
    if (std::string_view(earlier) == name) break;
    for (std::size_t i = 0; i < doc_.tables.size(); ++i)
      if (doc_.tables[i].name == earlier) at = std::max(at, i + 1);
  }
  Table created;
  created.name = name;
  created.head.type = "TABLE";
  created.head.tags = {makeTag(2, name), handleTag(5, allocate()),
                       makeTag(330, "0"), makeTag(100, "AcDbSymbolTable"),
                       makeTag(70, "0")};
  if (created.name == "DIMSTYLE")
    created.head.tags.push_back(makeTag(100, "AcDbDimStyleTable"));
  created.head.locateHandleAndOwner();
  created.end.type = "ENDTAB";
  doc_.tables.insert(doc_.tables.begin() + static_cast<std::ptrdiff_t>(at),
                     std::move(created));
  return doc_.tables[at];
}

Object* SkeletonBuilder::record(Table& t, std::string_view name) {
  for (Object& r : t.records) {
    const Tag* tag = r.find(2);
    // Record names compare without regard to case, as CAD programs do.
    if (tag &&
        text::equalsIgnoringAsciiCase(std::string_view(tag->value), name))
      return &r;
  }
  return nullptr;
}

void SkeletonBuilder::addRecord(const char* tableName, const char* name,
                                TagList body) {
  Table& t = table(tableName);
  if (record(t, name)) return;
  std::string subclass = std::string("AcDb") +
                         (t.name == "VPORT"          ? "Viewport"
                          : t.name == "LTYPE"        ? "Linetype"
                          : t.name == "LAYER"        ? "Layer"
                          : t.name == "STYLE"        ? "TextStyle"
                          : t.name == "APPID"        ? "RegApp"
                          : t.name == "DIMSTYLE"     ? "DimStyle"
                          : t.name == "BLOCK_RECORD" ? "Block"
                                                     : "") +
                         "TableRecord";
  Object r;
  r.type = t.name;
  int code = t.name == "DIMSTYLE" ? 105 : 5;
  r.tags = {handleTag(code, allocate()), handleTag(330, t.head.handle),
            makeTag(100, "AcDbSymbolTableRecord"), makeTag(100, subclass),
            makeTag(2, name)};
  append(r, body);
  r.locateHandleAndOwner();
  t.records.push_back(std::move(r));
}

Block& SkeletonBuilder::block(const char* name, std::uint64_t recordHandle) {
  if (Block* existing = doc_.block(name)) return *existing;
  Block b;
  b.begin = newObject("BLOCK", 5, allocate(), recordHandle,
                      {{100, "AcDbEntity"},
                       {8, "0"},
                       {100, "AcDbBlockBegin"},
                       {2, name},
                       {70, "0"},
                       {10, "0.0"},
                       {20, "0.0"},
                       {30, "0.0"},
                       {3, name},
                       {1, ""}});
  b.end = newObject("ENDBLK", 5, allocate(), recordHandle,
                    {{100, "AcDbEntity"}, {8, "0"}, {100, "AcDbBlockEnd"}});
  doc_.blocks.push_back(std::move(b));
  return doc_.blocks.back();
}

Object& SkeletonBuilder::rootDictionary() {
  if (Object* root = dxf::rootDictionary(doc_)) return *root;
  doc_.objects.insert(doc_.objects.begin(),
                      newObject("DICTIONARY", 5, allocate(), 0,
                                {{100, "AcDbDictionary"}, {281, "1"}}));
  return doc_.objects.front();
}

Object& SkeletonBuilder::dictionaryUnderRoot(Object& root, const char* key) {
  std::uint64_t handle = dictionaryEntry(root, key);
  if (handle != 0)
    for (Object& object : doc_.objects)
      if (object.handle == handle) return object;
  std::uint64_t rootHandle = root.handle;
  std::uint64_t created = allocate();
  if (handle == 0) addDictionaryEntry(root, key, created);
  // root may move when objects grows; nothing uses it past this point.
  doc_.objects.push_back(newObject("DICTIONARY", 5, created, rootHandle,
                                   {{100, "AcDbDictionary"}, {281, "1"}}));
  return doc_.objects.back();
}

void SkeletonBuilder::layouts(Object& layoutDictionary) {
  struct Space {
    const char* layout;
    const char* record;
    const char* tabOrder;
  };
  const Space spaces[2] = {{"Model", "*Model_Space", "0"},
                           {"Layout1", "*Paper_Space", "1"}};
  // Objects grow below, which moves the dictionary: read it first.
  std::uint64_t dictionaryHandle = layoutDictionary.handle;
  std::vector<DictionaryEntry> existing = dictionaryEntries(layoutDictionary);
  std::vector<std::pair<std::string, std::uint64_t>> toAdd;
  for (const Space& space : spaces) {
    Table& records = table("BLOCK_RECORD");
    Object* spaceRecord = record(records, space.record);
    if (!spaceRecord) continue;
    bool present = false;
    for (const DictionaryEntry& entry : existing)
      if (entry.key == space.layout) present = true;
    if (present) continue;
    std::uint64_t layoutHandle;
    layoutHandle = allocate();
    toAdd.emplace_back(space.layout, layoutHandle);
    std::string recordText = handleText(spaceRecord->handle);
    if (!spaceRecord->find(340)) {
      spaceRecord->tags.push_back(handleTag(340, layoutHandle));
    }
    Object layout = newObject("LAYOUT", 5, layoutHandle, dictionaryHandle,
                              {{100, "AcDbPlotSettings"},
                               {1, ""},
                               {2, "none_device"},
                               {4, ""},
                               {6, ""},
                               {40, "0.0"},
                               {41, "0.0"},
                               {42, "0.0"},
                               {43, "0.0"},
                               {44, "0.0"},
                               {45, "0.0"},
                               {46, "0.0"},
                               {47, "0.0"},
                               {48, "0.0"},
                               {49, "0.0"},
                               {140, "0.0"},
                               {141, "0.0"},
                               {142, "1.0"},
                               {143, "1.0"},
                               {70, "688"},
                               {72, "0"},
                               {73, "0"},
                               {74, "5"},
                               {7, ""},
                               {75, "16"},
                               {76, "0"},
                               {77, "2"},
                               {78, "300"},
                               {147, "1.0"},
                               {148, "0.0"},
                               {149, "0.0"},
                               {100, "AcDbLayout"},
                               {1, space.layout},
                               {70, "1"},
                               {71, space.tabOrder},
                               {10, "0.0"},
                               {20, "0.0"},
                               {11, "12.0"},
                               {21, "9.0"},
                               {12, "0.0"},
                               {22, "0.0"},
                               {32, "0.0"},
                               {14, "0.0"},
                               {24, "0.0"},
                               {34, "0.0"},
                               {15, "0.0"},
                               {25, "0.0"},
                               {35, "0.0"},
                               {146, "0.0"},
                               {13, "0.0"},
                               {23, "0.0"},
                               {33, "0.0"},
                               {16, "1.0"},
                               {26, "0.0"},
                               {36, "0.0"},
                               {17, "0.0"},
                               {27, "1.0"},
                               {37, "0.0"},
                               {76, "0"}});
    layout.tags.push_back(makeTag(330, recordText));
    doc_.objects.push_back(std::move(layout));
  }
  for (Object& object : doc_.objects)
    if (object.handle == dictionaryHandle)
      for (const auto& entry : toAdd)
        addDictionaryEntry(object, entry.first, entry.second);
}

void SkeletonBuilder::handlesAndOwners() {
  std::uint64_t modelSpace = modelSpaceRecord(doc_);
  for (Object& entity : doc_.entities) {
    if (entity.handle == 0) entity.setHandle(allocate());
    if (entity.ownerIndex < 0) entity.setOwner(modelSpace);
  }
  for (Block& b : doc_.blocks) {
    Object* owner = record(table("BLOCK_RECORD"), b.name());
    std::uint64_t ownerHandle = owner ? owner->handle : 0;
    for (Object* object : {&b.begin, &b.end}) {
      if (object->handle == 0) object->setHandle(allocate());
      if (object->ownerIndex < 0 && ownerHandle) object->setOwner(ownerHandle);
    }
    for (Object& entity : b.entities) {
      if (entity.handle == 0) entity.setHandle(allocate());
      if (entity.ownerIndex < 0 && ownerHandle) entity.setOwner(ownerHandle);
    }
  }
  for (Table& t : doc_.tables) {
    if (t.head.handle == 0) t.head.setHandle(allocate());
    for (Object& r : t.records) {
      if (r.handle == 0) r.setHandle(allocate());
      if (r.ownerIndex < 0) r.setOwner(t.head.handle);
    }
  }
  for (Object& object : doc_.objects)
    if (object.handle == 0) object.setHandle(allocate());
}

// Xdata under a name the APPID table lacks is refused or dropped by CAD
// programs; registering the name keeps the data.
void SkeletonBuilder::registerXdataApplications() {
  std::vector<std::string> names;
  doc_.forEachObject([&names](const Object& object) {
    for (const Tag& tag : object.xdata)
      if (tag.code == 1001 &&
          std::find(names.begin(), names.end(), tag.value) == names.end())
        names.push_back(tag.value);
  });
  for (const std::string& name : names)
    addRecord("APPID", name.c_str(), {{70, "0"}});
}

void SkeletonBuilder::tableCounts() {
  for (Table& t : doc_.tables) {
    for (Tag& tag : t.head.tags) {
      if (tag.code != 70) continue;
      std::int64_t count = 0;
      parseInteger(tag.value, count);
      if (count < static_cast<std::int64_t>(t.records.size()))
        tag.value = std::to_string(t.records.size());
      break;
    }
  }
}

void SkeletonBuilder::run() {
  header();
  if (!doc_.hasClasses) doc_.hasClasses = true;
  for (const char* name : kTableOrder) table(name);
  addRecord("VPORT", "*Active",
            {{70, "0"},    {10, "0.0"},  {20, "0.0"}, {11, "1.0"}, {21, "1.0"},
             {12, "0.0"},  {22, "0.0"},  {13, "0.0"}, {23, "0.0"}, {14, "0.5"},
             {24, "0.5"},  {15, "0.5"},  {25, "0.5"}, {16, "0.0"}, {26, "0.0"},
             {36, "1.0"},  {17, "0.0"},  {27, "0.0"}, {37, "0.0"}, {40, "10.0"},
             {41, "1.34"}, {42, "50.0"}, {43, "0.0"}, {44, "0.0"}, {50, "0.0"},
             {51, "0.0"},  {71, "0"},    {72, "100"}, {73, "1"},   {74, "3"},
             {75, "0"},    {76, "0"},    {77, "0"},   {78, "0"}});
  for (const char* linetype : {"ByBlock", "ByLayer", "Continuous"})
    addRecord(
        "LTYPE", linetype,
        {{70, "0"},
         {3, std::string_view(linetype) == "Continuous" ? "Solid line" : ""},
         {72, "65"},
         {73, "0"},
         {40, "0.0"}});
  addRecord("LAYER", "0", {{70, "0"}, {62, "7"}, {6, "Continuous"}});
  addRecord("STYLE", "Standard",
            {{70, "0"},
             {40, "0.0"},
             {41, "1.0"},
             {50, "0.0"},
             {71, "0"},
             {42, "2.5"},
             {3, "txt"},
             {4, ""}});
  addRecord("APPID", "ACAD", {{70, "0"}});
  addRecord("DIMSTYLE", "Standard", {{70, "0"}});
  addRecord("BLOCK_RECORD", "*Model_Space", {});
  addRecord("BLOCK_RECORD", "*Paper_Space", {});
  Table& records = table("BLOCK_RECORD");
  std::uint64_t model = record(records, "*Model_Space")->handle;
  std::uint64_t paper = record(records, "*Paper_Space")->handle;
  block("*Model_Space", model);
  block("*Paper_Space", paper);

  std::uint64_t rootHandle = rootDictionary().handle;
  auto root = [this, rootHandle]() -> Object& {
    for (Object& object : doc_.objects)
      if (object.handle == rootHandle) return object;
    return doc_.objects.front();
  };
  dictionaryUnderRoot(root(), "ACAD_GROUP");
  std::uint64_t layoutHandle =
      dictionaryUnderRoot(root(), "ACAD_LAYOUT").handle;
  for (Object& object : doc_.objects)
    if (object.handle == layoutHandle) {
      layouts(object);
      break;
    }
  registerXdataApplications();
  handlesAndOwners();
  tableCounts();
  doc_.setHeaderVariable(
      "$HANDSEED", {handleTag(5, std::max(next_, doc_.nextFreeHandle()))});
}

}  // namespace

std::uint64_t modelSpaceRecord(const Document& document) {
  const Table* records = document.table("BLOCK_RECORD");
  if (!records) return 0;
  for (const Object& r : records->records) {
    const Tag* name = r.find(2);
    if (name &&
        (name->value == "*Model_Space" || name->value == "*MODEL_SPACE"))
      return r.handle;
  }
  return 0;
}

const Object* rootDictionary(const Document& document) {
  // The root is the first object, a dictionary owned by nobody.
  if (document.objects.empty()) return nullptr;
  const Object& first = document.objects.front();
  if (first.type != "DICTIONARY" || first.owner != 0) return nullptr;
  return &first;
}

Object* rootDictionary(Document& document) {
  return const_cast<Object*>(
      rootDictionary(static_cast<const Document&>(document)));
}

void completeSkeleton(Document& document) { SkeletonBuilder(document).run(); }

}  // namespace dxf
