// Reading a command record back: one line saying what the robot is asked to
// do. Shared by quorvel-cli decode and the card watcher.
#pragma once
#include <string>
#include <string_view>

namespace quorvel {

// "short voice 123", "timed voice 123 ticks 6 interval 25 volume-step 2",
// "arithmetic 3 + 4 (op 1)", "run program"; "invalid ..." for anything else.
std::string DescribeRecord(std::string_view bytes);

}  // namespace quorvel
