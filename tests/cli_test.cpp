// quorvel-cli where scripts meet the file system: registration over planted
// files, the program scan, quorvel-card watch. Its output and exit codes on
// fixed inputs are in cli/transcript.sh, the same on both systems.
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
