#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/file.h>
#include <sys/stat.h>
#include <fcntl.h>
#include <unistd.h>
#endif

#include <functional>

#include "app/strings.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "robot/command_record.h"
#include "robot/local_transport.h"
#include "state_fixture.h"

namespace quorvel {
namespace {

class LocalTest : public ::testing::Test {
 public:
  void SetUp() override {
    fx.Make();
    std::filesystem::create_directories(fx.dir / "card/ADDON");
    test::WriteFile(LogFile(), "");
    fx.state->remoteDir = fx.dir / "card/";
  }
  std::string LogFile() { return fx.dir / "card/ADDON/REMOTE.LOG"; }
  test::StateFixture fx;
};

TEST_F(LocalTest, TwoSendsLeaveOnlyTheSecondRecord) {
  ASSERT_TRUE(SendVoiceLocal(*fx.state, 123, 0, 50));
  ASSERT_TRUE(SendArithmeticLocal(*fx.state, ArithmeticExpr{1, 3, 4}));
  EXPECT_EQ(test::ReadFile(LogFile()), test::Bytes(MakeArithmeticCommand({1, 3, 4})));
  EXPECT_TRUE(fx.host.messages.empty());
}

TEST_F(LocalTest, OpenFailuresShowMessage108) {
  struct Case {
    const char* what;
    std::function<void(LocalTest&)> prepare;
  } cases[] = {
      {"missing folder", [](LocalTest& t) { t.fx.state->remoteDir = t.fx.dir / "gone/"; }},
      {"read-only file", [](LocalTest& t) {
         std::filesystem::permissions(t.LogFile(), std::filesystem::perms(0444));
       }},
  };
  for (const auto& c : cases) {
    SetUp();
    fx.host.messages.clear();
    c.prepare(*this);
    EXPECT_FALSE(SendArithmeticLocal(*fx.state, ArithmeticExpr{1, 3, 4})) << c.what;
    EXPECT_EQ(fx.Ids(), std::vector<int>{IDS_REMOTE_WRITE_FAILED}) << c.what;
    std::filesystem::permissions(LogFile(), std::filesystem::perms(0644));
  }
}

// Another program holds the file: an exclusive lock (Linux), an open that
// shares it with nobody (Windows).
TEST_F(LocalTest, FileLockedByAnotherOpenerIsRefusedAndKept) {
  test::WriteFile(LogFile(), "keep");
#ifdef _WIN32
  HANDLE held = CreateFileA(LogFile().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(SendVoiceLocal(*fx.state, 1, 0, 50));
  CloseHandle(held);
#else
  int fd = open(LogFile().c_str(), O_RDONLY);
  ASSERT_EQ(flock(fd, LOCK_EX), 0);
  EXPECT_FALSE(SendVoiceLocal(*fx.state, 1, 0, 50));
  close(fd);
#endif
  EXPECT_EQ(fx.Ids(), std::vector<int>{IDS_REMOTE_WRITE_FAILED});
  EXPECT_EQ(test::ReadFile(LogFile()), "keep");
}

TEST_F(LocalTest, FullMediumShowsTheDiskFullTextWithAStopIcon) {
  platform::testing::FailWritesWith(ENOSPC);
  EXPECT_FALSE(SendVoiceLocal(*fx.state, 1, 0, 50));
  platform::testing::FailWritesWith(0);
  ASSERT_EQ(fx.Ids(), std::vector<int>{IDS_FILE_DISK_FULL});
  EXPECT_EQ(fx.host.messages[0].icon, ui::Icon::Stop);
  EXPECT_EQ(fx.host.messages[0].text,
            FormatString(IDS_FILE_DISK_FULL,
                         test::S(platform::ToNativePath(test::S(fx.dir / "card/ADDON\\REMOTE.LOG")))));
}

TEST_F(LocalTest, DefaultFolderAsksAtAVoiceSendButNotForArithmetic) {
  test::ScopedCwd cwd(fx.dir.path());
  fx.state->remoteDir = ".";
  EXPECT_FALSE(SendArithmeticLocal(*fx.state, ArithmeticExpr{1, 3, 4}));
  EXPECT_EQ(fx.Ids(), std::vector<int>{IDS_REMOTE_WRITE_FAILED});
  EXPECT_TRUE(fx.host.fileDialogs.empty());
  EXPECT_FALSE(SendVoiceLocal(*fx.state, 1, 0, 50));  // the dialog is cancelled
  ASSERT_EQ(fx.host.fileDialogs.size(), 1u);
  EXPECT_EQ(fx.host.fileDialogs[0].initialFile, "REMOTE.LOG");
  EXPECT_EQ(fx.host.fileDialogs[0].filterPattern, "REMOTE.LOG");
  EXPECT_EQ(fx.Ids().size(), 1u);
}

TEST_F(LocalTest, SetupStoresTheParentOfTheChosenFilesFolder) {
  struct Case {
    std::string chosen, expected;  // relative to the temporary folder
  } cases[] = {
      {"card/ADDON/REMOTE.LOG", "card/"},
      {"sim/card/work/REMOTE.LOG", "sim/card/"},  // the folder's name is not checked
  };
  std::filesystem::create_directories(fx.dir / "sim/card/work");
  test::WriteFile(fx.dir / "sim/card/work/REMOTE.LOG", "");
  for (const auto& c : cases) {
    fx.host.scriptedFiles.push_back(fx.dir / c.chosen);
    ASSERT_TRUE(SetupRemoteFolder(*fx.state)) << c.chosen;
    EXPECT_EQ(fx.state->remoteDir, fx.dir / c.expected);
    EXPECT_EQ(profile::GetString("REMOTE", "REMOTE_DIR", "", fx.Ini()), fx.dir / c.expected);
  }
  fx.host.scriptedFiles.push_back(fx.dir / "card/ADDON/TYPED.LOG");
  EXPECT_FALSE(SetupRemoteFolder(*fx.state));
  EXPECT_EQ(fx.Ids(), std::vector<int>{IDS_REMOTE_LOG_MISSING});
  EXPECT_EQ(fx.state->remoteDir, fx.dir / "sim/card/");
}

TEST_F(LocalTest, VoiceSendContinuesAfterASuccessfulSetup) {
  fx.state->remoteDir = fx.dir / "nowhere/";
  fx.host.scriptedFiles.push_back(LogFile());
  ASSERT_TRUE(SendVoiceLocal(*fx.state, 7, 0, 50));
  EXPECT_EQ(test::ReadFile(LogFile()), test::Bytes(MakeVoiceCommand(7, 0, 50, 0, 1000)));
}

TEST_F(LocalTest, ProgramRunCopiesThenSendsTheRunCommand) {
  test::WriteFile(fx.dir / "walk.TXA", std::string("prog\0ram", 8));
  test::WriteFile(fx.dir / "card/ADDON/TEMP.TXA", "old and longer");
  fx.state->dataSet = 4;
  ASSERT_TRUE(RunProgramLocal(*fx.state, test::S(fx.dir / "walk.TXA")));
  EXPECT_EQ(test::ReadFile(fx.dir / "card/ADDON/TEMP.TXA"), std::string("prog\0ram", 8));
  EXPECT_EQ(test::ReadFile(LogFile()), test::Bytes(MakeRunProgramCommand()));
  EXPECT_FALSE(std::filesystem::exists(fx.dir / "card/ADDON/TEMP.TXA.new"));

  EXPECT_FALSE(RunProgramLocal(*fx.state, test::S(fx.dir / "missing.TXA")));
  EXPECT_EQ(fx.Ids(), std::vector<int>{IDS_PROGRAM_COPY_FAILED});
}

TEST_F(LocalTest, ProgramRunSetupTakesTheMountPointAndLeavesTheIni) {
  fx.state->remoteDir = "";
  const std::string chosen = fx.dir / "sim/card/ADDON/REMOTE.LOG";
  const std::string root = platform::MountPointOf(chosen);
  if (std::filesystem::exists(root + "ADDON")) GTEST_SKIP() << root << "ADDON exists here";
  test::WriteFile(fx.dir / "walk.TXA", "p");
  fx.host.scriptedFiles.push_back(chosen);
  EXPECT_FALSE(RunProgramLocal(*fx.state, test::S(fx.dir / "walk.TXA")));
  EXPECT_EQ(fx.state->remoteDir, root);
  EXPECT_EQ(fx.Ids(), std::vector<int>{IDS_PROGRAM_COPY_FAILED});
  EXPECT_EQ(profile::GetString("REMOTE", "REMOTE_DIR", "unset", fx.Ini()), "unset");
  // Cancelled: nothing copied, nothing sent.
  fx.host.messages.clear();
  EXPECT_FALSE(RunProgramLocal(*fx.state, test::S(fx.dir / "walk.TXA")));
  EXPECT_TRUE(fx.host.messages.empty());
}

// The card's root: the mount point (Linux) or the drive (Windows).
TEST(MountPoint, OfPaths) {
#ifdef _WIN32
  EXPECT_EQ(platform::MountPointOf("C:\\windows\\no\\such\\file"), "C:\\");
  EXPECT_EQ(platform::MountPointOf("C:\\"), "C:\\");
#else
  EXPECT_EQ(platform::MountPointOf("/proc/self/status"), "/proc/");
  EXPECT_EQ(platform::MountPointOf("/proc/no/such/file"), "/proc/");
  EXPECT_EQ(platform::MountPointOf("/"), "/");
#endif
  EXPECT_EQ(platform::MountPointOf("relative/REMOTE.LOG"), "");
  EXPECT_EQ(platform::MountPointOf(""), "");
}

}  // namespace
}  // namespace quorvel
