// The page of a session (`--html`): the script's lines in order, what each
// printed, the picture of every drawing a line changed, and where the run
// failed, as one HTML file that needs nothing else to be read.
#ifndef TOOLS_CADSIM_SESSION_PAGE_H
#define TOOLS_CADSIM_SESSION_PAGE_H

#include <fstream>
#include <streambuf>
#include <string>
#include <string_view>
#include <vector>

#include "host/sim/host.h"
#include "text/error.h"
#include "tools/cadsim/drawing_picture.h"
#include "tools/cadsim/session.h"

namespace cadsim {

class SessionPage : public SessionObserver {
 public:
  // SCRIPT is the whole text the session runs; TITLE names it on the page.
  SessionPage(const std::string& script, const std::string& title);

  // Follows HOST from now on: what a line printed is what reached
  // output() since the line before it.
  void follow(const sim::Host& host) { host_ = &host; }
  void output(std::string_view text);
  void willApply(const Statement& statement) override;
  void applied(const Statement& statement, StepResult result,
               const LineEffects& effects) override;
  enum class Stop {
    Error,        // a line could not run
    Expectation,  // an `expect` line did not hold
    NotParsed,    // the script does not parse: nothing ran
    NotStarted    // the host could not start the session: nothing ran
  };
  // The run stopped for ERROR, at its line when it has one.
  void stopped(Stop how, const text::Error& error);

  // The page, with the run's exit STATUS.
  std::string html(int status) const;
  // Writes the page into FILE, opened by openPageFile, and closes it; PATH
  // names it in ERROR.
  bool write(std::ofstream& file, const std::string& path, int status,
             text::Error& error) const;

 private:
  struct Picture {
    std::string drawing;
    std::string svg;
  };
  // What one statement's run left.
  struct Step {
    int line = 0;
    std::string command;  // the command a `command` line ran, else ""
    std::string output;
    std::vector<std::string> violations;  // new since the step before
    std::vector<Picture> pictures;
  };

  void takeViolations(std::vector<std::string>& into);
  void picture(const std::string& drawing, Step& step);
  std::string stepHtml(const Step& step, int& pictureNumber) const;
  std::string failureHtml() const;

  std::vector<std::string> lines_;  // the script's, as written
  std::string title_;
  const sim::Host* host_ = nullptr;
  std::string prelude_;  // printed before the first line
  std::vector<std::string> preludeViolations_;
  std::vector<Step> steps_;
  std::size_t violationsSeen_ = 0;
  std::size_t pictureCount_ = 0;
  // The last picture shown of each drawing, to show one only when it
  // changed.
  std::vector<Picture> lastShown_;
  PartOrder partOrder_;
  bool stoppedEarly_ = false;
  Stop stop_ = Stop::Error;
  text::Error stopError_;
};

// Opens PATH for a page before the run, so that a page that cannot be
// written stops the run before it changes anything.
bool openPageFile(const std::string& path, std::ofstream& file,
                  text::Error& error);

// Output that goes to OUT as it comes and to the page as well.
class PageOutput : public std::streambuf {
 public:
  PageOutput(std::streambuf* out, SessionPage& page) : out_(out), page_(page) {}

 protected:
  int_type overflow(int_type c) override;
  std::streamsize xsputn(const char* text, std::streamsize count) override;
  int sync() override { return out_->pubsync(); }

 private:
  std::streambuf* out_;
  SessionPage& page_;
};

}  // namespace cadsim

#endif
