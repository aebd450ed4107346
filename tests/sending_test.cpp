#include <gtest/gtest.h>

#include "app/controls.h"
#include "app/main_list.h"
#include "app/strings.h"
#include "catalogue/catalogue.h"
#include "platform/profile.h"
#include "robot/command_record.h"
#include "platform/decimal.h"
#include "robot/sending.h"
#include "state_fixture.h"

namespace quorvel {
namespace {

using test::CatalogueLine;
using test::Bytes;

class SendingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories("card/ADDON");
    std::filesystem::create_directories("progs");
    test::WriteFile("card/ADDON/REMOTE.LOG", "");
    test::WriteFile("progs/walk.TXA", "walk program");
    test::WriteFile("progs/dance.TXA", "dance program");
    const std::string voices = CatalogueLine("12,3,0", "/first/a;") + CatalogueLine("12,9,0", "/second/b;") +
                               CatalogueLine("40,5,0", "/same/c;") + CatalogueLine("41,6,0", "/same/d;");
    for (const char* f : {"Ninshiki.xml", "English.xml", "voice.xml", "ura_voice.xml"})
      test::WriteFile(f, voices);
    test::WriteFile("Program.xml", CatalogueLine("progs\\walk.TXA", "/walk/r;"));
    test::WriteFile(fx.Ini(), "[REMOTE]\r\nPROGRAM_FOLDER=progs\r\nREMOTE_DIR=card/\r\n"
                              "[SOUND]\r\nDEFAULT=50\r\n");
    fx.Make();
    fx.state->AttachWindow(&fx.host);
  }
  void Show(int dataSet) { ASSERT_TRUE(SwitchDataSet(*fx.state, dataSet)); }
  SendResult Type(const std::string& text) {
    fx.host.SetControlText(ctl::kSendEdit, text);
    return SendSelection(*fx.state, true);
  }
  std::string Log() { return test::ReadFile("card/ADDON/REMOTE.LOG"); }
  void Clear() { test::WriteFile("card/ADDON/REMOTE.LOG", ""); }

  test::StateFixture fx;
  test::ScopedCwd cwd{fx.dir.path()};
};

TEST_F(SendingTest, TypedArithmeticWinsInEveryDataSet) {
  fx.state->dictionaryPath = "Ninshiki.xml";
  for (int d = 0; d <= 5; ++d) {
    Show(d);
    Clear();
    EXPECT_EQ(Type("3+4"), SendResult::Sent) << d;
    EXPECT_EQ(Log(), Bytes(MakeArithmeticCommand({1, 3, 4}))) << d;
  }
  ArithmeticExpr minus;
  ASSERT_TRUE(ParseArithmetic("-5", minus));
  Type("-5");
  EXPECT_EQ(Log(), Bytes(MakeArithmeticCommand(minus)));
}

TEST_F(SendingTest, TypedNumbersTakeTheFirstEntrysDuration) {
  struct Case {
    int dataSet;
    std::string text;
    RemoteCommand expected;
  } cases[] = {
      {2, "12", MakeVoiceCommand(12, 3, 50, 2, 1000)},
      {3, "  12x", MakeVoiceCommand(12, 3, 50, 3, 1000)},
      {2, "99", MakeVoiceCommand(99, 0, 50, 2, 1000)},  // no entry: duration 0
      {0, "abc", MakeVoiceCommand(0, 0, 50, 0, 1000)},
      {2, "70000", MakeVoiceCommand(static_cast<std::int16_t>(70000), 0, 50, 2, 1000)},
  };
  for (const auto& c : cases) {
    Show(c.dataSet);
    fx.host.SetControlText(ctl::kSendEdit, c.text);
    EXPECT_EQ(SendSelection(*fx.state, true), SendResult::Sent) << c.text;
    EXPECT_EQ(Log(), Bytes(c.expected)) << c.text;
    EXPECT_EQ(fx.host.GetControlText(ctl::kSendEdit), c.text);  // left as typed
  }
  EXPECT_TRUE(fx.host.messages.empty());
  EXPECT_EQ(Type(""), SendResult::Nothing);
}

TEST_F(SendingTest, ProgramsAreFoundByTheirExactNameOnly) {
  Show(kProgramDataSet);
  for (const char* text : {"Walk", "walk ", "wal"}) {
    EXPECT_EQ(Type(text), SendResult::Nothing) << text;
  }
  EXPECT_EQ(Log(), "");
  EXPECT_TRUE(fx.host.messages.empty());
  EXPECT_EQ(Type("walk"), SendResult::Sent);
  EXPECT_EQ(test::ReadFile("card/ADDON/TEMP.TXA"), "walk program");
  EXPECT_EQ(Log(), Bytes(MakeRunProgramCommand()));
  EXPECT_EQ(fx.host.GetControlText(ctl::kSendEdit), "walk.TXA");
}

TEST_F(SendingTest, ListModeSendsTheFirstEntryOfTheSelectedName) {
  Show(2);
  fx.host.ListSelect(ctl::kList, 2);  // "same", twice in the catalogue
  EXPECT_EQ(SendSelection(*fx.state, false), SendResult::Sent);
  EXPECT_EQ(Log(), Bytes(MakeVoiceCommand(40, 5, 50, 2, 1000)));
  EXPECT_EQ(fx.host.GetControlText(ctl::kSendEdit), "40");
}

TEST_F(SendingTest, NoSelectionShows103ExceptInTheDictionary) {
  Show(0);
  EXPECT_EQ(SendSelection(*fx.state, false), SendResult::Nothing);
  ASSERT_EQ(fx.Ids(), std::vector<int>{IDS_NO_SELECTION});
  fx.state->dictionaryPath = "Ninshiki.xml";
  Show(kDictionaryDataSet);
  EXPECT_EQ(SendSelection(*fx.state, false), SendResult::Nothing);  // empty edit box
  fx.host.SetControlText(ctl::kSendEdit, "41");
  EXPECT_EQ(SendSelection(*fx.state, false), SendResult::Sent);
  EXPECT_EQ(Log(), Bytes(MakeVoiceCommand(41, 6, 50, 5, 1000)));
  EXPECT_EQ(fx.host.messages.size(), 1u);
}

TEST_F(SendingTest, OtherConnectTypesSendNothingButShowTheNumber) {
  Show(2);
  for (int type : {0, 3}) {
    fx.state->connectType = type;
    fx.host.SetControlText(ctl::kSendEdit, "");
    EXPECT_EQ(PlayItem(*fx.state, 1), SendResult::Nothing);
    EXPECT_EQ(fx.host.GetControlText(ctl::kSendEdit), "12");
  }
  EXPECT_EQ(Log(), "");
}

TEST_F(SendingTest, VolumeIsReadAtEverySend) {
  Show(2);
  profile::WriteString("SOUND", "DEFAULT", "100", fx.Ini());
  Type("12");
  EXPECT_EQ(Log(), Bytes(MakeVoiceCommand(12, 3, 100, 2, 1000)));
}

TEST_F(SendingTest, FolderRowChoosesAFolderAndSelectsTheProgram) {
  Show(kProgramDataSet);
  std::filesystem::create_directories("other");
  test::WriteFile("other/Dance.TXA", "d");
  test::WriteFile("other/jump.TXA", "j");
  fx.host.scriptedFiles.push_back(fx.dir / "other/jump.TXA");
  fx.host.ListSelect(ctl::kList, 0);
  EXPECT_EQ(SendSelection(*fx.state, false), SendResult::Nothing);
  ASSERT_EQ(fx.host.fileDialogs.size(), 1u);
  EXPECT_EQ(fx.host.fileDialogs[0].initialFile, "progs");
  EXPECT_EQ(fx.host.fileDialogs[0].filterPattern, "*.TXA");
  EXPECT_EQ(profile::GetString("REMOTE", "PROGRAM_FOLDER", "", fx.Ini()), fx.dir / "other");
  auto lines = fx.host.ListLines(ctl::kList);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], LoadString(IDS_PROGRAM_FOLDER_ROW));
  EXPECT_EQ(fx.host.ListText(ctl::kList, fx.host.ListSelection(ctl::kList)), "jump");
  EXPECT_EQ(Log(), "");
  // Cancel changes nothing.
  fx.host.ListSelect(ctl::kList, 0);
  SendSelection(*fx.state, false);
  EXPECT_EQ(profile::GetString("REMOTE", "PROGRAM_FOLDER", "", fx.Ini()), fx.dir / "other");
}

TEST(ReadDecimal, CRuntimeManner) {
  struct Case {
    const char* text;
    int value;
  } cases[] = {{"12", 12},  {"  -7x", -7}, {"+3", 3},   {"abc", 0},
               {"", 0},     {"\t42", 42},  {"99999999999", 2147483647},
               {"-99999999999", -2147483647 - 1}};
  for (const auto& c : cases) EXPECT_EQ(platform::ReadDecimal(c.text), c.value) << c.text;
}

}  // namespace
}  // namespace quorvel
