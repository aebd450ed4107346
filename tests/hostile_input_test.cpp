// Files, folders and cards that someone else prepared: whatever stands where
// a file should be, the program reports it and neither hangs, crashes nor
// writes through to a file the user did not name.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>

#include "app/strings.h"
#include "catalogue/catalogue.h"
#include "catalogue/grammar_writer.h"
#include "app/main_list.h"
#include "platform/files.h"
#include "platform/instance_lock.h"
#include "platform/profile.h"
#include "robot/local_transport.h"
#include "state_fixture.h"

namespace quorvel {
namespace {

namespace fs = std::filesystem;

// What can be planted where the program expects a plain file.
enum class Plant { Folder, Fifo, LinkToVictim, DanglingLink };

void PlantAt(const std::string& path, Plant what, const std::string& victim) {
  fs::remove(path);
  switch (what) {
    case Plant::Folder: fs::create_directory(path); break;
    case Plant::Fifo: ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0); break;
    case Plant::LinkToVictim: fs::create_symlink(victim, path); break;
    case Plant::DanglingLink: fs::create_symlink(victim + ".none", path); break;
  }
}

const char* Name(Plant p) {
  switch (p) {
    case Plant::Folder: return "folder";
    case Plant::Fifo: return "FIFO";
    case Plant::LinkToVictim: return "link";
    case Plant::DanglingLink: return "dangling link";
  }
  return "";
}

class HostileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fx.Make();
    fs::create_directories(fx.dir / "card/ADDON");
    test::WriteFile(Victim(), "the user's own file");
    test::WriteFile(fx.dir / "Ninshiki.xml", "");
    fx.state->remoteDir = fx.dir / "card/";
  }
  std::string Victim() { return fx.dir / "victim.txt"; }
  std::vector<int> TakeIds() {
    std::vector<int> ids = fx.Ids();
    fx.host.messages.clear();
    return ids;
  }
  test::StateFixture fx;
  test::ScopedCwd cwd{fx.dir.path()};
};

// Each planted thing fails the load with the unreadable-file message, at once.
TEST_F(HostileTest, WhatIsNoFileCannotBeACatalogue) {
  for (Plant p : {Plant::Folder, Plant::Fifo, Plant::DanglingLink}) {
    const std::string path = fx.dir / "Ninshiki.xml";
    PlantAt(path, p, Victim());
    EXPECT_FALSE(LoadCatalogueFile(*fx.state, 0, path)) << Name(p);
    EXPECT_EQ(TakeIds(), std::vector<int>{IDS_LOAD_FAILED}) << Name(p);
    EXPECT_EQ(fx.state->itemCount, 0);
    // An INI file that is none reads as absent: every default.
    EXPECT_EQ(profile::GetInt("SOUND", "DEFAULT", 50, path), 50) << Name(p);
  }
}

// The command file and the program copy are only ever regular files in the
// card's own ADDON folder; anything else there fails the send and leaves
// the user's file alone.
TEST_F(HostileTest, CardFilesAreNeverWrittenThroughWhatWasPlanted) {
  const std::string log = fx.dir / "card/ADDON/REMOTE.LOG";
  const std::string copy = fx.dir / "card/ADDON/TEMP.TXA";
  test::WriteFile(fx.dir / "walk.TXA", "program");
  for (Plant p : {Plant::Folder, Plant::Fifo, Plant::LinkToVictim, Plant::DanglingLink}) {
    PlantAt(log, p, Victim());
    EXPECT_FALSE(SendArithmeticLocal(*fx.state, ArithmeticExpr{1, 3, 4})) << Name(p);
    EXPECT_FALSE(SendVoiceLocal(*fx.state, 5, 0, 50)) << Name(p);
    // A dangling link is no command file: the voice send asks for the folder.
    // The details say which file and why.
    EXPECT_NE(fx.host.messages.at(0).details.find(log + ": "), std::string::npos) << fx.host.messages[0].details;
    const std::vector<int> once{IDS_REMOTE_WRITE_FAILED},
        twice{IDS_REMOTE_WRITE_FAILED, IDS_REMOTE_WRITE_FAILED};
    EXPECT_EQ(TakeIds(), p == Plant::DanglingLink ? once : twice) << Name(p);
    fs::remove(log);
    test::WriteFile(log, "");

    PlantAt(copy, p, Victim());
    EXPECT_FALSE(RunProgramLocal(*fx.state, fx.dir / "walk.TXA")) << Name(p);
    EXPECT_NE(fx.host.messages.at(0).details.find(copy + ": "), std::string::npos) << fx.host.messages[0].details;
    EXPECT_EQ(TakeIds(), std::vector<int>{IDS_PROGRAM_COPY_FAILED}) << Name(p);
    fs::remove(copy);
    EXPECT_EQ(test::ReadFile(Victim()), "the user's own file") << Name(p);
  }
  // The ADDON folder itself a link to the user's folder.
  fs::remove_all(fx.dir / "card/ADDON");
  fs::create_directory(fx.dir / "mine");
  test::WriteFile(fx.dir / "mine/REMOTE.LOG", "mine");
  fs::create_directory_symlink(fx.dir / "mine", fx.dir / "card/ADDON");
  EXPECT_FALSE(SendVoiceLocal(*fx.state, 5, 0, 50));
  EXPECT_FALSE(RunProgramLocal(*fx.state, fx.dir / "walk.TXA"));
  EXPECT_EQ(TakeIds(), (std::vector<int>{IDS_REMOTE_WRITE_FAILED, IDS_PROGRAM_COPY_FAILED}));
  EXPECT_EQ(test::ReadFile(fx.dir / "mine/REMOTE.LOG"), "mine");
  EXPECT_FALSE(fs::exists(fx.dir / "mine/TEMP.TXA"));
}

TEST_F(HostileTest, TheProgramCopyGoesUnderAFreshName) {
  const std::string addon = fx.dir / "card/ADDON/";
  test::WriteFile(addon + "REMOTE.LOG", "");
  test::WriteFile(fx.dir / "walk.TXA", "program");
  // Links at the names an earlier copy used, and a killed copy's leftover.
  fs::create_symlink(Victim(), addon + "TEMP.TXA.new");
  fs::create_symlink(Victim(), addon + ".TEMP.TXA.quorvel-1");
  test::WriteFile(addon + ".TEMP.TXA.quorvel-2", "half");
  EXPECT_TRUE(RunProgramLocal(*fx.state, fx.dir / "walk.TXA"));
  EXPECT_EQ(test::ReadFile(addon + "TEMP.TXA"), "program");
  EXPECT_EQ(test::ReadFile(Victim()), "the user's own file");
  EXPECT_FALSE(fs::exists(addon + ".TEMP.TXA.quorvel-2"));
  EXPECT_FALSE(fs::is_symlink(addon + ".TEMP.TXA.quorvel-1"));
}

// Rewrites of the files the user keeps, through the one rewrite both the
// grammar writer and the INI use.
TEST_F(HostileTest, RewritesKeepLinksModesAndReadOnlyFiles) {
  auto set = [](const std::string&) { return std::optional<std::string>("new"); };
  const std::string file = fx.dir / "cat.xml";
  struct Case {
    const char* what;
    std::function<void()> prepare;
    int error;               // what the rewrite gives
    const char* fileAfter;   // content of file (through any link)
  } cases[] = {
      {"mode and content", [&] { test::WriteFile(file, "old"); fs::permissions(file, fs::perms(0640)); }, 0, "new"},
      {"read-only", [&] { test::WriteFile(file, "old"); fs::permissions(file, fs::perms(0444)); }, EACCES, "old"},
      {"a folder", [&] { fs::create_directory(file); }, EISDIR, nullptr},
      {"a FIFO", [&] { ::mkfifo(file.c_str(), 0644); }, EINVAL, nullptr},
      {"a link", [&] { test::WriteFile(Victim(), "old"); fs::create_symlink(Victim(), file); }, 0, "new"},
      {"a planted temporary name", [&] {
         test::WriteFile(file, "old");
         fs::create_symlink(Victim(), fx.dir / "cat.xml.new");
         fs::create_symlink(Victim(), fx.dir / ".cat.xml.quorvel-7");
       }, 0, "new"},
  };
  for (const Case& c : cases) {
    test::WriteFile(Victim(), "the user's own file");
    fs::remove_all(file);
    fs::remove(fx.dir / "cat.xml.new");
    c.prepare();
    const bool link = fs::is_symlink(file);
    EXPECT_EQ(platform::RewriteFile(file, set), c.error) << c.what;
    if (c.fileAfter) {
      EXPECT_EQ(test::ReadFile(file), c.fileAfter) << c.what;
    }
    EXPECT_EQ(fs::is_symlink(file), link) << c.what;
    if (!link) {
      EXPECT_EQ(test::ReadFile(Victim()), "the user's own file") << c.what;
    }
    for (const auto& e : fs::directory_iterator(fx.dir.path()))
      EXPECT_EQ(e.path().filename().string().find(".quorvel-"), std::string::npos) << c.what;
    if (std::string(c.what) == "mode and content") {
      EXPECT_EQ(fs::status(file).permissions(), fs::perms(0640));
    }
    if (fs::exists(file)) fs::permissions(file, fs::perms(0644));
  }
}

// A folder that takes no new file but holds a writable file: rewritten in
// place. Root may write into any folder, so this runs as another user.
TEST_F(HostileTest, AFolderThatTakesNoNewFileIsRewrittenInPlace) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
  const std::string folder = fx.dir / "locked";
  fs::create_directory(folder);
  const std::string file = folder + "/cat.xml";
  test::WriteFile(file, "old old old");
  const uid_t nobody = 65534;
  ASSERT_EQ(::chown(file.c_str(), nobody, nobody), 0);
  ASSERT_EQ(::chmod(folder.c_str(), 0755), 0);
  ASSERT_EQ(::chmod(fx.dir.path().c_str(), 0755), 0);
  pid_t child = ::fork();
  if (child == 0) {
    if (::setgid(nobody) != 0 || ::setuid(nobody) != 0) ::_exit(90);
    int e = platform::RewriteFile(file, [](const std::string& old) {
      return std::optional<std::string>(old == "old old old" ? "new" : "?");
    });
    ::_exit(e);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(test::ReadFile(file), "new");
  struct stat st;
  ASSERT_EQ(::stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, nobody);
}

// Two programs writing the INI at once (the refused second instance writes
// its three keys while the first runs): no write is lost.
TEST_F(HostileTest, ConcurrentIniWritesAreAllKept) {
  const std::string ini = fx.Ini();
  constexpr int kWrites = 150;
  std::vector<pid_t> children;
  for (int w = 0; w < 2; ++w) {
    pid_t pid = ::fork();
    if (pid == 0) {
      bool ok = true;
      for (int i = 0; i < kWrites; ++i)
        ok = profile::WriteString("W" + std::to_string(w), "K" + std::to_string(i), std::to_string(i), ini) && ok;
      ::_exit(ok ? 0 : 1);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  for (int w = 0; w < 2; ++w)
    for (int i = 0; i < kWrites; ++i)
      ASSERT_EQ(profile::GetInt("W" + std::to_string(w), "K" + std::to_string(i), -1, ini), i) << w << " " << i;
  // A read-only INI is not replaced behind its owner's back.
  fs::permissions(ini, fs::perms(0444));
  const std::string before = test::ReadFile(ini);
  EXPECT_FALSE(profile::WriteString("DATA", "PLAYER_TYPE", "3", ini));
  EXPECT_EQ(test::ReadFile(ini), before);
}

TEST_F(HostileTest, OnlyAnotherInstanceRefusesTheStart) {
  using R = platform::InstanceLock::Result;
  // The runtime folder named in the environment does not exist (after su):
  // a private folder of our own stands in.
  const char* old = std::getenv("XDG_RUNTIME_DIR");
  std::string saved = old ? old : "";
  ::setenv("XDG_RUNTIME_DIR", (fx.dir / "gone").c_str(), 1);
  {
    platform::InstanceLock a, b;
    EXPECT_EQ(a.Acquire(), R::Acquired);
    EXPECT_EQ(b.Acquire(), R::HeldByOther);
  }
  if (old) ::setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
  else ::unsetenv("XDG_RUNTIME_DIR");

  // Something planted at the lock file's name: no lock, but the program runs.
  for (Plant p : {Plant::Folder, Plant::Fifo, Plant::LinkToVictim}) {
    PlantAt(fx.dir / "Quorvel.lock", p, Victim());
    platform::InstanceLock planted(fx.dir.path().string());
    EXPECT_EQ(planted.Acquire(), R::Unavailable) << Name(p);
    fx.Make().AttachWindow(&fx.host);
    EXPECT_EQ(TakeIds(), std::vector<int>{}) << Name(p);
    EXPECT_FALSE(fx.host.closeRequested) << Name(p);
    fx.state->Shutdown();
    fs::remove_all(fx.dir / "Quorvel.lock");
  }
  EXPECT_EQ(test::ReadFile(Victim()), "the user's own file");
}

}  // namespace
}  // namespace quorvel
