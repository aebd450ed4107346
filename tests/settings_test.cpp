#include <gtest/gtest.h>

#include "app/controls.h"
#include "app/settings_dialog.h"
#include "app/strings.h"
#include "platform/profile.h"
#include "state_fixture.h"
#include "ui/dialog_template.h"

namespace quorvel {
namespace {

using namespace settings_ctl;

TEST(ReadDialogInt, WholeDecimalNumbersOnly) {
  struct Case {
    const char* text;
    int value;
  } cases[] = {{"100", 100}, {"-1", -1},  {"  7", 7},     {"", 0},           {"abc", 0},
               {"12a", 0},   {"-", 0},    {"+5", 0},      {"2147483647", 2147483647},
               {"2147483648", 0}, {"-2147483648", -2147483647 - 1}};
  for (const auto& c : cases) EXPECT_EQ(ReadDialogInt(c.text), c.value) << c.text;
}

class SettingsTest : public ::testing::Test {
 protected:
  void Start(const std::string& ini) {
    test::WriteFile(fx.Ini(), ini);
    test::WriteFile("Ninshiki.xml", test::CatalogueLine("1,0,0", "/zero/r;") +
                                        test::CatalogueLine("2,0,2", "/two/r;"));
    fx.Make();
    fx.state->AttachWindow(&fx.host);
  }
  // Opens the dialog; check looks at it as it opens, then OK is pressed.
  void OkWith(std::function<void(ui::HeadlessHost&)> check) {
    fx.host.modalScripts.push_back([check](ui::HeadlessHost& d, ui::DialogController& c) {
      check(d);
      c.OnCommand(d, kOk);
    });
    OpenSettings(*fx.state);
  }
  std::string Key(const char* s, const char* k) { return profile::GetString(s, k, "unset", fx.Ini()); }
  test::StateFixture fx;
  test::ScopedCwd cwd{fx.dir.path()};
};

TEST_F(SettingsTest, OddStoredValuesOpenSaneAndOkStoresThemCleanly) {
  Start("[REMOTE]\r\nCONNECT_TYPE=3\r\n[DATA]\r\nVERSION=7\r\n[SOUND]\r\nDEFAULT=42\r\n");
  OkWith([](ui::HeadlessHost& d) {
    EXPECT_TRUE(d.GetCheck(kLocalRadio));
    EXPECT_FALSE(d.GetCheck(kFlashAirRadio));
    EXPECT_TRUE(d.GetCheck(kTemmoCheck));
    EXPECT_TRUE(d.GetCheck(kNumureCheck));
    EXPECT_EQ(d.GetControlText(kVolumeEdit), "42");
  });
  EXPECT_EQ(Key("REMOTE", "CONNECT_TYPE"), "1");
  EXPECT_EQ(Key("DATA", "VERSION"), "3");  // 7 became 3: the mask changed
  EXPECT_EQ(Key("SOUND", "DEFAULT"), "42");
  EXPECT_EQ(Key("SPEECH", "DISABLE_TIME"), "0");
  EXPECT_EQ(fx.host.ListLines(ctl::kList), (std::vector<std::string>{"zero", "two"}));
}

TEST_F(SettingsTest, UncheckingBothModelsListsOnlyCommonEntries) {
  Start("");
  fx.host.SetControlText(ctl::kSendEdit, "typed");
  fx.host.modalScripts.push_back([](ui::HeadlessHost& d, ui::DialogController& c) {
    d.SetCheck(kTemmoCheck, false);
    d.SetCheck(kFlashAirRadio, true);
    d.SetCheck(kSuppressCheck, true);
    c.OnCommand(d, kOk);
  });
  OpenSettings(*fx.state);
  EXPECT_EQ(Key("DATA", "VERSION"), "0");
  EXPECT_EQ(fx.state->connectType, 2);
  EXPECT_EQ(fx.state->suppressWhilePlaying, 1);
  EXPECT_EQ(Key("SPEECH", "DISABLE_TIME"), "1");
  EXPECT_EQ(fx.host.ListLines(ctl::kList), std::vector<std::string>{"zero"});
  EXPECT_EQ(fx.host.GetControlText(ctl::kSendEdit), "");
}

TEST_F(SettingsTest, UnchangedOkDoesNotWriteTheMaskNorRefill) {
  Start("");
  fx.host.SetControlText(ctl::kSendEdit, "typed");
  OkWith([](ui::HeadlessHost&) {});
  EXPECT_EQ(Key("DATA", "VERSION"), "unset");
  EXPECT_EQ(Key("SOUND", "DEFAULT"), "50");
  EXPECT_EQ(fx.host.GetControlText(ctl::kSendEdit), "typed");
}

// The FlashAir card's address is a setting like the others: shown, checked
// and stored on OK, and used from then on; the time-outs come from the INI.
TEST_F(SettingsTest, TheFlashAirCardCanBeNamed) {
  Start("[REMOTE]\r\nFLASHAIR_HOST=card.local:8080\r\nFLASHAIR_CONNECT_TIMEOUT=3\r\n");
  EXPECT_EQ(fx.state->flashAir.host, "card.local");
  EXPECT_EQ(fx.state->flashAir.port, 8080);
  EXPECT_EQ(fx.state->flashAir.limits.connectTimeoutMs, 3000);
  EXPECT_EQ(fx.state->flashAir.limits.totalTimeoutMs, 10000);
  struct Case {
    const char* typed;
    bool accepted;
    const char* stored;
    int port;
  } cases[] = {{"192.168.1.20", true, "192.168.1.20", 80}, {"flashair:8081", true, "flashair:8081", 8081},
               {"host:0", false, "", 0}, {"", false, "", 0}, {"a b", false, "", 0}, {"http://x", false, "", 0}};
  for (const Case& c : cases) {
    fx.host.messages.clear();
    fx.host.modalScripts.push_back([&](ui::HeadlessHost& d, ui::DialogController& ctl) {
      d.SetControlText(kFlashAirHostEdit, c.typed);
      ctl.OnCommand(d, kOk);
      if (!c.accepted) {
        EXPECT_EQ(d.FocusedControl(), kFlashAirHostEdit) << c.typed;
        ctl.OnCommand(d, kCancel);
      }
    });
    const std::string before = Key("REMOTE", "FLASHAIR_HOST");
    OpenSettings(*fx.state);
    if (c.accepted) {
      EXPECT_EQ(Key("REMOTE", "FLASHAIR_HOST"), c.stored) << c.typed;
      EXPECT_EQ(fx.state->flashAir.port, c.port) << c.typed;
      EXPECT_TRUE(fx.host.messages.empty()) << c.typed;
    } else {
      EXPECT_EQ(Key("REMOTE", "FLASHAIR_HOST"), before) << c.typed;
      ASSERT_EQ(fx.Ids(), std::vector<int>{IDS_CARD_ADDRESS}) << c.typed;
    }
  }
  OkWith([](ui::HeadlessHost& d) { EXPECT_EQ(d.GetControlText(kFlashAirHostEdit), "flashair:8081"); });
}

TEST_F(SettingsTest, CancelKeepsARemoteFolderChosenBefore) {
  Start("");
  std::filesystem::create_directories("card/ADDON");
  test::WriteFile("card/ADDON/REMOTE.LOG", "");
  fx.host.scriptedFiles.push_back(fx.dir / "card/ADDON/REMOTE.LOG");
  fx.host.modalScripts.push_back([](ui::HeadlessHost& d, ui::DialogController& c) {
    c.OnCommand(d, kRemoteFolderButton);
    d.SetControlText(kVolumeEdit, "80");
    c.OnCommand(d, kCancel);
  });
  OpenSettings(*fx.state);
  EXPECT_EQ(Key("REMOTE", "REMOTE_DIR"), fx.dir / "card/");
  EXPECT_EQ(Key("SOUND", "DEFAULT"), "unset");
  EXPECT_EQ(fx.host.modalDialogs, std::vector<int>{ui::kSettingsDialogId});
}

}  // namespace
}  // namespace quorvel
