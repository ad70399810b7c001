// The session's page. Everything it shows is written into the one file:
// the style sheet inline, each picture an inline <svg>, no script, no font
// or image fetched, so that it reads the same mailed, archived or opened
// with no network.
#include "tools/cadsim/session_page.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>

#include "picture/parts_picture.h"
#include "text/ascii_case.h"
#include "text/file_path.h"
#include "text/utf8.h"

namespace cadsim {

namespace {

const char kStyle[] = R"(
body { font: 15px/1.45 sans-serif; color: #222; background: #f6f6f4;
       max-width: 1100px; margin: 0 auto; padding: 0 16px 40px; }
h1 { font-size: 22px; margin: 20px 0 6px; }
.summary { padding: 8px 12px; border-left: 6px solid #59A14F;
           background: #fff; }
.summary.failed { border-left-color: #C0392B; }
.step { margin: 0; padding: 1px 8px; border-left: 6px solid transparent; }
.source { font-family: monospace; white-space: pre-wrap; margin: 0; }
.number { display: inline-block; width: 3.5em; color: #999;
          text-align: right; margin-right: 1em; user-select: none; }
.comment .source { color: #7a7a7a; }
.echo .source { font-weight: bold; }
.not-run { opacity: 0.45; }
pre.output { margin: 2px 0 6px 4.5em; padding: 4px 8px; background: #fff;
             border: 1px solid #e2e2de; white-space: pre-wrap;
             font-size: 13px; }
.failed { border-left-color: #C0392B; background: #fdecea; }
.failed .message { color: #8E1B10; font-weight: bold; margin: 2px 0 6px 4.5em; }
.violation { border-left-color: #D35400; background: #fdf0e6; }
.violations { color: #8A3A00; margin: 2px 0 6px 4.5em; }
figure.picture { margin: 8px 0 14px 4.5em; padding: 8px; background: #fff;
                 border: 1px solid #d8d8d4; }
figure.picture:target { outline: 3px solid #4E79A7; }
figure.picture figcaption { font-size: 13px; color: #555; margin-bottom: 4px; }
figure.picture svg { display: block; width: auto; height: auto; max-width: 100%;
                     max-height: 480px; }
nav.steps a, nav.steps span { margin-right: 1em; }
nav.steps span { color: #aaa; }
)";

// TEXT for an HTML page: markup characters escaped, malformed UTF-8 and
// control characters shown as U+FFFD rather than left for the browser to
// guess at.
std::string htmlText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    char32_t c = 0;
    std::size_t length = text::decodeUtf8(text, at, c);
    if (length == 0) {
      length = text::malformedUtf8Length(text, at);
      c = 0xFFFD;
    } else if ((c < 0x20 && c != '\t' && c != '\n') || c == 0x7F) {
      c = 0xFFFD;
    }
    at += length;
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        text::appendUtf8(out, c);
    }
  }
  return out;
}

// The script's lines split as the reader splits them.
std::vector<std::string> scriptLines(const std::string& script) {
  std::vector<std::string> lines;
  std::size_t start = script.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  while (start < script.size()) {
    std::size_t end = script.find_first_of("\r\n", start);
    if (end == std::string::npos) end = script.size();
    lines.push_back(script.substr(start, end - start));
    start = end + 1;
    if (end + 1 < script.size() && script[end] == '\r' &&
        script[end + 1] == '\n')
      ++start;
  }
  return lines;
}

// The first word of LINE, to style comments and headings.
std::string firstWord(const std::string& line) {
  const std::size_t begin = line.find_first_not_of(" \t");
  if (begin == std::string::npos) return std::string();
  const std::size_t end = line.find_first_of(" \t", begin);
  return line.substr(begin, end == std::string::npos ? end : end - begin);
}

// Lines that only report leave every drawing as it was.
bool onlyReports(Verb verb) {
  switch (verb) {
    case Verb::List:
    case Verb::Dump:
    case Verb::Check:
    case Verb::Expect:
    case Verb::Echo:
    case Verb::Save:
    case Verb::Fault:
    case Verb::Host:
      return true;
    default:
      return false;
  }
}

std::string pictureLink(std::size_t number, std::size_t count,
                        const char* word) {
  if (number < 1 || number > count)
    return std::string("<span>") + word + "</span>";
  return "<a href=\"#picture-" + std::to_string(number) + "\">" + word + "</a>";
}

}  // namespace

SessionPage::SessionPage(const std::string& script, const std::string& title)
    : lines_(scriptLines(script)), title_(title) {}

void SessionPage::output(std::string_view text) {
  (steps_.empty() ? prelude_ : steps_.back().output).append(text);
}

void SessionPage::takeViolations(std::vector<std::string>& into) {
  if (host_ == nullptr) return;
  const std::vector<std::string>& all = host_->violations();
  if (all.size() < violationsSeen_) violationsSeen_ = 0;
  into.insert(into.end(),
              all.begin() + static_cast<std::ptrdiff_t>(violationsSeen_),
              all.end());
  violationsSeen_ = all.size();
}

void SessionPage::willApply(const Statement& statement) {
  if (steps_.empty()) takeViolations(preludeViolations_);
  Step& step = steps_.emplace_back();
  step.line = statement.line;
  if (statement.verb == Verb::Command)
    step.command = text::upperAscii(statement.name);
}

void SessionPage::picture(const std::string& drawing, Step& step) {
  Picture now{drawing, std::string()};
  text::Error error;
  if (!drawingPicture(*host_, drawing, partOrder_, now.svg, error)) return;
  for (Picture& last : lastShown_) {
    if (last.drawing != drawing) continue;
    if (last.svg == now.svg) return;
    last.svg = now.svg;
    step.pictures.push_back(std::move(now));
    ++pictureCount_;
    return;
  }
  // A drawing shows from the line that first puts something in it.
  static const std::string empty = picture::svgPicture(picture::PictureInput());
  if (now.svg == empty) return;
  lastShown_.push_back(now);
  step.pictures.push_back(std::move(now));
  ++pictureCount_;
}

void SessionPage::applied(const Statement& statement, StepResult result,
                          const LineEffects& effects) {
  if (host_ == nullptr || steps_.empty()) return;
  Step& step = steps_.back();
  takeViolations(step.violations);
  if (result != StepResult::Done || onlyReports(statement.verb)) return;
  // The drawings the line named or made objects in, and the current one,
  // where a line without a selection works.
  std::vector<std::string> drawings;
  auto consider = [&](const std::string& name) {
    if (!name.empty() &&
        std::find(drawings.begin(), drawings.end(), name) == drawings.end())
      drawings.push_back(name);
  };
  consider(host_->currentDrawingName());
  for (AcDbObjectId id : effects.named) consider(host_->drawingNameOf(id));
  for (const sim::CreatedPair& pair : effects.created) {
    consider(host_->drawingNameOf(pair.first));
    consider(host_->drawingNameOf(pair.second));
  }
  for (const std::string& drawing : drawings) picture(drawing, step);
}

void SessionPage::stopped(Stop how, const text::Error& error) {
  stoppedEarly_ = true;
  stop_ = how;
  stopError_ = error;
}

std::string SessionPage::failureHtml() const {
  return "<p class=\"message\" id=\"failure\">" +
         std::string(stop_ == Stop::Expectation ? "" : "error: ") +
         htmlText(stopError_.message) + "</p>\n";
}

std::string SessionPage::stepHtml(const Step& step, int& pictureNumber) const {
  std::string out;
  if (!step.output.empty())
    out += "<pre class=\"output\">" + htmlText(step.output) + "</pre>\n";
  if (stoppedEarly_ && step.line == stopError_.line) out += failureHtml();
  for (const Picture& shown : step.pictures) {
    const std::size_t number = static_cast<std::size_t>(++pictureNumber);
    out += "<figure class=\"picture\" id=\"picture-" + std::to_string(number) +
           "\" data-line=\"" + std::to_string(step.line) + "\"";
    if (!step.command.empty())
      out += " data-command=\"" + htmlText(step.command) + "\"";
    out += ">\n<figcaption><nav class=\"steps\">" +
           pictureLink(number - 1, pictureCount_, "&larr; previous") +
           pictureLink(number + 1, pictureCount_, "next &rarr;") + "picture " +
           std::to_string(number) + " of " + std::to_string(pictureCount_) +
           ": drawing <b>" + htmlText(shown.drawing) +
           "</b> after <a href=\"#line-" + std::to_string(step.line) +
           "\">line " + std::to_string(step.line) +
           "</a></nav></figcaption>\n" + shown.svg + "</figure>\n";
  }
  return out;
}

std::string SessionPage::html(int status) const {
  const bool failed = status != kExitOk;
  std::string out =
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta "
      "charset=\"utf-8\">\n<title>" +
      htmlText(title_) + ": cadsim session</title>\n<style>" + kStyle +
      "</style>\n</head>\n<body>\n<h1>" + htmlText(title_) + "</h1>\n";

  // The summary says how the run ended and links to where it went wrong.
  std::size_t violations = preludeViolations_.size();
  for (const Step& step : steps_) violations += step.violations.size();
  out += std::string("<p class=\"summary") + (failed ? " failed" : "") +
         "\">Exit status " + std::to_string(status) + ". ";
  const std::string stopLink =
      "<a href=\"#failure\">line " + std::to_string(stopError_.line) + "</a>";
  if (stoppedEarly_ && stop_ == Stop::NotParsed && stopError_.line > 0) {
    out += "The script does not parse at " + stopLink + ": nothing ran. ";
  } else if (stoppedEarly_ &&
             (stop_ == Stop::NotParsed || stop_ == Stop::NotStarted)) {
    out += "Nothing ran: " + htmlText(stopError_.text()) + " ";
  } else if (stoppedEarly_) {
    out += std::string(stop_ == Stop::Expectation ? "An expectation failed"
                                                  : "Error") +
           " at " + stopLink + "; the lines after it did not run. ";
  }
  if (violations > 0)
    out += "<a href=\"#violation-1\">" + std::to_string(violations) +
           (violations == 1 ? " violation" : " violations") +
           "</a> of the host's rules. ";
  out += std::to_string(pictureCount_) +
         (pictureCount_ == 1 ? " picture" : " pictures");
  if (pictureCount_ > 0) out += " (<a href=\"#picture-1\">the first</a>)";
  out += ".</p>\n<main>\n";

  int violationNumber = 0;
  auto violationsHtml = [&](const std::vector<std::string>& found) {
    std::string list = "<ul class=\"violations\" id=\"violation-" +
                       std::to_string(++violationNumber) + "\">\n";
    violationNumber += static_cast<int>(found.size()) - 1;
    for (const std::string& violation : found)
      list += "<li>" + htmlText(violation) + "</li>\n";
    return list + "</ul>\n";
  };
  if (!prelude_.empty() || !preludeViolations_.empty()) {
    out += std::string("<div class=\"step") +
           (preludeViolations_.empty() ? "" : " violation") + "\">\n";
    if (!prelude_.empty())
      out += "<pre class=\"output\">" + htmlText(prelude_) + "</pre>\n";
    if (!preludeViolations_.empty()) out += violationsHtml(preludeViolations_);
    out += "</div>\n";
  }

  int pictureNumber = 0;
  std::size_t next = 0;  // the next step to show
  const int lastRun = steps_.empty() ? 0 : steps_.back().line;
  const int stopLine = stoppedEarly_ ? stopError_.line : 0;
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    const int line = static_cast<int>(i) + 1;
    const Step* step = next < steps_.size() && steps_[next].line == line
                           ? &steps_[next++]
                           : nullptr;
    const std::string word = firstWord(lines_[i]);
    std::string classes = "step";
    if (!word.empty() && word[0] == '#') classes += " comment";
    if (word == "echo") classes += " echo";
    if (line == stopLine) classes += " failed";
    if (step != nullptr && !step->violations.empty()) classes += " violation";
    if (line > lastRun || (stopLine > 0 && line > stopLine))
      classes += " not-run";
    out += "<div class=\"" + classes + "\" id=\"line-" + std::to_string(line) +
           "\">\n<p class=\"source\"><span class=\"number\">" +
           std::to_string(line) + "</span>" + htmlText(lines_[i]) + "</p>\n";
    if (step != nullptr) {
      out += stepHtml(*step, pictureNumber);
      if (!step->violations.empty()) out += violationsHtml(step->violations);
    } else if (line == stopLine) {
      out += failureHtml();
    }
    out += "</div>\n";
  }
  return out + "</main>\n</body>\n</html>\n";
}

bool openPageFile(const std::string& path, std::ofstream& file,
                  text::Error& error) {
  text::Error why;
  if (text::openForWriting(path, file, why)) return true;
  error.message = "cannot write " + path + ": " + why.message;
  return false;
}

bool SessionPage::write(std::ofstream& file, const std::string& path,
                        int status, text::Error& error) const {
  const std::string page = html(status);
  errno = 0;
  file.write(page.data(), static_cast<std::streamsize>(page.size()));
  file.close();
  if (file) return true;
  const int why = errno;
  error.message = "cannot write " + path +
                  (why != 0 ? std::string(": ") + std::strerror(why) : "");
  return false;
}

PageOutput::int_type PageOutput::overflow(int_type c) {
  if (traits_type::eq_int_type(c, traits_type::eof()))
    return traits_type::not_eof(c);
  const char ch = traits_type::to_char_type(c);
  page_.output(std::string_view(&ch, 1));
  return out_->sputc(ch);
}

std::streamsize PageOutput::xsputn(const char* text, std::streamsize count) {
  page_.output(std::string_view(text, static_cast<std::size_t>(count)));
  return out_->sputn(text, count);
}

}  // namespace cadsim
