#include "tests/dxf/dxf_test_support.h"

#include <stdlib.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <sstream>

#ifndef PLIVET_SOURCE_DIR
#define PLIVET_SOURCE_DIR "."
#endif

namespace dxftest {

std::string scratchDir() {
  static std::string dir;
  if (dir.empty()) {
    std::string pattern = "/tmp/plivet-dxf-XXXXXX";
    if (mkdtemp(&pattern[0]) != nullptr) dir = pattern;
  }
  return dir;
}

std::string scratchPath(const std::string& name) {
  return scratchDir() + "/" + name;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

void writeFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

std::string lines(std::initializer_list<const char*> items) {
  std::string text;
  for (const char* item : items) {
    text += item;
    text += '\n';
  }
  return text;
}

static std::string run(const std::string& command, bool& ok) {
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) {
    ok = false;
    return output;
  }
  std::array<char, 65536> buffer;
  std::size_t n;
  while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
    output.append(buffer.data(), n);
  ok = pclose(pipe) == 0;
  return output;
}

bool ezdxfAvailable() {
  static int available = -1;
  if (available < 0) {
    bool ok = false;
    run("/usr/bin/python3 -c 'import ezdxf' 2>/dev/null", ok);
    available = ok ? 1 : 0;
  }
  return available == 1;
}

std::string runDrawingsScript(const std::string& arguments, bool& ok) {
  return run("/usr/bin/python3 " PLIVET_SOURCE_DIR "/tests/dxf/drawings.py " +
                 arguments,
             ok);
}

}  // namespace dxftest
