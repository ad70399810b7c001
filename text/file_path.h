// Paths as the programs hold them (UTF-8) handed to the system in its own
// form, files read whole, and the reasons the system gives when one fails.
#ifndef TEXT_FILE_PATH_H
#define TEXT_FILE_PATH_H

#include <filesystem>
#include <fstream>
#include <string>

#include "text/error.h"

namespace text {

// A UTF-8 path as a path object, for taking it apart and joining it; the
// plain std::string constructor would read it in Windows' code page.
std::filesystem::path pathFromUtf8(const std::string& path);
std::string utf8FromPath(const std::filesystem::path& path);

// PATH in the form the system's file calls take: as it is on Linux; on
// Windows UTF-16, absolute, and in the \\?\ form when it is long, so that
// no call stops at the 260-character limit.
std::filesystem::path systemPath(const std::string& path);

// The device Windows reaches by PATH's last part ("AUX" for "aux.dxf"):
// CON, PRN, AUX, NUL, COM1 to COM9 or LPT1 to LPT9 with any extension, in
// any case. Empty when it names no device.
std::string reservedDeviceName(const std::string& path);

// Why a file cannot be read or written because of its name, the same on
// every platform, so that a script means one thing on both: the device a
// reserved name reaches. Empty when the name is fine.
std::string fileNameProblem(const std::string& path);

// True when PATH names a folder; a file (on Windows anything there that
// is not a folder, on Linux a regular file).
bool isFolder(const std::string& path);
bool isFile(const std::string& path);

// The whole file. False with the reason alone in ERROR (a folder, a
// device's name, or the system's words), for the caller to say what failed.
bool readWholeFile(const std::string& path, std::string& bytes, Error& error);

// Opens OUT on PATH, emptied. False with the reason alone in ERROR.
bool openForWriting(const std::string& path, std::ofstream& out, Error& error);

// The reason the system gives for the last call that failed: errno's text
// on Linux; on Windows the last error's, in its own words.
std::string lastSystemReason();

#if defined(_WIN32)
std::wstring wideFromUtf8(const std::string& text);
std::string utf8FromWide(const std::wstring& text);
// The words Windows has for an error code (FormatMessageW), as UTF-8,
// without the final full stop; the number when it has none.
std::string windowsMessage(unsigned long code);
// An absolute UTF-16 path, in the \\?\ form when it is too long for the
// calls without it.
std::wstring longPathForm(const std::wstring& absolute);
#endif

}  // namespace text

#endif
