#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "app/controls.h"
#include "app/data_folder.h"
#include "app/strings.h"
#include "catalogue/catalogue.h"
#include "platform/profile.h"
#include "state_fixture.h"

namespace quorvel {
namespace {

// Runs the start-up in a folder of its own, so relative catalogue names resolve there.
class StartUpTest : public ::testing::Test {
 protected:
  test::StateFixture fx;
  test::ScopedCwd cwd{fx.dir.path()};
};

TEST_F(StartUpTest, WithoutAnIniFile) {
  test::WriteFile("Ninshiki.xml", "<P valstr=\"1,2,1\">/a/b;</P>\r\n");
  ConverterState& s = fx.Make();
  EXPECT_EQ(s.iniPath, fx.Ini());
  EXPECT_EQ(s.dataSet, 0);
  EXPECT_EQ(s.modelMask, 1u);
  EXPECT_EQ(s.Capacity(), 800);
  EXPECT_EQ(s.remoteDir, ".");
  EXPECT_EQ(s.remoteInterval, 1000);
  EXPECT_FALSE(s.generalDictation);
  s.AttachWindow(&fx.host);
  EXPECT_EQ(s.connectType, 1);
  EXPECT_EQ(s.itemCount, 1);
  EXPECT_TRUE(fx.host.messages.empty());
  EXPECT_FALSE(std::filesystem::exists(fx.Ini()));
  s.Shutdown();
  EXPECT_EQ(test::ReadFile(fx.Ini()),
            "[DATA]\r\nPLAYER_TYPE=0\r\n[SPEECH]\r\nDICTIONARY=\r\nGENERAL=0\r\n");
  EXPECT_EQ(s.items.size(), 0u);
}

#ifndef _WIN32  // the user's XDG folders: Linux only
// The INI lies beside the executable where its user may write, as a copy
// in a folder of its own has it; an installed program (a folder of root's)
// or a folder whose name Shift_JIS cannot hold keeps it in the user's
// configuration folder, made with the first setting written.
TEST_F(StartUpTest, SettingsGoWhereTheUserMayWriteThem) {
  const std::string config = fx.dir / "config";
  ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  EXPECT_EQ(MakeIniPath(fx.dir / "Quorvel"), fx.Ini());
  EXPECT_EQ(MakeIniPath(""), config + "/quorvel/Quorvel.ini");
  if (::geteuid() == 0) {
    std::filesystem::create_directory(fx.dir / "bin");
    ::chmod(fx.dir.path().c_str(), 0755);
    ::chmod((fx.dir / "bin").c_str(), 0755);
    pid_t child = ::fork();
    if (child == 0) {
      bool ok = ::setgid(65534) == 0 && ::setuid(65534) == 0 &&
                MakeIniPath(fx.dir / "bin/Quorvel") == config + "/quorvel/Quorvel.ini";
      ::_exit(ok ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  ConverterState s(StateOptions{"", fx.dir.path().string(), config + "/quorvel/Quorvel.ini", nullptr});
  s.mainWindow = &fx.host;
  EXPECT_TRUE(s.WriteIniString("SOUND", "DEFAULT", "70"));
  EXPECT_EQ(s.ReadIniInt("SOUND", "DEFAULT", 50), 70);
  // A write that fails says so, once.
  std::filesystem::permissions(config + "/quorvel/Quorvel.ini", std::filesystem::perms(0444));
  EXPECT_FALSE(s.WriteIniString("SOUND", "DEFAULT", "80"));
  EXPECT_FALSE(s.WriteIniString("DATA", "PLAYER_TYPE", "1"));
  ASSERT_EQ(fx.Ids(), std::vector<int>{IDS_INI_WRITE_FAILED});
  ::unsetenv("XDG_CONFIG_HOME");
}

// Started from the desktop menu (the home folder holds no catalogue), the
// window works in the user's data folder, filled once from the installed
// demo; a folder given or configured, or one that holds catalogues, wins.
TEST_F(StartUpTest, CataloguesWhereTheUserKeepsThem) {
  namespace fs = std::filesystem;
  fs::create_directories(fx.dir / "prefix/share/quorvel/demo/programs");
  test::WriteFile(fx.dir / "prefix/share/quorvel/demo/Ninshiki.xml", "demo");
  test::WriteFile(fx.dir / "prefix/share/quorvel/demo/programs/walk.TXA", "walk");
  const std::string demo = InstalledDemoFolder(fx.dir / "prefix/bin/Quorvel");
  EXPECT_EQ(demo, fx.dir / "prefix/share/quorvel/demo");
  ::setenv("XDG_DATA_HOME", (fx.dir / "data").c_str(), 1);
  fs::create_directory(fx.dir / "home");
  test::ScopedCwd home(fx.dir / "home");
  EXPECT_EQ(ChooseDataFolder("/given", "/configured", demo), "/given");
  EXPECT_EQ(ChooseDataFolder("", "/configured", demo), "/configured");
  EXPECT_EQ(ChooseDataFolder("", "", demo), fx.dir / "data/quorvel");
  EXPECT_EQ(test::ReadFile(fx.dir / "data/quorvel/programs/walk.TXA"), "walk");
  // The user's own catalogue is never replaced by the demo.
  test::WriteFile(fx.dir / "data/quorvel/Ninshiki.xml", "mine");
  fs::remove(fx.dir / "data/quorvel/programs/walk.TXA");
  EXPECT_EQ(ChooseDataFolder("", "", demo), fx.dir / "data/quorvel");
  EXPECT_EQ(test::ReadFile(fx.dir / "data/quorvel/Ninshiki.xml"), "mine");
  test::WriteFile("voice.xml", "");
  EXPECT_EQ(ChooseDataFolder("", "", demo), "");
  ::unsetenv("XDG_DATA_HOME");
}

#endif

TEST_F(StartUpTest, OddValuesAreMadeSafe) {
  struct Case {
    std::string ini;
    int dataSet, capacity;
    bool general;
  } cases[] = {
      {"[DATA]\r\nPLAYER_TYPE=9\r\nNINSHIKI_DATA_COUNT=0\r\n", 0, 800, false},
      {"[DATA]\r\nPLAYER_TYPE=-1\r\nNINSHIKI_DATA_COUNT=-5\r\n", 0, 800, false},
      {"[DATA]\r\nPLAYER_TYPE=3\r\nNINSHIKI_DATA_COUNT=999999999\r\n", 3, 100000, false},
      {"[SPEECH]\r\nGENERAL=2\r\n", 0, 800, false},
      {"[SPEECH]\r\nGENERAL=1\r\n", 0, 800, true},
  };
  for (const auto& c : cases) {
    test::WriteFile(fx.Ini(), c.ini);
    ConverterState& s = fx.Make();
    EXPECT_EQ(s.dataSet, c.dataSet) << c.ini;
    EXPECT_EQ(s.Capacity(), c.capacity) << c.ini;
    EXPECT_EQ(s.generalDictation, c.general) << c.ini;
    s.Shutdown();
    EXPECT_EQ(profile::GetInt("DATA", "PLAYER_TYPE", -7, fx.Ini()), c.dataSet);
    EXPECT_EQ(profile::GetString("SPEECH", "GENERAL", "?", fx.Ini()), c.general ? "1" : "0");
  }
}

TEST_F(StartUpTest, DictionaryDataSetSetsButtonsAndArithmetic) {
  struct Case {
    std::string dictionary;
    bool arithmetic;
  } cases[] = {
      {"C:\\dic\\calc\\numbers.xml", true},
      {"C:\\dic\\Calc\\numbers.xml", false},
      {"/home/u/dic/calc/numbers.xml", true},
      {"", false},
  };
  for (const auto& c : cases) {
    test::WriteFile(fx.Ini(), "[DATA]\r\nPLAYER_TYPE=5\r\n[SPEECH]\r\nDICTIONARY=" +
                                  c.dictionary + "\r\nAUTOSTART=0\r\n");
    fx.host = ui::HeadlessHost{};
    ConverterState& s = fx.Make();
    s.AttachWindow(&fx.host);
    EXPECT_EQ(s.arithmeticEnabled, c.arithmetic) << c.dictionary;
    EXPECT_TRUE(fx.host.GetCheck(ctl::kFirstDataSetRadio + 5));
    EXPECT_TRUE(fx.host.IsEnabled(ctl::kDictionaryButton, false));
    EXPECT_FALSE(fx.host.IsEnabled(ctl::kRegisterButton, true));
    // A named dictionary that is missing reports it; an empty name does not.
    EXPECT_EQ(fx.host.messages.size(), c.dictionary.empty() ? 0u : 1u);
    s.Shutdown();
  }
}

TEST_F(StartUpTest, ProgramDataSetScansTheFolder) {
  std::filesystem::create_directory("progs");
  test::WriteFile("progs/walk.TXA", "x");
  test::WriteFile(fx.Ini(), "[DATA]\r\nPLAYER_TYPE=4\r\n[REMOTE]\r\nPROGRAM_FOLDER=.\\progs\r\n");
  ConverterState& s = fx.Make();
  s.AttachWindow(&fx.host);
  ASSERT_EQ(s.itemCount, 1);
  EXPECT_EQ(s.items[0].programPath, ".\\progs\\walk.TXA");
  EXPECT_TRUE(fx.host.messages.empty());
}

TEST_F(StartUpTest, SecondInstanceIsRefused) {
  ConverterState& first = fx.Make();
  first.AttachWindow(&fx.host);
  auto first2 = std::move(fx.state);

  test::StateFixture other;
  ConverterState second(StateOptions{fx.dir / "Quorvel", fx.dir.path().string(), "", nullptr});
  second.AttachWindow(&other.host);
  ASSERT_EQ(other.Ids(), std::vector<int>{IDS_ALREADY_RUNNING});
  EXPECT_EQ(other.host.messages[0].buttons, ui::Buttons::Ok);
  EXPECT_TRUE(other.host.closeRequested);
  EXPECT_TRUE(first2->instanceMutex.Held());
  second.Shutdown();
  EXPECT_TRUE(std::filesystem::exists(fx.Ini()));  // the refused instance still writes its keys
  first2->Shutdown();
  EXPECT_FALSE(first2->instanceMutex.Held());
}

TEST_F(StartUpTest, DataSetChangeIsWrittenOnClose) {
  ConverterState& s = fx.Make();
  s.AttachWindow(&fx.host);
  s.dataSet = 3;
  s.Shutdown();
  EXPECT_EQ(fx.Make().dataSet, 3);
}

}  // namespace
}  // namespace quorvel
