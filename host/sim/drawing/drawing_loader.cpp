#include "host/sim/drawing/drawing_loader.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "dxf/dxf_document_reader.h"
#include "dxf/dxf_skeleton.h"
#include "dxf/dxf_tag_reader.h"
#include "dxf/dxf_tag_writer.h"
#include "dxf/dxf_upgrade.h"
#include "host/sim/api/xdata_rules.h"
#include "host/sim/drawing/entity_xdata.h"
#include "host/sim/drawing/stored_item_tags.h"

namespace sim {
namespace dxfio {

namespace {

// Followers belong to the entity before them (a polyline's vertices, an
// insert's attributes) and travel with it.
using dxf::isFollower;

// The host's kind for a DXF entity type; "" for one it does not model,
// which it keeps as a proxy of that type.
std::string hostKindOf(std::string_view type) {
  if (type == "LINE" || type == "CIRCLE" || type == "ARC" || type == "TEXT")
    return std::string(type);
  if (type == "LWPOLYLINE" || type == "POLYLINE") return "POLYLINE";
  return std::string();
}

// What EXPLODE makes of a polyline: its segments, at least one.
int piecesOf(bool closed, std::int64_t vertices) {
  std::int64_t segments = closed ? vertices : vertices - 1;
  return segments < 1 ? 1
                      : static_cast<int>(segments > 100000 ? 100000 : segments);
}

bool isClosed(const dxf::ObjectView& entity) {
  std::int64_t flag = 0;
  if (const dxf::TagView* flags = entity.find(70))
    dxf::parseInteger(flags->value, flag);
  return (flag & 1) != 0;
}

// The kept groups of an object the file document holds: its tags as they
// came, re-encoded, since the document's tags are not a span of the file.
KeptGroups keptOf(const dxf::Object& object) {
  std::vector<dxf::Tag> tags;
  tags.reserve(1 + object.tags.size() + object.xdata.size());
  tags.push_back(dxf::makeTag(0, object.type));
  tags.insert(tags.end(), object.tags.begin(), object.tags.end());
  tags.insert(tags.end(), object.xdata.begin(), object.xdata.end());
  return encodeKept(tags);
}

// The handle an object's 102 {ACAD_XDICTIONARY group names, 0 if none; of
// the file document's objects and of the reader's entities alike.
template <typename AnyObject>
std::uint64_t extensionDictionaryOf(const AnyObject& object) {
  const auto& tags = object.tags;
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

// A dictionary or xrecord of the file's objects that the host holds.
struct ObjectPlan {
  const dxf::Object* source = nullptr;
  std::string kind;
  std::uint64_t extensionDictionary = 0;
  std::vector<XdataBlockPlan> xdata;
  std::vector<std::pair<AcWString, std::uint64_t>> entries;
  const dxf::Tag* recordBegin = nullptr;  // xrecord data, resolved later
  const dxf::Tag* recordEnd = nullptr;
};

// A value of each entity in file order, kept as runs in which it goes up by
// STEP from one entity to the next: a file's entities mostly come with
// handles in a row (step 1) and one owner (step 0), so that one run stands
// for thousands of them where a value each cost 8 bytes an entity at the
// peak of a large drawing's read.
class EntityValues {
 public:
  explicit EntityValues(std::uint64_t step) : step_(step) {}

  void push(std::uint64_t value) {
    if (count_ == 0 || value != last_ + step_) runs_.push_back({count_, value});
    last_ = value;
    ++count_;
  }
  // The value of entity I, for I that do not go down between calls with the
  // same RUN (0 at first).
  std::uint64_t at(std::size_t i, std::size_t& run) const {
    while (run + 1 < runs_.size() && runs_[run + 1].first <= i) ++run;
    return runs_[run].value + step_ * (i - runs_[run].first);
  }
  // The highest value, 0 when there is none.
  std::uint64_t highest() const {
    std::uint64_t highest = 0;
    for (std::size_t r = 0; r < runs_.size(); ++r) {
      const std::size_t end =
          r + 1 < runs_.size() ? runs_[r + 1].first : count_;
      highest = std::max(highest,
                         runs_[r].value + step_ * (end - 1 - runs_[r].first));
    }
    return highest;
  }

 private:
  struct Run {
    std::size_t first;  // the run's first entity
    std::uint64_t value;
  };
  std::uint64_t step_;
  std::vector<Run> runs_;
  std::uint64_t last_ = 0;
  std::size_t count_ = 0;
};

// The entities' objects in file order, in blocks of 128 KiB given back as
// their objects join the drawing: the drawing's stubs, made then in blocks
// of 64 KiB, can take that room again, where the small blocks of a deque,
// left between the objects, stayed taken (8 bytes an entity at the peak).
class EntityObjects {
 public:
  static constexpr std::size_t kPerBlock = 16384;

  ~EntityObjects() {
    for (const std::vector<AcDbObject*>& block : blocks_)
      for (AcDbObject* object : block) delete object;
  }
  void push_back(AcDbObject* object) {
    if (size_ % kPerBlock == 0) {
      blocks_.emplace_back();
      blocks_.back().reserve(kPerBlock);
    }
    blocks_.back().push_back(object);
    ++size_;
  }
  AcDbObject* operator[](std::size_t i) const {
    return blocks_[i / kPerBlock][i % kPerBlock];
  }
  AcDbObject* back() const { return blocks_.back().back(); }
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  // The object at I is the drawing's now; its block goes once it holds no
  // other that is not.
  void handedOver(std::size_t i) {
    if ((i + 1) % kPerBlock == 0 || i + 1 == size_)
      std::vector<AcDbObject*>().swap(blocks_[i / kPerBlock]);
  }

 private:
  std::vector<std::vector<AcDbObject*>> blocks_;
  std::size_t size_ = 0;
};

// Of a drawing older than AC1015: an entity whose group (it or a follower)
// lacks a handle or owner, which the upgrade gives them.
struct LackingEntity {
  std::size_t index;
  std::uint64_t handle;
  std::uint64_t owner;
};

// Counts lines of the file's text forward from the last place asked, so
// that a pass over the entities in file order counts each line once. An
// entity keeps no line of its own: only a fault's message and an upgrade
// need one.
class LineCounter {
 public:
  explicit LineCounter(std::string_view text)
      : at_(text.data()), end_(text.data() + text.size()) {}
  // The line PLACE stands on; PLACE never before the last one asked.
  int lineOf(const char* place) {
    if (place < at_ || place > end_) return 0;
    line_ += static_cast<int>(std::count(at_, place, '\n'));
    at_ = place;
    return line_;
  }

 private:
  const char* at_;
  const char* end_;
  int line_ = 1;
};

class Loader {
 public:
  Loader(HostState& host, text::Error& error) : host_(host), error_(error) {}
  Loader(const Loader&) = delete;
  Loader& operator=(const Loader&) = delete;

  // Takes each entity as the reader checks it; a fault is kept until the
  // whole file is read, since the reader's own faults come first.
  void takeEntity(const dxf::ObjectView& entity, std::string_view text);
  bool plan(dxf::Document& document);
  AcDbImpDatabase* commit(const std::string& name);
  // The version the file was upgraded from; "" when it was not.
  const std::string& upgradedFrom() const { return upgradedFrom_; }

 private:
  bool fail(int line, std::string message) {
    error_.line = line;
    error_.message = std::move(message);
    return false;
  }
  bool planXdata(const dxf::Object& object,
                 std::vector<XdataBlockPlan>& blocks);
  bool checkEntityXdata(const AcDbImpObject& imp, std::uint64_t handle,
                        int line);
  void registerUsed(const std::vector<XdataBlockPlan>& blocks);
  void finishGroup();
  bool planDictionary(const dxf::Object& object, ObjectPlan& plan);
  bool recordIsHeld(const dxf::Object& object, ObjectPlan& plan);
  std::string describe(const dxf::Object& object) const {
    return object.type + " " + dxf::handleText(object.handle);
  }
  AcDbStub* make(AcDbImpDatabase& drawing, const std::string& kind,
                 std::uint64_t handle, std::uint64_t& next);
  void upgrade();

  HostState& host_;
  dxf::Document* doc_ = nullptr;
  text::Error& error_;
  // Known once the header is read: entity xdata waits for it.
  dxf::TextEncoding encoding_ = dxf::TextEncoding::Utf8;
  std::vector<AcWString> regapps_;
  // The host's object of each entity with its followers, as the reader
  // handed them over: made right then, holding its span of the file, so
  // that a drawing's entities never stand twice; they join the drawing once
  // the whole file is found good, and are deleted otherwise.
  EntityObjects entities_;
  // What the drawing needs of them beyond their objects, sparse or as runs;
  // an entity's xdata is marked on its object.
  EntityValues handles_{1};
  EntityValues owners_{0};
  std::vector<std::pair<std::size_t, std::uint64_t>> extensionDictionaries_;
  std::vector<LackingEntity> lacking_;
  bool groupOpen_ = false;  // the last entity may still take followers
  std::string_view groupText_;
  bool groupIsPolyline_ = false;  // the DXF POLYLINE, with VERTEX followers
  int groupVertices_ = 0;
  bool groupClosed_ = false;
  // The first fault among the entities, and the plan it stands before.
  text::Error entityError_;
  std::size_t entityErrorAt_ = kNoError;
  static constexpr std::size_t kNoError = ~std::size_t(0);
  std::vector<ObjectPlan> plans_;
  const dxf::Object* root_ = nullptr;
  dxf::SunkEntities sunk_;  // what an upgrade needs of the entities
  std::string upgradedFrom_;
};

bool Loader::planXdata(const dxf::Object& object,
                       std::vector<XdataBlockPlan>& blocks) {
  const std::vector<dxf::Tag>& tags = object.xdata;
  std::vector<sim::XdataEntry> sized;
  for (std::size_t i = 0; i < tags.size();) {
    const dxf::Tag& head = tags[i];  // a 1001: the reader made sure
    std::size_t next = i + 1;
    while (next < tags.size() && tags[next].code != 1001) ++next;
    XdataBlockPlan block;
    if (!dxf::decodeText(head.value, encoding_, block.app))
      return fail(head.line + 1,
                  "application name not in the drawing's "
                  "code page");
    for (const XdataBlockPlan& earlier : blocks)
      if (upperAscii(earlier.app) == upperAscii(block.app))
        return fail(head.line, "a second xdata block of " + head.value +
                                   " on " + describe(object));
    if (!isValidSymbolName(block.app))
      return fail(head.line + 1,
                  "\"" + head.value + "\" is not a valid application name");
    if (!xdataItemsFromTags(tags.data() + i + 1, tags.data() + next, encoding_,
                            block.items, error_)) {
      error_.message +=
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
    blocks.push_back(std::move(block));
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
    if (!dxf::decodeText(entry.key, encoding_, key))
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
  text::Error ignored;
  return recordItemsFromTags(
      plan.recordBegin, plan.recordEnd, encoding_,
      [](std::uint64_t) { return nullptr; }, probe, ignored);
}

// A polyline's pieces are known once its vertices are; the group's text
// runs to its last follower.
void Loader::finishGroup() {
  if (entities_.empty()) return;
  AcDbImpObject& imp = *entities_.back()->impObject();
  imp.extras = KeptGroups(nullptr, groupText_);
  if (!groupIsPolyline_) return;
  imp.pieces = piecesOf(groupClosed_, groupVertices_);
}

void Loader::takeEntity(const dxf::ObjectView& entity, std::string_view text) {
  if (entityErrorAt_ != kNoError) return;
  sunk_.highestHandle = std::max(sunk_.highestHandle, entity.handle);
  const bool lacks = entity.handle == 0 || entity.ownerIndex < 0;
  if (entity.handle == 0) ++sunk_.withoutHandle;
  if (isFollower(entity.type)) {
    if (!groupOpen_) {
      entityError_.line = entity.line;
      entityError_.message =
          std::string(entity.type) + " without the entity it belongs to";
      entityErrorAt_ = entities_.size();
      return;
    }
    groupText_ = std::string_view(
        groupText_.data(), text.data() + text.size() - groupText_.data());
    if (lacks &&
        (lacking_.empty() || lacking_.back().index != entities_.size() - 1))
      lacking_.push_back(LackingEntity{entities_.size() - 1, 0, 0});
    if (entity.type == "VERTEX") ++groupVertices_;
    if (entity.type == "SEQEND") groupOpen_ = false;
    return;
  }
  finishGroup();
  groupOpen_ = true;
  groupText_ = text;
  groupVertices_ = 0;
  groupClosed_ = false;
  groupIsPolyline_ = entity.type == "POLYLINE";
  std::string kind = hostKindOf(entity.type);
  AcDbObject* object = kind.empty() ? nullptr : host_.createObject(kind);
  if (object == nullptr) {
    object = new AcDbProxyEntity;
    object->impObject()->type = std::string(entity.type);
  }
  // What the loader makes it appends at the end or deletes: no plug-in's new
  // object, and no activity held for each entity of a large file meanwhile.
  host_.objects.fresh.erase(object->impObject());
  object->impObject()->dropIdleActivity();
  // Marked now, checked once the header says how its texts are encoded.
  if (!entity.xdata.empty()) object->impObject()->keepXdataInFile();
  entities_.push_back(object);
  handles_.push(entity.handle);
  owners_.push(entity.owner);
  if (std::uint64_t dictionary = extensionDictionaryOf(entity))
    extensionDictionaries_.emplace_back(entities_.size() - 1, dictionary);
  if (lacks) lacking_.push_back(LackingEntity{entities_.size() - 1, 0, 0});
  // Other entities make one piece each.
  groupClosed_ = isClosed(entity);
  if (entity.type == "LWPOLYLINE") {
    std::int64_t vertices = 0;
    if (const dxf::TagView* count = entity.find(90))
      dxf::parseInteger(count->value, vertices);
    object->impObject()->pieces = piecesOf(groupClosed_, vertices);
  }
}

// The xdata of an entity, read again from its text now that the header
// says how its texts are encoded. Only its applications are kept: the
// entity decodes its xdata from that text when it is first used.
bool Loader::checkEntityXdata(const AcDbImpObject& imp, std::uint64_t handle,
                              int line) {
  dxf::Object head;
  head.type = std::string(entityXdataTags(imp.extras.text(), line, head.xdata));
  head.line = line;
  head.handle = handle;
  std::vector<XdataBlockPlan> blocks;
  if (!planXdata(head, blocks)) return false;
  registerUsed(blocks);
  return true;
}

// Names used in xdata but missing from the APPID table are registered, so
// the xdata stays valid.
void Loader::registerUsed(const std::vector<XdataBlockPlan>& blocks) {
  for (const XdataBlockPlan& block : blocks) {
    bool known = false;
    for (const AcWString& app : regapps_)
      if (upperAscii(app) == upperAscii(block.app)) known = true;
    if (!known) regapps_.push_back(block.app);
  }
}

bool Loader::plan(dxf::Document& document) {
  if (entityErrorAt_ == kNoError) finishGroup();
  doc_ = &document;
  encoding_ = document.encoding();
  if (const dxf::Table* apps = doc_->table("APPID")) {
    for (const dxf::Object& record : apps->records) {
      const dxf::Tag* name = record.find(2);
      AcWString app;
      if (!name) continue;
      if (!dxf::decodeText(name->value, encoding_, app) ||
          !isValidSymbolName(app))
        return fail(name->line + 1, "APPID \"" + name->value +
                                        "\" is not a valid application "
                                        "name");
      regapps_.push_back(app);
    }
  }
  std::size_t run = 0;
  for (std::size_t i = 0; i <= entities_.size(); ++i) {
    if (i == entityErrorAt_) {
      error_ = entityError_;
      return false;
    }
    if (i == entities_.size()) break;
    const AcDbImpObject& imp = *entities_[i]->impObject();
    if (!imp.xdataInFile()) continue;
    const std::uint64_t handle = handles_.at(i, run);
    // The entity's line is counted only for the message of a fault.
    if (!checkEntityXdata(imp, handle, 1)) {
      LineCounter lines(*doc_->source);
      checkEntityXdata(imp, handle, lines.lineOf(imp.extras.text().data()));
      return false;
    }
  }
  // Checked as the file has them, so that faults name the file's lines.
  if (dxf::needsUpgrade(document.version())) upgrade();
  // Dictionaries and xrecords; other objects stay in the file document.
  root_ = dxf::rootDictionary(*doc_);
  for (const dxf::Object& object : doc_->objects) {
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
    if (!planXdata(object, plan.xdata)) return false;
    plans_.push_back(std::move(plan));
  }
  for (const ObjectPlan& plan : plans_) registerUsed(plan.xdata);
  return true;
}

// The document is upgraded as a whole; the entities that lack a handle or
// owner take theirs in file order and keep groups of their own.
void Loader::upgrade() {
  upgradedFrom_ = doc_->version();
  std::uint64_t next = dxf::upgradeDocument(*doc_, sunk_);
  std::vector<dxf::Object> group;
  std::string text;
  LineCounter lines(*doc_->source);
  std::size_t handleRun = 0;
  std::size_t ownerRun = 0;
  for (LackingEntity& lack : lacking_) {
    lack.handle = handles_.at(lack.index, handleRun);
    lack.owner = owners_.at(lack.index, ownerRun);
    AcDbImpObject& imp = *entities_[lack.index]->impObject();
    group.clear();
    dxf::TagReader reader(imp.extras.text(),
                          lines.lineOf(imp.extras.text().data()));
    dxf::Tag tag;
    while (reader.next(tag)) {
      if (tag.code == 0) {
        group.emplace_back();
        group.back().type = std::move(tag.value);
      } else if (tag.code != 999 && !group.empty()) {
        dxf::Object& object = group.back();
        (tag.code == 1001 || !object.xdata.empty() ? object.xdata : object.tags)
            .push_back(std::move(tag));
      }
    }
    if (group.empty()) continue;
    for (dxf::Object& object : group) object.locateHandleAndOwner();
    dxf::upgradeEntityGroup(*doc_, group, next);
    text.clear();
    dxf::TagWriter writer(text, doc_->crlf);
    for (const dxf::Object& object : group) {
      writer.raw(0, object.type);
      for (const dxf::Tag& t : object.tags) writer.tag(t);
      for (const dxf::Tag& t : object.xdata) writer.tag(t);
    }
    imp.extras = KeptGroups(text);
    lack.handle = group.front().handle;
    lack.owner = group.front().owner;
  }
}

AcDbStub* Loader::make(AcDbImpDatabase& drawing, const std::string& kind,
                       std::uint64_t handle, std::uint64_t& next) {
  drawing.nextHandle = handle != 0 ? handle : next++;
  return host_.appendNew(drawing, host_.createObject(kind), nullptr);
}

AcDbImpDatabase* Loader::commit(const std::string& name) {
  // Upgraded entities take the handle and owner the upgrade gave them.
  const bool upgraded = !upgradedFrom_.empty();
  std::uint64_t next = doc_->nextFreeHandle();
  if (!entities_.empty()) next = std::max(next, handles_.highest() + 1);
  if (upgraded)
    for (const LackingEntity& lack : lacking_)
      next = std::max(next, lack.handle + 1);
  host_.drawings.open.emplace_back(
      new AcDbImpDatabase(host_, name, host_.drawings.nextSerial++));
  AcDbImpDatabase& drawing = *host_.drawings.open.back();
  for (const AcWString& app : regapps_) drawing.registerApp(app);

  // The named-objects dictionary the drawing starts with takes the root's
  // handle, or a new one when the file has no root.
  AcDbStub* nod = drawing.namedObjects;
  drawing.byHandle.erase(nod->handle);
  nod->handle = root_ ? root_->handle : next++;
  drawing.byHandle.add(nod->handle, 0);  // the drawing's first stub

  auto takeXdata = [&drawing](std::vector<XdataBlockPlan>& blocks,
                              AcDbImpObject& imp) {
    for (XdataBlockPlan& block : blocks) {
      sim::XdataEntry entry;
      entry.app = drawing.registerApp(block.app);
      entry.items = std::move(block.items);
      imp.editXdata().push_back(std::move(entry));
    }
    std::vector<XdataBlockPlan>().swap(blocks);
  };
  const std::size_t firstEntity = drawing.stubs.size();
  const std::size_t entityCount = entities_.size();
  std::size_t run = 0;
  std::size_t lackAt = 0;
  for (std::size_t i = 0; i < entityCount; ++i) {
    AcDbObject* object = entities_[i];
    AcDbImpObject& imp = *object->impObject();
    std::uint64_t handle = handles_.at(i, run);
    // Groups an upgrade rewrote are text of their own already.
    bool ownText = false;
    if (upgraded && lackAt < lacking_.size() && lacking_[lackAt].index == i) {
      handle = lacking_[lackAt++].handle;
      ownText = true;
    }
    // Entities that came without a handle get one past the file's.
    drawing.nextHandle = handle != 0 ? handle : next++;
    host_.appendNew(drawing, object, nullptr);
    entities_.handedOver(i);
    if (!ownText) imp.extras = KeptGroups(doc_->source, imp.extras.text());
  }
  std::vector<AcDbStub*> stubs;
  stubs.reserve(plans_.size());
  for (ObjectPlan& plan : plans_) {
    AcDbStub* stub = plan.source == root_
                         ? nod
                         : make(drawing, plan.kind, plan.source->handle, next);
    AcDbImpObject& imp = *stub->object->impObject();
    imp.extras = keptOf(*plan.source);
    takeXdata(plan.xdata, imp);
    stubs.push_back(stub);
  }
  drawing.nextHandle = next;

  auto resolve = [&drawing](std::uint64_t handle) -> AcDbStub* {
    return handle != 0 ? drawing.findHandle(handle) : nullptr;
  };
  // Most entities share their owner, found once for each run of them.
  run = 0;
  lackAt = 0;
  std::uint64_t lastOwner = 0;
  AcDbStub* ownerStub = nullptr;
  for (std::size_t i = 0; i < entityCount; ++i) {
    std::uint64_t owner = owners_.at(i, run);
    if (upgraded && lackAt < lacking_.size() && lacking_[lackAt].index == i)
      owner = lacking_[lackAt++].owner;
    if (owner != lastOwner) {
      lastOwner = owner;
      ownerStub = resolve(owner);
    }
    drawing.stubs.at(firstEntity + i).object->impObject()->owner = ownerStub;
  }
  for (const auto& dictionary : extensionDictionaries_)
    drawing.stubs.at(firstEntity + dictionary.first)
        .object->impObject()
        ->extensionDictionary = resolve(dictionary.second);
  for (std::size_t i = 0; i < plans_.size(); ++i) {
    const ObjectPlan& plan = plans_[i];
    AcDbImpObject& imp = *stubs[i]->object->impObject();
    imp.owner = resolve(plan.source->owner);
    imp.extensionDictionary = resolve(plan.extensionDictionary);
    for (const auto& entry : plan.entries)
      if (AcDbStub* target = resolve(entry.second))
        imp.editEntries().emplace(entry.first, target);
    if (plan.recordBegin != nullptr) {
      text::Error ignored;
      std::vector<StoredItem> items;
      recordItemsFromTags(plan.recordBegin, plan.recordEnd, encoding_, resolve,
                          items, ignored);
      if (!items.empty()) imp.editRecord().swap(items);
    }
  }

  // What the host does not model stays in the file document: the objects
  // that became the host's leave only their place (type and handle).
  std::unordered_set<const dxf::Object*> held;
  for (const ObjectPlan& plan : plans_) held.insert(plan.source);
  for (dxf::Object& object : doc_->objects) {
    if (!held.count(&object)) continue;
    object.tags.clear();
    object.xdata.clear();
    object.handleIndex = object.ownerIndex = -1;
  }
  return &drawing;
}

}  // namespace

bool loadDrawingFile(HostState& host, const std::string& path,
                     const std::string& name, AcDbImpDatabase*& drawing,
                     text::Error& error) {
  auto kept = std::make_shared<dxf::Document>();
  Loader loader(host, error);
  if (!dxf::readDocumentFile(
          path, *kept, error,
          [&loader](const dxf::ObjectView& entity, std::string_view text) {
            loader.takeEntity(entity, text);
          }))
    return false;
  if (!loader.plan(*kept)) return false;
  drawing = loader.commit(name);
  drawing->fileDocument = kept;
  drawing->upgradedFrom = loader.upgradedFrom();
  return true;
}

}  // namespace dxfio
}  // namespace sim
