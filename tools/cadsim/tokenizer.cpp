// Word splitting for session scripts.
#include "tools/cadsim/tokenizer.h"

#include "text/utf8.h"

namespace cadsim {

std::size_t Token::plainFind(char c) const {
  std::size_t at = text.find(c);
  return (at != std::string::npos && at < plainLength) ? at : std::string::npos;
}

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

}  // namespace

bool decodeUtf16Script(const std::string& script, std::string& utf8,
                       text::Error& error) {
  utf8.clear();
  const bool little = script.compare(0, 2, "\xFF\xFE") == 0;
  const bool big = script.compare(0, 2, "\xFE\xFF") == 0;
  if (!little && !big) return true;
  std::size_t at = 0;
  // The mark comes through as UTF-8's own, which the reader skips; so a
  // script of the mark alone is not mistaken for one that was never UTF-16.
  if (text::appendUtf8FromUtf16(script, big, utf8, at)) return true;
  // The line is counted as the script's lines are: LF, CR LF or a lone CR.
  int line = 1;
  for (std::size_t i = 0; i < utf8.size(); ++i)
    if (utf8[i] == '\n' ||
        (utf8[i] == '\r' && (i + 1 == utf8.size() || utf8[i + 1] != '\n')))
      ++line;
  error.line = line;
  error.message = "the script is UTF-16 but holds no character at byte " +
                  std::to_string(at) +
                  " (a lone surrogate or an odd byte); save it as UTF-8";
  utf8.clear();
  return false;
}

bool isCleanText(const std::string& text) {
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if ((c < 0x20 && c != '\t') || c == 0x7F) return false;
    char32_t decoded;
    const std::size_t length = text::decodeUtf8(text, i, decoded);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

bool tokenizeLine(const std::string& line, std::vector<Token>& tokens,
                  text::Error& error) {
  tokens.clear();
  std::size_t i = 0;
  while (true) {
    while (i < line.size() && isBlank(line[i])) ++i;
    if (i == line.size()) break;
    // A comment: the whole line when it opens with '#', or a lone '#' word.
    // A label such as #1F is a word, not a comment.
    if (line[i] == '#' &&
        (tokens.empty() || i + 1 == line.size() || isBlank(line[i + 1])))
      break;
    Token token;
    bool sawQuote = false;
    while (i < line.size() && !isBlank(line[i])) {
      if (line[i] != '"') {
        token.text += line[i++];
        if (!sawQuote) token.plainLength = token.text.size();
        continue;
      }
      sawQuote = true;
      token.quoted = true;
      ++i;
      bool closed = false;
      bool quoteEscaped = false;
      while (i < line.size() && !closed) {
        if (line[i] == '"') {
          ++i;
          closed = true;
          break;
        }
        if (line[i] != '\\') {
          token.text += line[i++];
          continue;
        }
        // Backslashes are text, as in a Windows path, except a run of them
        // before a quote: there each pair is one backslash, and one left
        // over makes the quote part of the text (the rule Windows programs
        // read their own command lines by).
        std::size_t run = 0;
        while (i + run < line.size() && line[i + run] == '\\') ++run;
        i += run;
        if (i == line.size() || line[i] != '"') {
          token.text.append(run, '\\');
          continue;
        }
        token.text.append(run / 2, '\\');
        ++i;
        if (run % 2 == 0) {
          closed = true;
        } else {
          token.text += '"';
          quoteEscaped = true;
        }
      }
      if (!closed) {
        // A quoted path that ends in a backslash meets this rule most.
        error.message = quoteEscaped
                            ? "unterminated string (\\\" is a quote inside "
                              "the string; a backslash before the closing "
                              "quote is written \\\\)"
                            : "unterminated string";
        return false;
      }
    }
    if (!isCleanText(token.text)) {
      error.message = "text that is not UTF-8 or holds control characters";
      return false;
    }
    tokens.push_back(std::move(token));
  }
  return true;
}

}  // namespace cadsim
