#include "host/sim/drawing/drawing_saver.h"

#include <algorithm>
#include <memory>
#include <unordered_set>

#include "dxf/dxf_document_writer.h"
#include "dxf/dxf_skeleton.h"
#include "dxf/dxf_tag_reader.h"
#include "dxf/dxf_tag_writer.h"
#include "host/sim/drawing/entity_geometry.h"
#include "host/sim/drawing/stored_item_tags.h"

namespace sim {
namespace dxfio {

namespace {

bool isEntity(const AcDbImpObject& imp) {
  return imp.self->isKindOf(AcDbEntity::desc());
}

dxf::Tag tag(int code, std::string value) {
  return dxf::makeTag(code, std::move(value));
}

class Saver {
 public:
  Saver(AcDbImpDatabase& drawing, dxf::Document& out)
      : Saver(drawing, out, out.encoding()) {}
  Saver(AcDbImpDatabase& drawing, dxf::Document& out,
        dxf::TextEncoding encoding)
      : drawing_(drawing), out_(out), encoding_(encoding) {}

  // Makes the document less its entities, which write() then makes one at a
  // time as the file is written.
  void prepare();
  bool write(const std::string& path, text::Error& error);
  // After a successful write: the host's objects take the groups they were
  // written with, so the next save starts from the file as it now is.
  void adopt();
  // What write() would write for ENTITY, with nothing else prepared.
  std::string entityText(const AcDbStub& entity);

 private:
  bool isLive(const AcDbStub* stub) const {
    return stub != nullptr && stub->object != nullptr &&
           !stub->object->impObject()->erased;
  }
  bool isPlacedEntity(const AcDbStub& stub) const {
    return isLive(&stub) && !placed_.count(stub.handle) &&
           isEntity(*stub.object->impObject());
  }
  AcDbStub* resolve(std::uint64_t handle) const {
    return handle != 0 ? drawing_.findHandle(handle) : nullptr;
  }
  void objectOf(const AcDbStub& stub, std::vector<dxf::Object>& into,
                std::uint64_t& next);
  std::uint64_t followersToNumber(const AcDbStub& stub) const;
  void writeXdata(const AcDbImpObject& imp, dxf::Object& object);
  void writeEntries(const AcDbImpObject& imp, dxf::Object& object);
  void writeRecord(const AcDbImpObject& imp, dxf::Object& object);
  void writeExtensionDictionary(const AcDbImpObject& imp, dxf::Object& object);
  void registerApplications();
  void clearErasedPointers(dxf::Object& object);

  AcDbImpDatabase& drawing_;
  dxf::Document& out_;
  dxf::TextEncoding encoding_;
  std::uint64_t next_ = 0;
  std::uint64_t followerHandles_ = 0;  // where copies' followers number from
  std::uint64_t modelSpace_ = 0;
  std::unordered_set<std::uint64_t> placed_;
  // Entities written with groups other than those they keep.
  std::vector<std::pair<AcDbImpObject*, KeptGroups>> rewritten_;
};

void Saver::writeXdata(const AcDbImpObject& imp, dxf::Object& object) {
  // Xdata never decoded is still the groups the object keeps.
  if (imp.xdataInFile()) return;
  // The xdata the object came with, by application, to keep its spelling
  // where the host holds the same values.
  struct RawBlock {
    AcWString app;
    std::size_t begin, end;
  };
  std::vector<RawBlock> raw;
  for (std::size_t i = 0; i < object.xdata.size();) {
    std::size_t next = i + 1;
    while (next < object.xdata.size() && object.xdata[next].code != 1001)
      ++next;
    RawBlock block;
    if (object.xdata[i].code == 1001 &&
        dxf::decodeText(object.xdata[i].value, encoding_, block.app)) {
      block.begin = i;
      block.end = next;
      raw.push_back(block);
    }
    i = next;
  }
  std::vector<dxf::Tag> tags;
  for (const sim::XdataEntry& entry : imp.xdata()) {
    const AcWString& app = drawing_.regapps[entry.app];
    bool kept = false;
    for (const RawBlock& block : raw) {
      if (block.app != app) continue;
      std::vector<StoredItem> items;
      text::Error ignored;
      if (xdataItemsFromTags(object.xdata.data() + block.begin + 1,
                             object.xdata.data() + block.end, encoding_, items,
                             ignored) &&
          sameItems(items, entry.items)) {
        tags.insert(
            tags.end(),
            object.xdata.begin() + static_cast<std::ptrdiff_t>(block.begin),
            object.xdata.begin() + static_cast<std::ptrdiff_t>(block.end));
        kept = true;
      }
      break;
    }
    if (kept) continue;
    tags.push_back(tag(1001, dxf::encodeText(app, encoding_)));
    appendXdataTags(entry.items, encoding_, tags);
  }
  object.xdata.swap(tags);
}

void Saver::writeEntries(const AcDbImpObject& imp, dxf::Object& object) {
  std::vector<dxf::DictionaryEntry> before = dxf::dictionaryEntries(object);
  std::vector<dxf::DictionaryEntry> after;
  std::unordered_set<std::string> placed;  // folded keys, as the host has them
  auto folded = [](const AcWString& key) { return toUtf8(upperAscii(key)); };
  // Entries that were there stay in their place while the host still has
  // them; entries naming objects the host does not hold are kept as well.
  for (const dxf::DictionaryEntry& entry : before) {
    AcWString key;
    if (!dxf::decodeText(entry.key, encoding_, key)) continue;
    AcDbStub* target = resolve(entry.handle);
    const auto* now = imp.entries().find(key);
    bool keep;
    if (now != nullptr)
      keep = now->second == target && isLive(target);
    else
      keep = target == nullptr;
    if (!keep || !placed.insert(folded(key)).second) continue;
    after.push_back(entry);
  }
  bool hardOwner = false;
  for (const dxf::Tag& t : object.tags)
    if (t.code == 280 && t.value == "1") hardOwner = true;
  for (const auto& entry : imp.entries()) {
    if (!isLive(entry.second) || placed.count(folded(entry.first))) continue;
    dxf::DictionaryEntry added;
    added.key = dxf::encodeText(entry.first, encoding_);
    added.code = hardOwner ? 360 : 350;
    added.handle = entry.second->handle;
    // An entry the file named for an object the host did not hold gives
    // way to the host's entry of the same key.
    after.erase(std::remove_if(after.begin(), after.end(),
                               [&](const dxf::DictionaryEntry& e) {
                                 AcWString k;
                                 return dxf::decodeText(e.key, encoding_, k) &&
                                        upperAscii(k) ==
                                            upperAscii(entry.first);
                               }),
                after.end());
    after.push_back(added);
  }
  bool same = before.size() == after.size();
  for (std::size_t i = 0; same && i < before.size(); ++i)
    same = before[i].key == after[i].key && before[i].code == after[i].code &&
           before[i].handle == after[i].handle;
  if (same) return;
  // Rewrite the entries where the first one stood.
  std::vector<dxf::Tag>& tags = object.tags;
  std::size_t insertAt = tags.size();
  bool inDictionary = object.find(100) == nullptr;
  std::vector<dxf::Tag> kept;
  for (std::size_t i = 0; i < tags.size(); ++i) {
    const dxf::Tag& t = tags[i];
    if (t.code == 100) {
      if (inDictionary && insertAt == tags.size()) insertAt = kept.size();
      inDictionary = t.value == "AcDbDictionary";
    }
    if (inDictionary && (t.code == 3 || t.code == 350 || t.code == 360)) {
      if (insertAt == tags.size()) insertAt = kept.size();
      continue;
    }
    kept.push_back(t);
  }
  if (insertAt > kept.size()) insertAt = kept.size();
  std::vector<dxf::Tag> entries;
  for (const dxf::DictionaryEntry& entry : after) {
    entries.push_back(tag(3, entry.key));
    entries.push_back(dxf::handleTag(entry.code, entry.handle));
  }
  kept.insert(kept.begin() + static_cast<std::ptrdiff_t>(insertAt),
              entries.begin(), entries.end());
  tags.swap(kept);
  object.locateHandleAndOwner();
}

void Saver::writeRecord(const AcDbImpObject& imp, dxf::Object& object) {
  std::vector<dxf::Tag>& tags = object.tags;
  std::size_t at = 0;
  while (at < tags.size() &&
         !(tags[at].code == 100 && tags[at].value == "AcDbXrecord"))
    ++at;
  if (at == tags.size()) {
    tags.push_back(tag(100, "AcDbXrecord"));
    tags.push_back(tag(280, "1"));
    at = tags.size();
  } else {
    ++at;
    if (at < tags.size() && tags[at].code == 280) ++at;
  }
  std::vector<StoredItem> before;
  text::Error ignored;
  auto resolver = [this](std::uint64_t handle) { return resolve(handle); };
  if (recordItemsFromTags(tags.data() + at, tags.data() + tags.size(),
                          encoding_, resolver, before, ignored) &&
      sameItems(before, imp.record()))
    return;
  tags.resize(at);
  appendRecordTags(imp.record(), encoding_, tags);
}

// Erased objects are not written, so a pointer to one would name nothing:
// it goes out as the null handle, as CAD programs write it.
void Saver::clearErasedPointers(dxf::Object& object) {
  for (std::size_t i = 0; i < object.tags.size(); ++i) {
    dxf::Tag& t = object.tags[i];
    bool pointer =
        (t.code >= 330 && t.code <= 369) || (t.code >= 390 && t.code <= 399);
    if (!pointer || static_cast<int>(i) == object.ownerIndex) continue;
    std::uint64_t handle = 0;
    if (!dxf::parseHandle(t.value, handle)) continue;
    const AcDbStub* stub = resolve(handle);
    if (stub != nullptr && !isLive(stub)) t.value = "0";
  }
}

// The 102 {ACAD_XDICTIONARY group says what the host holds: the object's
// own extension dictionary, or none; a copy never keeps its source's.
void Saver::writeExtensionDictionary(const AcDbImpObject& imp,
                                     dxf::Object& object) {
  std::vector<dxf::Tag>& tags = object.tags;
  std::size_t begin = 0;
  while (begin < tags.size() &&
         !(tags[begin].code == 102 && tags[begin].value == "{ACAD_XDICTIONARY"))
    ++begin;
  std::size_t end = begin;
  while (end < tags.size() &&
         !(tags[end].code == 102 && tags[end].value == "}"))
    ++end;
  if (end < tags.size()) ++end;
  const bool owned = isLive(imp.extensionDictionary);
  std::vector<dxf::Tag> group;
  if (owned)
    group = {tag(102, "{ACAD_XDICTIONARY"),
             dxf::handleTag(360, imp.extensionDictionary->handle),
             tag(102, "}")};
  if (begin == tags.size()) {
    if (!owned) return;
    // Where CAD programs put it: after the handle and the reactors group.
    std::size_t at = object.handleIndex < 0
                         ? 0
                         : static_cast<std::size_t>(object.handleIndex) + 1;
    while (at < tags.size() && tags[at].code == 102 &&
           !tags[at].value.empty() && tags[at].value[0] == '{') {
      while (at < tags.size() &&
             !(tags[at].code == 102 && tags[at].value == "}"))
        ++at;
      if (at < tags.size()) ++at;
    }
    begin = end = at;
  } else if (owned && end - begin == group.size() &&
             tags[begin + 1].value == group[1].value) {
    return;
  }
  tags.erase(tags.begin() + static_cast<std::ptrdiff_t>(begin),
             tags.begin() + static_cast<std::ptrdiff_t>(end));
  tags.insert(tags.begin() + static_cast<std::ptrdiff_t>(begin), group.begin(),
              group.end());
  object.locateHandleAndOwner();
}

void Saver::objectOf(const AcDbStub& stub, std::vector<dxf::Object>& into,
                     std::uint64_t& next) {
  const AcDbImpObject& imp = *stub.object->impObject();
  EntityGroups groups;
  groupsOf(imp, groups);
  dxf::Object& object = groups.head;
  std::vector<dxf::Object>& followers = groups.followers;
  // A copy carries its source's tags; it differs in handle, and its
  // followers need handles of their own and it as their owner.
  bool copied = object.handle != stub.handle;
  object.setHandle(stub.handle);
  writeExtensionDictionary(imp, object);
  if (imp.owner != nullptr) object.setOwner(imp.owner->handle);
  if (imp.type == "DICTIONARY") writeEntries(imp, object);
  if (imp.type == "XRECORD") writeRecord(imp, object);
  writeXdata(imp, object);
  clearErasedPointers(object);
  into.push_back(std::move(object));
  for (dxf::Object& follower : followers) {
    if (copied) {
      follower.setHandle(next++);
      follower.setOwner(stub.handle);
    }
    into.push_back(std::move(follower));
  }
}

// How many handles objectOf gives the followers of STUB: the header, which
// names the next free handle, is written before any entity is made.
std::uint64_t Saver::followersToNumber(const AcDbStub& stub) const {
  const AcDbImpObject& imp = *stub.object->impObject();
  if (imp.extras.empty()) return 0;
  dxf::TagReader reader(imp.extras.text(), 1);
  dxf::TagView tag;
  if (!reader.next(tag)) return 0;
  const int handleCode = tag.value == "DIMSTYLE" ? 105 : 5;
  std::uint64_t handle = 0;
  std::uint64_t followers = 0;
  bool inHead = true;
  bool found = false;
  while (reader.next(tag)) {
    if (tag.code == 0) {
      inHead = false;
      ++followers;
    } else if (inHead && !found && tag.code == handleCode) {
      found = true;
      dxf::parseHandle(tag.value, handle);
    }
  }
  return handle != stub.handle ? followers : 0;
}

void Saver::registerApplications() {
  dxf::Table* apps = out_.table("APPID");
  std::vector<AcWString> known;
  if (apps != nullptr)
    for (const dxf::Object& record : apps->records)
      if (const dxf::Tag* name = record.find(2)) {
        AcWString app;
        if (dxf::decodeText(name->value, encoding_, app))
          known.push_back(upperAscii(app));
      }
  // The skeleton adds an APPID record for every name used in xdata; the
  // host's registered names that no xdata uses yet are added the same way.
  for (const AcWString& app : drawing_.regapps) {
    if (std::find(known.begin(), known.end(), upperAscii(app)) != known.end())
      continue;
    known.push_back(upperAscii(app));
    if (apps == nullptr) {
      out_.tables.emplace_back();
      apps = &out_.tables.back();
      apps->name = "APPID";
      apps->head.type = "TABLE";
      apps->head.tags = {tag(2, "APPID"), dxf::handleTag(5, next_++),
                         tag(330, "0"), tag(100, "AcDbSymbolTable"),
                         tag(70, "0")};
      apps->head.locateHandleAndOwner();
      apps->end.type = "ENDTAB";
    }
    dxf::Object record;
    record.type = "APPID";
    record.tags = {dxf::handleTag(5, next_++),
                   dxf::handleTag(330, apps->head.handle),
                   tag(100, "AcDbSymbolTableRecord"),
                   tag(100, "AcDbRegAppTableRecord"),
                   tag(2, dxf::encodeText(app, encoding_)),
                   tag(70, "0")};
    record.locateHandleAndOwner();
    apps->records.push_back(std::move(record));
  }
}

void Saver::prepare() {
  next_ = std::max<std::uint64_t>(out_.nextFreeHandle(), drawing_.nextHandle);
  std::vector<dxf::Object> objects;
  // Objects keep the file's order: the root first, what the host does not
  // hold as it came, the host's objects as they are now (none if erased).
  for (dxf::Object& kept : out_.objects) {
    const AcDbStub* stub = resolve(kept.handle);
    if (stub == nullptr) {
      objects.push_back(std::move(kept));
      continue;
    }
    placed_.insert(kept.handle);
    if (isLive(stub)) objectOf(*stub, objects, next_);
  }
  // The named-objects dictionary leads when the drawing has no file yet.
  const AcDbStub* nod = drawing_.namedObjects;
  if (nod != nullptr && !placed_.count(nod->handle) && isLive(nod)) {
    std::vector<dxf::Object> root;
    objectOf(*nod, root, next_);
    dxf::Object& first = root.front();
    first.setOwner(0);
    objects.insert(objects.begin(), std::move(first));
    placed_.insert(nod->handle);
  }
  followerHandles_ = next_;
  for (const AcDbStub& stub : drawing_.stubs) {
    if (!isLive(&stub) || placed_.count(stub.handle)) continue;
    if (isEntity(*stub.object->impObject()))
      next_ += followersToNumber(stub);
    else
      objectOf(stub, objects, next_);
  }
  out_.objects.swap(objects);
  out_.entities.clear();
  registerApplications();
  out_.setHeaderVariable("$HANDSEED", {dxf::handleTag(5, next_)});
  dxf::completeSkeleton(out_);
  modelSpace_ = dxf::modelSpaceRecord(out_);
}

bool Saver::write(const std::string& path, text::Error& error) {
  std::uint64_t next = followerHandles_;
  std::vector<dxf::Object> group;
  std::string text;
  dxf::Object written;
  auto entities = [&](const std::function<void(const dxf::Object&)>& put) {
    for (const AcDbStub& stub : drawing_.stubs) {
      if (!isPlacedEntity(stub)) continue;
      group.clear();
      objectOf(stub, group, next);
      // As the skeleton would: an entity the host owns by nothing belongs
      // to model space.
      if (group.front().ownerIndex < 0) group.front().setOwner(modelSpace_);
      text.clear();
      dxf::TagWriter writer(text, out_.crlf);
      for (const dxf::Object& object : group) {
        writer.raw(0, object.type);
        for (const dxf::Tag& t : object.tags) writer.tag(t);
        for (const dxf::Tag& t : object.xdata) writer.tag(t);
      }
      AcDbImpObject& imp = *stub.object->impObject();
      if (text != imp.extras.text())
        rewritten_.emplace_back(&imp, KeptGroups(text));
      written.text = text;
      put(written);
    }
  };
  return dxf::writeDocumentFile(out_, path, error, entities);
}

std::string Saver::entityText(const AcDbStub& entity) {
  std::vector<dxf::Object> group;
  std::uint64_t next = drawing_.nextHandle;
  objectOf(entity, group, next);
  std::string text;
  dxf::TagWriter writer(text, false);
  for (const dxf::Object& object : group) {
    writer.raw(0, object.type);
    for (const dxf::Tag& t : object.tags) writer.tag(t);
    for (const dxf::Tag& t : object.xdata) writer.tag(t);
  }
  return text;
}

void Saver::adopt() {
  for (auto& rewritten : rewritten_)
    rewritten.first->extras = std::move(rewritten.second);
  // The document keeps only what the host does not hold, as after opening.
  for (dxf::Object& object : out_.objects) {
    AcDbStub* stub = drawing_.findHandle(object.handle);
    if (stub == nullptr || stub->object == nullptr) continue;
    AcDbImpObject& imp = *stub->object->impObject();
    std::vector<dxf::Tag> tags;
    tags.reserve(1 + object.tags.size() + object.xdata.size());
    tags.push_back(tag(0, object.type));
    for (dxf::Tag& t : object.tags) tags.push_back(std::move(t));
    for (dxf::Tag& t : object.xdata) tags.push_back(std::move(t));
    imp.extras = encodeKept(tags);
    object.tags.clear();
    object.xdata.clear();
    object.handleIndex = object.ownerIndex = -1;
  }
  const std::uint64_t seed = out_.handleSeed();
  drawing_.fileDocument = std::make_shared<dxf::Document>(std::move(out_));
  drawing_.nextHandle = std::max<Adesk::UInt64>(drawing_.nextHandle, seed);
}

}  // namespace

bool saveDrawingFile(AcDbImpDatabase& drawing, const std::string& path,
                     text::Error& error) {
  dxf::Document out;
  if (drawing.fileDocument) out = *drawing.fileDocument;
  Saver saver(drawing, out);
  saver.prepare();
  if (!saver.write(path, error)) return false;
  saver.adopt();
  return true;
}

std::string entityText(AcDbImpDatabase& drawing, const AcDbStub& entity,
                       dxf::TextEncoding encoding) {
  dxf::Document none;
  Saver saver(drawing, none, encoding);
  return saver.entityText(entity);
}

}  // namespace dxfio
}  // namespace sim
