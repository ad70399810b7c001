// The only place that looks inside the DXF library's objects: whatever
// shape the library gives its tags, the audit and the picture read the
// plain facts made here.
#include "tools/parts/drawing_facts.h"

#include <iterator>
#include <unordered_map>

#include "dxf/dxf_document.h"
#include "dxf/dxf_document_reader.h"
#include "dxf/dxf_skeleton.h"
#include "dxf/dxf_text.h"
#include "dxf/dxf_upgrade.h"

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

// The entity helpers below read the reader's entities (views into the
// file's text) and the document's own objects alike.
template <typename AnyObject>
double realOf(const AnyObject& object, int code, double fallback = 0) {
  double value = fallback;
  if (const auto* tag = object.find(code))
    if (!dxf::parseReal(tag->value, value)) value = fallback;
  return value;
}

template <typename AnyObject>
long integerOf(const AnyObject& object, int code) {
  std::int64_t value = 0;
  if (const auto* tag = object.find(code))
    if (!dxf::parseInteger(tag->value, value)) value = 0;
  return static_cast<long>(value);
}

template <typename AnyObject>
Vec2 pointOf(const AnyObject& object, int code) {
  return Vec2{realOf(object, code), realOf(object, code + 10)};
}

// Vertices come as runs of 10 and 20 tags; a vertex without its 20 is
// left out rather than guessed.
template <typename AnyObject>
std::vector<Vec2> lightweightVertices(const AnyObject& object) {
  std::vector<Vec2> points;
  bool haveX = false;
  double x = 0;
  for (const auto& tag : object.tags) {
    double value;
    if (tag.code == 10 && dxf::parseReal(tag.value, value)) {
      x = value;
      haveX = true;
    } else if (tag.code == 20 && haveX && dxf::parseReal(tag.value, value)) {
      points.push_back(Vec2{x, value});
      haveX = false;
    }
  }
  return points;
}

// An MTEXT's text runs through its 3 groups and ends with its 1 group.
template <typename AnyObject>
std::string mtextOf(const AnyObject& object) {
  std::string raw;
  for (const auto& tag : object.tags)
    if (tag.code == 3) raw += tag.value;
  if (const auto* last = object.find(1)) raw += last->value;
  return raw;
}

using dxf::isFollower;

// Fills `shape` for the kinds the picture draws; false for the others. A
// 2D polyline's vertices are the VERTEX entities that follow it, added as
// they come. Text stays as the file spells it until the drawing's encoding
// is known.
template <typename AnyObject>
bool shapeOf(const AnyObject& entity, Shape& shape) {
  const std::string_view type = entity.type;
  if (type == "LINE") {
    shape.points = {pointOf(entity, 10), pointOf(entity, 11)};
  } else if (type == "LWPOLYLINE") {
    shape.points = lightweightVertices(entity);
    shape.closed = (integerOf(entity, 70) & 1) != 0;
  } else if (type == "POLYLINE") {
    // 3D polylines (8), meshes (16) and polyface meshes (64) are not 2D.
    long flags = integerOf(entity, 70);
    if ((flags & (8 | 16 | 64)) != 0) return false;
    shape.closed = (flags & 1) != 0;
  } else if (type == "CIRCLE" || type == "ARC") {
    shape.kind = type == "CIRCLE" ? Shape::Kind::Circle : Shape::Kind::Arc;
    shape.points = {pointOf(entity, 10)};
    shape.radius = realOf(entity, 40);
    shape.startDegrees = realOf(entity, 50);
    shape.endDegrees = realOf(entity, 51, 360);
  } else if (type == "POINT") {
    shape.kind = Shape::Kind::Point;
    shape.points = {pointOf(entity, 10)};
  } else if (type == "TEXT" || type == "MTEXT") {
    shape.kind = Shape::Kind::Text;
    shape.points = {pointOf(entity, 10)};
    shape.height = realOf(entity, 40, 1);
    if (type == "MTEXT") {
      shape.text = mtextOf(entity);
    } else if (const auto* text = entity.find(1)) {
      shape.text = std::string(text->value);
    }
  } else {
    return false;
  }
  return true;
}

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
    record.members.push_back(dxf::handleText(handle));
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

// Handle, type and xdata applications (as the file spells them) of any
// object.
template <typename AnyObject>
void takePlainFacts(const AnyObject& object, DrawingObject& seen) {
  if (object.handle != 0) seen.handle = dxf::handleText(object.handle);
  seen.type = std::string(object.type);
  for (const auto& tag : object.xdata)
    if (tag.code == 1001) seen.apps.emplace_back(tag.value);
}

void addPlainFacts(const dxf::Object& object,
                   std::vector<DrawingObject>& objects) {
  takePlainFacts(object, objects.emplace_back());
}

// Takes model space's facts as the reader hands each entity over, so that
// a large drawing's entities never all stand as the library's objects.
class EntityCollector {
 public:
  EntityCollector(bool withShapes, std::vector<DrawingObject>& entities)
      : withShapes_(withShapes), entities_(entities) {}

  void take(const dxf::ObjectView& entity) {
    sunk_.highestHandle = std::max(sunk_.highestHandle, entity.handle);
    if (entity.handle == 0) ++sunk_.withoutHandle;
    const bool isVertex = entity.type == "VERTEX";
    if (!isVertex) openPolyline_ = kNone;
    if (isVertex && openPolyline_ != kNone)
      entities_[openPolyline_].shape->points.push_back(pointOf(entity, 10));
    // Filled where it stands: a copy moved in cost a fifth of the facts.
    DrawingObject& seen = entities_.emplace_back();
    takePlainFacts(entity, seen);
    if (!isFollower(entity.type) && integerOf(entity, 67) != 1) {
      seen.modelSpace = true;
      if (withShapes_) {
        auto shape = std::make_unique<Shape>();
        if (shapeOf(entity, *shape)) seen.shape = std::move(shape);
      }
      if (seen.shape && entity.type == "POLYLINE")
        openPolyline_ = entities_.size() - 1;
    }
  }

  // A drawing older than AC1015 is upgraded as the host reads it, and its
  // entities without a handle get the ones the host gives them.
  const dxf::SunkEntities& sunk() const { return sunk_; }

 private:
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
  bool withShapes_;
  std::vector<DrawingObject>& entities_;
  dxf::SunkEntities sunk_;
  std::size_t openPolyline_ = kNone;  // the 2D polyline taking vertices
};

// The drawing's encoding is known once its header is read, which need not
// be before its entities.
void decodeTexts(dxf::TextEncoding encoding, DrawingObject& object) {
  for (std::string& app : object.apps) app = readableText(app, encoding);
  if (!object.shape || object.shape->text.empty()) return;
  std::string& text = object.shape->text;
  text = readableText(text, encoding);
  // Paragraph breaks are all the formatting a one-line label keeps.
  if (object.type == "MTEXT")
    for (std::size_t at; (at = text.find("\\P")) != std::string::npos;)
      text.replace(at, 2, " ");
}

}  // namespace

bool readDrawingFacts(const std::string& path, bool withShapes,
                      DrawingFacts& facts, dxf::Error& error) {
  facts = DrawingFacts();
  EntityCollector collector(withShapes, facts.objects);
  dxf::Document document;
  if (!dxf::readDocumentFile(
          path, document, error,
          [&collector](const dxf::ObjectView& entity, std::string_view) {
            collector.take(entity);
          }))
    return false;
  if (dxf::needsUpgrade(document.version())) {
    std::uint64_t next = dxf::upgradeDocument(document, collector.sunk());
    for (DrawingObject& entity : facts.objects)
      if (entity.handle.empty()) entity.handle = dxf::handleText(next++);
  }

  const dxf::TextEncoding encoding = document.encoding();
  if (const dxf::Table* apps = document.table("APPID"))
    for (const dxf::Object& record : apps->records)
      if (const dxf::Tag* name = record.find(2))
        facts.registeredApps.push_back(readableText(name->value, encoding));

  // File order: tables, blocks, entities, objects. The entities are in
  // already; the few tables and blocks go in front of them.
  std::vector<DrawingObject> head;
  for (const dxf::Table& table : document.tables) {
    addPlainFacts(table.head, head);
    for (const dxf::Object& record : table.records) addPlainFacts(record, head);
  }
  for (const dxf::Block& block : document.blocks) {
    addPlainFacts(block.begin, head);
    for (const dxf::Object& entity : block.entities)
      addPlainFacts(entity, head);
    addPlainFacts(block.end, head);
  }
  std::vector<DrawingObject>& objects = facts.objects;
  objects.reserve(head.size() + objects.size() + document.objects.size());
  objects.insert(objects.begin(), std::make_move_iterator(head.begin()),
                 std::make_move_iterator(head.end()));
  for (const dxf::Object& object : document.objects)
    addPlainFacts(object, objects);
  for (DrawingObject& object : objects) decodeTexts(encoding, object);

  // The part dictionary and its records are objects of the OBJECTS section.
  std::unordered_map<std::uint64_t, const dxf::Object*> byHandle;
  for (const dxf::Object& object : document.objects)
    if (object.handle != 0) byHandle.emplace(object.handle, &object);
  readPartDictionary(document, byHandle, encoding, facts);
  return true;
}

}  // namespace parts
