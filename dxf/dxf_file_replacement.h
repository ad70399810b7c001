// Replacing a file as a careful editor does: through its symbolic links,
// keeping its permissions, by way of a temporary file of a name no other
// file has, flushed to disk before and after it takes the file's place.
#ifndef DXF_DXF_FILE_REPLACEMENT_H
#define DXF_DXF_FILE_REPLACEMENT_H

#include <cstddef>
#include <string>

#include "dxf/dxf_tag.h"

namespace dxf {

// One replacement: begin(), any number of write()s, then commit(). Until
// commit() succeeds the file PATH names is untouched; the temporary file
// goes whenever anything fails and when the replacement is dropped.
class FileReplacement {
 public:
  FileReplacement() = default;
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;
  ~FileReplacement();

  // Finds the file PATH leads to and makes the temporary file beside it.
  // Refuses a link that leads nowhere, a loop of links and whatever is not
  // a regular file.
  bool begin(const std::string& path, text::Error& error);
  bool write(const char* data, std::size_t size, text::Error& error);
  bool commit(text::Error& error);

 private:
  void fail(text::Error& error, const std::string& message);
  void discard();

  std::string path_;       // as the caller named it, for messages
  std::string target_;     // the file the links lead to
  std::string temporary_;  // empty when there is none
#if defined(_WIN32)
  void* handle_ = nullptr;
#else
  int fd_ = -1;
#endif
};

}  // namespace dxf

#endif
