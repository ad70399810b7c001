#include "dxf_tag_reader.h"

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
}  // namespace

TagReader::TagReader(std::string_view text) : mText(text) {
  // A byte order mark may open files of the UTF-8 versions.
  if (mText.substr(0, 3) == "\xEF\xBB\xBF") mPos = 3;
  // Binary DXF opens with a 22-byte sentinel whose first line reads as text:
  // a seven-letter word, then " Binary DXF", CR LF, SUB and NUL. The word is
  // not checked.
  if (mText.size() >= 22 &&
      mText.substr(7, 15) == std::string_view(" Binary DXF\r\n\x1a\0", 15))
    fail(1, kBinaryDxf);
  std::size_t end = mText.find('\n');
  mCrlf = end != std::string_view::npos && end > 0 && mText[end - 1] == '\r';
  // One look at the whole text spares every line its own.
  mMayHoldNul = std::memchr(mText.data(), '\0', mText.size()) != nullptr;
}

TagReader::TagReader(std::string_view groups, int firstLine)
    : mText(groups), mLine(firstLine - 1), mFrame(Frame::Groups) {}

bool TagReader::next(Tag& tag) {
  TagView view;
  if (!next(view)) return false;
  tag.code = view.code;
  tag.line = view.line;
  tag.value.assign(view.value.data(), view.value.size());
  return true;
}

bool TagReader::fail(int line, std::string message) {
  mFailed = true;
  mError.line = line;
  mError.message = std::move(message);
  return false;
}

bool TagReader::readLine(std::string_view& line) {
  const std::size_t size = mText.size();
  if (mPos >= size) return false;
  const char* start = mText.data() + mPos;
  const char* feed =
      static_cast<const char*>(std::memchr(start, '\n', size - mPos));
  const char* end = feed != nullptr ? feed : mText.data() + size;
  mPos = feed != nullptr ? mPos + (feed - start) + 1 : size;
  // Every carriage return before the line feed belongs to the line end: a
  // value kept with one of them would come back one shorter at every save.
  while (end > start && end[-1] == '\r') --end;
  line = std::string_view(start, static_cast<std::size_t>(end - start));
  ++mLine;
  return true;
}

bool TagReader::holdsNul(std::string_view line) const {
  return mMayHoldNul && std::memchr(line.data(), '\0', line.size()) != nullptr;
}

bool TagReader::next(TagView& tag) {
  if (mFailed || mFrame == Frame::Done) return false;
  mTagStart = mPos;
  std::string_view codeLine;
  if (mFrame == Frame::Groups) return readGroup(tag);
  if (!readLine(codeLine)) {
    if (mFrame == Frame::BetweenSections)
      return fail(mLine > 0 ? mLine : 1, "the file ends without 0:EOF");
    return fail(mLine, "the file ends inside section " +
                           (mSection.empty() ? std::string("?") : mSection) +
                           " (opened at line " + std::to_string(mSectionLine) +
                           ") without 0:ENDSEC");
  }
  int line = mLine;
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
  // Most groups stand inside a section and need no look at the frame.
  if (mFrame == Frame::InSection && code != 0) return true;
  return checkFrame(tag);
}

bool TagReader::readGroup(TagView& tag) {
  std::string_view codeLine, value;
  if (!readLine(codeLine)) return false;
  tag.line = mLine;
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
  switch (mFrame) {
    case Frame::BetweenSections:
      if (isZero && tag.value == "SECTION") {
        mFrame = Frame::SectionName;
        mSectionLine = tag.line;
        return true;
      }
      if (isZero && tag.value == "EOF") {
        mFrame = Frame::Done;
        return true;
      }
      return fail(tag.line, "expected 0:SECTION or 0:EOF, found " +
                                std::to_string(tag.code) + ":" +
                                std::string(tag.value.substr(0, 40)));
    case Frame::SectionName:
      if (tag.code != 2 || tag.value.empty())
        return fail(tag.line, "0:SECTION must be followed by 2:<section name>");
      mSection = std::string(tag.value);
      mFrame = Frame::InSection;
      return true;
    case Frame::InSection:
      if (!isZero) return true;
      if (tag.value == "ENDSEC") {
        mFrame = Frame::BetweenSections;
        mSection.clear();
        return true;
      }
      if (tag.value == "SECTION" || tag.value == "EOF")
        return fail(tag.line, "0:" + std::string(tag.value) +
                                  " inside section " + mSection +
                                  " (opened at line " +
                                  std::to_string(mSectionLine) +
                                  "): 0:ENDSEC is missing");
      return true;
    case Frame::Done:
    case Frame::Groups:
      break;
  }
  return false;
}

}  // namespace dxf
