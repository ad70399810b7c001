#include "dxf/dxf_tag_reader.h"

#include <cstring>

namespace dxf {

namespace {
const char* const kBinaryDxf =
    "binary DXF is not read; save the drawing as text DXF";

// Blanks may pad a group code on either side; at most four digits.
bool parseGroupCode(std::string_view text, int& code) {
  const char* at = text.data();
  const char* end = at + text.size();
  while (at < end && (*at == ' ' || *at == '\t')) ++at;
  while (end > at && (end[-1] == ' ' || end[-1] == '\t')) --end;
  if (at == end || end - at > 4) return false;
  code = 0;
  for (; at < end; ++at) {
    if (*at < '0' || *at > '9') return false;
    code = code * 10 + (*at - '0');
  }
  return true;
}

// 10 or more for a character that is not a digit.
unsigned digitValue(char c) { return static_cast<unsigned char>(c - '0'); }
bool isDigit(char c) { return digitValue(c) < 10; }

// Nearly every group of a file is spelled one way: a code of at most four
// digits after spaces, a number without blanks, sign "+" or exponent, or a
// text, each line ending in LF or CR LF. Such a group is read here in one
// pass over its bytes, which is what makes reading a large file cheap;
// anything else is left (false, POS unchanged) to TagReader::readCheckedGroup,
// which judges every spelling and words the fault.
bool readPlainGroup(std::string_view text, std::size_t& pos, bool mayHoldNul,
                    TagView& tag) {
  const char* at = text.data() + pos;
  const char* const end = text.data() + text.size();
  while (at < end && *at == ' ') ++at;
  const char* const digits = at;
  int code = 0;
  // A fifth digit is one too many: reading stops there.
  const char* const stop = end - at > 5 ? at + 5 : end;
  for (unsigned digit; at < stop && (digit = digitValue(*at)) < 10; ++at)
    code = code * 10 + static_cast<int>(digit);
  if (at == digits || at - digits > 4 || code > kMaxGroupCode) return false;
  if (at < end && *at == '\r') ++at;
  if (at == end || *at != '\n') return false;
  const char* const value = ++at;
  const char* valueEnd;
  const ValueKind kind = valueKindOf(code);
  if (isNumericKind(kind)) {
    if (at < end && *at == '-') ++at;
    const char* const number = at;
    if (kind == ValueKind::Real) {
      while (at < end && isDigit(*at)) ++at;
      std::ptrdiff_t figures = at - number;
      if (at < end && *at == '.') {
        const char* const fraction = ++at;
        while (at < end && isDigit(*at)) ++at;
        figures += at - fraction;
      }
      // Far below the largest double: no conversion needed to know it
      // finite (isReal draws the same line).
      if (figures == 0 || at - value >= 300) return false;
    } else {
      // Eighteen digits cannot overflow; integerFits judges the range.
      std::int64_t integer = 0;
      while (at < end && isDigit(*at) && at - number < 18)
        integer = integer * 10 + (*at++ - '0');
      if (at == number) return false;
      if (!integerFits(kind, *value == '-' ? -integer : integer)) return false;
    }
    valueEnd = at;
    if (at < end && *at == '\r') ++at;
    if (at == end || *at != '\n') return false;
  } else {
    const void* feed =
        std::memchr(at, '\n', static_cast<std::size_t>(end - at));
    if (feed == nullptr) return false;
    at = static_cast<const char*>(feed);
    valueEnd = at;
    while (valueEnd > value && valueEnd[-1] == '\r') --valueEnd;
    if (mayHoldNul && std::memchr(value, '\0', valueEnd - value) != nullptr)
      return false;
  }
  tag.code = code;
  tag.value = std::string_view(value, valueEnd - value);
  pos = static_cast<std::size_t>(at + 1 - text.data());
  return true;
}
}  // namespace

TagReader::TagReader(std::string_view text) : text_(text) {
  // A byte order mark may open files of the UTF-8 versions.
  if (text_.substr(0, 3) == "\xEF\xBB\xBF") pos_ = 3;
  // Binary DXF opens with a 22-byte sentinel whose first line reads as text:
  // a seven-letter word, then " Binary DXF", CR LF, SUB and NUL. The word is
  // not checked.
  if (text_.size() >= 22 &&
      text_.substr(7, 15) == std::string_view(" Binary DXF\r\n\x1a\0", 15))
    fail(1, kBinaryDxf);
  std::size_t end = text_.find('\n');
  crlf_ = end != std::string_view::npos && end > 0 && text_[end - 1] == '\r';
  // One look at the whole text spares every line its own.
  mayHoldNul_ = std::memchr(text_.data(), '\0', text_.size()) != nullptr;
}

TagReader::TagReader(std::string_view groups, int firstLine)
    : text_(groups), line_(firstLine - 1), frame_(Frame::Groups) {}

bool TagReader::next(Tag& tag) {
  TagView view;
  if (!next(view)) return false;
  tag.code = view.code;
  tag.line = view.line;
  tag.value.assign(view.value.data(), view.value.size());
  return true;
}

bool TagReader::fail(int line, std::string message) {
  failed_ = true;
  frame_ = Frame::Done;  // so that next() has one thing to look at
  error_.line = line;
  error_.message = std::move(message);
  return false;
}

bool TagReader::readLine(std::string_view& line) {
  const std::size_t size = text_.size();
  if (pos_ >= size) return false;
  const char* start = text_.data() + pos_;
  const char* feed =
      static_cast<const char*>(std::memchr(start, '\n', size - pos_));
  const char* end = feed != nullptr ? feed : text_.data() + size;
  pos_ = feed != nullptr ? pos_ + (feed - start) + 1 : size;
  // Every carriage return before the line feed belongs to the line end: a
  // value kept with one of them would come back one shorter at every save.
  while (end > start && end[-1] == '\r') --end;
  line = std::string_view(start, static_cast<std::size_t>(end - start));
  ++line_;
  return true;
}

bool TagReader::holdsNul(std::string_view line) const {
  return mayHoldNul_ && std::memchr(line.data(), '\0', line.size()) != nullptr;
}

bool TagReader::next(TagView& tag) {
  if (frame_ == Frame::Done) return false;
  tagStart_ = pos_;
  if (frame_ == Frame::Groups) return readGroup(tag);
  if (readPlainGroup(text_, pos_, mayHoldNul_, tag)) {
    tag.line = line_ + 1;
    line_ += 2;
  } else if (!readCheckedGroup(tag)) {
    return false;
  }
  // Most groups stand inside a section and need no look at the frame.
  if (frame_ == Frame::InSection && tag.code != 0) return true;
  return checkFrame(tag);
}

bool TagReader::readCheckedGroup(TagView& tag) {
  std::string_view codeLine;
  if (!readLine(codeLine)) {
    if (frame_ == Frame::BetweenSections)
      return fail(line_ > 0 ? line_ : 1, "the file ends without 0:EOF");
    return fail(line_, "the file ends inside section " +
                           (section_.empty() ? std::string("?") : section_) +
                           " (opened at line " + std::to_string(sectionLine_) +
                           ") without 0:ENDSEC");
  }
  int line = line_;
  if (holdsNul(codeLine))
    return fail(line,
                line == 1 ? kBinaryDxf : "NUL byte where a group code belongs");
  int code = 0;
  const bool codeOk = parseGroupCode(codeLine, code);
  if (!codeOk || code > kMaxGroupCode)
    return fail(
        line, "bad group code \"" + std::string(codeLine.substr(0, 40)) + "\"");
  std::string_view value;
  if (!readLine(value))
    return fail(line,
                "group code " + std::to_string(code) + " has no value line");
  if (holdsNul(value))
    return fail(line + 1,
                "NUL byte in the value of group code " + std::to_string(code));
  ValueKind kind = valueKindOf(code);
  if (isNumericKind(kind)) {
    bool ok;
    if (kind == ValueKind::Real) {
      ok = isReal(value);
    } else {
      std::int64_t integer;
      ok = parseInteger(value, integer) && integerFits(kind, integer);
    }
    if (!ok)
      return fail(line + 1, "group code " + std::to_string(code) + " needs " +
                                (kind == ValueKind::Real    ? "a real number"
                                 : kind == ValueKind::Int16 ? "a 16-bit integer"
                                 : kind == ValueKind::Int32 ? "a 32-bit integer"
                                                            : "an integer") +
                                ", not \"" + std::string(value.substr(0, 40)) +
                                "\"");
  }
  tag.code = code;
  tag.line = line;
  tag.value = value;
  return true;
}

bool TagReader::readGroup(TagView& tag) {
  std::string_view codeLine, value;
  if (!readLine(codeLine)) return false;
  tag.line = line_;
  int code = 0;
  for (char c : codeLine)
    if (c >= '0' && c <= '9') code = code * 10 + (c - '0');
  readLine(value);
  tag.code = code;
  tag.value = value;
  return true;
}

bool TagReader::checkFrame(const TagView& tag) {
  // A comment may stand anywhere; readers skip it.
  if (tag.code == 999) return true;
  bool isZero = tag.code == 0;
  switch (frame_) {
    case Frame::BetweenSections:
      if (isZero && tag.value == "SECTION") {
        frame_ = Frame::SectionName;
        sectionLine_ = tag.line;
        return true;
      }
      if (isZero && tag.value == "EOF") {
        frame_ = Frame::Done;
        return true;
      }
      return fail(tag.line, "expected 0:SECTION or 0:EOF, found " +
                                std::to_string(tag.code) + ":" +
                                std::string(tag.value.substr(0, 40)));
    case Frame::SectionName:
      if (tag.code != 2 || tag.value.empty())
        return fail(tag.line, "0:SECTION must be followed by 2:<section name>");
      section_ = std::string(tag.value);
      frame_ = Frame::InSection;
      return true;
    case Frame::InSection:
      if (!isZero) return true;
      if (tag.value == "ENDSEC") {
        frame_ = Frame::BetweenSections;
        section_.clear();
        return true;
      }
      if (tag.value == "SECTION" || tag.value == "EOF")
        return fail(tag.line, "0:" + std::string(tag.value) +
                                  " inside section " + section_ +
                                  " (opened at line " +
                                  std::to_string(sectionLine_) +
                                  "): 0:ENDSEC is missing");
      return true;
    case Frame::Done:
    case Frame::Groups:
      break;
  }
  return false;
}

}  // namespace dxf
