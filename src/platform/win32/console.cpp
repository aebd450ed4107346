// Arguments and standard streams on Windows: the arguments come from the
// wide command line (argv is in the ANSI code page, which cannot hold every
// name), output is UTF-8 in binary mode so files get LF line ends as on Linux.
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>

#include "platform/console.h"
#include "platform/win32/wide.h"

namespace quorvel::platform {

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!wide) return {argv, argv + argc};
  std::vector<std::string> out;
  for (int i = 0; i < count; ++i) out.push_back(win32::Utf8(wide[i]));
  LocalFree(wide);
  return out;
}

void UseUtf8Console() {
  SetConsoleOutputCP(CP_UTF8);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
}

}  // namespace quorvel::platform
