// quorvel-cli as scripts use it: output, exit codes.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <functional>
#include <sys/wait.h>

#include "card_process.h"
#include "test_util.h"

namespace quorvel {
namespace {

struct Result {
  int exitCode;
  std::string out;
};

// Runs quorvel-cli with args (in folder cwd when given).
Result RunCli(const std::string& args, const std::string& cwd = "") {
  std::string cmd = (cwd.empty() ? "" : "cd '" + cwd + "' && ") + std::string(QUORVEL_CLI) + " " + args +
                    " 2>/dev/null";
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
  for (const char* verb : {"", "catalogue", "parse", "record", "record voice", "decode", "send", "register"}) {
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
  // A folder where the file should be is a file that cannot be read.
  EXPECT_EQ(RunCli("catalogue --dataset 0 " + dir.path().string()).exitCode, 1);
  Result prog = RunCli("catalogue --dataset 4 " + (dir / "missing.xml"));
  EXPECT_EQ(prog.exitCode, 0);
  EXPECT_EQ(prog.out, "{\"undefinedIndex\": -1, \"items\": []}\n");
}

// Registration as scripts prepare catalogues: the catalogue in the current
// folder is rewritten whole, or left as it is with the reason on stderr.
TEST(Cli, RegisterRewritesTheCatalogueOrLeavesIt) {
  namespace fs = std::filesystem;
  test::TempDir dir;
  const std::string cat = dir / "Ninshiki.xml", victim = dir / "victim.xml";
  const std::string original = "<P valstr=\"1,2\">/" + test::S("テモ") + "/x;</P>\r\n";
  struct Case {
    const char* what;
    std::function<void()> plant;
    std::string args;
    int code;
    bool written;
  } cases[] = {
      {"plain", [] {}, "テモ てもです", 0, true},
      {"no such entry", [] {}, "ヌムレ ぬむれ", 1, false},
      {"no reading", [] {}, "テモ", 2, false},
      {"read-only", [&] { fs::permissions(cat, fs::perms(0444)); }, "テモ ても", 1, false},
      {"linked", [&] { fs::rename(cat, victim); fs::create_symlink(victim, cat); }, "テモ ても", 0, true},
      {"planted temporary", [&] { fs::create_symlink(victim, cat + ".new"); }, "テモ ても", 0, true},
  };
  for (const Case& c : cases) {
    for (const auto& e : fs::directory_iterator(dir.path())) fs::remove(e.path());
    test::WriteFile(cat, original);
    test::WriteFile(victim, "the user's own file");
    c.plant();
    const bool linked = fs::is_symlink(cat);
    Result r = RunCli("register --dataset 0 --ini " + dir / "q.ini" + " " + c.args, dir.path().string());
    EXPECT_EQ(r.exitCode, c.code) << c.what;
    const std::string after = test::ReadFile(cat);
    EXPECT_EQ(after != original, c.written) << c.what;
    if (c.written) {
      EXPECT_NE(after.find("<L propname=\"Ninshiki\">"), std::string::npos) << c.what;
    }
    EXPECT_EQ(fs::is_symlink(cat), linked) << c.what;
    if (!linked) {
      EXPECT_EQ(test::ReadFile(victim), "the user's own file") << c.what;
    }
    fs::permissions(cat, fs::perms(0644));
  }
}

TEST(Cli, ScansTheDemoPrograms) {
  Result r = RunCli(std::string("catalogue --dataset 4 --scan ") + QUORVEL_DEMO_DIR + "/programs " +
                 QUORVEL_DEMO_DIR + "/Program.xml");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.out.find("\"flags\": 1"), std::string::npos);
}

}  // namespace
}  // namespace quorvel

namespace quorvel {
namespace {

// Typed sends from the command line end in the card folder's REMOTE.LOG, and
// decode reads them back; a card folder that is not set up says which key to set.
TEST(Cli, SendAndDecodeThroughACardFolder) {
  test::TempDir dir;
  std::filesystem::create_directories(dir / "card/ADDON");
  test::WriteFile(dir / "card/ADDON/REMOTE.LOG", "");
  test::WriteFile(dir / "q.ini", "[REMOTE]\r\nREMOTE_DIR=" + dir / "card/" + "\r\n");
  test::WriteFile(dir / "none.ini", "[REMOTE]\r\nREMOTE_DIR=" + dir / "nowhere/" + "\r\n");
  test::WriteFile(dir / "off.ini", "[REMOTE]\r\nCONNECT_TYPE=0\r\n");
  const std::string log = dir / "card/ADDON/REMOTE.LOG";
  struct Case {
    std::string send;
    int code;
    std::string decoded;
  } cases[] = {
      {"--ini " + dir / "q.ini" + " '3+4'", 0, "arithmetic 3 + 4 (op 1)\n"},
      {"--ini " + dir / "q.ini" + " 123", 0, "short voice 123\n"},
      {"--ini " + dir / "none.ini" + " 5", 1, "short voice 123\n"},
      {"--ini " + dir / "off.ini" + " 5", 1, "short voice 123\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RunCli("send " + c.send).exitCode, c.code) << c.send;
    Result d = RunCli("decode " + log);
    EXPECT_EQ(d.exitCode, 0);
    EXPECT_EQ(d.out, c.decoded) << c.send;
  }
  std::string err = test::ReadFile("/dev/null");
  FILE* p = popen((std::string(QUORVEL_CLI) + " send --ini " + dir / "none.ini" + " 5 2>&1").c_str(), "r");
  char buf[1024];
  while (std::size_t n = fread(buf, 1, sizeof buf, p)) err.append(buf, n);
  pclose(p);
  EXPECT_NE(err.find("REMOTE/REMOTE_DIR"), std::string::npos) << err;
  test::WriteFile(dir / "short.LOG", "abc");
  EXPECT_EQ(RunCli("decode " + dir / "short.LOG").exitCode, 1);
  EXPECT_EQ(RunCli("send --card host:0 5").exitCode, 2);
  EXPECT_EQ(RunCli("send --card host:x 5").exitCode, 2);
}

TEST(Card, WatchPrintsEachNewCommandDecoded) {
  test::TempDir dir;
  std::filesystem::create_directories(dir / "card/ADDON");
  test::WriteFile(dir / "card/ADDON/REMOTE.LOG", std::string(16, '\0'));  // already there: not new
  test::WriteFile(dir / "q.ini", "[REMOTE]\r\nREMOTE_DIR=" + dir / "card/" + "\r\n");
  test::CardProcess watch({"watch", "--dir", dir / "card", "--interval-ms", "20"}, {});
  usleep(200 * 1000);  // let the watcher take its first look
  ASSERT_EQ(RunCli("send --ini " + dir / "q.ini" + " 12").exitCode, 0);
  EXPECT_EQ(watch.Line(), "short voice 12");
  ASSERT_EQ(RunCli("send --ini " + dir / "q.ini" + " '12*3'").exitCode, 0);
  EXPECT_EQ(watch.Line(), "arithmetic 12 * 3 (op 3)");
  EXPECT_EQ(watch.Line(100), "");
}

}  // namespace
}  // namespace quorvel
