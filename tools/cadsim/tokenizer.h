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

// SCRIPT as UTF-8 in UTF8 (its byte-order mark too) when it starts with a
// UTF-16 one, as Notepad's "UTF-16" and PowerShell 5's > save it, either
// byte order; true and UTF8 left empty for any other script, which is read
// as it is. False,
// with the line, for UTF-16 that holds no character somewhere.
bool decodeUtf16Script(const std::string& script, std::string& utf8,
                       text::Error& error);

// True when TEXT is well-formed UTF-8 with no control characters other than
// tab: everything the runner hands to the host as a name or a text.
bool isCleanText(const std::string& text);

}  // namespace cadsim

#endif
