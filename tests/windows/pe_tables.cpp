// objdump prints one section of lines per table, each ended by a blank line;
// the lines that matter are told apart by their first word.
#include "tests/windows/pe_tables.h"

#include <cstdio>
#include <sstream>

namespace {

std::string trimmed(const std::string& line) {
  const std::size_t first = line.find_first_not_of(" \t\r");
  if (first == std::string::npos) return "";
  const std::size_t last = line.find_last_not_of(" \t\r");
  return line.substr(first, last - first + 1);
}

bool startsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

std::string shellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text)
    quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// "[   0] acrxEntryPoint" -> "acrxEntryPoint"
std::string exportName(const std::string& line) {
  const std::size_t close = line.find(']');
  if (line.empty() || line[0] != '[' || close == std::string::npos) return "";
  return trimmed(line.substr(close + 1));
}

// "456c0	  141  CloseHandle" -> "CloseHandle"; an entry by ordinal has no
// name after its number.
std::string importName(const std::string& line) {
  std::istringstream words(line);
  std::string address, hint, name;
  words >> address >> hint >> name;
  if (name.empty() || name == "<none>") return "";
  return name;
}

}  // namespace

PeTables parseObjdumpPrivateHeaders(const std::string& text) {
  enum class Section { Other, Exports, Imports };
  PeTables tables;
  Section section = Section::Other;
  std::string dll;
  std::istringstream lines(text);
  std::string raw;
  while (std::getline(lines, raw)) {
    const std::string line = trimmed(raw);
    const std::size_t format = line.find("file format ");
    if (tables.format.empty() && format != std::string::npos) {
      tables.format = trimmed(line.substr(format + 12));
    } else if (line.empty()) {
      section = Section::Other;
    } else if (startsWith(line, "[Ordinal/Name Pointer] Table")) {
      section = Section::Exports;
    } else if (startsWith(line, "DLL Name:")) {
      dll = trimmed(line.substr(9));
      tables.imports[dll];
      section = Section::Imports;
    } else if (section == Section::Exports) {
      const std::string name = exportName(line);
      if (!name.empty()) tables.exports.push_back(name);
    } else if (section == Section::Imports && !startsWith(line, "vma:")) {
      const std::string name = importName(line);
      if (!name.empty()) tables.imports[dll].push_back(name);
    }
  }
  return tables;
}

bool readPeTables(const std::string& objdump, const std::string& file,
                  PeTables& tables, text::Error& error) {
  const std::string command =
      shellQuoted(objdump) + " -p " + shellQuoted(file) + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) {
    error.message = "cannot run " + command;
    return false;
  }
  std::string output;
  char buffer[4096];
  std::size_t got;
  while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0)
    output.append(buffer, got);
  const int status = pclose(pipe);
  if (status != 0) {
    error.message = command + " failed:\n" + output;
    return false;
  }
  tables = parseObjdumpPrivateHeaders(output);
  return true;
}
