// Splits one line of a session script into words: blanks separate them,
// double quotes keep blanks (and make an empty word possible), a lone "#"
// starts a trailing comment.
#ifndef TOOLS_CADSIM_TOKENIZER_H
#define TOOLS_CADSIM_TOKENIZER_H

#include <cstddef>
#include <string>
#include <vector>

#include "text/error.h"

namespace cadsim {

struct Token {
  std::string text;  // quotes removed, escapes decoded
  // Characters of text before the first quoted stretch. Separators such as
  // ':' and '=' only count there, so a quoted value may contain them.
  std::size_t plainLength = 0;
  bool quoted = false;  // some part of the word was in quotes

  // Position of C before any quoted stretch, or npos.
  std::size_t plainFind(char c) const;
};

// False with ERROR's message (its line is the caller's) for an unterminated
// string or text that is not UTF-8. A line that is blank or a comment gives
// no tokens.
bool tokenizeLine(const std::string& line, std::vector<Token>& tokens,
                  text::Error& error);

// True when TEXT is well-formed UTF-8 with no control characters other than
// tab: everything the runner hands to the host as a name or a text.
bool isCleanText(const std::string& text);

}  // namespace cadsim

#endif
