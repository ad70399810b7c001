#include "drawing_loader.h"

#include <unordered_map>
#include <unordered_set>

#include "dxf_skeleton.h"
#include "host/sim/xdata_rules.h"
#include "stored_item_tags.h"

namespace sim {
namespace dxfio {

namespace {

// Followers belong to the entity before them (a polyline's vertices, an
// insert's attributes) and travel with it.
bool isFollower(const std::string& type) {
  return type == "VERTEX" || type == "ATTRIB" || type == "SEQEND";
}

// The host's kind for a DXF entity type; "" for one it does not model,
// which it keeps as a proxy of that type.
std::string hostKindOf(const std::string& type) {
  if (type == "LINE" || type == "CIRCLE" || type == "ARC" || type == "TEXT")
    return type;
  if (type == "LWPOLYLINE" || type == "POLYLINE") return "POLYLINE";
  return std::string();
}

// What EXPLODE makes of an entity: a polyline's segments, else one piece.
int piecesOf(const dxf::Object& entity, int vertexFollowers) {
  const dxf::Tag* flags = entity.find(70);
  std::int64_t flag = 0;
  if (flags) dxf::parseInteger(flags->value, flag);
  bool closed = (flag & 1) != 0;
  std::int64_t vertices = 0;
  if (entity.type == "LWPOLYLINE") {
    if (const dxf::Tag* count = entity.find(90))
      dxf::parseInteger(count->value, vertices);
  } else if (entity.type == "POLYLINE") {
    vertices = vertexFollowers;
  } else {
    return 1;
  }
  std::int64_t segments = closed ? vertices : vertices - 1;
  return segments < 1 ? 1
                      : static_cast<int>(segments > 100000 ? 100000 : segments);
}

void appendTags(const std::vector<dxf::Tag>& tags,
                std::vector<std::pair<int, std::string>>& extras) {
  for (const dxf::Tag& tag : tags) extras.emplace_back(tag.code, tag.value);
}

void appendObject(const dxf::Object& object,
                  std::vector<std::pair<int, std::string>>& extras) {
  extras.emplace_back(0, object.type);
  appendTags(object.tags, extras);
  appendTags(object.xdata, extras);
}

// For entities, which the file document does not keep: their text moves.
void moveObject(dxf::Object& object,
                std::vector<std::pair<int, std::string>>& extras) {
  extras.reserve(extras.size() + 1 + object.tags.size() + object.xdata.size());
  extras.emplace_back(0, object.type);
  for (dxf::Tag& tag : object.tags)
    extras.emplace_back(tag.code, std::move(tag.value));
  for (dxf::Tag& tag : object.xdata)
    extras.emplace_back(tag.code, std::move(tag.value));
}

// The handle an object's 102 {ACAD_XDICTIONARY group names, 0 if none.
std::uint64_t extensionDictionaryOf(const dxf::Object& object) {
  const std::vector<dxf::Tag>& tags = object.tags;
  for (std::size_t i = 0; i + 1 < tags.size(); ++i) {
    std::uint64_t handle = 0;
    if (tags[i].code == 102 && tags[i].value == "{ACAD_XDICTIONARY" &&
        tags[i + 1].code == 360 && dxf::parseHandle(tags[i + 1].value, handle))
      return handle;
  }
  return 0;
}

struct XdataBlockPlan {
  AcWString app;
  std::vector<StoredItem> items;
};

struct ObjectPlan {
  const dxf::Object* source = nullptr;
  std::string kind;  // the host's kind, or the DXF type for a proxy
  bool proxy = false;
  int pieces = 1;
  std::uint64_t extensionDictionary = 0;
  std::vector<std::pair<int, std::string>> extras;
  std::vector<XdataBlockPlan> xdata;
  std::vector<std::pair<AcWString, std::uint64_t>> entries;
  const dxf::Tag* recordBegin = nullptr;  // xrecord data, resolved later
  const dxf::Tag* recordEnd = nullptr;
};

class Loader {
 public:
  Loader(HostState& host, dxf::Document& document, dxf::Error& error)
      : mHost(host), mDoc(document), mError(error) {
    mEncoding = document.encoding();
  }

  bool plan();
  AcDbImpDatabase* commit(const std::string& name);

 private:
  bool fail(int line, std::string message) {
    mError.line = line;
    mError.message = std::move(message);
    return false;
  }
  bool planXdata(const dxf::Object& object, ObjectPlan& plan);
  bool planDictionary(const dxf::Object& object, ObjectPlan& plan);
  bool recordIsHeld(const dxf::Object& object, ObjectPlan& plan);
  std::string describe(const dxf::Object& object) const {
    return object.type + " " + dxf::handleText(object.handle);
  }

  HostState& mHost;
  dxf::Document& mDoc;
  dxf::Error& mError;
  dxf::TextEncoding mEncoding;
  std::vector<AcWString> mRegapps;
  std::vector<ObjectPlan> mPlans;
  const dxf::Object* mRoot = nullptr;
};

bool Loader::planXdata(const dxf::Object& object, ObjectPlan& plan) {
  const std::vector<dxf::Tag>& tags = object.xdata;
  std::vector<sim::XdataEntry> sized;
  for (std::size_t i = 0; i < tags.size();) {
    const dxf::Tag& head = tags[i];  // a 1001: the reader made sure
    std::size_t next = i + 1;
    while (next < tags.size() && tags[next].code != 1001) ++next;
    XdataBlockPlan block;
    if (!dxf::decodeText(head.value, mEncoding, block.app))
      return fail(head.line + 1,
                  "application name not in the drawing's "
                  "code page");
    for (const XdataBlockPlan& earlier : plan.xdata)
      if (upperAscii(earlier.app) == upperAscii(block.app))
        return fail(head.line, "a second xdata block of " + head.value +
                                   " on " + describe(object));
    if (!isValidSymbolName(block.app))
      return fail(head.line + 1,
                  "\"" + head.value + "\" is not a valid application name");
    if (!xdataItemsFromTags(tags.data() + i + 1, tags.data() + next, mEncoding,
                            block.items, mError)) {
      mError.message +=
          " (xdata of " + head.value + " on " + describe(object) + ")";
      return false;
    }
    if (checkBlockItems(block.items) != Acad::eOk)
      return fail(head.line, "xdata of " + head.value + " on " +
                                 describe(object) +
                                 " breaks the host's rules (text over 255 "
                                 "characters, say)");
    sized.emplace_back();
    sized.back().items = block.items;
    plan.xdata.push_back(std::move(block));
    i = next;
  }
  if (xdataSize(sized) > kXdataLimit)
    return fail(object.line, "xdata of " + describe(object) +
                                 " is larger than the host's 16 KiB");
  return true;
}

bool Loader::planDictionary(const dxf::Object& object, ObjectPlan& plan) {
  for (const dxf::DictionaryEntry& entry : dxf::dictionaryEntries(object)) {
    AcWString key;
    if (!dxf::decodeText(entry.key, mEncoding, key))
      return fail(object.line, "a key of " + describe(object) +
                                   " is not in the drawing's code page");
    plan.entries.emplace_back(std::move(key), entry.handle);
  }
  return true;
}

// Xrecord data starts after the AcDbXrecord marker and its cloning flag.
bool Loader::recordIsHeld(const dxf::Object& object, ObjectPlan& plan) {
  const std::vector<dxf::Tag>& tags = object.tags;
  std::size_t at = 0;
  while (at < tags.size() &&
         !(tags[at].code == 100 && tags[at].value == "AcDbXrecord"))
    ++at;
  if (at == tags.size()) {
    // No marker: the data follows the handle and owner.
    at = 0;
    while (at < tags.size() &&
           (static_cast<int>(at) == object.handleIndex ||
            static_cast<int>(at) == object.ownerIndex || tags[at].code == 102))
      ++at;
  } else {
    ++at;
    if (at < tags.size() && tags[at].code == 280) ++at;
  }
  plan.recordBegin = tags.data() + at;
  plan.recordEnd = tags.data() + tags.size();
  std::vector<StoredItem> probe;
  dxf::Error ignored;
  return recordItemsFromTags(
      plan.recordBegin, plan.recordEnd, mEncoding,
      [](std::uint64_t) { return nullptr; }, probe, ignored);
}

bool Loader::plan() {
  if (const dxf::Table* apps = mDoc.table("APPID")) {
    for (const dxf::Object& record : apps->records) {
      const dxf::Tag* name = record.find(2);
      AcWString app;
      if (!name) continue;
      if (!dxf::decodeText(name->value, mEncoding, app) ||
          !isValidSymbolName(app))
        return fail(name->line + 1, "APPID \"" + name->value +
                                        "\" is not a valid application "
                                        "name");
      mRegapps.push_back(app);
    }
  }
  // Entities with their followers.
  std::vector<dxf::Object>& entities = mDoc.entities;
  for (std::size_t i = 0; i < entities.size();) {
    dxf::Object& entity = entities[i];
    if (isFollower(entity.type))
      return fail(entity.line, entity.type +
                                   " without the entity it "
                                   "belongs to");
    ObjectPlan plan;
    plan.source = &entity;
    plan.kind = hostKindOf(entity.type);
    if (plan.kind.empty()) {
      plan.kind = entity.type;
      plan.proxy = true;
    }
    if (!planXdata(entity, plan)) return false;
    std::size_t next = i + 1;
    int vertices = 0;
    while (next < entities.size() && isFollower(entities[next].type)) {
      if (entities[next].type == "VERTEX") ++vertices;
      ++next;
      if (entities[next - 1].type == "SEQEND") break;
    }
    plan.pieces = piecesOf(entity, vertices);
    plan.extensionDictionary = extensionDictionaryOf(entity);
    for (std::size_t k = i; k < next; ++k) moveObject(entities[k], plan.extras);
    mPlans.push_back(std::move(plan));
    i = next;
  }
  // Dictionaries and xrecords; other objects stay in the file document.
  mRoot = dxf::rootDictionary(mDoc);
  for (const dxf::Object& object : mDoc.objects) {
    ObjectPlan plan;
    plan.source = &object;
    bool dictionary =
        object.type == "DICTIONARY" || object.type == "ACDBDICTIONARYWDFLT";
    if (dictionary) {
      plan.kind = "DICTIONARY";
      if (!planDictionary(object, plan)) return false;
    } else if (object.type == "XRECORD") {
      // Data the host cannot hold (binary chunks, say) keeps the record in
      // the file document, untouched.
      if (!recordIsHeld(object, plan)) continue;
      plan.kind = "XRECORD";
    } else {
      continue;
    }
    if (object.handle == 0)
      return fail(object.line, object.type + " without a handle");
    plan.extensionDictionary = extensionDictionaryOf(object);
    appendObject(object, plan.extras);
    // The xdata lives in the host; the extras keep the spelling it came in.
    if (!planXdata(object, plan)) return false;
    mPlans.push_back(std::move(plan));
  }
  // Names used in xdata but missing from the APPID table are registered,
  // so the xdata stays valid.
  for (const ObjectPlan& plan : mPlans)
    for (const XdataBlockPlan& block : plan.xdata) {
      bool known = false;
      for (const AcWString& app : mRegapps)
        if (upperAscii(app) == upperAscii(block.app)) known = true;
      if (!known) mRegapps.push_back(block.app);
    }
  return true;
}

AcDbImpDatabase* Loader::commit(const std::string& name) {
  std::uint64_t next = mDoc.nextFreeHandle();
  mHost.drawings.emplace_back(
      new AcDbImpDatabase(mHost, name, mHost.nextSerial++));
  AcDbImpDatabase& drawing = *mHost.drawings.back();
  for (const AcWString& app : mRegapps) drawing.registerApp(app);

  // The named-objects dictionary the drawing starts with takes the root's
  // handle, or a new one when the file has no root.
  AcDbStub* nod = drawing.namedObjects;
  drawing.byHandle.erase(nod->handle);
  nod->handle = mRoot ? mRoot->handle : next++;
  drawing.byHandle.emplace(nod->handle, nod);

  std::vector<AcDbStub*> stubs;
  stubs.reserve(mPlans.size());
  for (ObjectPlan& plan : mPlans) {
    AcDbObject* object;
    AcDbStub* stub;
    if (plan.source == mRoot) {
      stub = nod;
      object = nod->object;
    } else {
      object = plan.proxy ? nullptr : mHost.createObject(plan.kind);
      if (object == nullptr) {
        object = new AcDbProxyEntity;
        object->impObject()->type = plan.kind;
      }
      // Entities that came without a handle get one past the file's.
      drawing.nextHandle =
          plan.source->handle != 0 ? plan.source->handle : next++;
      stub = mHost.appendNew(drawing, object, nullptr);
    }
    AcDbImpObject& imp = *object->impObject();
    imp.pieces = plan.pieces;
    imp.extras = std::move(plan.extras);
    for (XdataBlockPlan& block : plan.xdata) {
      sim::XdataEntry entry;
      entry.app = drawing.registerApp(block.app);
      entry.items = std::move(block.items);
      imp.xdata.push_back(std::move(entry));
    }
    stubs.push_back(stub);
  }
  drawing.nextHandle = next;

  auto resolve = [&drawing](std::uint64_t handle) -> AcDbStub* {
    return handle != 0 ? drawing.findHandle(handle) : nullptr;
  };
  for (std::size_t i = 0; i < mPlans.size(); ++i) {
    const ObjectPlan& plan = mPlans[i];
    AcDbImpObject& imp = *stubs[i]->object->impObject();
    imp.owner = resolve(plan.source->owner);
    imp.extensionDictionary = resolve(plan.extensionDictionary);
    for (const auto& entry : plan.entries)
      if (AcDbStub* target = resolve(entry.second))
        imp.entries.emplace(entry.first, target);
    if (plan.recordBegin != nullptr) {
      dxf::Error ignored;
      recordItemsFromTags(plan.recordBegin, plan.recordEnd, mEncoding, resolve,
                          imp.record, ignored);
    }
  }

  // What the host does not model stays in the file document: the objects
  // that became the host's leave only their place (type and handle).
  std::unordered_set<const dxf::Object*> held;
  for (const ObjectPlan& plan : mPlans) held.insert(plan.source);
  for (dxf::Object& object : mDoc.objects) {
    if (!held.count(&object)) continue;
    object.tags.clear();
    object.xdata.clear();
    object.handleIndex = object.ownerIndex = -1;
  }
  mDoc.entities.clear();
  mDoc.entities.shrink_to_fit();
  return &drawing;
}

}  // namespace

bool loadDrawing(HostState& host, dxf::Document document,
                 const std::string& name, AcDbImpDatabase*& drawing,
                 dxf::Error& error) {
  auto kept = std::make_shared<dxf::Document>(std::move(document));
  Loader loader(host, *kept, error);
  if (!loader.plan()) return false;
  drawing = loader.commit(name);
  drawing->fileDocument = kept;
  return true;
}

}  // namespace dxfio
}  // namespace sim
