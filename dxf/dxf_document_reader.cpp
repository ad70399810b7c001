#include "dxf/dxf_document_reader.h"

#include <algorithm>
#include <deque>

#include "dxf/dxf_tag_reader.h"
#include "text/file_path.h"

namespace dxf {

namespace {

// AC1009 is R12, the oldest version a host still opens.
bool isReadVersion(std::string_view version) {
  if (version.size() != 6 || version.substr(0, 2) != "AC") return false;
  for (char c : version.substr(2))
    if (c < '0' || c > '9') return false;
  return version.substr(2) >= "1009";
}

std::string unreadVersionMessage(std::string_view version) {
  return "DXF version \"" + std::string(version.substr(0, 40)) +
         "\" is not read; only AC1009 (R12) and later are: save the "
         "drawing as R12 or later";
}

// Most groups' codes are below 320: one comparison turns them away.
bool isPointerCode(int code) {
  return code >= 320 && (code <= 369 || (code >= 390 && code <= 399) ||
                         code == 480 || code == 481);
}

class DocumentParser {
 public:
  // EVERY_HANDLE keeps each sunk entity's handle with its place, for the
  // message of a repeated one; otherwise they are kept as runs.
  DocumentParser(std::string_view text, const EntitySink& sink,
                 text::Error& error, bool everyHandle = false)
      : text_(text),
        reader_(text),
        error_(error),
        sink_(sink),
        everyHandle_(everyHandle || sink == nullptr) {}

  bool parse(Document& document);

 private:
  bool advance();
  bool fail(int line, std::string message);
  bool atZero(std::string_view value) const {
    return current_.code == 0 && current_.value == value;
  }

  bool judgeVersion();
  bool parseHeader(Document& document);
  bool parseObjects(std::vector<Object>& into, std::string_view stopType,
                    bool sliced = false);
  template <typename AnyObject>
  bool parseObject(AnyObject& object);
  bool parseTables(Document& document);
  bool parseBlocks(Document& document);
  bool parseRaw(RawSection& section);
  template <typename AnyObject>
  bool checkObject(const AnyObject& object);
  template <typename AnyObject>
  bool checkXdata(const AnyObject& object);
  bool checkDocument(const Document& document);
  bool handleRunsOverlap(const Document& document);
  void keepSunkHandle(std::uint64_t handle, int line);
  std::string typeAtLine(int line) const;

  std::string_view text_;
  TagReader reader_;
  text::Error& error_;
  const EntitySink& sink_;
  TagView current_;
  ObjectView scratch_;  // the entity on its way to the sink
  // A handle, where its object stands and its place in the order of
  // forEachObject: the check of duplicate handles needs this of the sink's
  // entities, which the document does not keep, and then of every object.
  struct PlacedHandle {
    std::uint64_t handle;
    int line;
    std::uint32_t order;
  };
  std::vector<PlacedHandle> handles_;
  // The sink's handles as runs of handles in a row: a large drawing's
  // entities nearly always come so, and then cost next to nothing here,
  // where a record each cost 16 bytes an entity at the peak of the read,
  // 32 when the vector doubled. A deque, for a file of scattered handles.
  struct HandleRun {
    std::uint64_t first;
    std::uint64_t count;
  };
  std::deque<HandleRun> runs_;
  bool everyHandle_;
  bool haveCurrent_ = false;
};

bool DocumentParser::fail(int line, std::string message) {
  error_.line = line;
  error_.message = std::move(message);
  return false;
}

// Comments are dropped here: a drawing holds none, and a host that saves it
// writes none.
bool DocumentParser::advance() {
  do {
    haveCurrent_ = reader_.next(current_);
  } while (haveCurrent_ && current_.code == 999);
  if (!haveCurrent_ && reader_.failed()) {
    error_ = reader_.error();
    return false;
  }
  return true;
}

// The version decides whether the rest is worth reading: a drawing of a
// version this library does not read is refused for that, whatever else
// is wrong with it, since saving it as a newer version is what helps. A
// header that cannot be read this far is left to the parse to report.
bool DocumentParser::judgeVersion() {
  TagReader reader(text_);
  TagView tag;
  bool inHeader = false;
  bool sectionName = false;
  while (reader.next(tag)) {
    if (sectionName) {
      if (tag.value != "HEADER") return true;
      inHeader = true;
      sectionName = false;
    } else if (tag.code == 0) {
      if (tag.value != "SECTION" || inHeader) return true;
      sectionName = true;
    } else if (inHeader && tag.code == 9 && tag.value == "$ACADVER") {
      if (!reader.next(tag) || tag.code == 9 || tag.code == 0) return true;
      if (isReadVersion(tag.value)) return true;
      return fail(tag.line + 1, unreadVersionMessage(tag.value));
    }
  }
  return true;
}

bool DocumentParser::parse(Document& document) {
  document.crlf = reader_.crlf();
  if (!judgeVersion()) return false;
  bool seen[6] = {};
  static const char* const kKnown[6] = {"HEADER", "CLASSES",  "TABLES",
                                        "BLOCKS", "ENTITIES", "OBJECTS"};
  if (!advance()) return false;
  while (haveCurrent_) {
    if (atZero("EOF")) break;
    // The tag reader guarantees 0:SECTION and 2:name here.
    int sectionLine = current_.line;
    if (!advance()) return false;
    std::string name(current_.value);
    if (!advance()) return false;
    int known = -1;
    for (int i = 0; i < 6; ++i)
      if (name == kKnown[i]) known = i;
    if (known >= 0) {
      if (seen[known])
        return fail(sectionLine, "a second " + name + " section");
      seen[known] = true;
    }
    bool ok;
    switch (known) {
      case 0:
        ok = parseHeader(document);
        break;
      case 1:
        document.hasClasses = true;
        ok = parseObjects(document.classes, "ENDSEC");
        break;
      case 2:
        ok = parseTables(document);
        break;
      case 3:
        ok = parseBlocks(document);
        break;
      case 4:
        ok = parseObjects(document.entities, "ENDSEC", sink_ != nullptr);
        break;
      case 5:
        ok = parseObjects(document.objects, "ENDSEC");
        break;
      default: {
        RawSection raw;
        raw.name = name;
        ok = parseRaw(raw);
        if (ok) document.otherSections.push_back(std::move(raw));
      }
    }
    if (!ok) return false;
    // Now at 0:ENDSEC.
    if (!advance()) return false;
  }
  if (!seen[0])
    return fail(1,
                "the file has no HEADER section with $ACADVER; only "
                "AC1009 (R12) and later are read");
  return checkDocument(document);
}

bool DocumentParser::parseHeader(Document& document) {
  while (haveCurrent_ && !atZero("ENDSEC")) {
    if (current_.code != 9)
      return fail(current_.line, "header value " +
                                     std::to_string(current_.code) +
                                     " without a 9:$NAME before it");
    HeaderVariable variable;
    variable.name = std::string(current_.value);
    variable.line = current_.line;
    if (!advance()) return false;
    while (haveCurrent_ && current_.code != 9 && current_.code != 0) {
      if ((current_.code == 5 || isPointerCode(current_.code))) {
        std::uint64_t handle;
        if (!parseHandle(current_.value, handle))
          return fail(current_.line + 1,
                      "bad handle \"" +
                          std::string(current_.value.substr(0, 40)) + "\" in " +
                          variable.name);
      }
      variable.values.push_back(current_.tag());
      if (!advance()) return false;
    }
    document.header.push_back(std::move(variable));
  }
  return true;
}

// A document's object keeps copies of its groups; a sink's entity, views.
void keep(std::vector<Tag>& tags, const TagView& tag) {
  tags.push_back(tag.tag());
}
void keep(std::vector<TagView>& tags, const TagView& tag) {
  tags.push_back(tag);
}

template <typename AnyObject>
bool DocumentParser::parseObject(AnyObject& object) {
  object.type = decltype(object.type)(current_.value);
  object.line = current_.line;
  if (object.type.empty()) return fail(current_.line, "empty object type");
  if (!advance()) return false;
  bool inXdata = false;
  while (haveCurrent_ && current_.code != 0) {
    if (current_.code >= 1000) {
      // An xrecord's data may use any group code; only a 1001 starts its
      // extended data.
      if (!inXdata && current_.code != 1001 && object.type == "XRECORD") {
        keep(object.tags, current_);
        if (!advance()) return false;
        continue;
      }
      if (!inXdata && current_.code != 1001)
        return fail(current_.line, "extended data item " +
                                       std::to_string(current_.code) +
                                       " before any 1001 application name");
      inXdata = true;
      keep(object.xdata, current_);
    } else if (inXdata) {
      return fail(current_.line, "group code " + std::to_string(current_.code) +
                                     " after the extended data of " +
                                     std::string(object.type));
    } else {
      keep(object.tags, current_);
    }
    if (!advance()) return false;
  }
  object.locateHandleAndOwner();
  return checkObject(object);
}

template <typename AnyObject>
bool DocumentParser::checkObject(const AnyObject& object) {
  for (std::size_t i = 0; i < object.tags.size(); ++i) {
    const auto& tag = object.tags[i];
    bool isHandle = static_cast<int>(i) == object.handleIndex;
    if (!isHandle && !isPointerCode(tag.code)) continue;
    // Locating them read the handle and the owner already: a value other
    // than 0 was read whole.
    if (isHandle
            ? object.handle != 0
            : static_cast<int>(i) == object.ownerIndex && object.owner != 0)
      continue;
    std::uint64_t value;
    if (!parseHandle(tag.value, value))
      return fail(tag.line + 1,
                  "bad handle \"" + std::string(tag.value.substr(0, 40)) +
                      "\" (group code " + std::to_string(tag.code) + ") in " +
                      std::string(object.type));
    if (isHandle && value == 0)
      return fail(tag.line + 1, "handle 0 for " + std::string(object.type));
  }
  return checkXdata(object);
}

template <typename AnyObject>
bool DocumentParser::checkXdata(const AnyObject& object) {
  int depth = 0;
  int openLine = 0;
  std::string app;
  auto closeBlock = [&]() {
    if (depth == 0) return true;
    return fail(openLine + 1, "extended data of " + app + " on " +
                                  std::string(object.type) +
                                  " opens a 1002 \"{\" that "
                                  "is never closed");
  };
  for (const auto& tag : object.xdata) {
    if (tag.code == 1001) {
      if (!closeBlock()) return false;
      if (tag.value.empty())
        return fail(tag.line + 1, "empty application name (1001)");
      app = std::string(tag.value);
      continue;
    }
    if (tag.code == 1002) {
      if (tag.value == "{") {
        if (depth == 0) openLine = tag.line;
        ++depth;
      } else if (tag.value == "}") {
        if (depth == 0)
          return fail(tag.line + 1,
                      "1002 \"}\" without a \"{\" in the "
                      "extended data of " +
                          app);
        --depth;
      } else {
        return fail(tag.line + 1, "1002 must be \"{\" or \"}\", not \"" +
                                      std::string(tag.value.substr(0, 40)) +
                                      "\"");
      }
    } else if (tag.code == 1005) {
      std::uint64_t value;
      if (!parseHandle(tag.value, value))
        return fail(tag.line + 1, "bad handle \"" +
                                      std::string(tag.value.substr(0, 40)) +
                                      "\" (group code 1005) in the extended "
                                      "data of " +
                                      app);
    }
  }
  return closeBlock();
}

bool DocumentParser::parseObjects(std::vector<Object>& into,
                                  std::string_view stopType, bool sliced) {
  while (haveCurrent_ && !atZero(stopType)) {
    if (current_.code != 0)
      return fail(current_.line, "group code " + std::to_string(current_.code) +
                                     " where an object's 0 tag belongs");
    if (current_.value == "ENDSEC")
      return fail(current_.line, "0:ENDSEC before 0:" + std::string(stopType));
    if (!sliced) {
      Object object;
      if (!parseObject(object)) return false;
      into.push_back(std::move(object));
      continue;
    }
    const std::size_t begin = reader_.tagStart();
    scratch_.tags.clear();
    scratch_.xdata.clear();
    if (!parseObject(scratch_)) return false;
    const std::size_t end = haveCurrent_ ? reader_.tagStart() : text_.size();
    if (scratch_.handle != 0) keepSunkHandle(scratch_.handle, scratch_.line);
    sink_(scratch_, text_.substr(begin, end - begin));
  }
  return true;
}

void DocumentParser::keepSunkHandle(std::uint64_t handle, int line) {
  if (everyHandle_) {
    handles_.push_back(PlacedHandle{
        handle, line, static_cast<std::uint32_t>(handles_.size())});
  } else if (!runs_.empty() &&
             handle == runs_.back().first + runs_.back().count) {
    ++runs_.back().count;
  } else {
    runs_.push_back(HandleRun{handle, 1});
  }
}

bool DocumentParser::parseTables(Document& document) {
  while (haveCurrent_ && !atZero("ENDSEC")) {
    if (!atZero("TABLE"))
      return fail(current_.line,
                  "expected 0:TABLE in the TABLES section, "
                  "found " +
                      std::to_string(current_.code) + ":" +
                      std::string(current_.value.substr(0, 40)));
    Table table;
    if (!parseObject(table.head)) return false;
    const Tag* name = table.head.find(2);
    if (!name || name->value.empty())
      return fail(table.head.line, "TABLE without a 2:name");
    table.name = name->value;
    if (document.table(table.name))
      return fail(table.head.line, "a second " + table.name + " table");
    while (haveCurrent_ && !atZero("ENDTAB")) {
      if (atZero("TABLE") || atZero("ENDSEC"))
        return fail(current_.line, "table " + table.name + " (line " +
                                       std::to_string(table.head.line) +
                                       ") has no 0:ENDTAB");
      Object record;
      if (!parseObject(record)) return false;
      table.records.push_back(std::move(record));
    }
    if (!parseObject(table.end)) return false;
    document.tables.push_back(std::move(table));
  }
  return true;
}

bool DocumentParser::parseBlocks(Document& document) {
  while (haveCurrent_ && !atZero("ENDSEC")) {
    if (!atZero("BLOCK"))
      return fail(current_.line,
                  "expected 0:BLOCK in the BLOCKS section, "
                  "found " +
                      std::to_string(current_.code) + ":" +
                      std::string(current_.value.substr(0, 40)));
    Block block;
    if (!parseObject(block.begin)) return false;
    while (haveCurrent_ && !atZero("ENDBLK")) {
      if (atZero("BLOCK") || atZero("ENDSEC"))
        return fail(current_.line, "block \"" + block.name() + "\" (line " +
                                       std::to_string(block.begin.line) +
                                       ") has no 0:ENDBLK");
      Object entity;
      if (!parseObject(entity)) return false;
      block.entities.push_back(std::move(entity));
    }
    if (!parseObject(block.end)) return false;
    document.blocks.push_back(std::move(block));
  }
  return true;
}

bool DocumentParser::parseRaw(RawSection& section) {
  while (haveCurrent_ && !atZero("ENDSEC")) {
    section.tags.push_back(current_.tag());
    if (!advance()) return false;
  }
  return true;
}

bool DocumentParser::checkDocument(const Document& document) {
  const HeaderVariable* version = document.headerVariable("$ACADVER");
  if (!version || version->values.empty())
    return fail(version ? version->line : 1,
                "the header has no $ACADVER; only AC1009 (R12) and later "
                "are read");
  const std::string& text = version->values[0].value;
  if (!isReadVersion(text))
    return fail(version->values[0].line + 1, unreadVersionMessage(text));
  const HeaderVariable* seed = document.headerVariable("$HANDSEED");
  if (seed) {
    std::uint64_t value;
    if (seed->values.empty() || !parseHandle(seed->values[0].value, value))
      return fail(seed->line, "bad $HANDSEED");
  }
  // Runs that share no handle need no more; when two do, the file is read
  // again keeping every handle, to name the first repeated one.
  if (!everyHandle_) {
    if (!handleRunsOverlap(document)) return true;
    const EntitySink ignore = [](const ObjectView&, std::string_view) {};
    Document again;
    return DocumentParser(text_, ignore, error_, true).parse(again);
  }
  // Every handle with its place, sorted: equal neighbours are a duplicate.
  // A hash map of a large drawing's handles would take about half as much
  // memory as the file's text; this takes 16 bytes a handle, in the vector
  // the sink's entities already fill.
  std::vector<PlacedHandle>& placed = handles_;
  const std::size_t sunk = placed.size();
  std::uint32_t order = 0;
  auto add = [&](const Object& object) {
    if (object.handle != 0)
      placed.push_back(PlacedHandle{object.handle, object.line, order});
    ++order;
  };
  // In the order of forEachObject; the sink's entities stand where the
  // document's would.
  for (const Table& t : document.tables) {
    add(t.head);
    for (const Object& record : t.records) add(record);
  }
  for (const Block& b : document.blocks) {
    add(b.begin);
    for (const Object& entity : b.entities) add(entity);
    add(b.end);
  }
  for (const Object& entity : document.entities) add(entity);
  for (std::size_t i = 0; i < sunk; ++i) placed[i].order += order;
  order += static_cast<std::uint32_t>(sunk);
  for (const Object& object : document.objects) add(object);
  std::sort(placed.begin(), placed.end(),
            [](const PlacedHandle& a, const PlacedHandle& b) {
              return a.handle != b.handle ? a.handle < b.handle
                                          : a.order < b.order;
            });
  // The first object, in that order, whose handle an earlier one has.
  const PlacedHandle* again = nullptr;
  const PlacedHandle* first = nullptr;
  for (std::size_t i = 1; i < placed.size(); ++i)
    if (placed[i].handle == placed[i - 1].handle &&
        (again == nullptr || placed[i].order < again->order)) {
      again = &placed[i];
      first = &placed[i - 1];
    }
  if (again == nullptr) return true;
  return fail(again->line, "handle " + handleText(again->handle) + " of " +
                               typeAtLine(again->line) +
                               " is already used by the object at line " +
                               std::to_string(first->line));
}

// Whether any handle stands twice among the sink's runs and the document's
// objects.
bool DocumentParser::handleRunsOverlap(const Document& document) {
  // The sink's entities are in the runs already; the document keeps none.
  document.forEachObject([this](const Object& object) {
    if (object.handle != 0) runs_.push_back(HandleRun{object.handle, 1});
  });
  std::sort(
      runs_.begin(), runs_.end(),
      [](const HandleRun& a, const HandleRun& b) { return a.first < b.first; });
  for (std::size_t i = 1; i < runs_.size(); ++i)
    if (runs_[i].first < runs_[i - 1].first + runs_[i - 1].count) return true;
  return false;
}

// Only a refused file asks, so reading the text again costs nothing else.
std::string DocumentParser::typeAtLine(int line) const {
  TagReader reader(text_);
  TagView tag;
  while (reader.next(tag))
    if (tag.line == line && tag.code == 0) return std::string(tag.value);
  return std::string();
}

}  // namespace

bool readDocument(std::string_view text, Document& document, text::Error& error,
                  const EntitySink& entities) {
  Document parsed;
  DocumentParser parser(text, entities, error);
  if (!parser.parse(parsed)) return false;
  document = std::move(parsed);
  return true;
}

bool readDocumentFile(const std::string& path, Document& document,
                      text::Error& error, const EntitySink& entities) {
  error.line = 0;
  if (text::isFolder(path)) {
    error.message = "is a directory";
    return false;
  }
  auto content = std::make_shared<std::string>();
  text::Error problem;
  if (!text::readWholeFile(path, *content, problem)) {
    error.message = "cannot open \"" + path + "\": " + problem.message;
    return false;
  }
  if (!readDocument(*content, document, error, entities)) return false;
  if (entities) document.source = std::move(content);
  return true;
}

}  // namespace dxf
