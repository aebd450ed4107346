#include <gtest/gtest.h>

#include "app/strings.h"
#include "catalogue/catalogue.h"
#include "state_fixture.h"

namespace quorvel {
namespace {

using test::S;

using test::CatalogueLine;

class CatalogueTest : public ::testing::Test {
 protected:
  // Loads bytes as the catalogue of dataSet.
  bool Load(const std::string& bytes, int dataSet = 0) {
    const std::string path = fx.dir / "cat.xml";
    test::WriteFile(path, bytes);
    if (!fx.state) fx.Make();
    ClearItems(*fx.state, false);
    return LoadCatalogueFile(*fx.state, dataSet, path);
  }
  const VoiceItem& Item(int i) { return fx.state->items.at(static_cast<std::size_t>(i)); }
  test::StateFixture fx;
};

TEST_F(CatalogueTest, ReadsTheValueNumbersNameAndReading) {
  struct Case {
    std::string value, phrase;
    int voiceId, duration, flags;
    std::optional<std::string> name, reading;
  } cases[] = {
      {"7", "/a/b;", 7, 0, 0, "a", "b"},
      {"105,4,2", "/hello/" + S("はろー") + ";", 105, 4, 2, "hello", S("はろー")},
      {"105,,2", "/x/y;", 105, 0, 2, "x", "y"},
      {" -3 , 9", "/x/y;", -3, 9, 0, "x", "y"},
      {"70000,40000,257", "/x/y;", 70000 - 65536, 40000 - 65536, 1, "x", "y"},
      {"99999999999,1", "/x/y;", -1, 1, 0, "x", "y"},  // clamped to INT32_MAX, low 16 bits
      {"1,2", "/" + S("テモ") + "/" + S("みていぎ") + ";", 1, 2, 0, S("テモ"), std::nullopt},
      {"1,2", "//;", 1, 2, 0, "", ""},
      {"1", "/name/a/b;", 1, 0, 0, "name", "a/b"},
      {"1", "/n/r;x;y", 1, 0, 0, "n", "r"},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(Load(CatalogueLine(c.value, c.phrase))) << c.value << c.phrase;
    ASSERT_EQ(fx.state->itemCount, 1);
    EXPECT_EQ(Item(0).voiceId, c.voiceId) << c.value;
    EXPECT_EQ(Item(0).duration, c.duration) << c.value;
    EXPECT_EQ(Item(0).flags, c.flags) << c.value;
    EXPECT_EQ(Item(0).name, c.name) << c.phrase;
    EXPECT_EQ(Item(0).reading, c.reading) << c.phrase;
    EXPECT_FALSE(Item(0).programPath);
  }
  EXPECT_TRUE(fx.host.messages.empty());
}

TEST_F(CatalogueTest, ProgramCatalogueTakesTheWholeValueAsPath) {
  ASSERT_TRUE(Load(CatalogueLine(".\\prog\\walk.TXA", "/walk/" + S("あるく") + ";"), kProgramDataSet));
  EXPECT_EQ(Item(0).programPath, ".\\prog\\walk.TXA");
  EXPECT_EQ(Item(0).voiceId, 0);
  EXPECT_EQ(Item(0).name, "walk");
}

TEST_F(CatalogueTest, MalformedLinesFailTheWholeLoad) {
  const std::string good = CatalogueLine("1,1", "/ok/ok;");
  const std::string bad[] = {
      "    <P valstr=1>/a/b;</P>\r\n",          // no quotes
      "    <P valstr=\"1>/a/b;</P>\r\n",        // no closing quote
      "    <P valstr=\"1\">no slash;</P>\r\n",  // no name
      "    <P valstr=\"1\">/a no second;\r\n",
      "    <P valstr=\"1\">/a/b</P>\r\n",       // no semicolon
  };
  for (const auto& line : bad) {
    fx.host.messages.clear();
    EXPECT_FALSE(Load(good + good + line + good)) << line;
    EXPECT_EQ(fx.state->itemCount, 0);
    EXPECT_EQ(fx.state->undefinedIndex, -1);
    ASSERT_EQ(fx.Ids(), std::vector<int>{IDS_GRAMMAR_INVALID});
    EXPECT_EQ(fx.host.messages[0].icon, ui::Icon::Exclamation);
  }
}

TEST_F(CatalogueTest, SkipsLinesWithoutValstrAndFindsTheLastUndefine) {
  std::string file = "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\r\n"
                     "<P VALSTR=\"9\">/caps/x;</P>\r\n";
  for (int i = 0; i < 7; ++i) {
    file += CatalogueLine(std::to_string(i), (i == 2 || i == 5 ? "/UNDEFINE/" : "/n/") + std::string("r;"));
  }
  ASSERT_TRUE(Load(file));
  EXPECT_EQ(fx.state->itemCount, 7);
  EXPECT_EQ(fx.state->undefinedIndex, 5);
  ASSERT_TRUE(Load(CatalogueLine("1", "/undefine/r;")));
  EXPECT_EQ(fx.state->undefinedIndex, -1);
}

TEST_F(CatalogueTest, CrLfAndLfLoadTheSame) {
  std::string crlf = CatalogueLine("1,2,3", "/a/b;") + CatalogueLine("4,5", "/c/d;");
  std::string lf = crlf;
  for (std::size_t p; (p = lf.find("\r\n")) != std::string::npos;) lf.erase(p, 1);
  ASSERT_TRUE(Load(lf));
  ASSERT_EQ(fx.state->itemCount, 2);
  EXPECT_EQ(Item(1).reading, "d");
  ASSERT_TRUE(Load(crlf));
  ASSERT_EQ(fx.state->itemCount, 2);
  EXPECT_EQ(Item(1).reading, "d");  // no CR left in a reading
}

TEST_F(CatalogueTest, LongLinesArriveInPiecesOf255Bytes) {
  // Close of the phrase beyond byte 255: the first piece is malformed.
  std::string longReading = "    <P valstr=\"1\">/n/" + std::string(300, 'a') + ";</P>\n";
  EXPECT_FALSE(Load(longReading));
  // "valstr" cut in two by the piece border: both pieces are skipped.
  std::string cut = std::string(252, ' ') + "valstr=\"1\">/n/r;\n";
  ASSERT_TRUE(Load(cut));
  EXPECT_EQ(fx.state->itemCount, 0);
  // An entry wholly in the second piece is taken.
  std::string second = std::string(255, ' ') + "valstr=\"2\">/n/r;\n";
  ASSERT_TRUE(Load(second));
  ASSERT_EQ(fx.state->itemCount, 1);
  EXPECT_EQ(Item(0).voiceId, 2);
}

TEST_F(CatalogueTest, DictionaryStopsAtTheRuleEndAfterAnEntry) {
  std::string file = "<RULE NAME=\"Quorvel\" TOPLEVEL=\"ACTIVE\">\r\n</RULE>\r\n" +
                     CatalogueLine("1", "/a/b;") + "</RULE>\r\n" + CatalogueLine("2", "/c/d;");
  ASSERT_TRUE(Load(file, kDictionaryDataSet));
  EXPECT_EQ(fx.state->itemCount, 1);
  ASSERT_TRUE(Load(file, 0));
  EXPECT_EQ(fx.state->itemCount, 2);
}

TEST_F(CatalogueTest, MissingFiles) {
  fx.Make();
  const std::string missing = fx.dir / "none.xml";
  EXPECT_TRUE(LoadCatalogueFile(*fx.state, kProgramDataSet, missing));
  EXPECT_TRUE(fx.host.messages.empty());
  EXPECT_FALSE(LoadCatalogueFile(*fx.state, 1, missing));
  ASSERT_EQ(fx.Ids(), std::vector<int>{IDS_LOAD_FAILED});
  EXPECT_EQ(fx.host.messages[0].text, S("データファイルの読み込みに失敗しました"));
  fx.state->dictionaryPath.clear();
  EXPECT_TRUE(LoadCatalogue(*fx.state, kDictionaryDataSet));
  EXPECT_EQ(fx.host.messages.size(), 1u);
}

TEST_F(CatalogueTest, MoreEntriesThanTheCapacityFailTheLoad) {
  test::WriteFile(fx.Ini(), "[DATA]\r\nNINSHIKI_DATA_COUNT=2\r\n");
  fx.Make();
  ASSERT_EQ(fx.state->Capacity(), 2);
  EXPECT_TRUE(Load(CatalogueLine("1", "/a/b;") + CatalogueLine("2", "/c/d;")));
  EXPECT_FALSE(Load(CatalogueLine("1", "/a/b;") + CatalogueLine("2", "/c/d;") + CatalogueLine("3", "/e/f;")));
  EXPECT_EQ(fx.state->itemCount, 0);
  ASSERT_FALSE(fx.host.messages.empty());
  EXPECT_EQ(fx.host.messages.back().stringId, IDS_TOO_MANY_ITEMS);
}

class ScanTest : public CatalogueTest {
 protected:
  void Folder(std::initializer_list<const char*> files) {
    std::filesystem::create_directory(fx.dir / "progs");
    for (const char* f : files) test::WriteFile(fx.dir / ("progs/" + std::string(f)), "x");
  }
  void Scan() { ScanProgramFolderAt(*fx.state, fx.dir / "progs"); }
};

TEST_F(ScanTest, MarksKnownProgramsAndAppendsTheOthers) {
  Folder({"walk.TXA", "dance.txa", "a.b.TXA", "notes.txt"});
  std::filesystem::create_directory(fx.dir / "progs/dir.TXA");
  ASSERT_TRUE(Load(CatalogueLine("E:\\elsewhere\\walk.TXA", "/walk/r;") + CatalogueLine("x.TXA", "/Dance/r;") +
                       CatalogueLine("y.TXA", "/gone/r;"),
                   kProgramDataSet));
  Scan();
  const std::string folder = fx.dir / "progs";
  ASSERT_EQ(fx.state->itemCount, 5);
  EXPECT_EQ(Item(0).flags, 1);
  EXPECT_EQ(Item(0).programPath, "E:\\elsewhere\\walk.TXA");
  EXPECT_EQ(Item(1).flags, 0);  // Dance differs in case from dance
  EXPECT_EQ(Item(2).flags, 0);
  EXPECT_EQ(Item(3).name, "a.b");
  EXPECT_EQ(Item(3).programPath, folder + "\\a.b.TXA");
  EXPECT_EQ(Item(4).name, "dance");
  EXPECT_EQ(Item(4).flags, 1);
  EXPECT_FALSE(Item(4).reading);
}

TEST_F(ScanTest, AtTheCapacityItStillMarksAndSaysWhatFoundNoRoom) {
  test::WriteFile(fx.Ini(), "[DATA]\r\nNINSHIKI_DATA_COUNT=2\r\n");
  fx.Make();
  Folder({"a.TXA", "b.TXA", "c.TXA", "z.TXA"});
  ASSERT_TRUE(Load(CatalogueLine("x.TXA", "/z/r;"), kProgramDataSet));
  Scan();
  ASSERT_EQ(fx.state->itemCount, 2);
  EXPECT_EQ(Item(0).flags, 1);  // z comes after the table was full
  EXPECT_EQ(Item(1).name, "a");
  ASSERT_EQ(fx.Ids(), std::vector<int>{IDS_TOO_MANY_ITEMS});
  ClearItems(*fx.state, false);
  ScanProgramFolderAt(*fx.state, fx.dir / "missing");
  EXPECT_EQ(fx.state->itemCount, 0);
}

TEST_F(ScanTest, ReadsTheConfiguredFolder) {
  Folder({"walk.TXA"});
  test::WriteFile(fx.Ini(), "[REMOTE]\r\nPROGRAM_FOLDER=" + (fx.dir / "progs") + "\r\n");
  fx.Make();
  ScanProgramFolder(*fx.state);
  ASSERT_EQ(fx.state->itemCount, 1);
  EXPECT_EQ(Item(0).name, "walk");
}

}  // namespace
}  // namespace quorvel
