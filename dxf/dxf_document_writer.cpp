#include "dxf/dxf_document_writer.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#endif

#include "dxf/dxf_tag_writer.h"

namespace dxf {

namespace {

// Moves the finished file over the old one in one step. Windows' rename
// refuses an existing target, so there the replacement must be asked for.
bool replaceFile(const std::string& from, const std::string& to) {
#if defined(_WIN32)
  return MoveFileExA(from.c_str(), to.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
#else
  return std::rename(from.c_str(), to.c_str()) == 0;
#endif
}

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
                       Error& error, const EntityMaker& entities) {
  std::string temporary = path + ".part";
  {
    errno = 0;
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) {
      // The stream keeps no reason; the system's, when it left one, is
      // what a user can act on.
      const int why = errno;
      error.line = 0;
      error.message = "cannot write \"" + path + "\"" +
                      (why != 0 ? std::string(": ") + std::strerror(why) : "");
      return false;
    }
    // A buffer of about a megabyte: large writes, little memory.
    constexpr std::size_t kBuffer = 1 << 20;
    std::string text;
    text.reserve(kBuffer + (64 << 10));
    auto flush = [&out, &text] {
      out.write(text.data(), static_cast<std::streamsize>(text.size()));
      text.clear();
    };
    writeAll(
        document, text,
        [&] {
          if (text.size() >= kBuffer) flush();
        },
        entities);
    flush();
    out.close();
    if (!out) {
      std::remove(temporary.c_str());
      error.line = 0;
      error.message = "cannot write \"" + path + "\"";
      return false;
    }
  }
  if (!replaceFile(temporary, path)) {
    std::remove(temporary.c_str());
    error.line = 0;
    error.message = "cannot replace \"" + path + "\"";
    return false;
  }
  return true;
}

}  // namespace dxf
