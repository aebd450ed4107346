// quorvel-cli as scripts use it: output, exit codes.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <sys/wait.h>

#include "test_util.h"

namespace quorvel {
namespace {

struct Result {
  int exitCode;
  std::string out;
};

Result RunCli(const std::string& args) {
  std::string cmd = std::string(QUORVEL_CLI) + " " + args + " 2>/dev/null";
  FILE* p = popen(cmd.c_str(), "r");
  std::string out;
  std::array<char, 4096> buf{};
  while (std::size_t n = fread(buf.data(), 1, buf.size(), p)) out.append(buf.data(), n);
  int status = pclose(p);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

TEST(Cli, RecordVerbs) {
  struct Case {
    std::string args, out;
    int code;
  } cases[] = {
      {"record voice 123", "FE FF 7B 00 00 00 00 00 00 00 00 00 00 00 00 00\n", 0},
      {"record voice 123 --duration 3 --dataset 2",
       "FF FF 7B 00 06 00 19 00 02 00 00 00 00 00 00 00\n", 0},
      {"record voice 123 --duration 3 --volume 100 --dataset 3 --interval 500",
       "FF FF 7B 00 0C 00 0C 00 00 00 00 00 00 00 00 00\n", 0},
      {"record run", "FE FF 88 03 00 00 00 00 00 00 00 00 00 00 00 00\n", 0},
      {"record arithmetic '12×300'", "FE FF 8F 03 03 00 0C 00 2C 01 00 00 00 00 00 00\n", 0},
      {"record arithmetic hello", "", 1},
      {"parse 3+4", "{\"op\": 1, \"left\": 3, \"right\": 4}\n", 0},
      {"parse 'はち わる 2'", "{\"op\": 4, \"left\": 0, \"right\": 2}\n", 0},
      {"parse none", "{\"op\": 0, \"left\": 0, \"right\": 0}\n", 1},
      {"record", "", 2},
      {"frobnicate", "", 2},
      {"record voice", "", 2},
      {"catalogue --dataset 9 x.xml", "", 2},
  };
  for (const auto& c : cases) {
    Result r = RunCli(c.args);
    EXPECT_EQ(r.exitCode, c.code) << c.args;
    EXPECT_EQ(r.out, c.out) << c.args;
  }
}

TEST(Cli, HelpForEveryVerb) {
  for (const char* verb : {"", "catalogue", "parse", "record", "record voice"}) {
    Result r = RunCli(std::string(verb) + " --help");
    EXPECT_EQ(r.exitCode, 0) << verb;
    EXPECT_NE(r.out.find("Usage"), std::string::npos) << verb;
  }
}

TEST(Cli, CatalogueAsJson) {
  test::TempDir dir;
  test::WriteFile(dir / "c.xml", "<P valstr=\"105,4,2\">/" + test::S("テモ") + "/" +
                                     test::S("みていぎ") + ";</P>\r\n"
                                     "<P valstr=\"-1\">/UNDEFINE/x;</P>\r\n");
  Result r = RunCli("catalogue " + (dir / "c.xml"));
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out,
            "{\"undefinedIndex\": 1, \"items\": ["
            "{\"name\": \"テモ\", \"reading\": null, \"programPath\": null, "
            "\"voiceId\": 105, \"duration\": 4, \"flags\": 2}, "
            "{\"name\": \"UNDEFINE\", \"reading\": \"x\", \"programPath\": null, "
            "\"voiceId\": -1, \"duration\": 0, \"flags\": 0}]}\n");
  EXPECT_EQ(RunCli("catalogue " + (dir / "missing.xml")).exitCode, 1);
  EXPECT_EQ(RunCli("catalogue --capacity 1 " + (dir / "c.xml")).exitCode, 1);
  Result prog = RunCli("catalogue --dataset 4 " + (dir / "missing.xml"));
  EXPECT_EQ(prog.exitCode, 0);
  EXPECT_EQ(prog.out, "{\"undefinedIndex\": -1, \"items\": []}\n");
}

TEST(Cli, ScansTheDemoPrograms) {
  Result r = RunCli(std::string("catalogue --dataset 4 --scan ") + QUORVEL_DEMO_DIR + "/programs " +
                 QUORVEL_DEMO_DIR + "/Program.xml");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.out.find("\"flags\": 1"), std::string::npos);
}

}  // namespace
}  // namespace quorvel
