#include "dxf_document_writer.h"

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

#include "dxf_tag_writer.h"

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
  writer.raw(0, object.type);
  for (const Tag& tag : object.tags) writer.tag(tag);
  for (const Tag& tag : object.xdata) writer.tag(tag);
}

void beginSection(TagWriter& writer, const char* name) {
  writer.raw(0, "SECTION");
  writer.raw(2, name);
}

}  // namespace

std::string writeDocument(const Document& document) {
  std::string out;
  out.reserve(1 << 20);
  TagWriter writer(out, document.crlf);

  beginSection(writer, "HEADER");
  for (const HeaderVariable& variable : document.header) {
    writer.raw(9, variable.name);
    for (const Tag& tag : variable.values) writer.tag(tag);
  }
  writer.raw(0, "ENDSEC");

  if (document.hasClasses) {
    beginSection(writer, "CLASSES");
    for (const Object& entry : document.classes) writeObject(writer, entry);
    writer.raw(0, "ENDSEC");
  }

  beginSection(writer, "TABLES");
  for (const Table& table : document.tables) {
    writeObject(writer, table.head);
    for (const Object& record : table.records) writeObject(writer, record);
    writeObject(writer, table.end);
  }
  writer.raw(0, "ENDSEC");

  beginSection(writer, "BLOCKS");
  for (const Block& block : document.blocks) {
    writeObject(writer, block.begin);
    for (const Object& entity : block.entities) writeObject(writer, entity);
    writeObject(writer, block.end);
  }
  writer.raw(0, "ENDSEC");

  beginSection(writer, "ENTITIES");
  for (const Object& entity : document.entities) writeObject(writer, entity);
  writer.raw(0, "ENDSEC");

  beginSection(writer, "OBJECTS");
  for (const Object& object : document.objects) writeObject(writer, object);
  writer.raw(0, "ENDSEC");

  for (const RawSection& section : document.otherSections) {
    beginSection(writer, section.name.c_str());
    for (const Tag& tag : section.tags) writer.tag(tag);
    writer.raw(0, "ENDSEC");
  }
  writer.raw(0, "EOF");
  return out;
}

bool writeDocumentFile(const Document& document, const std::string& path,
                       Error& error) {
  std::string text = writeDocument(document);
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
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
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
