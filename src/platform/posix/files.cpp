#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <random>

#include "platform/sjis.h"

namespace quorvel::platform {
namespace fs = std::filesystem;

namespace {

std::atomic<int> gWriteFault{0};

// A file descriptor closed when it goes out of scope.
class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() { Reset(); }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  bool ok() const { return fd_ >= 0; }
  void Reset(int fd = -1) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }
  // Closes now and reports the close's own failure (errno, 0 on success).
  int Close() {
    int fd = fd_;
    fd_ = -1;
    return fd >= 0 && ::close(fd) != 0 ? errno : 0;
  }

 private:
  int fd_;
};

// Writes all of bytes to fd; the errno of a failure, 0 on success.
int WriteAll(int fd, const std::string& bytes) {
  if (int fault = gWriteFault.load()) return fault;
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return n < 0 ? errno : EIO;
    done += static_cast<std::size_t>(n);
  }
  return 0;
}

bool ReadAll(int fd, std::string& out) {
  char buf[65536];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    out.append(buf, static_cast<std::size_t>(n));
  }
}

// Folder and name of a path; "." for a bare name.
std::pair<std::string, std::string> SplitPath(const std::string& native) {
  std::size_t slash = native.rfind('/');
  if (slash == std::string::npos) return {".", native};
  return {slash == 0 ? "/" : native.substr(0, slash), native.substr(slash + 1)};
}

// A name in folder dirfd made for this write alone: created exclusively, so
// nothing planted under a guessed name is written through.
int CreateFresh(int dirfd, const std::string& stem, mode_t mode, std::string& name) {
  static thread_local std::mt19937_64 random{std::random_device{}()};
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = stem + std::to_string(random() % 1000000000ULL);
    int fd = ::openat(dirfd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                      mode);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

// The temporary files of one target share this stem, so a later rewrite
// can find those a killed run left behind.
std::string TempStem(const std::string& name) { return "." + name + ".quorvel-"; }

// Removes temporary files of name left in dirfd. Only called under the
// folder's rewrite lock, when no live writer can own one.
void SweepTemps(int dirfd, const std::string& name) {
  int dup = ::fcntl(dirfd, F_DUPFD_CLOEXEC, 0);
  if (dup < 0) return;
  DIR* dir = ::fdopendir(dup);
  if (!dir) {
    ::close(dup);
    return;
  }
  const std::string stem = TempStem(name);
  while (dirent* e = ::readdir(dir)) {
    std::string entry = e->d_name;
    if (entry.size() > stem.size() && entry.compare(0, stem.size(), stem) == 0)
      ::unlinkat(dirfd, entry.c_str(), 0);
  }
  ::closedir(dir);
}

// Writes bytes into a fresh file in dirfd and renames it over name. like
// (when given) lends its mode and, where permitted, its owner. 0 or errno.
int ReplaceByRename(int dirfd, const std::string& name, const std::string& bytes,
                    const struct stat* like) {
  std::string tmp;
  Fd fd(CreateFresh(dirfd, TempStem(name), like ? 0600 : 0666, tmp));
  if (!fd.ok()) return errno;
  int e = WriteAll(fd.get(), bytes);
  if (!e && like) {
    // Owner first: a change of owner may clear the set-id bits of the mode.
    if (::fchown(fd.get(), like->st_uid, like->st_gid) != 0)
      (void)!::fchown(fd.get(), static_cast<uid_t>(-1), like->st_gid);
    if (::fchmod(fd.get(), like->st_mode & 07777) != 0) e = errno;
  }
  if (!e && ::fsync(fd.get()) != 0) e = errno;
  if (int c = fd.Close(); !e) e = c;
  if (!e && ::renameat(dirfd, tmp.c_str(), dirfd, name.c_str()) != 0) e = errno;
  if (e) ::unlinkat(dirfd, tmp.c_str(), 0);
  return e;
}

// Rewrites an existing regular file in place (its folder takes no new
// file); on a failure the old content is put back as well as can be.
int RewriteInPlace(const std::string& path, const std::string& old, const std::string& bytes) {
  Fd fd(::open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (!fd.ok()) return errno;
  int e = WriteAll(fd.get(), bytes);
  if (!e && ::ftruncate(fd.get(), static_cast<off_t>(bytes.size())) != 0) e = errno;
  if (!e && ::fsync(fd.get()) != 0) e = errno;
  if (e && ::lseek(fd.get(), 0, SEEK_SET) == 0 && ::write(fd.get(), old.data(), old.size()) >= 0)
    (void)!::ftruncate(fd.get(), static_cast<off_t>(old.size()));
  if (int c = fd.Close(); !e) e = c;
  return e;
}

// The card's folder of a card file, opened without following a link in its
// last part, and the file's name in it. A name that is there must be a
// regular file.
int OpenCardFolder(const std::string& native, Fd& dir, std::string& name) {
  auto [folder, base] = SplitPath(native);
  name = base;
  if (name.empty()) return EISDIR;
  dir.Reset(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (!dir.ok()) return errno;
  struct stat st;
  if (::fstatat(dir.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && !S_ISREG(st.st_mode))
    return S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
  return 0;
}

}  // namespace

bool PathExists(const std::string& native) {
  struct stat st;
  return !native.empty() && ::stat(native.c_str(), &st) == 0;
}

bool ReadWholeFile(const std::string& native, std::string& bytes) {
  // Non-blocking open: a FIFO where a file should be is refused, not waited on.
  Fd fd(::open(native.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (!fd.ok()) return false;
  struct stat st;
  if (::fstat(fd.get(), &st) != 0) return false;
  if (!S_ISREG(st.st_mode)) {
    errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    return false;
  }
  std::string out;
  if (!ReadAll(fd.get(), out)) return false;
  bytes = std::move(out);
  return true;
}

WriteOutcome WriteCardFile(const std::string& native, const std::string& bytes) {
  Fd dir;
  std::string name;
  if (int e = OpenCardFolder(native, dir, name)) return {WriteOutcome::OpenFailed, e};
  // Not O_TRUNC: the file is emptied only once the lock is ours. O_NOFOLLOW
  // and O_NONBLOCK: a link or FIFO planted since the check still fails here.
  Fd fd(::openat(dir.get(), name.c_str(),
                 O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666));
  if (!fd.ok()) return {WriteOutcome::OpenFailed, errno};
  struct stat st;
  if (::fstat(fd.get(), &st) != 0) return {WriteOutcome::OpenFailed, errno};
  if (!S_ISREG(st.st_mode)) return {WriteOutcome::OpenFailed, EINVAL};
  // A read-only file stays read-only even for root, as on the card's own system.
  if ((st.st_mode & 0222) == 0) return {WriteOutcome::OpenFailed, EACCES};
  if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) return {WriteOutcome::OpenFailed, errno};
  if (::ftruncate(fd.get(), 0) != 0) return {WriteOutcome::OpenFailed, errno};
  if (int e = WriteAll(fd.get(), bytes)) return {WriteOutcome::WriteFailed, e};
  // The card may be pulled right after: make the record reach the medium.
  if (::fsync(fd.get()) != 0 && errno != EINVAL) return {WriteOutcome::WriteFailed, errno};
  if (int e = fd.Close()) return {WriteOutcome::WriteFailed, e};
  return {};
}

int CopyToCard(const std::string& src, const std::string& dst) {
  std::string data;
  if (!ReadWholeFile(src, data)) return errno;
  Fd dir;
  std::string name;
  if (int e = OpenCardFolder(dst, dir, name)) return e;
  if (::flock(dir.get(), LOCK_EX) != 0) return errno;
  SweepTemps(dir.get(), name);
  return ReplaceByRename(dir.get(), name, data, nullptr);
}

int RewriteFile(const std::string& native,
                const std::function<std::optional<std::string>(const std::string&)>& edit) {
  // The file itself is rewritten where a link points, so the link stays.
  std::string target = native;
  struct stat st;
  if (::lstat(native.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    char* real = ::realpath(native.c_str(), nullptr);
    if (!real) return errno;  // a dangling link: there is no file to update
    target = real;
    std::free(real);
  }
  auto [folder, name] = SplitPath(target);
  Fd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!dir.ok()) return errno;
  if (::flock(dir.get(), LOCK_EX) != 0) return errno;

  const bool exists = ::fstatat(dir.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
  if (exists) {
    if (!S_ISREG(st.st_mode)) return S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    // Read-only is read-only for root too, as the file's owner meant it.
    if ((st.st_mode & 0222) == 0 || ::faccessat(dir.get(), name.c_str(), W_OK, 0) != 0)
      return EACCES;
  }
  std::string old;
  if (exists && !ReadWholeFile(target, old)) return errno;
  std::optional<std::string> bytes = edit(old);
  if (!bytes) return 0;

  SweepTemps(dir.get(), name);
  int e = ReplaceByRename(dir.get(), name, *bytes, exists ? &st : nullptr);
  if ((e == EACCES || e == EPERM || e == EROFS) && exists && ::faccessat(dir.get(), ".", W_OK, 0) != 0)
    e = RewriteInPlace(target, old, *bytes);
  return e;
}

std::string MountPointOf(const std::string& native) {
  if (native.empty() || native[0] != '/') return "";
  fs::path p = fs::path(native).lexically_normal();
  struct stat st;
  while (::stat(p.c_str(), &st) != 0) {
    if (p == p.root_path()) return "/";
    p = p.parent_path();
  }
  dev_t dev = st.st_dev;
  while (p != p.root_path()) {
    fs::path parent = p.parent_path();
    if (::stat(parent.c_str(), &st) != 0 || st.st_dev != dev) break;
    p = parent;
  }
  std::string out = p.string();
  if (out.empty() || out.back() != '/') out += '/';
  return out;
}

bool ListFiles(const std::string& nativeFolder, std::string_view suffix,
               std::vector<std::string>& names) {
  std::error_code ec;
  fs::directory_iterator it(nativeFolder.empty() ? "." : nativeFolder, ec);
  if (ec) return false;
  auto upper = [](std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
  };
  const std::string wanted = upper(std::string(suffix));
  std::vector<std::string> out;
  for (const auto& entry : it) {
    if (entry.is_directory(ec)) continue;
    std::string name;
    auto converted = sjis::FromUtf8(entry.path().filename().string());
    if (!converted) continue;  // a name Shift_JIS cannot hold cannot be sent either
    name = std::move(*converted);
    if (name.size() >= wanted.size() && upper(name.substr(name.size() - wanted.size())) == wanted)
      out.push_back(std::move(name));
  }
  names = std::move(out);
  return true;
}

namespace testing {
void FailWritesWith(int error) { gWriteFault.store(error); }
}  // namespace testing

}  // namespace quorvel::platform
