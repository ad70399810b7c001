#include "dxf/dxf_tag_writer.h"

#include <charconv>
#include <cmath>

namespace dxf {

std::string formatReal(double value) {
  if (!std::isfinite(value)) return "0.0";
  char buffer[40];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  std::string text(buffer, result.ptr);
  if (text.find_first_of(".e") == std::string::npos) text += ".0";
  return text;
}

void TagWriter::code(int code) {
  if (code < 10)
    out_ += "  ";
  else if (code < 100)
    out_ += ' ';
  char buffer[8];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, code);
  out_.append(buffer, result.ptr);
  endLine();
}

void TagWriter::endLine() {
  if (crlf_) out_ += '\r';
  out_ += '\n';
}

void TagWriter::raw(int c, std::string_view value) {
  code(c);
  out_ += value;
  endLine();
}

void TagWriter::text(int c, std::u16string_view value, TextEncoding encoding) {
  code(c);
  out_ += encodeText(value, encoding);
  endLine();
}

void TagWriter::integer(int c, std::int64_t value) {
  code(c);
  char buffer[24];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  out_.append(buffer, result.ptr);
  endLine();
}

void TagWriter::real(int c, double value) { raw(c, formatReal(value)); }

void TagWriter::point(int c, const double xyz[3]) {
  real(c, xyz[0]);
  real(c + 10, xyz[1]);
  real(c + 20, xyz[2]);
}

void TagWriter::handle(int c, std::uint64_t value) {
  raw(c, handleText(value));
}

}  // namespace dxf
