// What the fuzz targets share: a file holding the input (in memory, so a
// million runs touch no disk), and a check that stops the run on a broken
// invariant with a message, as a crash would.
#pragma once
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace quorvel::fuzz {

// Replaces the content of one in-memory file and gives its path.
inline std::string InputFile(const std::string& bytes) {
  static int fd = ::memfd_create("quorvel-fuzz", MFD_CLOEXEC);
  if (fd < 0 || ::ftruncate(fd, 0) != 0 || ::pwrite(fd, bytes.data(), bytes.size(), 0) !=
                                               static_cast<ssize_t>(bytes.size()))
    std::abort();
  return "/proc/self/fd/" + std::to_string(fd);
}

#define FUZZ_CHECK(cond)                                                       \
  do {                                                                         \
    if (!(cond)) {                                                             \
      std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, \
                   #cond);                                                     \
      std::abort();                                                            \
    }                                                                          \
  } while (0)

}  // namespace quorvel::fuzz
