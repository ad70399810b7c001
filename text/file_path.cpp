#include "text/file_path.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "text/ascii_case.h"

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace text {

namespace {

// How much a file read asks of the system at a time.
constexpr std::size_t kReadChunk = std::size_t(1) << 30;

bool fail(Error& error, const std::string& message) {
  error.line = 0;
  error.message = message;
  return false;
}

// Reads with READ (into, size -> bytes read, 0 at the end, -1 on failure)
// to the end. A file's own size reserved beforehand is filled in place, so
// a large drawing is held once, not twice.
template <typename Read>
bool readAll(std::string& bytes, Read read) {
  char spare[1 << 16];
  for (;;) {
    const std::size_t at = bytes.size();
    long long got;
    if (bytes.capacity() > at) {
      const std::size_t room = bytes.capacity() - at;
      bytes.resize(at + (room < kReadChunk ? room : kReadChunk));
      got = read(&bytes[at], bytes.size() - at);
      bytes.resize(at + static_cast<std::size_t>(got > 0 ? got : 0));
    } else {
      got = read(spare, sizeof spare);
      if (got > 0) bytes.append(spare, static_cast<std::size_t>(got));
    }
    if (got <= 0) return got == 0;
  }
}

#if defined(_WIN32)

// The calls without \\?\ stop at 260 characters with the final NUL; a
// folder must leave room for a 12-character file name, and the temporary
// file of a save adds 7 to its drawing's name.
constexpr std::size_t kShortPathLimit = MAX_PATH - 12;

std::wstring fullPath(const std::wstring& path) {
  if (path.empty() || path.compare(0, 4, L"\\\\?\\") == 0 ||
      path.compare(0, 4, L"\\\\.\\") == 0)
    return path;
  const DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return path;
  std::wstring full(needed, L'\0');
  const DWORD length =
      GetFullPathNameW(path.c_str(), needed, &full[0], nullptr);
  if (length == 0 || length >= needed) return path;
  full.resize(length);
  return full;
}

#endif

}  // namespace

std::filesystem::path pathFromUtf8(const std::string& path) {
  return std::filesystem::u8path(path);
}

std::string utf8FromPath(const std::filesystem::path& path) {
  return path.u8string();
}

#if defined(_WIN32)

std::wstring wideFromUtf8(const std::string& text) {
  if (text.empty()) return std::wstring();
  const int size = static_cast<int>(text.size());
  const int length =
      MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  if (length > 0)
    MultiByteToWideChar(CP_UTF8, 0, text.data(), size, &wide[0], length);
  return wide;
}

std::string utf8FromWide(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int size = static_cast<int>(text.size());
  const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr,
                                         0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(length), '\0');
  if (length > 0)
    WideCharToMultiByte(CP_UTF8, 0, text.data(), size, &utf8[0], length,
                        nullptr, nullptr);
  return utf8;
}

std::string windowsMessage(unsigned long code) {
  wchar_t* words = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
          FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&words), 0, nullptr);
  std::wstring message = length > 0 && words != nullptr
                             ? std::wstring(words, length)
                             : std::wstring();
  if (words != nullptr) LocalFree(words);
  while (!message.empty() &&
         (message.back() == L'\n' || message.back() == L'\r' ||
          message.back() == L'.' || message.back() == L' '))
    message.pop_back();
  if (message.empty()) return "system error " + std::to_string(code);
  // Some messages name the file as an insert ("%1 is not a valid Win32
  // application"); the caller names it already.
  for (std::size_t at; (at = message.find(L"%1")) != std::wstring::npos;)
    message.replace(at, 2, L"the file");
  return utf8FromWide(message);
}

std::wstring longPathForm(const std::wstring& absolute) {
  if (absolute.size() < kShortPathLimit ||
      absolute.compare(0, 4, L"\\\\?\\") == 0 ||
      absolute.compare(0, 4, L"\\\\.\\") == 0)
    return absolute;
  if (absolute.compare(0, 2, L"\\\\") == 0)
    return L"\\\\?\\UNC\\" + absolute.substr(2);
  return L"\\\\?\\" + absolute;
}

std::filesystem::path systemPath(const std::string& path) {
  return std::filesystem::path(longPathForm(fullPath(wideFromUtf8(path))));
}

std::string lastSystemReason() { return windowsMessage(GetLastError()); }

bool isFile(const std::string& path) {
  if (path.empty()) return false;
  const DWORD attributes = GetFileAttributesW(systemPath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool isFolder(const std::string& path) {
  if (path.empty()) return false;
  const DWORD attributes = GetFileAttributesW(systemPath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

#else

std::filesystem::path systemPath(const std::string& path) {
  return std::filesystem::path(path);
}

std::string lastSystemReason() { return std::strerror(errno); }

bool isFile(const std::string& path) {
  std::error_code ignored;
  return std::filesystem::is_regular_file(path, ignored);
}

bool isFolder(const std::string& path) {
  std::error_code ignored;
  return std::filesystem::is_directory(path, ignored);
}

#endif

std::string reservedDeviceName(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\");
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  // "C:aux" is AUX on drive C's current folder.
  if (slash == std::string::npos && name.size() >= 2 && name[1] == ':')
    name.erase(0, 2);
  // What follows the first dot (or a stream's colon) does not matter, nor
  // blanks before it.
  name = upperAscii(name.substr(0, name.find_first_of(".:")));
  while (!name.empty() && name.back() == ' ') name.pop_back();
  if (name == "CON" || name == "PRN" || name == "AUX" || name == "NUL")
    return name;
  if (name.size() == 4 &&
      (name.compare(0, 3, "COM") == 0 || name.compare(0, 3, "LPT") == 0) &&
      name[3] >= '1' && name[3] <= '9')
    return name;
  return std::string();
}

std::string fileNameProblem(const std::string& path) {
  const std::string device = reservedDeviceName(path);
  if (device.empty()) return std::string();
  return device +
         " is a device on Windows, not a file: CON, PRN, AUX, NUL, COM1 to "
         "COM9 and LPT1 to LPT9 are, with any extension";
}

bool readWholeFile(const std::string& path, std::string& bytes, Error& error) {
  bytes.clear();
  const std::string problem = fileNameProblem(path);
  if (!problem.empty()) return fail(error, problem);
  // A folder opens as a stream on some systems, with a size no string holds.
  if (isFolder(path)) return fail(error, "is a directory");
#if defined(_WIN32)
  HANDLE file =
      CreateFileW(systemPath(path).c_str(), GENERIC_READ,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return fail(error, lastSystemReason());
  LARGE_INTEGER size;
  if (GetFileSizeEx(file, &size) && size.QuadPart > 0)
    bytes.reserve(static_cast<std::size_t>(size.QuadPart));
  const bool read = readAll(bytes, [file](char* into, std::size_t size) {
    DWORD got = 0;
    if (!ReadFile(file, into, static_cast<DWORD>(size), &got, nullptr))
      return -1LL;
    return static_cast<long long>(got);
  });
  const std::string reason = read ? std::string() : lastSystemReason();
  CloseHandle(file);
  if (!read) {
    bytes.clear();
    return fail(error, reason);
  }
#else
  errno = 0;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return fail(error, lastSystemReason());
  struct stat status;
  if (::fstat(fileno(file), &status) == 0 && S_ISREG(status.st_mode) &&
      status.st_size > 0)
    bytes.reserve(static_cast<std::size_t>(status.st_size));
  readAll(bytes, [file](char* into, std::size_t size) {
    return static_cast<long long>(std::fread(into, 1, size, file));
  });
  if (std::ferror(file)) {
    const std::string reason = lastSystemReason();
    std::fclose(file);
    bytes.clear();
    return fail(error, reason);
  }
  std::fclose(file);
#endif
  return true;
}

bool openForWriting(const std::string& path, std::ofstream& out, Error& error) {
  const std::string problem = fileNameProblem(path);
  if (!problem.empty()) return fail(error, problem);
  if (isFolder(path)) return fail(error, "is a directory");
  errno = 0;
#if defined(_WIN32)
  _doserrno = 0;
#endif
  out.open(systemPath(path), std::ios::binary | std::ios::trunc);
  if (out) return true;
#if defined(_WIN32)
  // The C runtime keeps the system's own code beside errno.
  if (_doserrno != 0) return fail(error, windowsMessage(_doserrno));
#endif
  return fail(error, errno != 0 ? std::strerror(errno) : "cannot open it");
}

}  // namespace text
