// File operations the transports need, on native (UTF-8, '/') paths: the
// exclusive whole-file write of the command file, the program copy, and the
// mount point that stands in for a card's drive root.
#pragma once
#include <string>

namespace quorvel::platform {

bool PathExists(const std::string& native);

struct WriteOutcome {
  enum Kind { Ok, OpenFailed, WriteFailed } kind = Ok;
  int error = 0;  // errno of the failed step
};

// Creates or truncates the file and writes bytes as its whole content. The
// open takes an exclusive non-blocking lock; a file held locked by another
// opener, a missing folder, or a read-only file (its mode grants no write,
// whoever we are) fail the open. A failing write, flush or close after a good
// open is a WriteFailed.
WriteOutcome WriteWholeFileExclusive(const std::string& native, const std::string& bytes);

// Writes bytes as the whole of dst through a temporary file beside it that is
// synced and renamed into place: dst is the old file or the complete new one.
bool WriteFileReplacing(const std::string& dst, const std::string& bytes);

// Copies src over dst (replacing it) through a temporary file beside dst, so
// dst is either the old file or a complete copy. False when anything failed.
bool CopyFileReplacing(const std::string& src, const std::string& dst);

// Reads a whole file; false when it cannot be opened or read.
bool ReadWholeFile(const std::string& native, std::string& bytes);

// The mount point of the file system holding path (or, when path does not
// exist, its nearest existing ancestor), with a trailing '/'. Empty for a
// relative or empty path.
std::string MountPointOf(const std::string& native);

}  // namespace quorvel::platform
