// The export and import tables of a Windows program or DLL, read from what
// the cross toolchain's `objdump -p` prints about it.
#ifndef TESTS_WINDOWS_PE_TABLES_H
#define TESTS_WINDOWS_PE_TABLES_H

#include <map>
#include <string>
#include <vector>

#include "text/error.h"

struct PeTables {
  std::string format;                // "pei-x86-64" for a 64-bit file
  std::vector<std::string> exports;  // the names, as the loader looks them up
  // Imported DLL -> the names taken from it, in table order. A name imported
  // by ordinal only is left out; the DLL is still listed.
  std::map<std::string, std::vector<std::string>> imports;
};

// Reads the text of `objdump -p FILE`.
PeTables parseObjdumpPrivateHeaders(const std::string& text);

// Runs OBJDUMP -p on FILE. False with a message when it cannot be run or
// fails; nothing is parsed from the output of a failed run.
bool readPeTables(const std::string& objdump, const std::string& file,
                  PeTables& tables, text::Error& error);

#endif
