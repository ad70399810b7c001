// Reads a text DXF file as a stream of group code / value pairs, checking
// the codes, the numbers and the SECTION / ENDSEC / EOF frame as it goes.
#ifndef DXF_DXF_TAG_READER_H
#define DXF_DXF_TAG_READER_H

#include <string>
#include <string_view>

#include "dxf/dxf_tag.h"

namespace dxf {

class TagReader {
 public:
  // The text must outlive the reader. Lines end in LF or CR LF.
  explicit TagReader(std::string_view text);
  // Reads the groups of one object or more that an earlier read of the whole
  // file checked, counting lines from FIRST_LINE: no frame, no checks of
  // numbers, the end of the text ends the groups.
  TagReader(std::string_view groups, int firstLine);

  // The next pair, the frame tags (0:SECTION, 2:name, 0:ENDSEC, 0:EOF)
  // and 999 comments, wherever they stand, included. False after 0:EOF or on
  // the first fault, which error() then describes; a reader that failed stays
  // failed.
  bool next(TagView& tag);
  bool next(Tag& tag);
  // Where the code line of the pair next() returned last starts.
  std::size_t tagStart() const { return tagStart_; }
  bool failed() const { return failed_; }
  const text::Error& error() const { return error_; }
  // True when the lines end in CR LF (as the first line does).
  bool crlf() const { return crlf_; }

 private:
  enum class Frame { BetweenSections, SectionName, InSection, Done, Groups };

  bool readLine(std::string_view& line);
  bool holdsNul(std::string_view line) const;
  bool readCheckedGroup(TagView& tag);
  bool readGroup(TagView& tag);
  bool fail(int line, std::string message);
  bool checkFrame(const TagView& tag);

  std::string_view text_;
  std::size_t pos_ = 0;
  std::size_t tagStart_ = 0;
  int line_ = 0;
  bool crlf_ = false;
  bool failed_ = false;
  bool mayHoldNul_ = false;  // some NUL byte stands somewhere in the text
  text::Error error_;
  Frame frame_ = Frame::BetweenSections;
  std::string section_;
  int sectionLine_ = 0;
};

}  // namespace dxf

#endif
