// Arguments and standard streams on Linux: UTF-8 bytes already.
#include "platform/console.h"

namespace quorvel::platform {

std::vector<std::string> Utf8Arguments(int argc, char** argv) { return {argv, argv + argc}; }

void UseUtf8Console() {}

}  // namespace quorvel::platform
