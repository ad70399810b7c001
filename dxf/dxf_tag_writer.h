// Writes group code / value pairs in the layout CAD programs write and
// expect: the code right-aligned in three columns, reals in their shortest
// exact form with a decimal point, handles in upper-case hexadecimal.
#ifndef DXF_DXF_TAG_WRITER_H
#define DXF_DXF_TAG_WRITER_H

#include <cstdint>
#include <string>
#include <string_view>

#include "dxf/dxf_tag.h"
#include "dxf/dxf_text.h"

namespace dxf {

class TagWriter {
 public:
  TagWriter(std::string& out, bool crlf) : out_(out), crlf_(crlf) {}

  // A value already in the file's encoding, e.g. one kept from a read file.
  void raw(int code, std::string_view value);
  void tag(const Tag& tag) { raw(tag.code, tag.value); }
  // Lines of a file, code and value lines together, as they were.
  void verbatim(std::string_view lines) { out_ += lines; }
  void text(int code, std::u16string_view value, TextEncoding encoding);
  void integer(int code, std::int64_t value);
  void real(int code, double value);
  void point(int code, const double xyz[3]);  // code, code+10, code+20
  void handle(int code, std::uint64_t value);

 private:
  void code(int code);
  void endLine();

  std::string& out_;
  bool crlf_;
};

// "2.5", "10.0", "1e+20": the shortest text that reads back as the same
// double, with a decimal point or exponent so readers see a real. Non-finite
// values have no DXF spelling and come out as 0.0.
std::string formatReal(double value);

}  // namespace dxf

#endif
