// The core's one way to read and write files, on native (UTF-8, '/') paths:
// reading a whole regular file; writing the card's files (the command file
// and the program copy) as regular files inside the card's ADDON folder only;
// rewriting the files the user keeps (catalogues, the INI) whole, at the
// target of a link, with their mode and owner. A folder, FIFO or device where
// a file should be is refused at once, never waited on or written through.
#pragma once
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::platform {

bool PathExists(const std::string& native);

// Reads a whole regular file; false (errno set) when it cannot be opened or
// read, or is no regular file.
bool ReadWholeFile(const std::string& native, std::string& bytes);

struct WriteOutcome {
  enum Kind { Ok, OpenFailed, WriteFailed } kind = Ok;
  int error = 0;  // errno of the failed step
};

// Writes bytes as the whole content of a file on the card, in place, as the
// command file is written. The file's folder is opened without following a
// link, and the file itself must be missing or a regular file there (a link,
// FIFO, device or folder fails the open). The open takes an exclusive
// non-blocking lock; a file locked by another opener, a missing folder or a
// read-only file (its mode grants no write, whoever we are) fail the open. A
// failing write, flush or close after a good open is a WriteFailed.
WriteOutcome WriteCardFile(const std::string& native, const std::string& bytes);

// Copies src over dst, a file on the card, through a fresh temporary file in
// dst's folder that replaces dst whole once complete: dst is the old file or
// a complete copy. The same rules for dst's folder and dst as above. 0, or
// the errno of what failed.
int CopyToCard(const std::string& src, const std::string& dst);

// Rewrites a file the user keeps: edit gets the current content ("" when
// there is none) and gives the new one, or nothing to leave the file alone.
// Rewrites of files in one folder are serialised across processes, so a
// read-modify-write loses no other writer's change. A link is followed and
// its target rewritten (the link stays); the file keeps its mode and, where
// permitted, its owner; a read-only file is left alone (EACCES). The new
// content goes to a fresh temporary file that replaces the file whole; when
// the folder cannot take one, a writable file is rewritten in place, and put
// back as it was if that fails. Temporary files of a run that was killed are
// removed by the next rewrite. Returns 0, or the errno of the failure.
int RewriteFile(const std::string& native,
                const std::function<std::optional<std::string>(const std::string&)>& edit);

// The root of the file system holding path (or, when path does not exist,
// its nearest existing ancestor), with a trailing separator: a mount point on
// Linux, a drive or volume on Windows. Empty for a relative or empty path.
std::string MountPointOf(const std::string& native);

// The names (internal form) of the files in a folder whose names end in
// suffix, letter case ignored, in the order the system lists them; folders
// are left out. False when the folder cannot be listed.
bool ListFiles(const std::string& nativeFolder, std::string_view suffix,
               std::vector<std::string>& names);

namespace testing {
// Makes every write of file content fail with error (0: writes work again),
// as a full or failing medium would; what a test uses where a real full card
// cannot be had.
void FailWritesWith(int error);
}  // namespace testing

}  // namespace quorvel::platform
