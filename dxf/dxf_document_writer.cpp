#include "dxf/dxf_document_writer.h"

#include "dxf/dxf_file_replacement.h"
#include "dxf/dxf_tag_writer.h"

namespace dxf {

namespace {

void writeObject(TagWriter& writer, const Object& object) {
  if (!object.text.empty() && object.tags.empty() && object.xdata.empty()) {
    writer.verbatim(object.text);
    return;
  }
  writer.raw(0, object.type);
  for (const Tag& tag : object.tags) writer.tag(tag);
  for (const Tag& tag : object.xdata) writer.tag(tag);
}

void beginSection(TagWriter& writer, const char* name) {
  writer.raw(0, "SECTION");
  writer.raw(2, name);
}

// Walks the document in file order; FLUSH is offered the text after every
// object, to pass it on when it has grown large.
void writeAll(const Document& document, std::string& out,
              const std::function<void()>& flush, const EntityMaker& entities) {
  TagWriter writer(out, document.crlf);
  auto write = [&](const Object& object) {
    writeObject(writer, object);
    flush();
  };

  beginSection(writer, "HEADER");
  for (const HeaderVariable& variable : document.header) {
    writer.raw(9, variable.name);
    for (const Tag& tag : variable.values) writer.tag(tag);
  }
  writer.raw(0, "ENDSEC");

  if (document.hasClasses) {
    beginSection(writer, "CLASSES");
    for (const Object& entry : document.classes) write(entry);
    writer.raw(0, "ENDSEC");
  }

  beginSection(writer, "TABLES");
  for (const Table& table : document.tables) {
    write(table.head);
    for (const Object& record : table.records) write(record);
    write(table.end);
  }
  writer.raw(0, "ENDSEC");

  beginSection(writer, "BLOCKS");
  for (const Block& block : document.blocks) {
    write(block.begin);
    for (const Object& entity : block.entities) write(entity);
    write(block.end);
  }
  writer.raw(0, "ENDSEC");

  beginSection(writer, "ENTITIES");
  if (entities)
    entities(write);
  else
    for (const Object& entity : document.entities) write(entity);
  writer.raw(0, "ENDSEC");

  beginSection(writer, "OBJECTS");
  for (const Object& object : document.objects) write(object);
  writer.raw(0, "ENDSEC");

  for (const RawSection& section : document.otherSections) {
    beginSection(writer, section.name.c_str());
    for (const Tag& tag : section.tags) writer.tag(tag);
    writer.raw(0, "ENDSEC");
  }
  writer.raw(0, "EOF");
}

}  // namespace

std::string writeDocument(const Document& document) {
  std::string out;
  out.reserve(1 << 20);
  writeAll(
      document, out, [] {}, nullptr);
  return out;
}

bool writeDocumentFile(const Document& document, const std::string& path,
                       text::Error& error, const EntityMaker& entities) {
  FileReplacement file;
  if (!file.begin(path, error)) return false;
  // A buffer of about a megabyte: large writes, little memory.
  constexpr std::size_t kBuffer = 1 << 20;
  std::string text;
  text.reserve(kBuffer + (64 << 10));
  bool written = true;
  auto flush = [&] {
    if (written) written = file.write(text.data(), text.size(), error);
    text.clear();
  };
  writeAll(
      document, text,
      [&] {
        if (text.size() >= kBuffer) flush();
      },
      entities);
  flush();
  return written && file.commit(error);
}

}  // namespace dxf
