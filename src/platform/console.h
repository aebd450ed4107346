// The command-line programs' side of the system: their arguments as UTF-8
// texts, and standard streams that carry UTF-8 and bytes as they are (no
// line-end translation), so their output is the same on every system.
#pragma once
#include <string>
#include <vector>

namespace quorvel::platform {

// The program's arguments, argv[0] included, in UTF-8.
std::vector<std::string> Utf8Arguments(int argc, char** argv);

// Standard output and error as byte streams of UTF-8.
void UseUtf8Console();

}  // namespace quorvel::platform
