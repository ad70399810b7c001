// The only place that looks inside the DXF library's objects: whatever
// shape the library gives its tags, the audit and the picture read the
// plain facts made here.
#include "tools/parts/drawing_facts.h"

#include <deque>
#include <iterator>
#include <string_view>
#include <unordered_map>

#include "dxf/dxf_document.h"
#include "dxf/dxf_document_reader.h"
#include "dxf/dxf_skeleton.h"
#include "dxf/dxf_text.h"
#include "dxf/dxf_upgrade.h"
#include "picture/dxf_shapes.h"
#include "text/ascii_case.h"

namespace parts {

namespace {

std::string utf8Of(const std::u16string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    std::uint32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() &&
        text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

// Text the drawing's encoding cannot decode keeps its ASCII and shows the
// rest as U+FFFD, so a report is always valid UTF-8.
std::string readableText(const std::string& raw, dxf::TextEncoding encoding) {
  std::u16string wide;
  if (dxf::decodeText(raw, encoding, wide)) return utf8Of(wide);
  std::string out;
  for (char c : raw)
    out += static_cast<unsigned char>(c) < 0x80 ? std::string(1, c)
                                                : std::string("\xEF\xBF\xBD");
  return out;
}

using dxf::isFollower;

// Xrecord data follows the AcDbXrecord marker and its cloning flag; a
// writer that leaves the marker out puts it after the handle, the owner and
// the {ACAD_ groups.
std::size_t xrecordDataStart(const dxf::Object& record) {
  const std::vector<dxf::Tag>& tags = record.tags;
  for (std::size_t i = 0; i < tags.size(); ++i)
    if (tags[i].code == 100 && tags[i].value == "AcDbXrecord") {
      ++i;
      if (i < tags.size() && tags[i].code == 280) ++i;
      return i;
    }
  std::size_t i = 0;
  while (i < tags.size()) {
    if (static_cast<int>(i) == record.handleIndex ||
        static_cast<int>(i) == record.ownerIndex) {
      ++i;
    } else if (tags[i].code == 102 && tags[i].value.rfind("{ACAD_", 0) == 0) {
      while (i < tags.size() && !(tags[i].code == 102 && tags[i].value == "}"))
        ++i;
      ++i;
    } else {
      break;
    }
  }
  return i;
}

void readRecord(const dxf::Object& object, PartRecord& record) {
  if (object.type != "XRECORD") return;
  const std::vector<dxf::Tag>& tags = object.tags;
  std::size_t i = xrecordDataStart(object);
  if (i >= tags.size() || tags[i].code != 102 ||
      tags[i].value != "{MORVAT_PART")
    return;
  for (++i; i < tags.size() && tags[i].code == 330; ++i) {
    std::uint64_t handle = 0;
    if (!dxf::parseHandle(tags[i].value, handle)) return;
    record.members.push_back(handle);
  }
  record.wellFormed =
      i + 1 == tags.size() && tags[i].code == 102 && tags[i].value == "}";
  if (!record.wellFormed) record.members.clear();
}

void readPartDictionary(
    const dxf::Document& document,
    const std::unordered_map<std::uint64_t, const dxf::Object*>& byHandle,
    dxf::TextEncoding encoding, DrawingFacts& facts) {
  const dxf::Object* root = dxf::rootDictionary(document);
  if (root == nullptr) return;
  std::uint64_t handle = dxf::dictionaryEntry(*root, "PVNR_HANDLE");
  if (handle == 0) return;
  facts.hasPartDictionary = true;
  facts.partDictionaryHandle = dxf::handleText(handle);
  auto found = byHandle.find(handle);
  if (found == byHandle.end() || (found->second->type != "DICTIONARY" &&
                                  found->second->type != "ACDBDICTIONARYWDFLT"))
    return;
  facts.partDictionaryIsDictionary = true;
  for (const dxf::DictionaryEntry& entry :
       dxf::dictionaryEntries(*found->second)) {
    PartRecord record;
    record.key = readableText(entry.key, encoding);
    record.handle = dxf::handleText(entry.handle);
    auto target = byHandle.find(entry.handle);
    if (target != byHandle.end()) readRecord(*target->second, record);
    facts.records.push_back(std::move(record));
  }
}

// Gives each spelling one index in a list of names, so that a name many
// objects carry is kept, decoded and compared once.
class Spellings {
 public:
  explicit Spellings(std::vector<std::string>& names) : names_(names) {}

  std::uint32_t indexOf(std::string_view spelling) {
    auto found = index_.find(spelling);
    if (found != index_.end()) return found->second;
    const auto index = static_cast<std::uint32_t>(names_.size());
    names_.emplace_back(spelling);
    index_.emplace(keys_.emplace_back(spelling), index);
    return index;
  }

 private:
  std::vector<std::string>& names_;
  std::deque<std::string> keys_;  // where index_'s views point: they stay
  std::unordered_map<std::string_view, std::uint32_t> index_;
};

struct Names {
  Names(DrawingFacts& facts, bool withTypes)
      : withTypes(withTypes), types(facts.typeNames), apps(facts.appNames) {}
  bool withTypes;  // only a picture names types
  Spellings types;
  Spellings apps;
};

// Handle, type (for a picture) and xdata applications (as the file spells
// them) of any object.
template <typename AnyObject>
void takePlainFacts(const AnyObject& object, Names& names, DrawingFacts& facts,
                    DrawingObject& seen) {
  seen.handle = object.handle;
  if (names.withTypes) seen.type = names.types.indexOf(object.type);
  seen.firstApp = static_cast<std::uint32_t>(facts.objectApps.size());
  for (const auto& tag : object.xdata)
    if (tag.code == 1001)
      facts.objectApps.push_back(names.apps.indexOf(tag.value));
  seen.appCount =
      static_cast<std::uint32_t>(facts.objectApps.size() - seen.firstApp);
}

// Takes model space's facts as the reader hands each entity over, so that
// a large drawing's entities never all stand as the library's objects.
class EntityCollector {
 public:
  EntityCollector(bool withShapes, Names& names, DrawingFacts& facts,
                  std::vector<DrawingObject>& entities)
      : withShapes_(withShapes),
        names_(names),
        facts_(facts),
        entities_(entities) {}

  void take(const dxf::ObjectView& entity) {
    sunk_.highestHandle = std::max(sunk_.highestHandle, entity.handle);
    if (entity.handle == 0) ++sunk_.withoutHandle;
    // Filled where it stands: a copy moved in cost a fifth of the facts.
    DrawingObject& seen = entities_.emplace_back();
    takePlainFacts(entity, names_, facts_, seen);
    // The audit needs no more; where an entity lives and what it looks like
    // only the picture asks.
    if (withShapes_) placeAndShape(entity, seen);
  }

  // A drawing older than AC1015 is upgraded as the host reads it, and its
  // entities without a handle get the ones the host gives them.
  const dxf::SunkEntities& sunk() const { return sunk_; }

 private:
  void placeAndShape(const dxf::ObjectView& entity, DrawingObject& seen) {
    const bool isVertex = entity.type == "VERTEX";
    if (!isVertex) openPolyline_ = kNone;
    if (isVertex && openPolyline_ != kNone)
      picture::addVertex(entity, *entities_[openPolyline_].shape);
    if (isFollower(entity.type)) return;
    if (picture::inPaperSpace(entity)) {
      seen.paperSpace = true;
      return;
    }
    seen.modelSpace = true;
    auto shape = std::make_unique<picture::Shape>();
    if (picture::shapeOf(entity, *shape)) seen.shape = std::move(shape);
    if (seen.shape && entity.type == "POLYLINE")
      openPolyline_ = entities_.size() - 1;
  }

  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
  bool withShapes_;
  Names& names_;
  DrawingFacts& facts_;
  std::vector<DrawingObject>& entities_;
  dxf::SunkEntities sunk_;
  std::size_t openPolyline_ = kNone;  // the 2D polyline taking vertices
};

// The drawing's encoding is known once its header is read, which need not
// be before its entities.
void decodeShape(dxf::TextEncoding encoding, const std::string& type,
                 picture::Shape& shape) {
  if (shape.kind != picture::Shape::Kind::Text) return;
  shape.text = readableText(shape.text, encoding);
  if (type == "MTEXT") shape.text = picture::shownMtext(shape.text);
}

enum class BlockKind { ModelSpace, PaperSpace, Other };

// Layouts' blocks by the names R2000 and R12 give them.
BlockKind kindOf(const dxf::Block& block) {
  const std::string name = text::upperAscii(block.name());
  auto starts = [&name](const char* prefix) {
    return name.rfind(prefix, 0) == 0;
  };
  if (starts("*MODEL_SPACE") || starts("$MODEL_SPACE"))
    return BlockKind::ModelSpace;
  if (starts("*PAPER_SPACE") || starts("$PAPER_SPACE"))
    return BlockKind::PaperSpace;
  return BlockKind::Other;
}

// A block's shapes for the inserts that place it, a polyline's vertices
// gathered as they follow it.
picture::PictureBlock blockPicture(const dxf::Block& block,
                                   dxf::TextEncoding encoding) {
  picture::PictureBlock drawn;
  drawn.name = block.name();
  drawn.base = picture::pointOf(block.begin, 10);
  bool openPolyline = false;
  for (const dxf::Object& entity : block.entities) {
    if (entity.type == "VERTEX") {
      if (openPolyline) picture::addVertex(entity, drawn.shapes.back());
      continue;
    }
    picture::Shape shape;
    openPolyline = false;
    if (!picture::shapeOf(entity, shape)) continue;
    decodeShape(encoding, entity.type, shape);
    openPolyline = entity.type == "POLYLINE";
    drawn.shapes.push_back(std::move(shape));
  }
  return drawn;
}

}  // namespace

bool readDrawingFacts(const std::string& path, bool withShapes,
                      DrawingFacts& facts, text::Error& error) {
  facts = DrawingFacts();
  Names names(facts, withShapes);
  std::vector<DrawingObject> entities;
  EntityCollector collector(withShapes, names, facts, entities);
  dxf::Document document;
  if (!dxf::readDocumentFile(
          path, document, error,
          [&collector](const dxf::ObjectView& entity, std::string_view) {
            collector.take(entity);
          }))
    return false;
  if (dxf::needsUpgrade(document.version())) {
    std::uint64_t next = dxf::upgradeDocument(document, collector.sunk());
    for (DrawingObject& entity : entities)
      if (entity.handle == 0) entity.handle = next++;
  }

  const dxf::TextEncoding encoding = document.encoding();
  if (const dxf::Table* apps = document.table("APPID"))
    for (const dxf::Object& record : apps->records)
      if (const dxf::Tag* name = record.find(2))
        facts.registeredApps.push_back(readableText(name->value, encoding));

  // File order: tables, blocks, entities, objects.
  std::vector<DrawingObject> head;
  auto addPlainFacts = [&](const dxf::Object& object) {
    takePlainFacts(object, names, facts, head.emplace_back());
  };
  for (const dxf::Table& table : document.tables) {
    addPlainFacts(table.head);
    for (const dxf::Object& record : table.records) addPlainFacts(record);
  }
  for (const dxf::Block& block : document.blocks) {
    addPlainFacts(block.begin);
    const BlockKind kind = kindOf(block);
    for (const dxf::Object& entity : block.entities) {
      addPlainFacts(entity);
      if (isFollower(entity.type)) continue;
      head.back().paperSpace = kind == BlockKind::PaperSpace;
      head.back().inBlock = kind == BlockKind::Other;
    }
    addPlainFacts(block.end);
    if (withShapes && kind == BlockKind::Other)
      facts.blocks.push_back(blockPicture(block, encoding));
  }
  std::vector<DrawingObject>& objects = facts.objects;
  objects = std::move(head);
  objects.reserve(objects.size() + entities.size() + document.objects.size());
  objects.insert(objects.end(), std::make_move_iterator(entities.begin()),
                 std::make_move_iterator(entities.end()));
  for (const dxf::Object& object : document.objects)
    takePlainFacts(object, names, facts, objects.emplace_back());
  for (std::string& app : facts.appNames) app = readableText(app, encoding);
  for (DrawingObject& object : objects)
    if (object.shape)
      decodeShape(encoding, facts.typeNames[object.type], *object.shape);

  // The part dictionary and its records are objects of the OBJECTS section.
  std::unordered_map<std::uint64_t, const dxf::Object*> byHandle;
  for (const dxf::Object& object : document.objects)
    if (object.handle != 0) byHandle.emplace(object.handle, &object);
  readPartDictionary(document, byHandle, encoding, facts);
  return true;
}

}  // namespace parts
