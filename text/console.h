// The programs' side of the console: their arguments as UTF-8, standard
// input as the bytes sent, and UTF-8 output the console shows as such.
#ifndef TEXT_CONSOLE_H
#define TEXT_CONSOLE_H

#include <string>
#include <vector>

namespace text {

// The arguments after the program's name, as UTF-8. On Windows they are read
// from the wide command line, since ARGV holds them in the system's code
// page, which has no room for most of the world's letters.
std::vector<std::string> utf8Arguments(int argc, char** argv);

// Standard input read as bytes on every platform (Windows' text mode would
// end the input at a Ctrl-Z byte and drop carriage returns), and on
// Windows the console told that output is UTF-8.
void useBytesInUtf8Out();

}  // namespace text

#endif
