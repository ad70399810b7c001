#include "text/console.h"

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
// shellapi.h needs windows.h's macros.
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>

#include "text/file_path.h"
#endif

namespace text {

std::vector<std::string> utf8Arguments(int argc, char** argv) {
  std::vector<std::string> arguments;
#if defined(_WIN32)
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide != nullptr) {
    for (int i = 1; i < count; ++i) arguments.push_back(utf8FromWide(wide[i]));
    LocalFree(wide);
    return arguments;
  }
#endif
  for (int i = 1; i < argc; ++i) arguments.push_back(argv[i]);
  return arguments;
}

void useBytesInUtf8Out() {
#if defined(_WIN32)
  _setmode(_fileno(stdin), _O_BINARY);
  SetConsoleOutputCP(CP_UTF8);
#endif
}

}  // namespace text
