// The cross-built Windows files: the plug-in offers exactly its three entry
// points under plain names, takes the host API from simhost.dll with the
// system's wide character, and no program needs a DLL beyond the project's
// own and the system's. The files come from the `windows` build; without it
// these tests are skipped, unless PLIVET_WINDOWS_REQUIRED asks for them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "tests/windows/pe_tables.h"

namespace {

std::string environment(const char* name, const std::string& fallback) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? value : fallback;
}

std::string lowerCase(std::string text) {
  for (char& c : text)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::filesystem::path windowsFile(const std::string& name) {
  return std::filesystem::path(environment(
             "PLIVET_WINDOWS_BIN",
             std::string(PLIVET_SOURCE_DIR) + "/build/windows/bin")) /
         name;
}

std::string readWholeFile(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file),
                     std::istreambuf_iterator<char>());
}

class WindowsBuild : public ::testing::Test {
 protected:
  // The tables of one built file; skips or fails the test when it is missing.
  bool tablesOf(const std::string& name, PeTables& tables) {
    const std::filesystem::path file = windowsFile(name);
    const bool required = std::getenv("PLIVET_WINDOWS_REQUIRED") != nullptr;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec)) {
      if (required) ADD_FAILURE() << file << " was not built";
      return false;
    }
    text::Error error;
    if (!readPeTables(
            environment("PLIVET_WINDOWS_OBJDUMP", "x86_64-w64-mingw32-objdump"),
            file.string(), tables, error)) {
      if (required) ADD_FAILURE() << error.text();
      return false;
    }
    return true;
  }
};

#define READ_OR_SKIP(name, tables)                                       \
  do {                                                                   \
    if (!tablesOf(name, tables)) {                                       \
      if (HasFailure()) return;                                          \
      GTEST_SKIP() << name << " or the cross objdump is not there; run " \
                   << "scripts/windows.sh";                              \
    }                                                                    \
  } while (0)

bool isSystemDll(const std::string& dll) {
  static const std::set<std::string> kSystem = {
      "kernel32.dll", "msvcrt.dll", "user32.dll", "advapi32.dll",
      "shell32.dll",  "ole32.dll",  "ws2_32.dll", "ucrtbase.dll"};
  const std::string name = lowerCase(dll);
  return kSystem.count(name) != 0 || name.rfind("api-ms-win-", 0) == 0;
}

// The import table lists DLLs in its own spelling; the loader ignores case.
bool importsDll(const PeTables& tables, const std::string& dll) {
  for (const auto& entry : tables.imports)
    if (lowerCase(entry.first) == lowerCase(dll)) return true;
  return false;
}

const std::vector<std::string>* namesFrom(const PeTables& tables,
                                          const std::string& dll) {
  for (const auto& entry : tables.imports)
    if (lowerCase(entry.first) == lowerCase(dll)) return &entry.second;
  return nullptr;
}

bool anyNameHas(const std::vector<std::string>& names,
                const std::string& part) {
  return std::any_of(names.begin(), names.end(), [&](const std::string& n) {
    return n.find(part) != std::string::npos;
  });
}

TEST_F(WindowsBuild, PluginExportsExactlyItsThreeEntryPointsUndecorated) {
  PeTables tables;
  READ_OR_SKIP("qormplivet.dll", tables);
  EXPECT_EQ(tables.format, "pei-x86-64");
  std::vector<std::string> names = tables.exports;
  std::sort(names.begin(), names.end());
  // Plain names only: no C++ mangling, no leading underscore, no @size.
  EXPECT_EQ(names, (std::vector<std::string>{
                       "acrxEntryPoint", "qormplivetstart", "qormplivetstop"}));
}

TEST_F(WindowsBuild, PluginTakesTheHostApiFromTheHostDll) {
  PeTables tables;
  READ_OR_SKIP("qormplivet.dll", tables);
  const std::vector<std::string>* host = namesFrom(tables, "simhost.dll");
  ASSERT_NE(host, nullptr) << "the plug-in does not import simhost.dll";
  // Itanium mangling of a const wchar_t* parameter is PKw; char16_t would be
  // PKDs, the type this machine's own build uses.
  EXPECT_TRUE(anyNameHas(*host, "acdbRegAppPKw"));
  EXPECT_TRUE(anyNameHas(*host, "acutPrintfPKwz"));
  EXPECT_FALSE(anyNameHas(*host, "PKDs"));
  EXPECT_TRUE(anyNameHas(*host, "acdbOpenAcDbObject"));
  EXPECT_TRUE(anyNameHas(*host, "acrxSysRegistry"));
}

TEST_F(WindowsBuild, HostDllExportsTheApiAndLoadsPluginsAtRunTime) {
  PeTables tables;
  READ_OR_SKIP("simhost.dll", tables);
  EXPECT_EQ(tables.format, "pei-x86-64");
  for (const char* api : {"acdbOpenAcDbObject", "acutBuildList", "acutRelRb",
                          "acadErrorStatusText", "acrxSysRegistry"})
    EXPECT_TRUE(anyNameHas(tables.exports, api)) << api;
  // The entry point is the plug-in's alone; the host only looks it up.
  EXPECT_FALSE(anyNameHas(tables.exports, "acrxEntryPoint"));
  // Exact names: the static runtime brings LoadLibraryW and GetProcAddress
  // of its own, but neither the narrow loader nor FreeLibrary.
  const std::vector<std::string>* kernel = namesFrom(tables, "KERNEL32.dll");
  ASSERT_NE(kernel, nullptr);
  const auto imports = [&](const char* name) {
    return std::find(kernel->begin(), kernel->end(), name) != kernel->end();
  };
  EXPECT_TRUE(imports("LoadLibraryA") || imports("LoadLibraryExA") ||
              imports("LoadLibraryExW"));
  EXPECT_TRUE(imports("GetProcAddress"));
  EXPECT_TRUE(imports("FreeLibrary"));
}

TEST_F(WindowsBuild, ProgramsNeedNoDllButEachOthersAndTheSystems) {
  // Each file with the project DLLs it may import: the host knows nothing of
  // the plug-in, and the runner reaches the plug-in only through the loader.
  const std::vector<std::pair<std::string, std::set<std::string>>> files = {
      {"simhost.dll", {}},
      {"qormplivet.dll", {"simhost.dll"}},
      {"cadsim.exe", {"simhost.dll"}},
      {"plivet-parts.exe", {}}};
  for (const auto& file : files) {
    PeTables tables;
    READ_OR_SKIP(file.first, tables);
    for (const auto& entry : tables.imports) {
      const std::string dll = lowerCase(entry.first);
      EXPECT_TRUE(isSystemDll(dll) || file.second.count(dll) != 0)
          << file.first << " needs " << entry.first;
    }
    for (const std::string& own : file.second)
      EXPECT_TRUE(importsDll(tables, own)) << file.first << " lacks " << own;
  }
}

// The version resource holds each string as a UTF-16 key, its terminator,
// padding to four bytes, then the value: the value must follow its own key.
bool holdsVersionString(const std::string& bytes, const std::string& key,
                        const std::string& value) {
  const auto wide = [](const std::string& text) {
    std::string result;
    for (char c : text) result += std::string{c, '\0'};
    return result + std::string(2, '\0');
  };
  const std::string wideKey = wide(key);
  const std::string wideValue = wide(value);
  for (std::size_t at = bytes.find(wideKey); at != std::string::npos;
       at = bytes.find(wideKey, at + 1)) {
    const std::size_t next = bytes.find(wideValue, at + wideKey.size());
    if (next != std::string::npos && next <= at + wideKey.size() + 4)
      return true;
  }
  return false;
}

TEST_F(WindowsBuild, EveryFileCarriesTheVersionInItsProperties) {
  for (const char* name :
       {"qormplivet.dll", "simhost.dll", "cadsim.exe", "plivet-parts.exe"}) {
    PeTables tables;
    READ_OR_SKIP(name, tables);
    const std::string bytes = readWholeFile(windowsFile(name));
    EXPECT_TRUE(holdsVersionString(bytes, "FileVersion", PLIVET_VERSION))
        << name;
    EXPECT_TRUE(holdsVersionString(bytes, "ProductVersion", PLIVET_VERSION))
        << name;
    EXPECT_TRUE(holdsVersionString(bytes, "ProductName", "PLIVET")) << name;
    EXPECT_TRUE(holdsVersionString(bytes, "OriginalFilename", name)) << name;
  }
}

}  // namespace
