#include "dxf/dxf_document.h"

#include <algorithm>

namespace dxf {

Tag makeTag(int code, std::string value) {
  Tag tag;
  tag.code = code;
  tag.value = std::move(value);
  return tag;
}

Tag handleTag(int code, std::uint64_t handle) {
  return makeTag(code, handleText(handle));
}

std::vector<DictionaryEntry> dictionaryEntries(const Object& dictionary) {
  std::vector<DictionaryEntry> entries;
  // Writers that leave out subclass markers put the entries right there.
  bool inDictionary = dictionary.find(100) == nullptr;
  const std::string* key = nullptr;
  for (const Tag& tag : dictionary.tags) {
    if (tag.code == 100) {
      inDictionary = tag.value == "AcDbDictionary";
      key = nullptr;
    } else if (!inDictionary) {
      continue;
    } else if (tag.code == 3) {
      key = &tag.value;
    } else if ((tag.code == 350 || tag.code == 360) && key) {
      DictionaryEntry entry;
      entry.key = *key;
      entry.code = tag.code;
      parseHandle(tag.value, entry.handle);
      entries.push_back(std::move(entry));
      key = nullptr;
    }
  }
  return entries;
}

std::uint64_t dictionaryEntry(const Object& dictionary, std::string_view key) {
  for (const DictionaryEntry& entry : dictionaryEntries(dictionary))
    if (entry.key == key) return entry.handle;
  return 0;
}

void addDictionaryEntry(Object& dictionary, std::string_view key,
                        std::uint64_t handle, int code) {
  if (dictionaryEntry(dictionary, key) != 0) return;
  // Entries belong to the AcDbDictionary subclass: insert at its end.
  std::size_t at = dictionary.tags.size();
  bool inDictionary = false;
  for (std::size_t i = 0; i < dictionary.tags.size(); ++i) {
    const Tag& tag = dictionary.tags[i];
    if (tag.code != 100) continue;
    if (inDictionary) {
      at = i;
      break;
    }
    inDictionary = tag.value == "AcDbDictionary";
  }
  Tag keyTag = makeTag(3, std::string(key));
  Tag valueTag = handleTag(code, handle);
  dictionary.tags.insert(
      dictionary.tags.begin() + static_cast<std::ptrdiff_t>(at),
      {keyTag, valueTag});
}

namespace {

template <typename Tags>
const typename Tags::value_type* firstOf(const Tags& tags, int code) {
  for (const auto& tag : tags)
    if (tag.code == code) return &tag;
  return nullptr;
}

// The same for an Object and an ObjectView.
template <typename AnyObject>
void locate(AnyObject& object) {
  int handleIndex = -1;
  int ownerIndex = -1;
  std::uint64_t handle = 0;
  std::uint64_t owner = 0;
  const int codeOfHandle = object.handleCode();
  int groupDepth = 0;
  bool pastFirstSubclass = false;
  const auto& tags = object.tags;
  const std::size_t count = tags.size();
  // Both stand near the front: once the handle is found and the owner
  // found or no longer possible, the groups after them cannot change either.
  for (std::size_t i = 0;
       i < count && (handleIndex < 0 || (ownerIndex < 0 && !pastFirstSubclass));
       ++i) {
    const auto& tag = tags[i];
    if (tag.code == codeOfHandle && handleIndex < 0) {
      handleIndex = static_cast<int>(i);
      parseHandle(tag.value, handle);
    } else if (tag.code == 102) {
      if (!tag.value.empty() && tag.value[0] == '{')
        ++groupDepth;
      else if (tag.value == "}" && groupDepth > 0)
        --groupDepth;
    } else if (tag.code == 100) {
      pastFirstSubclass = true;
    } else if (tag.code == 330 && groupDepth == 0 && ownerIndex < 0 &&
               !pastFirstSubclass) {
      // A 330 after the first subclass marker is data (a layout's block
      // record, say), not the owner.
      ownerIndex = static_cast<int>(i);
      parseHandle(tag.value, owner);
    }
  }
  object.handleIndex = handleIndex;
  object.ownerIndex = ownerIndex;
  object.handle = handle;
  object.owner = owner;
}

}  // namespace

const Tag* Object::find(int code) const { return firstOf(tags, code); }
void Object::locateHandleAndOwner() { locate(*this); }
const TagView* ObjectView::find(int code) const { return firstOf(tags, code); }
void ObjectView::locateHandleAndOwner() { locate(*this); }

void Object::setHandle(std::uint64_t value) {
  handle = value;
  if (handleIndex >= 0) {
    tags[static_cast<std::size_t>(handleIndex)].value = handleText(value);
    return;
  }
  tags.insert(tags.begin(), handleTag(handleCode(), value));
  locateHandleAndOwner();
}

void Object::setOwner(std::uint64_t value) {
  owner = value;
  if (ownerIndex >= 0) {
    tags[static_cast<std::size_t>(ownerIndex)].value = handleText(value);
    return;
  }
  std::size_t at =
      handleIndex >= 0 ? static_cast<std::size_t>(handleIndex) + 1 : 0;
  // Past the application groups ({ACAD_REACTORS ... }) that follow it.
  while (at < tags.size() && tags[at].code == 102 && !tags[at].value.empty() &&
         tags[at].value[0] == '{') {
    while (at < tags.size() && !(tags[at].code == 102 && tags[at].value == "}"))
      ++at;
    if (at < tags.size()) ++at;
  }
  tags.insert(tags.begin() + static_cast<std::ptrdiff_t>(at),
              handleTag(330, value));
  locateHandleAndOwner();
}

std::string Block::name() const {
  const Tag* tag = begin.find(2);
  return tag ? tag->value : std::string();
}

const HeaderVariable* Document::headerVariable(std::string_view name) const {
  for (const HeaderVariable& variable : header)
    if (variable.name == name) return &variable;
  return nullptr;
}

void Document::setHeaderVariable(std::string_view name,
                                 std::vector<Tag> values) {
  for (HeaderVariable& variable : header)
    if (variable.name == name) {
      variable.values = std::move(values);
      return;
    }
  HeaderVariable variable;
  variable.name = std::string(name);
  variable.values = std::move(values);
  auto at = header.begin();
  if (name != "$ACADVER" && !header.empty() && header[0].name == "$ACADVER")
    ++at;
  header.insert(at, std::move(variable));
}

std::string Document::version() const {
  const HeaderVariable* variable = headerVariable("$ACADVER");
  if (!variable || variable->values.empty()) return std::string();
  return variable->values[0].value;
}

TextEncoding Document::encoding() const {
  const HeaderVariable* page = headerVariable("$DWGCODEPAGE");
  std::string_view codePage;
  if (page && !page->values.empty()) codePage = page->values[0].value;
  return textEncodingFor(version(), codePage);
}

std::uint64_t Document::handleSeed() const {
  const HeaderVariable* variable = headerVariable("$HANDSEED");
  std::uint64_t seed = 0;
  if (variable && !variable->values.empty())
    parseHandle(variable->values[0].value, seed);
  return seed;
}

Table* Document::table(std::string_view name) {
  for (Table& t : tables)
    if (t.name == name) return &t;
  return nullptr;
}

const Table* Document::table(std::string_view name) const {
  for (const Table& t : tables)
    if (t.name == name) return &t;
  return nullptr;
}

Block* Document::block(std::string_view name) {
  for (Block& b : blocks)
    if (b.name() == name) return &b;
  return nullptr;
}

void Document::forEachObject(const std::function<void(Object&)>& visit) {
  for (Table& t : tables) {
    visit(t.head);
    for (Object& record : t.records) visit(record);
  }
  for (Block& b : blocks) {
    visit(b.begin);
    for (Object& entity : b.entities) visit(entity);
    visit(b.end);
  }
  for (Object& entity : entities) visit(entity);
  for (Object& object : objects) visit(object);
}

void Document::forEachObject(
    const std::function<void(const Object&)>& visit) const {
  const_cast<Document*>(this)->forEachObject(
      [&visit](Object& object) { visit(object); });
}

std::uint64_t Document::nextFreeHandle() const {
  std::uint64_t highest = 0;
  forEachObject([&highest](const Object& object) {
    highest = std::max(highest, object.handle);
  });
  return std::max(handleSeed(), highest + 1);
}

}  // namespace dxf
