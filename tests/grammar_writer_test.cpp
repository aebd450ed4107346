#include <gtest/gtest.h>

#include "app/controls.h"
#include "app/main_list.h"
#include "app/strings.h"
#include "catalogue/catalogue.h"
#include "catalogue/grammar_writer.h"
#include "state_fixture.h"

namespace quorvel {
namespace {

using test::CatalogueLine;
using test::S;

const std::string kHead =
    "<?xml version=\"1.0\" encoding=\"SHIFT_JIS\"?>\r\n"
    "<GRAMMAR>\r\n"
    "  <RULE name=\"Quorvel\" toplevel=\"ACTIVE\">\r\n"
    "    <L>\r\n"
    "      <P>\r\n"
    "        <RULEREF name=\"TEMMO\"/>\r\n"
    "      </P>\r\n"
    "    </L>\r\n"
    "  </RULE>\r\n"
    "  <RULE name=\"TEMMO\" toplevel=\"INACTIVE\">\r\n";
const std::string kTail = "    </L>\r\n    </RULE>\r\n</GRAMMAR>\r\n";

class GrammarTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::WriteFile("Ninshiki.xml", "");
    fx.Make();
    fx.state->AttachWindow(&fx.host);
  }
  void Load(int dataSet, const std::string& lines) {
    test::WriteFile(CatalogueFileName(dataSet) + 2, lines);
    ASSERT_TRUE(SwitchDataSet(*fx.state, dataSet));
  }
  test::StateFixture fx;
  test::ScopedCwd cwd{fx.dir.path()};
};

TEST_F(GrammarTest, WritesTheExactBytes) {
  Load(2, CatalogueLine("105,4", "/a/" + S("みていぎ") + ";") + CatalogueLine("105,4,2", "/b/" + S("よみ") + ";") +
              CatalogueLine("40000,7", "/c/x;") + CatalogueLine("7", "/d\"<&/r;"));
  ASSERT_TRUE(WriteGrammarFile(2, *fx.state));
  EXPECT_EQ(test::ReadFile("voice.xml"),
            kHead + "   <L propname=\"voice\">\r\n" +
                "    <P valstr=\"105,4\">/a/" + S("みていぎ") + ";</P>\r\n" +
                "    <P valstr=\"105,4,2\">/b/" + S("よみ") + ";</P>\r\n" +
                "    <P valstr=\"-25536,7\">/c/x;</P>\r\n" +
                "    <P valstr=\"7,0\">/d\"<&/r;</P>\r\n" + kTail);
}

TEST_F(GrammarTest, EmptyCatalogueAndProgramTemplate) {
  Load(0, "");
  ASSERT_TRUE(WriteGrammarFile(0, *fx.state));
  EXPECT_EQ(test::ReadFile("Ninshiki.xml"), kHead + "   <L propname=\"Ninshiki\">\r\n" + kTail);
  Load(kProgramDataSet, CatalogueLine("progs\\walk.TXA", "/walk/r;"));
  ASSERT_TRUE(WriteGrammarFile(kProgramDataSet, *fx.state));
  EXPECT_EQ(test::ReadFile("Program.xml"), kHead + "   <L propname=\"Program\">\r\n" +
                                               "    <P valstr=\"progs\\walk.TXA\">/walk/r;</P>\r\n" +
                                               kTail);
}

TEST_F(GrammarTest, WrittenFileLoadsBackToTheSameEntries) {
  Load(3, CatalogueLine("7", "/one/a;") + CatalogueLine("7,3,0", "/two/b;") +
              CatalogueLine("-2,5,255", "/" + S("ソ表") + "/" + S("そひょう") + ";") +
              CatalogueLine("9,9", "/UNDEFINE/u;"));
  std::vector<VoiceItem> before(fx.state->items.begin(), fx.state->items.begin() + 4);
  ASSERT_TRUE(WriteGrammarFile(3, *fx.state));
  ASSERT_TRUE(SwitchDataSet(*fx.state, 3));
  ASSERT_EQ(fx.state->itemCount, 4);
  for (int i = 0; i < 4; ++i) {
    const VoiceItem& a = before[static_cast<std::size_t>(i)];
    const VoiceItem& b = fx.state->items[static_cast<std::size_t>(i)];
    EXPECT_EQ(a.name, b.name);
    EXPECT_EQ(a.reading, b.reading);
    EXPECT_EQ(a.voiceId, b.voiceId);
    EXPECT_EQ(a.duration, b.duration);
    EXPECT_EQ(a.flags, b.flags);
  }
  EXPECT_EQ(fx.state->undefinedIndex, 3);
}

TEST_F(GrammarTest, FailuresKeepTheOldFile) {
  Load(0, CatalogueLine("1", "/a/r;"));
  const std::string old = test::ReadFile("Ninshiki.xml");
  // A line the loader could not read back in one piece.
  fx.state->items[0].name = std::string(240, 'n');
  EXPECT_FALSE(WriteGrammarFile(0, *fx.state));
  // A read-only catalogue.
  fx.state->items[0].name = "a";
  std::filesystem::permissions("Ninshiki.xml", std::filesystem::perms(0444));
  EXPECT_FALSE(WriteGrammarFile(0, *fx.state));
  std::filesystem::permissions("Ninshiki.xml", std::filesystem::perms(0644));
  // The dictionary has no file to write.
  EXPECT_FALSE(WriteGrammarFile(kDictionaryDataSet, *fx.state));
  EXPECT_EQ(fx.Ids(), (std::vector<int>{IDS_WRITE_FAILED, IDS_WRITE_FAILED, IDS_WRITE_FAILED}));
  EXPECT_EQ(test::ReadFile("Ninshiki.xml"), old);
  // The longest line that still loads is written.
  fx.state->items[0].name = std::string(254 - std::string("    <P valstr=\"1,0\">//r;</P>").size(), 'n');
  EXPECT_TRUE(WriteGrammarFile(0, *fx.state));
  ASSERT_TRUE(SwitchDataSet(*fx.state, 0));
  EXPECT_EQ(fx.state->itemCount, 1);
}

TEST_F(GrammarTest, RegistrationMessagesAndOutcome) {
  Load(0, CatalogueLine("1,0,2", "/same/old1;") + CatalogueLine("2,0,1", "/same/old2;"));
  ui::HeadlessHost& w = fx.host;
  // No selection.
  RegisterWord(*fx.state);
  // Selected, but nothing typed: selection and box stay.
  w.ListSelect(ctl::kList, 0);  // the list shows only the second "same"
  RegisterWord(*fx.state);
  EXPECT_EQ(w.ListSelection(ctl::kList), 0);
  // Answered No: nothing changes.
  w.SetControlText(ctl::kReadingEdit, S("あたらしい"));
  w.scriptedAnswers.push_back(ui::Answer::No);
  RegisterWord(*fx.state);
  EXPECT_EQ(fx.state->items[0].reading, "old1");
  EXPECT_EQ(fx.Ids(), (std::vector<int>{IDS_SELECT_ITEM, IDS_NO_READING, IDS_CONFIRM_REPLACE}));
  EXPECT_EQ(fx.host.messages.back().buttons, ui::Buttons::YesNo);
  EXPECT_EQ(fx.host.messages.back().icon, ui::Icon::Question);
  // Yes: the first entry of that name changes, the file is written, the box emptied.
  RegisterWord(*fx.state);
  EXPECT_EQ(fx.state->items[0].reading, S("あたらしい"));
  EXPECT_EQ(fx.state->items[1].reading, "old2");
  EXPECT_EQ(w.GetControlText(ctl::kReadingEdit), "");
  EXPECT_EQ(w.ListSelection(ctl::kList), -1);
  EXPECT_NE(test::ReadFile("Ninshiki.xml").find("/same/" + S("あたらしい") + ";"), std::string::npos);
  // A reading longer than 63 bytes is cut at a character boundary.
  w.ListSelect(ctl::kList, 0);
  w.SetControlText(ctl::kReadingEdit, std::string(62, 'a') + S("あ"));  // 64 bytes
  RegisterWord(*fx.state);
  EXPECT_EQ(fx.state->items[0].reading, std::string(62, 'a'));
}

TEST_F(GrammarTest, RegistrationInTheDictionaryShows127) {
  test::WriteFile("dict.xml", CatalogueLine("1", "/w/r;"));
  fx.state->dictionaryPath = "dict.xml";
  ASSERT_TRUE(SwitchDataSet(*fx.state, kDictionaryDataSet));
  const std::string old = test::ReadFile("dict.xml");
  fx.host.ListSelect(ctl::kList, 0);
  fx.host.SetControlText(ctl::kReadingEdit, "x");
  RegisterWord(*fx.state);
  EXPECT_EQ(fx.Ids(), (std::vector<int>{IDS_CONFIRM_REPLACE, IDS_WRITE_FAILED}));
  EXPECT_EQ(test::ReadFile("dict.xml"), old);
  EXPECT_EQ(fx.host.GetControlText(ctl::kReadingEdit), "");
}

TEST_F(GrammarTest, ProgramFolderRowIsNoEntry) {
  Load(kProgramDataSet, CatalogueLine("a.TXA", "/a/r;"));
  fx.host.ListSelect(ctl::kList, 0);
  fx.host.SetControlText(ctl::kReadingEdit, "x");
  RegisterWord(*fx.state);
  EXPECT_TRUE(fx.host.messages.empty());
  EXPECT_EQ(fx.host.GetControlText(ctl::kReadingEdit), "");
  EXPECT_EQ(fx.host.ListSelection(ctl::kList), -1);
}

}  // namespace
}  // namespace quorvel
