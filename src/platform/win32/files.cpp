// Files on Windows through the system's own functions: the command file is
// created whole with CreateFile (CREATE_ALWAYS, shared with nobody), the
// program copy made with CopyFile, the user's files replaced whole. The "W"
// forms, with native (UTF-8) names in UTF-16: the "A" forms read names in the
// ANSI code page, which holds no Japanese name outside Japan.
#include <windows.h>
#include <shlwapi.h>

#include <algorithm>
#include <atomic>
#include <cerrno>

#include "platform/files.h"
#include "platform/sjis.h"
#include "platform/win32/wide.h"

namespace quorvel::platform {
namespace {

std::atomic<int> gWriteFault{0};

// The system's error as the errno the callers' messages are chosen by.
int ErrnoOf(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH: return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT: return EACCES;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return EBUSY;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return ENOSPC;
    case ERROR_NOT_READY:
    case ERROR_DEV_NOT_EXIST: return ENODEV;
    case ERROR_FILENAME_EXCED_RANGE: return ENAMETOOLONG;
    default: return EIO;
  }
}

int LastErrno() { return ErrnoOf(GetLastError()); }

class Handle {
 public:
  explicit Handle(HANDLE h = INVALID_HANDLE_VALUE) : h_(h) {}
  ~Handle() { Close(); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE get() const { return h_; }
  bool ok() const { return h_ != INVALID_HANDLE_VALUE; }
  void Reset(HANDLE h) {
    Close();
    h_ = h;
  }
  // Closes now; the errno of a failed close, 0 on success.
  int Close() {
    HANDLE h = h_;
    h_ = INVALID_HANDLE_VALUE;
    return h != INVALID_HANDLE_VALUE && !CloseHandle(h) ? LastErrno() : 0;
  }

 private:
  HANDLE h_;
};

int WriteAll(HANDLE h, const std::string& bytes) {
  if (int fault = gWriteFault.load()) return fault;
  std::size_t done = 0;
  while (done < bytes.size()) {
    DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1 << 20));
    DWORD written = 0;
    if (!WriteFile(h, bytes.data() + done, chunk, &written, nullptr)) return LastErrno();
    if (written == 0) return EIO;
    done += written;
  }
  return FlushFileBuffers(h) ? 0 : LastErrno();
}

// A disk file (not a device, pipe or console named like a file).
bool IsDiskFile(HANDLE h) { return GetFileType(h) == FILE_TYPE_DISK; }

using win32::Wide;

std::string FolderOf(const std::string& path) {
  std::size_t sep = path.find_last_of("\\/");
  return sep == std::string::npos ? "." : path.substr(0, sep);
}

std::string NameOf(const std::string& path) {
  std::size_t sep = path.find_last_of("\\/");
  return sep == std::string::npos ? path : path.substr(sep + 1);
}

std::string TempStem(const std::string& path) {
  return FolderOf(path) + "\\." + NameOf(path) + ".quorvel-";
}

// Removes temporary files a killed run left beside path.
void SweepTemps(const std::string& path) {
  WIN32_FIND_DATAW found;
  const std::string stem = TempStem(path);
  HANDLE find = FindFirstFileW(Wide(stem + "*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    DeleteFileW((Wide(FolderOf(path) + "\\") + found.cFileName).c_str());
  } while (FindNextFileW(find, &found));
  FindClose(find);
}

// A fresh name beside path, created exclusively and open for writing.
std::string CreateFresh(const std::string& path, Handle& out) {
  const std::string stem = TempStem(path) + std::to_string(GetCurrentProcessId()) + "-";
  for (unsigned n = 0; n < 100; ++n) {
    std::string name = stem + std::to_string(GetTickCount64() % 100000 + n);
    HANDLE h = CreateFileW(Wide(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      out.Reset(h);
      return name;
    }
    if (GetLastError() != ERROR_FILE_EXISTS) return "";
  }
  return "";
}

// Rewrites of the user's files are one at a time across processes.
class RewriteLock {
 public:
  RewriteLock() : mutex_(CreateMutexA(nullptr, FALSE, "Quorvel.rewrite")) {
    if (mutex_) WaitForSingleObject(mutex_, 10000);
  }
  ~RewriteLock() {
    if (!mutex_) return;
    ReleaseMutex(mutex_);
    CloseHandle(mutex_);
  }
  RewriteLock(const RewriteLock&) = delete;
  RewriteLock& operator=(const RewriteLock&) = delete;

 private:
  HANDLE mutex_;
};

// Replaces path with bytes through a fresh file; the old file or the new, never half.
int ReplaceWhole(const std::string& path, const std::string& bytes, bool exists) {
  Handle h;
  const std::string temp = CreateFresh(path, h);
  if (temp.empty()) return LastErrno();
  int e = WriteAll(h.get(), bytes);
  if (int c = h.Close(); !e) e = c;
  if (!e) {
    // ReplaceFileA keeps the old file's attributes and permissions.
    BOOL done = exists ? ReplaceFileW(Wide(path).c_str(), Wide(temp).c_str(), nullptr,
                                      REPLACEFILE_WRITE_THROUGH, nullptr, nullptr)
                       : MoveFileExW(Wide(temp).c_str(), Wide(path).c_str(), MOVEFILE_WRITE_THROUGH);
    if (!done) e = LastErrno();
  }
  if (e) DeleteFileW(Wide(temp).c_str());
  return e;
}

}  // namespace

bool PathExists(const std::string& native) {
  return !native.empty() && PathFileExistsW(Wide(native).c_str());
}

bool ReadWholeFile(const std::string& native, std::string& bytes) {
  Handle h(CreateFileW(Wide(native).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!h.ok()) {
    errno = LastErrno();
    return false;
  }
  if (!IsDiskFile(h.get())) {
    errno = EINVAL;
    return false;
  }
  std::string out;
  char buf[65536];
  for (;;) {
    DWORD n = 0;
    if (!ReadFile(h.get(), buf, sizeof buf, &n, nullptr)) {
      errno = LastErrno();
      return false;
    }
    if (n == 0) break;
    out.append(buf, n);
  }
  bytes = std::move(out);
  return true;
}

WriteOutcome WriteCardFile(const std::string& native, const std::string& bytes) {
  // A read-only file stays read-only, whoever we are (CREATE_ALWAYS would
  // replace it for an administrator).
  const DWORD attributes = GetFileAttributesW(Wide(native).c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
    return {WriteOutcome::OpenFailed, EACCES};
  // Shared with nobody while it is written: the robot never reads half a record.
  Handle h(CreateFileW(Wide(native).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!h.ok()) return {WriteOutcome::OpenFailed, LastErrno()};
  if (!IsDiskFile(h.get())) return {WriteOutcome::OpenFailed, EINVAL};
  if (int e = WriteAll(h.get(), bytes)) return {WriteOutcome::WriteFailed, e};
  if (int e = h.Close()) return {WriteOutcome::WriteFailed, e};
  return {};
}

int CopyToCard(const std::string& src, const std::string& dst) {
  if (int fault = gWriteFault.load()) return fault;
  SweepTemps(dst);
  // Copied beside the old copy first, then put in its place: a card pulled
  // mid-copy keeps the old program, not half of the new one.
  Handle h;
  const std::string temp = CreateFresh(dst, h);
  if (temp.empty()) return LastErrno();
  h.Close();
  int e = 0;
  if (!CopyFileW(Wide(src).c_str(), Wide(temp).c_str(), FALSE) ||
      !MoveFileExW(Wide(temp).c_str(), Wide(dst).c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    e = LastErrno();
  if (e) DeleteFileW(Wide(temp).c_str());
  return e;
}

int RewriteFile(const std::string& native,
                const std::function<std::optional<std::string>(const std::string&)>& edit) {
  RewriteLock lock;
  const DWORD attributes = GetFileAttributesW(Wide(native).c_str());
  const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
  if (exists) {
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return EISDIR;
    if (attributes & FILE_ATTRIBUTE_READONLY) return EACCES;
  }
  std::string old;
  if (exists && !ReadWholeFile(native, old)) return errno;
  std::optional<std::string> bytes = edit(old);
  if (!bytes) return 0;
  SweepTemps(native);
  return ReplaceWhole(native, *bytes, exists);
}

std::string MountPointOf(const std::string& native) {
  wchar_t volume[MAX_PATH + 1] = {};
  if (native.empty() || PathIsRelativeW(Wide(native).c_str())) return "";
  if (!GetVolumePathNameW(Wide(native).c_str(), volume, MAX_PATH)) return "";
  std::string out = win32::Utf8(volume);
  if (out.empty() || (out.back() != '\\' && out.back() != '/')) out += '\\';
  return out;
}

bool ListFiles(const std::string& nativeFolder, std::string_view suffix,
               std::vector<std::string>& names) {
  WIN32_FIND_DATAW found;
  const std::string folder = nativeFolder.empty() ? "." : nativeFolder;
  HANDLE find = FindFirstFileW(Wide(folder + "\\*" + std::string(suffix)).c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) {
    const DWORD e = GetLastError();
    names.clear();
    return e == ERROR_FILE_NOT_FOUND;  // a folder without such files
  }
  std::vector<std::string> out;
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    // The pattern also matches short 8.3 names ("x.txab" as X~1.TXA): the
    // long name must end in the suffix itself.
    auto name = sjis::FromUtf8(win32::Utf8(found.cFileName));
    if (!name) continue;  // a name Shift_JIS cannot hold cannot be sent either
    if (name->size() >= suffix.size() &&
        _stricmp(name->c_str() + name->size() - suffix.size(), std::string(suffix).c_str()) == 0)
      out.push_back(std::move(*name));
  } while (FindNextFileW(find, &found));
  FindClose(find);
  names = std::move(out);
  return true;
}

namespace testing {
void FailWritesWith(int error) { gWriteFault.store(error); }
}  // namespace testing

}  // namespace quorvel::platform
