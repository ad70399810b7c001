// Word splitting for session scripts.
#include "tokenizer.h"

namespace cadsim {

std::size_t Token::plainFind(char c) const {
  std::size_t at = text.find(c);
  return (at != std::string::npos && at < plainLength) ? at : std::string::npos;
}

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// Length of the UTF-8 sequence starting at S[I], or 0 when it is malformed
// (overlong forms, surrogates and code points past U+10FFFF included).
std::size_t utf8SequenceLength(const std::string& s, std::size_t i) {
  const unsigned char lead = static_cast<unsigned char>(s[i]);
  if (lead < 0x80) return 1;
  std::size_t length;
  unsigned long codePoint;
  if ((lead & 0xE0) == 0xC0) {
    length = 2;
    codePoint = lead & 0x1F;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3;
    codePoint = lead & 0x0F;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4;
    codePoint = lead & 0x07;
  } else {
    return 0;
  }
  if (i + length > s.size()) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    const unsigned char next = static_cast<unsigned char>(s[i + k]);
    if ((next & 0xC0) != 0x80) return 0;
    codePoint = (codePoint << 6) | (next & 0x3F);
  }
  static const unsigned long kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (codePoint < kSmallest[length] || codePoint > 0x10FFFF) return 0;
  if (codePoint >= 0xD800 && codePoint <= 0xDFFF) return 0;
  return length;
}

}  // namespace

bool isCleanText(const std::string& text) {
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if ((c < 0x20 && c != '\t') || c == 0x7F) return false;
    const std::size_t length = utf8SequenceLength(text, i);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

bool tokenizeLine(const std::string& line, std::vector<Token>& tokens,
                  std::string& error) {
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
        error = "unterminated string";
        return false;
      }
    }
    if (!isCleanText(token.text)) {
      error = "text that is not UTF-8 or holds control characters";
      return false;
    }
    tokens.push_back(std::move(token));
  }
  return true;
}

}  // namespace cadsim
