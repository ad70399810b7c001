#include "dxf/dxf_file_replacement.h"

#include <cerrno>
#include <cstring>
#include <vector>

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace dxf {

namespace {

std::string quoted(const std::string& path) { return "\"" + path + "\""; }

// The folder part of PATH, "." when it has none.
std::string folderOf(const std::string& path) {
#if defined(_WIN32)
  const std::size_t slash = path.find_last_of("/\\");
#else
  const std::size_t slash = path.rfind('/');
#endif
  if (slash == std::string::npos) return ".";
  if (slash == 0) return path.substr(0, 1);
  return path.substr(0, slash);
}

#if defined(_WIN32)

std::string systemReason(DWORD code) {
  char* text = nullptr;
  const DWORD size = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
          FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string reason = size > 0 && text != nullptr
                           ? std::string(text, size)
                           : "system error " + std::to_string(code);
  if (text != nullptr) LocalFree(text);
  while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' ||
                             reason.back() == '.' || reason.back() == ' '))
    reason.pop_back();
  return reason;
}

std::string lastReason() { return systemReason(GetLastError()); }

#else

std::string lastReason() { return std::strerror(errno); }

// Where the link at LINK points, read relative to the link's folder.
bool linkTarget(const std::string& link, std::string& target) {
  std::vector<char> buffer(256);
  for (;;) {
    const ssize_t size = ::readlink(link.c_str(), buffer.data(), buffer.size());
    if (size < 0) return false;
    if (static_cast<std::size_t>(size) < buffer.size()) {
      target.assign(buffer.data(), static_cast<std::size_t>(size));
      break;
    }
    buffer.resize(buffer.size() * 2);
  }
  if (!target.empty() && target[0] != '/' &&
      link.find('/') != std::string::npos)
    target = folderOf(link) + "/" + target;
  return true;
}

// The bits a new file gets from the process's umask.
mode_t newFileMode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return static_cast<mode_t>(0666 & ~mask);
}

#endif

}  // namespace

FileReplacement::~FileReplacement() { discard(); }

void FileReplacement::fail(text::Error& error, const std::string& message) {
  error.line = 0;
  error.message = message;
  discard();
}

#if defined(_WIN32)

void FileReplacement::discard() {
  if (handle_ != nullptr) {
    CloseHandle(static_cast<HANDLE>(handle_));
    handle_ = nullptr;
  }
  if (!temporary_.empty()) {
    DeleteFileA(temporary_.c_str());
    temporary_.clear();
  }
}

bool FileReplacement::begin(const std::string& path, text::Error& error) {
  path_ = target_ = path;
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
      fail(error, "is a directory");
      return false;
    }
    // Opening follows the links; what it reaches is the file to replace.
    HANDLE file = CreateFileA(
        path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      const DWORD why = GetLastError();
      if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        fail(error, why == ERROR_CANT_RESOLVE_FILENAME
                        ? "its symbolic links go round in a loop"
                        : "it is a symbolic link to nothing (" +
                              systemReason(why) + ")");
        return false;
      }
    } else {
      const bool disk = GetFileType(file) == FILE_TYPE_DISK;
      if (disk && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        char resolved[MAX_PATH * 4];
        const DWORD size = GetFinalPathNameByHandleA(
            file, resolved, sizeof resolved, FILE_NAME_NORMALIZED);
        if (size > 0 && size < sizeof resolved) {
          target_.assign(resolved, size);
          // "\\?\C:\..." names a drive's file as plainly "C:\..." does.
          if (target_.compare(0, 4, "\\\\?\\") == 0 &&
              target_.compare(4, 4, "UNC\\") != 0)
            target_.erase(0, 4);
        }
      }
      CloseHandle(file);
      if (!disk) {
        fail(error, "not a regular file");
        return false;
      }
    }
  }
  char name[MAX_PATH + 16];
  if (GetTempFileNameA(folderOf(target_).c_str(), "dxf", 0, name) == 0) {
    fail(error, "cannot write " + quoted(path_) + ": " + lastReason());
    return false;
  }
  temporary_ = name;
  HANDLE file = CreateFileA(name, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    fail(error, "cannot write " + quoted(path_) + ": " + lastReason());
    return false;
  }
  handle_ = file;
  return true;
}

bool FileReplacement::write(const char* data, std::size_t size,
                            text::Error& error) {
  while (size > 0) {
    const DWORD chunk =
        static_cast<DWORD>(size < (1u << 30) ? size : (1u << 30));
    DWORD written = 0;
    if (!WriteFile(static_cast<HANDLE>(handle_), data, chunk, &written,
                   nullptr) ||
        written == 0) {
      fail(error, "cannot write " + quoted(path_) + ": " + lastReason());
      return false;
    }
    data += written;
    size -= written;
  }
  return true;
}

bool FileReplacement::commit(text::Error& error) {
  HANDLE file = static_cast<HANDLE>(handle_);
  handle_ = nullptr;
  const bool flushed = FlushFileBuffers(file) != 0;
  const std::string reason = flushed ? std::string() : lastReason();
  CloseHandle(file);
  if (!flushed) {
    fail(error, "cannot write " + quoted(path_) + ": " + reason);
    return false;
  }
  // The write-through flag returns only once the move is on the disk.
  if (!MoveFileExA(temporary_.c_str(), target_.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    fail(error, "cannot replace " + quoted(path_) + ": " + lastReason());
    return false;
  }
  temporary_.clear();
  return true;
}

#else

void FileReplacement::discard() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  if (!temporary_.empty()) {
    ::unlink(temporary_.c_str());
    temporary_.clear();
  }
}

bool FileReplacement::begin(const std::string& path, text::Error& error) {
  path_ = target_ = path;
  // Links are followed one at a time, so that a link to nothing can be
  // told from a new file; as many as the system itself follows.
  constexpr int kMostLinks = 40;
  struct stat existing;
  bool exists = false;
  for (int links = 0;; ++links) {
    if (::lstat(target_.c_str(), &existing) != 0) {
      if (errno != ENOENT) {
        fail(error, "cannot write " + quoted(path_) + ": " + lastReason());
        return false;
      }
      if (links > 0) {
        fail(error, "it is a symbolic link to " + quoted(target_) +
                        ", which does not exist");
        return false;
      }
      break;
    }
    if (!S_ISLNK(existing.st_mode)) {
      exists = true;
      break;
    }
    std::string next;
    if (links == kMostLinks || !linkTarget(target_, next)) {
      if (links == kMostLinks) errno = ELOOP;
      fail(error,
           "its symbolic links go round in a loop (" + lastReason() + ")");
      return false;
    }
    target_ = next;
  }
  if (exists && S_ISDIR(existing.st_mode)) {
    fail(error, "is a directory");
    return false;
  }
  if (exists && !S_ISREG(existing.st_mode)) {
    fail(error, "not a regular file");
    return false;
  }
  std::string name = target_ + ".XXXXXX";
  fd_ = ::mkstemp(&name[0]);
  if (fd_ < 0) {
    fail(error, "cannot write " + quoted(path_) + ": " + lastReason());
    return false;
  }
  temporary_ = name;
  // The drawing keeps who may read it; a new one gets what any new file
  // would. Owner and group follow when the process may give them.
  const mode_t mode =
      exists ? static_cast<mode_t>(existing.st_mode & 07777) : newFileMode();
  if (::fchmod(fd_, mode) != 0) {
    fail(error, "cannot write " + quoted(path_) + ": " + lastReason());
    return false;
  }
  if (exists && ::fchown(fd_, existing.st_uid, existing.st_gid) != 0)
    (void)!::fchown(fd_, static_cast<uid_t>(-1), existing.st_gid);
  return true;
}

bool FileReplacement::write(const char* data, std::size_t size,
                            text::Error& error) {
  while (size > 0) {
    const ssize_t written = ::write(fd_, data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      if (written == 0) errno = EIO;
      fail(error, "cannot write " + quoted(path_) + ": " + lastReason());
      return false;
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

bool FileReplacement::commit(text::Error& error) {
  // On the disk before it takes the old file's place: a power cut then
  // leaves the old drawing or the new one, never a torn one.
  if (::fsync(fd_) != 0) {
    fail(error, "cannot write " + quoted(path_) + ": " + lastReason());
    return false;
  }
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) {
    fail(error, "cannot write " + quoted(path_) + ": " + lastReason());
    return false;
  }
  if (::rename(temporary_.c_str(), target_.c_str()) != 0) {
    fail(error, "cannot replace " + quoted(path_) + ": " + lastReason());
    return false;
  }
  temporary_.clear();
  // The rename lives in the folder; a folder the system cannot flush (some
  // file systems refuse) leaves the new file in place all the same.
  const int folder = ::open(folderOf(target_).c_str(), O_RDONLY | O_DIRECTORY);
  if (folder >= 0) {
    ::fsync(folder);
    ::close(folder);
  }
  return true;
}

#endif

}  // namespace dxf
