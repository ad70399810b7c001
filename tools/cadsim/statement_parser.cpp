// Syntax of the session language: the verb table and the checks that run
// over the whole script before its first line is applied.
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <map>
#include <set>

#include "dxf/group_codes.h"
#include "text/ascii_case.h"
#include "text/hex_digits.h"
#include "text/utf8.h"
#include "tools/cadsim/statement.h"
#include "tools/cadsim/tokenizer.h"

namespace cadsim {

namespace {

// Keep fuzzed or mistyped scripts from asking for hours of work.
const long kMaxRepeat = 10000;
const long kMaxPieces = 100000;

// Words that open an `expect` line; an object may not be labelled so,
// or `expect erased ...` could mean two things.
const std::set<std::string>& reservedWords() {
  static const std::set<std::string> words = {
      "erased",          "not-erased",
      "record",          "no-record",
      "records",         "regapp",
      "no-regapp",       "line",
      "no-line",         "loaded",
      "unloaded",        "commands",
      "editor-reactors", "database-reactors",
      "violations"};
  return words;
}

bool isLabelChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-';
}

bool isDecimal(const std::string& text) {
  if (text.empty()) return false;
  for (char c : text)
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  return true;
}

bool parseLong(const std::string& text, long minimum, long maximum,
               long& value) {
  if (text.empty() || std::isspace(static_cast<unsigned char>(text[0])))
    return false;
  errno = 0;
  char* end = nullptr;
  const long parsed = std::strtol(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || parsed < minimum || parsed > maximum)
    return false;
  value = parsed;
  return true;
}

// Any finite double, subnormals and -0 included, read by the same function
// as the DXF library reads drawings with, so that a value a drawing holds can
// be written in a script.
bool parseReal(const std::string& text, double& value) {
  // Plain decimals only: no "inf", "nan" or hexadecimal.
  for (char c : text)
    if (!std::isdigit(static_cast<unsigned char>(c)) && c != '.' && c != '-' &&
        c != '+' && c != 'e' && c != 'E')
      return false;
  const char* begin = text.data();
  const char* end = begin + text.size();
  if (begin != end && *begin == '+') {
    ++begin;
    if (begin != end && (*begin == '+' || *begin == '-')) return false;
  }
  double parsed = 0;
  const auto result =
      std::from_chars(begin, end, parsed, std::chars_format::general);
  if (result.ec != std::errc() || result.ptr != end || !std::isfinite(parsed))
    return false;
  value = parsed;
  return true;
}

// Reals separated by commas, as many as COUNT asks (0: any number).
bool parseReals(const std::string& text, std::size_t count,
                std::vector<double>& values) {
  values.clear();
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = text.find(',', start);
    double value = 0;
    if (!parseReal(text.substr(start, comma - start), value)) return false;
    values.push_back(value);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return count == 0 || values.size() == count;
}

// "X,Y" or "X,Y,Z"; a missing Z is 0.
bool parsePoint(const std::string& text, sim::Point& point) {
  std::vector<double> values;
  if (!parseReals(text, 0, values) || values.size() < 2 || values.size() > 3)
    return false;
  point.x = values[0];
  point.y = values[1];
  point.z = values.size() == 3 ? values[2] : 0;
  return true;
}

bool isHandleText(const std::string& text) {
  if (text.empty() || text.size() > 16) return false;
  for (char c : text)
    if (text::hexDigitValue(c) < 0) return false;
  return true;
}

// A binary chunk: pairs of hex digits, at most the bytes a chunk holds.
bool isBinaryText(const std::string& text) {
  if (text.size() % 2 != 0 || text.size() > 2 * dxf::kMaxBinaryChunk)
    return false;
  for (char c : text)
    if (text::hexDigitValue(c) < 0) return false;
  return true;
}

std::string upper(const std::string& name) { return text::upperAscii(name); }

// One line being parsed: its words, and what the verb has taken of them.
class LineParser {
 public:
  LineParser(int line, std::vector<Token> tokens)
      : line_(line), tokens_(std::move(tokens)) {}

  bool parse(Statement& statement, text::Error& error);

 private:
  using VerbParser = bool (LineParser::*)(Statement&);

  bool fail(const std::string& message) {
    message_ = message;
    return false;
  }
  bool atEnd() const { return next_ >= tokens_.size(); }
  const Token& peek() const { return tokens_[next_]; }
  bool isOption(const Token& token) const {
    const std::size_t at = token.plainFind('=');
    return at != std::string::npos && at > 0;
  }

  // Takes the next word, which must be there and not be an option.
  bool word(const std::string& what, std::string& out);
  bool label(std::string& out);
  // A label that may name an object, else a message that says which rule
  // it breaks.
  bool checkReference(const std::string& word);
  // An option ("repeat=", "persistent") may be given once on a line.
  bool onceEach(const std::string& key);
  bool labelsToEnd(Statement& statement, bool atLeastOne);
  bool noMore();
  bool count(const std::string& what, const std::string& text, long minimum,
             long maximum, long& out);
  bool item(const Token& token, sim::Item& out);
  bool itemsToEnd(sim::Items& items);
  bool tagRef(TagRef& out);
  bool appRef(TagRef& out);
  // One geometry key of `add` or `expect ... geometry` into SHAPE: false,
  // with a message, for a bad value; KNOWN false for a word that is no key.
  bool geometryKey(const Token& token, sim::Shape& shape, bool& known);
  bool bulgesMatch(const sim::Shape& shape);
  bool placementOption(const std::string& command, const std::string& key,
                       const std::string& value, sim::Placement& placement);

  bool parseDrawing(Statement& s);
  bool parseAdd(Statement& s);
  bool parseXdata(Statement& s);
  bool parseRegapp(Statement& s);
  bool parseErase(Statement& s);
  bool parseCommand(Statement& s);
  bool parseBegin(Statement& s);
  bool parseEnd(Statement& s);
  bool parseLabelList(Statement& s) { return labelsToEnd(s, true); }
  bool parseLisp(Statement& s);
  bool parseLoad(Statement& s);
  bool parseHost(Statement& s);
  bool parseOpen(Statement& s);
  bool parseSave(Statement& s);
  bool parseBare(Statement&) { return noMore(); }
  bool parseFault(Statement& s);
  bool parseEcho(Statement& s);
  bool parseExpect(Statement& s);
  bool parseObjectExpectation(Expectation& e);

  int line_;
  std::vector<Token> tokens_;
  std::size_t next_ = 0;
  std::string message_;
  std::set<std::string> seenOptions_;
  std::vector<double> bulges_;  // bulges=, until points= takes them
  std::size_t bulgeCount_ = 0;
};

bool LineParser::parse(Statement& statement, text::Error& error) {
  struct VerbEntry {
    Verb verb;
    VerbParser parser;
  };
  static const std::map<std::string, VerbEntry> table = {
      {"drawing", {Verb::Drawing, &LineParser::parseDrawing}},
      {"close", {Verb::Close, &LineParser::parseDrawing}},
      {"add", {Verb::Add, &LineParser::parseAdd}},
      {"xdata", {Verb::Xdata, &LineParser::parseXdata}},
      {"regapp", {Verb::Regapp, &LineParser::parseRegapp}},
      {"erase", {Verb::Erase, &LineParser::parseErase}},
      {"command", {Verb::Command, &LineParser::parseCommand}},
      {"begin", {Verb::Begin, &LineParser::parseBegin}},
      {"end", {Verb::End, &LineParser::parseEnd}},
      {"deepclone", {Verb::DeepClone, &LineParser::parseLabelList}},
      {"append-copy", {Verb::AppendCopy, &LineParser::parseLabelList}},
      {"lisp", {Verb::LispBegin, &LineParser::parseLisp}},
      {"load", {Verb::Load, &LineParser::parseLoad}},
      {"open", {Verb::Open, &LineParser::parseOpen}},
      {"save", {Verb::Save, &LineParser::parseSave}},
      {"unload", {Verb::Unload, &LineParser::parseBare}},
      {"fault", {Verb::Fault, &LineParser::parseFault}},
      {"host", {Verb::Host, &LineParser::parseHost}},
      {"list", {Verb::List, &LineParser::parseBare}},
      {"dump", {Verb::Dump, &LineParser::parseBare}},
      {"check", {Verb::Check, &LineParser::parseBare}},
      {"expect", {Verb::Expect, &LineParser::parseExpect}},
      {"echo", {Verb::Echo, &LineParser::parseEcho}},
  };
  statement = Statement();
  statement.line = line_;
  const Token& first = tokens_[next_++];
  const auto entry = table.find(first.text);
  error.line = line_;
  if (first.quoted || entry == table.end()) {
    error.message = "unknown verb \"" + first.text + "\"";
    return false;
  }
  statement.verb = entry->second.verb;
  if (!(this->*entry->second.parser)(statement)) {
    error.message = first.text + ": " + message_;
    return false;
  }
  return true;
}

bool LineParser::word(const std::string& what, std::string& out) {
  if (atEnd()) return fail(what + " missing");
  if (!peek().quoted && isOption(peek()))
    return fail("expected " + what + ", found option \"" + peek().text + "\"");
  out = tokens_[next_++].text;
  if (out.empty()) return fail(what + " is empty");
  return true;
}

bool LineParser::label(std::string& out) {
  if (!word("label", out)) return false;
  return checkReference(out);
}

bool LineParser::checkReference(const std::string& word) {
  const std::string problem = labelReferenceProblem(word);
  if (problem.empty()) return true;
  return fail("bad label \"" + word + "\": " + problem);
}

bool LineParser::onceEach(const std::string& key) {
  if (seenOptions_.insert(key).second) return true;
  return fail(key + " given twice");
}

bool LineParser::labelsToEnd(Statement& statement, bool atLeastOne) {
  while (!atEnd()) {
    std::string name;
    if (!label(name)) return false;
    statement.labels.push_back(name);
  }
  if (atLeastOne && statement.labels.empty()) return fail("no label given");
  return true;
}

bool LineParser::noMore() {
  if (atEnd()) return true;
  return fail("unexpected \"" + peek().text + "\"");
}

bool LineParser::count(const std::string& what, const std::string& text,
                       long minimum, long maximum, long& out) {
  if (!parseLong(text, minimum, maximum, out))
    return fail("bad " + what + " \"" + text + "\" (a whole number from " +
                std::to_string(minimum) + " to " + std::to_string(maximum) +
                ")");
  return true;
}

// CODE:VALUE, the value typed by its code as the host stores it.
bool LineParser::item(const Token& token, sim::Item& out) {
  const std::size_t colon = token.plainFind(':');
  if (colon == std::string::npos)
    return fail("bad item \"" + token.text + "\" (CODE:VALUE)");
  const std::string codeText = token.text.substr(0, colon);
  const std::string valueText = token.text.substr(colon + 1);
  const bool valueQuoted = token.quoted;
  long code = 0;
  if (!isDecimal(codeText) || !parseLong(codeText, 0, 9999, code))
    return fail("bad item code \"" + codeText + "\"");
  out.code = static_cast<int>(code);
  const std::string where = "item " + token.text + ": " + codeText;
  if (code == 1001)
    return fail("item " + token.text +
                ": an application's block is named by APP, not by 1001");
  if (!dxf::isXdataCode(out.code))
    return fail("item " + token.text + ": unsupported code " + codeText + " (" +
                dxf::kXdataCodesText + ")");
  switch (dxf::codeKindOf(out.code)) {
    case dxf::CodeKind::Text:
      if (code == 1002 && valueText != "{" && valueText != "}")
        return fail(where + " takes { or }");
      out.value = valueText;
      return true;
    case dxf::CodeKind::Handle:
      if (valueQuoted || !isHandleText(valueText))
        return fail(where + " takes a handle (1 to 16 hex digits)");
      out.value = upper(valueText);
      return true;
    case dxf::CodeKind::Binary:
      if (valueQuoted || !isBinaryText(valueText))
        return fail(where + " takes bytes as pairs of hex digits (at most " +
                    std::to_string(dxf::kMaxBinaryChunk) + " bytes)");
      out.value = upper(valueText);
      return true;
    case dxf::CodeKind::Point: {
      sim::Point point;
      double* coordinates[] = {&point.x, &point.y, &point.z};
      std::size_t start = 0;
      int n = 0;
      while (true) {
        const std::size_t comma = valueText.find(',', start);
        const std::string part = valueText.substr(
            start,
            comma == std::string::npos ? std::string::npos : comma - start);
        if (n == 3 || valueQuoted || !parseReal(part, *coordinates[n]))
          return fail(where + " takes a point x,y,z");
        ++n;
        if (comma == std::string::npos) break;
        start = comma + 1;
      }
      if (n < 2) return fail(where + " takes a point x,y,z");
      out.value = point;
      return true;
    }
    case dxf::CodeKind::Real: {
      double real = 0;
      if (valueQuoted || !parseReal(valueText, real))
        return fail(where + " takes a real number");
      out.value = real;
      return true;
    }
    case dxf::CodeKind::Int16:
    case dxf::CodeKind::Int32: {
      long integer = 0;
      const bool shortInt = dxf::codeKindOf(out.code) == dxf::CodeKind::Int16;
      if (valueQuoted || !parseLong(valueText, shortInt ? -32768 : -2147483648L,
                                    shortInt ? 32767 : 2147483647L, integer))
        return fail(where + (shortInt ? " takes an integer from -32768 "
                                        "to 32767"
                                      : " takes a 32-bit integer"));
      out.value = integer;
      return true;
    }
    default:
      return fail("item " + token.text + ": unsupported code " + codeText);
  }
}

bool LineParser::itemsToEnd(sim::Items& items) {
  int depth = 0;
  while (!atEnd()) {
    sim::Item parsed;
    if (!item(tokens_[next_++], parsed)) return false;
    if (parsed.code == 1002) {
      depth += std::get<std::string>(parsed.value) == "{" ? 1 : -1;
      if (depth < 0) return fail("1002:} without a 1002:{ before it");
    }
    items.push_back(std::move(parsed));
  }
  if (depth != 0) return fail("1002:{ without its 1002:}");
  return true;
}

bool LineParser::tagRef(TagRef& out) {
  std::string text;
  if (!word("tag", text)) return false;
  if (text[0] == '@') {
    out.fromLabel = true;
    out.text = text.substr(1);
    const std::string problem = labelReferenceProblem(out.text);
    if (!problem.empty())
      return fail("bad label in tag \"" + text + "\": " + problem);
    return true;
  }
  if (text[0] != '$')
    return fail("a part tag begins with $ (or @LABEL): \"" + text + "\"");
  out.fromLabel = false;
  out.text = text;
  return true;
}

// An application name, or @LABEL for the tag made from LABEL's handle.
bool LineParser::appRef(TagRef& out) {
  std::string text;
  if (!word("application", text)) return false;
  out.fromLabel = text[0] == '@';
  out.text = out.fromLabel ? text.substr(1) : text;
  const std::string problem =
      out.fromLabel ? labelReferenceProblem(out.text) : std::string();
  if (!problem.empty())
    return fail("bad label in \"" + text + "\": " + problem);
  return true;
}

bool LineParser::parseDrawing(Statement& s) {
  return word("drawing name", s.name) && noMore();
}

bool LineParser::parseAdd(Statement& s) {
  std::string newLabel;
  if (!word("label", newLabel)) return false;
  const std::string labelProblem = newLabelProblem(newLabel);
  if (!labelProblem.empty())
    return fail("bad new label \"" + newLabel + "\": " + labelProblem);
  if (reservedWords().count(newLabel))
    return fail("\"" + newLabel + "\" is a reserved word, not a label");
  s.labels.push_back(newLabel);
  std::string type;
  if (!word("type", type)) return false;
  static const std::set<std::string> types = {
      "LINE", "CIRCLE", "ARC", "POLYLINE", "TEXT", "DICTIONARY", "XRECORD"};
  s.name = upper(type);
  if (!types.count(s.name))
    return fail("unknown type \"" + type +
                "\" (LINE CIRCLE ARC POLYLINE TEXT DICTIONARY XRECORD)");
  struct Keys {
    unsigned keys;
    const char* words;
  };
  static const std::map<std::string, Keys> kGeometryOf = {
      {"LINE", {sim::Shape::kFrom | sim::Shape::kTo, "from= and to="}},
      {"CIRCLE",
       {sim::Shape::kCenter | sim::Shape::kRadius, "center= and radius="}},
      {"ARC",
       {sim::Shape::kCenter | sim::Shape::kRadius | sim::Shape::kAngles,
        "center=, radius= and angles="}},
      {"POLYLINE",
       {sim::Shape::kPoints | sim::Shape::kClosed,
        "pieces=, or points= with bulges= and closed"}},
      {"TEXT", {sim::Shape::kAt | sim::Shape::kText, "at= and text="}},
  };
  const auto geometry = kGeometryOf.find(s.name);
  const Keys takes =
      geometry == kGeometryOf.end() ? Keys{0, "no geometry"} : geometry->second;
  while (!atEnd()) {
    const Token& token = tokens_[next_++];
    const std::size_t eq = token.plainFind('=');
    const std::string key =
        eq == std::string::npos ? std::string() : token.text.substr(0, eq);
    const std::string value =
        eq == std::string::npos ? std::string() : token.text.substr(eq + 1);
    if (!key.empty() && !onceEach(key + "=")) return false;
    if (key == "extension-of" || key == "in") {
      if (!s.owner.empty())
        return fail("one owner: extension-of= or in=, once");
      if (key == "extension-of" && s.name != "DICTIONARY")
        return fail("an extension dictionary is a DICTIONARY");
      if (key == "in" && s.name != "DICTIONARY" && s.name != "XRECORD")
        return fail("a dictionary holds a DICTIONARY or an XRECORD");
      if (!checkReference(value)) return false;
      s.owner = value;
      s.extensionOf = key == "extension-of";
      continue;
    }
    if (key != "pieces") {
      bool known = false;
      if (!geometryKey(token, s.shape, known)) return false;
      if (!known) return fail("unexpected \"" + token.text + "\"");
      if ((s.shape.keys & ~takes.keys) != 0)
        return fail(s.name + " takes " + takes.words + ", not \"" + token.text +
                    "\"");
      continue;
    }
    if (s.name != "POLYLINE") return fail("pieces= is for a POLYLINE");
    long pieces = 0;
    if (!count("pieces", value, 1, kMaxPieces, pieces)) return false;
    s.pieces = static_cast<int>(pieces);
  }
  if (s.shape.has(sim::Shape::kPoints)) {
    if (seenOptions_.count("pieces="))
      return fail(
          "pieces= or points=: a polyline with points has a piece "
          "per segment");
    if (s.shape.vertices.size() < 2)
      return fail("a polyline has two points or more");
  }
  if (!bulgesMatch(s.shape)) return false;
  if (s.shape.has(sim::Shape::kRadius) && !(s.shape.radius > 0))
    return fail("a radius is above 0");
  if (s.name != "POLYLINE") s.pieces = 1;
  return true;
}

bool LineParser::bulgesMatch(const sim::Shape& shape) {
  if (!seenOptions_.count("bulges=")) return true;
  if (!shape.has(sim::Shape::kPoints)) return fail("bulges= goes with points=");
  if (bulgeCount_ != shape.vertices.size())
    return fail("bulges= gives " + std::to_string(bulgeCount_) +
                " bulges for " + std::to_string(shape.vertices.size()) +
                " points: one per point");
  return true;
}

bool LineParser::geometryKey(const Token& token, sim::Shape& shape,
                             bool& known) {
  known = true;
  if (!token.quoted && (token.text == "closed" || token.text == "open")) {
    if (!onceEach("closed")) return false;
    shape.keys |= sim::Shape::kClosed;
    shape.closed = token.text == "closed";
    return true;
  }
  const std::size_t eq = token.plainFind('=');
  if (eq == std::string::npos || eq == 0) {
    known = false;
    return true;
  }
  const std::string key = token.text.substr(0, eq);
  const std::string value = token.text.substr(eq + 1);
  auto point = [&](sim::Shape::Key k, sim::Point& out) {
    if (!parsePoint(value, out))
      return fail("bad point \"" + value + "\" for " + key +
                  "= (X,Y or X,Y,Z)");
    shape.keys |= k;
    return true;
  };
  if (key == "from") return point(sim::Shape::kFrom, shape.from);
  if (key == "to") return point(sim::Shape::kTo, shape.to);
  if (key == "center") return point(sim::Shape::kCenter, shape.center);
  if (key == "at") return point(sim::Shape::kAt, shape.at);
  if (key == "radius") {
    if (!parseReal(value, shape.radius))
      return fail("bad radius \"" + value + "\"");
    shape.keys |= sim::Shape::kRadius;
    return true;
  }
  if (key == "angles") {
    std::vector<double> angles;
    if (!parseReals(value, 2, angles))
      return fail("bad angles \"" + value + "\" (START,END in degrees)");
    shape.startAngle = angles[0];
    shape.endAngle = angles[1];
    shape.keys |= sim::Shape::kAngles;
    return true;
  }
  if (key == "points") {
    std::vector<sim::Vertex> vertices;
    std::size_t start = 0;
    while (true) {
      const std::size_t semicolon = value.find(';', start);
      const std::string one = value.substr(start, semicolon - start);
      sim::Point p;
      if (!parsePoint(one, p) || one.find(',') != one.rfind(','))
        return fail("bad point \"" + one + "\" in points= (X,Y;X,Y;...)");
      if (vertices.size() == static_cast<std::size_t>(kMaxPieces))
        return fail("more than " + std::to_string(kMaxPieces) + " points");
      vertices.push_back(sim::Vertex{p.x, p.y, 0});
      if (semicolon == std::string::npos) break;
      start = semicolon + 1;
    }
    // Bulges given before the points wait for them.
    for (std::size_t k = 0; k < vertices.size() && k < bulges_.size(); ++k)
      vertices[k].bulge = bulges_[k];
    shape.vertices = vertices;
    shape.keys |= sim::Shape::kPoints;
    return true;
  }
  if (key == "bulges") {
    if (!parseReals(value, 0, bulges_))
      return fail("bad bulges \"" + value + "\" (one real per point)");
    bulgeCount_ = bulges_.size();
    for (std::size_t k = 0; k < shape.vertices.size() && k < bulges_.size();
         ++k)
      shape.vertices[k].bulge = bulges_[k];
    return true;
  }
  if (key == "text") {
    if (!isCleanText(value)) return fail("text= holds a control character");
    shape.text = value;
    shape.keys |= sim::Shape::kText;
    return true;
  }
  known = false;
  return true;
}

bool LineParser::parseXdata(Statement& s) {
  std::string target;
  if (!label(target) || !word("application", s.name)) return false;
  s.labels.push_back(target);
  return itemsToEnd(s.items);
}

bool LineParser::parseRegapp(Statement& s) {
  return word("application", s.name) && noMore();
}

bool LineParser::parseErase(Statement& s) {
  std::string target;
  if (!label(target) || !noMore()) return false;
  s.labels.push_back(target);
  return true;
}

bool parseOutcome(const std::string& text, sim::Outcome& outcome) {
  if (text == "ended") {
    outcome = sim::Outcome::Ended;
  } else if (text == "cancelled") {
    outcome = sim::Outcome::Cancelled;
  } else if (text == "failed") {
    outcome = sim::Outcome::Failed;
  } else {
    return false;
  }
  return true;
}

bool LineParser::parseCommand(Statement& s) {
  if (!word("command name", s.name)) return false;
  while (!atEnd()) {
    const Token& token = peek();
    if (token.quoted || !isOption(token)) {
      std::string name;
      if (!label(name)) return false;
      s.labels.push_back(name);
      continue;
    }
    ++next_;
    const std::size_t eq = token.plainFind('=');
    const std::string key = token.text.substr(0, eq);
    const std::string value = token.text.substr(eq + 1);
    if (key != "repeat" && key != "outcome") {
      if (!onceEach(key + "=")) return false;
      if (!placementOption(text::upperAscii(s.name), key, value, s.placement))
        return false;
      continue;
    }
    if (!onceEach(key + "=")) return false;
    if (key == "repeat") {
      long repeat = 0;
      if (!count("repeat", value, 1, kMaxRepeat, repeat)) return false;
      s.repeat = static_cast<int>(repeat);
    } else if (!parseOutcome(value, s.outcome)) {
      return fail("bad outcome \"" + value + "\" (ended, cancelled or failed)");
    }
  }
  // These erase what they are given: a second round finds nothing left.
  const std::string name = text::upperAscii(s.name);
  if (s.repeat > 1 && (name == "EXPLODE" || name == "ERASE"))
    return fail("repeat=" + std::to_string(s.repeat) + ": " + name +
                " erases what it is given, so it runs once");
  return true;
}

// The host's own commands and what they take to put things in place.
bool LineParser::placementOption(const std::string& command,
                                 const std::string& key,
                                 const std::string& value,
                                 sim::Placement& placement) {
  using Kind = sim::Placement::Kind;
  static const std::map<std::string, std::set<std::string>> kTakes = {
      {"by", {"COPY", "PASTECLIP", "DROPGEOM", "ARRAY", "MOVE"}},
      {"axis", {"MIRROR"}},
      {"distance", {"OFFSET"}},
      {"angle", {"ROTATE"}},
      {"about", {"ROTATE", "SCALE"}},
      {"factor", {"SCALE"}},
  };
  const auto takers = kTakes.find(key);
  if (takers == kTakes.end())
    return fail("unexpected option \"" + key + "=" + value + "\"");
  if (!takers->second.count(command)) {
    std::string names;
    for (const std::string& name : takers->second)
      names += (names.empty() ? "" : " ") + name;
    return fail(key + "= is for " + names + ", not " + command);
  }
  if (key == "by") {
    if (!parsePoint(value, placement.by))
      return fail("bad displacement \"" + value + "\" (DX,DY or DX,DY,DZ)");
    placement.kind = Kind::Move;
  } else if (key == "axis") {
    std::vector<double> ends;
    if (!parseReals(value, 4, ends))
      return fail("bad axis \"" + value + "\" (X1,Y1,X2,Y2)");
    if (ends[0] == ends[2] && ends[1] == ends[3])
      return fail("axis=" + value + ": the axis needs two distinct points");
    placement.axisFrom = sim::Point{ends[0], ends[1], 0};
    placement.axisTo = sim::Point{ends[2], ends[3], 0};
    placement.kind = Kind::Mirror;
  } else if (key == "distance") {
    if (!parseReal(value, placement.distance))
      return fail("bad distance \"" + value + "\"");
    placement.kind = Kind::Offset;
  } else if (key == "angle") {
    if (!parseReal(value, placement.angle))
      return fail("bad angle \"" + value + "\" (degrees)");
    placement.kind = Kind::Rotate;
  } else if (key == "about") {
    if (!parsePoint(value, placement.about))
      return fail("bad point \"" + value + "\" for about= (X,Y)");
  } else {
    if (!parseReal(value, placement.factor) || !(placement.factor > 0))
      return fail("bad factor \"" + value + "\" (a number above 0)");
    placement.kind = Kind::Scale;
  }
  return true;
}

bool LineParser::parseBegin(Statement& s) {
  return word("command name", s.name) && noMore();
}

bool LineParser::parseEnd(Statement& s) {
  if (!word("command name", s.name)) return false;
  if (atEnd()) return true;
  const std::string how = tokens_[next_++].text;
  if (!parseOutcome(how, s.outcome))
    return fail("bad outcome \"" + how + "\" (ended, cancelled or failed)");
  return noMore();
}

bool LineParser::parseLisp(Statement& s) {
  std::string what;
  if (!word("begin, end or cancel", what)) return false;
  if (what == "begin") {
    s.verb = Verb::LispBegin;
    if (!atEnd()) s.name = tokens_[next_++].text;
  } else if (what == "end") {
    s.verb = Verb::LispEnd;
  } else if (what == "cancel") {
    s.verb = Verb::LispCancel;
  } else {
    return fail("expected begin, end or cancel, found \"" + what + "\"");
  }
  return noMore();
}

bool LineParser::parseLoad(Statement& s) {
  if (!atEnd() && !word("module path", s.name)) return false;
  return noMore();
}

bool LineParser::parseOpen(Statement& s) {
  if (!word("file path", s.name)) return false;
  if (!atEnd() && !word("drawing name", s.drawingName)) return false;
  return noMore();
}

bool LineParser::parseSave(Statement& s) {
  return word("file path", s.name) && noMore();
}

bool LineParser::parseFault(Statement& s) {
  std::string operation;
  if (!word("operation", operation)) return false;
  if (operation == "off") {
    s.name = "off";
    return noMore();
  }
  if (operation != "any" && !sim::Host::isOperation(operation)) {
    std::string known;
    for (const std::string& name : sim::Host::operationNames())
      known += " " + name;
    return fail("unknown operation \"" + operation + "\" (any" + known + ")");
  }
  s.name = operation;
  s.fault.operation = operation == "any" ? std::string() : operation;
  while (!atEnd()) {
    const Token& token = tokens_[next_++];
    const std::size_t eq = token.plainFind('=');
    const bool persistent = !token.quoted && token.text == "persistent";
    if (!persistent && eq == std::string::npos)
      return fail("unexpected \"" + token.text + "\"");
    const std::string key = persistent ? token.text : token.text.substr(0, eq);
    const std::string value = persistent ? "" : token.text.substr(eq + 1);
    if (key != "nth" && key != "count" && key != "object" && !persistent)
      return fail("unexpected option \"" + token.text + "\"");
    if (!onceEach(persistent ? key : key + "=")) return false;
    if ((key == "count" || persistent) &&
        seenOptions_.count("count=") + seenOptions_.count("persistent") > 1)
      return fail("count= and persistent exclude each other");
    if (persistent) {
      s.fault.persistent = true;
    } else if (key == "nth") {
      if (!count("nth", value, 1, 1000000000L, s.fault.nth)) return false;
    } else if (key == "count") {
      if (!count("count", value, 1, 1000000000L, s.fault.count)) return false;
    } else {
      if (!checkReference(value)) return false;
      s.faultObject = value;
    }
  }
  if (operation == sim::Host::kModuleAllocName && !s.faultObject.empty())
    return fail("module-alloc fails allocations, not calls on an object");
  return true;
}

bool LineParser::parseHost(Statement& s) {
  if (!word("option", s.name)) return false;
  if (s.name != "id-map-references")
    return fail("unknown option \"" + s.name + "\" (id-map-references)");
  std::string setting;
  if (!word("on or off", setting)) return false;
  if (setting != "on" && setting != "off")
    return fail("expected on or off, found \"" + setting + "\"");
  s.switchOn = setting == "on";
  return noMore();
}

bool LineParser::parseEcho(Statement& s) {
  while (!atEnd()) {
    if (!s.name.empty()) s.name += ' ';
    s.name += tokens_[next_++].text;
  }
  return true;
}

bool LineParser::parseExpect(Statement& s) {
  Expectation& e = s.expect;
  std::string first;
  if (!word("what to expect", first)) return false;
  static const std::map<std::string, ExpectKind> kinds = {
      {"erased", ExpectKind::Erased},
      {"not-erased", ExpectKind::NotErased},
      {"record", ExpectKind::Record},
      {"no-record", ExpectKind::NoRecord},
      {"records", ExpectKind::Records},
      {"regapp", ExpectKind::Regapp},
      {"no-regapp", ExpectKind::NoRegapp},
      {"line", ExpectKind::Line},
      {"no-line", ExpectKind::NoLine},
      {"loaded", ExpectKind::Loaded},
      {"unloaded", ExpectKind::Unloaded},
      {"commands", ExpectKind::Commands},
      {"editor-reactors", ExpectKind::EditorReactors},
      {"database-reactors", ExpectKind::DatabaseReactors},
      {"violations", ExpectKind::Violations},
  };
  const auto kind = kinds.find(first);
  if (kind == kinds.end()) {
    // Followed by what one expects of an object, the word was meant as a
    // label: the label is what is wrong.
    static const std::set<std::string> ofObjects = {
        "tag",      "tag-not", "xdata",
        "no-xdata", "owner",   "extension-dictionary",
        "geometry"};
    const bool meantAsLabel =
        !atEnd() && !peek().quoted && ofObjects.count(peek().text) != 0;
    if (meantAsLabel && !checkReference(first)) return false;
    if (!isLabelReference(first))
      return fail("unknown expectation \"" + first + "\"");
    e.label = first;
    return parseObjectExpectation(e);
  }
  e.kind = kind->second;
  switch (e.kind) {
    case ExpectKind::Erased:
    case ExpectKind::NotErased:
      return label(e.label) && noMore();
    case ExpectKind::Record:
      if (!tagRef(e.tag)) return false;
      while (!atEnd()) {
        std::string member;
        if (!label(member)) return false;
        e.names.push_back(member);
      }
      return true;
    case ExpectKind::NoRecord:
      return tagRef(e.tag) && noMore();
    case ExpectKind::Regapp:
    case ExpectKind::NoRegapp:
      return appRef(e.tag) && noMore();
    case ExpectKind::Line:
    case ExpectKind::NoLine:
      if (atEnd()) return fail("line text missing");
      e.text = tokens_[next_++].text;
      return noMore();
    case ExpectKind::Loaded:
    case ExpectKind::Unloaded:
      return noMore();
    case ExpectKind::Commands:
      while (!atEnd()) e.names.push_back(tokens_[next_++].text);
      return true;
    case ExpectKind::Records:
    case ExpectKind::EditorReactors:
    case ExpectKind::DatabaseReactors:
    case ExpectKind::Violations: {
      std::string number;
      return word("count", number) &&
             count("count", number, 0, 1000000000L, e.count) && noMore();
    }
    default:
      return fail("unknown expectation \"" + first + "\"");
  }
}

bool LineParser::parseObjectExpectation(Expectation& e) {
  std::string what;
  if (!word("what to expect of " + e.label, what)) return false;
  if (what == "tag") {
    e.kind = ExpectKind::Tag;
    if (!atEnd() && !peek().quoted && peek().text == "none") {
      ++next_;
      e.tagNone = true;
      return noMore();
    }
    return tagRef(e.tag) && noMore();
  }
  if (what == "tag-not") {
    e.kind = ExpectKind::TagNot;
    return tagRef(e.tag) && noMore();
  }
  if (what == "xdata") {
    e.kind = ExpectKind::Xdata;
    return appRef(e.tag) && itemsToEnd(e.items);
  }
  if (what == "no-xdata") {
    e.kind = ExpectKind::NoXdata;
    return appRef(e.tag) && noMore();
  }
  if (what == "owner" || what == "extension-dictionary") {
    e.kind = what == "owner" ? ExpectKind::Owner : ExpectKind::ExtensionDict;
    std::string other;
    if (!word("label or none", other)) return false;
    if (other == "none")
      e.tagNone = true;
    else if (!checkReference(other))
      return false;
    else
      e.names.push_back(other);
    return noMore();
  }
  if (what == "geometry") {
    e.kind = ExpectKind::Geometry;
    while (!atEnd()) {
      const Token& token = tokens_[next_++];
      const std::size_t eq = token.plainFind('=');
      if (eq != std::string::npos && eq > 0 &&
          !onceEach(token.text.substr(0, eq + 1)))
        return false;
      bool known = false;
      if (!geometryKey(token, e.shape, known)) return false;
      if (!known)
        return fail("unexpected \"" + token.text +
                    "\" (from= to= center= radius= angles= points= bulges= "
                    "closed open at= text=)");
    }
    if (e.shape.keys == 0) return fail("no geometry to expect");
    return bulgesMatch(e.shape);
  }
  return fail("unknown expectation \"" + what +
              "\" (tag, tag-not, xdata, no-xdata, owner, "
              "extension-dictionary, geometry)");
}

}  // namespace

std::string newLabelProblem(const std::string& word) {
  const std::size_t kLongest = 64;
  if (word.empty()) return "a label is not empty";
  if (word.size() > kLongest)
    return "a label is at most " + std::to_string(kLongest) +
           " characters, not " + std::to_string(word.size());
  if (word[0] == '-') return "a label does not start with -";
  if (word[0] == '#')
    return "#HEX names an object by its handle; a new label does not start "
           "with #";
  for (std::size_t at = 0; at < word.size(); ++at) {
    const char c = word[at];
    if (c == '.') return "a new label has no dots: they number copies";
    if (!isLabelChar(c)) {
      // The whole character, not the first byte of it.
      char32_t character = 0;
      const std::size_t length =
          std::max<std::size_t>(1, text::decodeUtf8(word, at, character));
      return "a label is letters, digits, _ and -, not \"" +
             word.substr(at, length) + "\"";
    }
  }
  return std::string();
}

bool isNewLabel(const std::string& word) {
  return newLabelProblem(word).empty();
}

bool isHandleReference(const std::string& word) {
  return !word.empty() && word[0] == '#' && isHandleText(word.substr(1));
}

// LABEL or #HEX, then any number of ".N" clone counts.
std::string labelReferenceProblem(const std::string& word) {
  const std::size_t dot = word.find('.');
  const std::string base = word.substr(0, dot);
  if (!base.empty() && base[0] == '#') {
    if (!isHandleReference(base))
      return "#HEX names an object by its handle: 1 to 16 hex digits";
  } else {
    std::string problem = newLabelProblem(base);
    if (!problem.empty()) return problem;
  }
  std::size_t start = dot;
  while (start != std::string::npos) {
    const std::size_t end = word.find('.', start + 1);
    const std::string number =
        word.substr(start + 1, end == std::string::npos ? std::string::npos
                                                        : end - start - 1);
    if (!isDecimal(number) || number[0] == '0' || number.size() > 9)
      return "a copy's number after a dot is a whole number from 1, with no "
             "leading zero, not \"" +
             number + "\"";
    start = end;
  }
  return std::string();
}

bool isLabelReference(const std::string& word) {
  return labelReferenceProblem(word).empty();
}

bool parseScript(const std::string& text, std::vector<Statement>& statements,
                 text::Error& error) {
  statements.clear();
  std::set<std::string> newLabels;
  int lineNumber = 0;
  // Editors that save a byte-order mark hide it; it is no part of a verb.
  const std::string kByteOrderMark = "\xEF\xBB\xBF";
  std::size_t start = text.compare(0, 3, kByteOrderMark) == 0 ? 3 : 0;
  while (start < text.size()) {
    // A line ends in LF, CR LF, or a lone CR as older editors write.
    std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    start = end + 1;
    if (end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n')
      ++start;
    ++lineNumber;
    std::vector<Token> tokens;
    error.line = lineNumber;
    if (line.find('\0') != std::string::npos) {
      error.message = "a NUL character";
      return false;
    }
    if (!tokenizeLine(line, tokens, error)) return false;
    if (tokens.empty()) continue;
    Statement statement;
    LineParser parser(lineNumber, std::move(tokens));
    if (!parser.parse(statement, error)) return false;
    // Labels that `add` makes can be checked for reuse now; clone labels
    // never collide with them because they carry a dot.
    if (statement.verb == Verb::Add &&
        !newLabels.insert(statement.labels[0]).second) {
      error.message =
          "add: label \"" + statement.labels[0] + "\" is already in use";
      return false;
    }
    statements.push_back(std::move(statement));
  }
  return true;
}

}  // namespace cadsim
