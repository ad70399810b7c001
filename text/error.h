// Why something failed, the one way the runner, the simulated host, the DXF
// library and the tools report it: a function that can fail returns bool
// (or an outcome enum when there are more than two outcomes) and fills an
// Error passed as its last parameter.
#ifndef TEXT_ERROR_H
#define TEXT_ERROR_H

#include <string>

namespace text {

struct Error {
  int line = 0;  // the line of the script or file at fault, 0 when none
  std::string message;
  // The message, after "line N: " when a line is known.
  std::string text() const {
    return line > 0 ? "line " + std::to_string(line) + ": " + message : message;
  }
};

}  // namespace text

#endif
