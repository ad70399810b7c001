// Reading objdump's listing: the tables are found by their headings and end
// at a blank line, so neighbouring tables never leak into them.
#include "tests/windows/pe_tables.h"

#include <gtest/gtest.h>

namespace {

const char kListing[] =
    "\n"
    "bin/plugin.dll:     file format pei-x86-64\n"
    "\n"
    "The Import Tables (interpreted .idata section contents)\n"
    " vma:            Hint    Time      Forward  DLL       First\n"
    "                 Table   Stamp     Chain    Name      Thunk\n"
    " 00045000\t00045050 00000000 00000000 00046108 00045388\n"
    "\n"
    "\tDLL Name: KERNEL32.dll\n"
    "\tvma:  Hint/Ord Member-Name Bound-To\n"
    "\t456c0\t  141  CloseHandle\n"
    "\t456ce\t  991  LoadLibraryW\n"
    "\n"
    " 00045014\t00045140 00000000 00000000 00046190 00045478\n"
    "\n"
    "\tDLL Name: host.dll\n"
    "\tvma:  Hint/Ord Member-Name Bound-To\n"
    "\t80000000000000c5\t  197  <none>\n"
    "\t45a24\t    1  _Z10acdbRegAppPKw\n"
    "\n"
    "\tDLL Name: ordinals.dll\n"
    "\tvma:  Hint/Ord Member-Name Bound-To\n"
    "\t8000000000000003\t    3  <none>\n"
    "\n"
    "The Export Tables (interpreted .edata section contents)\n"
    "\n"
    "Name \t\t\t\t00044044 plugin.dll\n"
    "\n"
    "Export Address Table -- Ordinal Base 1\n"
    "\t[   0] +base[   1] 3562 Export RVA\n"
    "\t[   1] +base[   2] 35ea Export RVA\n"
    "\n"
    "[Ordinal/Name Pointer] Table\n"
    "\t[   0] acrxEntryPoint\n"
    "\t[   1] start\n"
    "\n"
    "The Function Table (interpreted .pdata section contents)\n"
    " vma:\t\t\tBeginAddress\t EndAddress\t  UnwindData\n"
    " 0000000000004000:\t0000000000001000 000000000000101e 0000000000047000\n";

TEST(PeTables, ReadsExportsImportsAndFormatFromTheirOwnSections) {
  const PeTables tables = parseObjdumpPrivateHeaders(kListing);
  EXPECT_EQ(tables.format, "pei-x86-64");
  EXPECT_EQ(tables.exports,
            (std::vector<std::string>{"acrxEntryPoint", "start"}));
  ASSERT_EQ(tables.imports.size(), 3u);
  EXPECT_EQ(tables.imports.at("KERNEL32.dll"),
            (std::vector<std::string>{"CloseHandle", "LoadLibraryW"}));
  EXPECT_EQ(tables.imports.at("host.dll"),
            (std::vector<std::string>{"_Z10acdbRegAppPKw"}));
  // Imported by ordinal alone: the DLL is still a dependency.
  EXPECT_TRUE(tables.imports.at("ordinals.dll").empty());
}

TEST(PeTables, AFailedRunIsAnErrorNotAnEmptyTable) {
  PeTables tables;
  tables.exports.push_back("left alone");
  text::Error error;
  EXPECT_FALSE(readPeTables("objdump", "/nonexistent/file.dll", tables, error));
  EXPECT_FALSE(error.message.empty());
  EXPECT_EQ(tables.exports, std::vector<std::string>{"left alone"});
  EXPECT_FALSE(readPeTables("/nonexistent/objdump", "/bin/sh", tables, error));
}

}  // namespace
