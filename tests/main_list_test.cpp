#include <gtest/gtest.h>

#include "app/controls.h"
#include "app/main_list.h"
#include "app/strings.h"
#include "catalogue/catalogue.h"
#include "state_fixture.h"

namespace quorvel {
namespace {

using test::S;

using test::CatalogueLine;

class MainListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::WriteFile("Ninshiki.xml", CatalogueLine("1,0,0", "/zero/" + S("ぜろ") + ";") +
                                        CatalogueLine("2,0,1", "/one/;") + CatalogueLine("3,0,2", "/two/r2;") +
                                        CatalogueLine("4,0,3", "/three/r3;") +
                                        CatalogueLine("5,0,0", "/zero/" + S("にばんめ") + ";"));
    test::WriteFile("Program.xml", CatalogueLine("x.TXA", "/walk/r;") + CatalogueLine("y.TXA", "/gone/r;"));
    std::filesystem::create_directory("progs");
    test::WriteFile("progs/walk.TXA", "w");
    test::WriteFile(fx.Ini(), "[REMOTE]\r\nPROGRAM_FOLDER=progs\r\n");
    fx.Make();
    fx.state->AttachWindow(&fx.host);
  }
  std::vector<std::string> Lines() { return fx.host.ListLines(ctl::kList); }
  test::StateFixture fx;
  test::ScopedCwd cwd{fx.dir.path()};
};

TEST_F(MainListTest, ModelMaskFiltersEntries) {
  struct Case {
    unsigned mask;
    std::vector<std::string> lines;
  } cases[] = {
      {1, {"zero", "one", "three", "zero"}},
      {2, {"zero", "two", "three", "zero"}},
      {0, {"zero", "zero"}},
      {0x103, {"zero", "one", "two", "three", "zero"}},  // only the low 8 bits count
  };
  for (const auto& c : cases) {
    fx.state->modelMask = c.mask;
    FillList(*fx.state);
    EXPECT_EQ(Lines(), c.lines) << c.mask;
  }
}

TEST_F(MainListTest, RefillEmptiesTheThreeTexts) {
  for (int id : {ctl::kRecognisedLabel, ctl::kReadingEdit, ctl::kSendEdit})
    fx.host.SetControlText(id, "x");
  FillList(*fx.state);
  for (int id : {ctl::kRecognisedLabel, ctl::kReadingEdit, ctl::kSendEdit})
    EXPECT_EQ(fx.host.GetControlText(id), "") << id;
}

TEST_F(MainListTest, ProgramDataSetListsTheFolderRowAndPresentProgramsOnly) {
  ASSERT_TRUE(SwitchDataSet(*fx.state, kProgramDataSet));
  EXPECT_EQ(Lines(), (std::vector<std::string>{LoadString(IDS_PROGRAM_FOLDER_ROW), "walk"}));
  EXPECT_FALSE(fx.host.IsEnabled(ctl::kDictionaryButton, false));
  EXPECT_TRUE(fx.host.IsEnabled(ctl::kRegisterButton, false));
  ASSERT_TRUE(SwitchDataSet(*fx.state, 0));
  EXPECT_EQ(Lines().front(), "zero");
}

TEST_F(MainListTest, FailedSwitchKeepsOldLinesAndDataSet) {
  auto before = Lines();
  EXPECT_FALSE(SwitchDataSet(*fx.state, 1));  // no English.xml
  EXPECT_EQ(fx.state->dataSet, 0);
  EXPECT_EQ(fx.state->itemCount, 0);
  EXPECT_EQ(Lines(), before);
  ASSERT_EQ(fx.Ids(), std::vector<int>{IDS_LOAD_FAILED});
}

TEST_F(MainListTest, SelectedLineShowsTheFirstEntrysReading) {
  struct Case {
    int line;
    std::string expected;  // in 1032 afterwards
  } cases[] = {{0, S("ぜろ")}, {3, S("ぜろ")}, {1, ""}, {2, "r3"}};
  for (const auto& c : cases) {
    fx.host.SetControlText(ctl::kReadingEdit, "old");
    fx.host.ListSelect(ctl::kList, c.line);
    ShowSelectedReading(*fx.state);
    EXPECT_EQ(fx.host.GetControlText(ctl::kReadingEdit), c.expected) << c.line;
  }
  ASSERT_TRUE(SwitchDataSet(*fx.state, kProgramDataSet));
  fx.host.SetControlText(ctl::kReadingEdit, "old");
  fx.host.ListSelect(ctl::kList, 0);  // the folder row is no entry
  ShowSelectedReading(*fx.state);
  EXPECT_EQ(fx.host.GetControlText(ctl::kReadingEdit), "old");
}

}  // namespace
}  // namespace quorvel
