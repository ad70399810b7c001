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
      while (i < line.size()) {
        const char c = line[i++];
        if (c == '"') {
          closed = true;
          break;
        }
        // Only \" and \\ are escapes, so paths with backslashes read as
        // written.
        if (c == '\\' && i < line.size() &&
            (line[i] == '"' || line[i] == '\\')) {
          token.text += line[i++];
          continue;
        }
        token.text += c;
      }
      if (!closed) {
        error.message = "unterminated string";
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
