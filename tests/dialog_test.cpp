#include <gtest/gtest.h>

#include <set>

#include "app/controls.h"
#include "ui/dialog_template.h"
#include "ui/headless_host.h"
#include "test_util.h"

namespace quorvel::ui {
namespace {

TEST(DialogTemplate, IdsAreUniqueAndControlsFitTheDialog) {
  for (int id : {kMainDialogId, kSettingsDialogId, kAboutDialogId}) {
    const DialogTemplate* t = FindDialogTemplate(id);
    ASSERT_NE(t, nullptr) << id;
    std::set<int> seen;
    for (const auto& c : t->controls) {
      if (c.id != kStaticId) {
        EXPECT_TRUE(seen.insert(c.id).second) << id << ": " << c.id;
      }
      EXPECT_LE(c.x + c.width, t->width) << id << ": " << c.text;
      EXPECT_LE(c.y + c.height, t->height) << id << ": " << c.text;
    }
  }
  EXPECT_EQ(FindDialogTemplate(999), nullptr);
}

TEST(DialogTemplate, MainWindowHasEveryControlTheCoreAddresses) {
  const DialogTemplate& t = MainDialogTemplate();
  for (int id : {ctl::kList, ctl::kSendEdit, ctl::kReadingEdit, ctl::kRecognisedLabel,
                 ctl::kRecogniserCheck, ctl::kGeneralCheck, ctl::kRegisterButton,
                 ctl::kDictionaryButton, 3, 8, 2})
    EXPECT_NE(t.Find(id), nullptr) << id;
  // The six data-set radios form one group in data-set order.
  for (int d = 0; d < 6; ++d) {
    const ControlTemplate* r = t.Find(ctl::kFirstDataSetRadio + d);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->kind, ControlKind::RadioButton);
    EXPECT_EQ((r->style & kGroup) != 0, d == 0);
  }
  EXPECT_TRUE(t.Find(ctl::kDictionaryButton)->style & kDisabled);
  EXPECT_FALSE(t.Find(ctl::kRegisterButton)->style & kDisabled);
  EXPECT_TRUE(t.Find(2)->style & kCancelButton);
  // Enter is the program's own: no default button may close the window.
  for (const auto& c : t.controls) EXPECT_FALSE(c.style & kDefaultButton) << c.id;
}

TEST(DialogTemplate, SettingsOkIsDefaultAndConnectRadiosGroup) {
  const DialogTemplate& t = SettingsDialogTemplate();
  EXPECT_TRUE(t.Find(1)->style & kDefaultButton);
  EXPECT_TRUE(t.Find(1034)->style & kGroup);
  EXPECT_FALSE(t.Find(1035)->style & kGroup);
  EXPECT_EQ(t.Find(4)->text, "リモートフォルダー設定");
}

struct SelectCase {
  std::vector<std::string> lines;  // UTF-8
  int startAfter;
  std::string prefix;
  int expected;
};

class ListSelectStringTest : public ::testing::TestWithParam<SelectCase> {};

TEST_P(ListSelectStringTest, FindsPrefixAfterStartWrapping) {
  const SelectCase& c = GetParam();
  HeadlessHost host;
  host.ListReset(1000);
  for (const auto& l : c.lines) host.ListAdd(1000, test::S(l));
  host.ListSelect(1000, 0);
  int got = ListSelectString(host, 1000, c.startAfter, test::S(c.prefix));
  EXPECT_EQ(got, c.expected);
  EXPECT_EQ(host.ListSelection(1000), c.expected == -1 ? 0 : c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ListSelectStringTest,
    ::testing::Values(
        SelectCase{{"更新", "walk", "dance"}, 0, "walk", 1},
        SelectCase{{"更新", "WALK2", "walk"}, 0, "walk", 1},   // letter case ignored
        SelectCase{{"walk", "更新", "wave"}, 0, "wa", 2},      // starts after the given line
        SelectCase{{"walk", "更新", "dance"}, 1, "walk", 0},   // wraps around
        SelectCase{{"更新", "walk"}, 0, "run", -1},
        SelectCase{{"ソフト", "ｿﾌﾄ"}, -1, "ソ", 0},            // 83 5C is not folded or split
        SelectCase{{"テモ"}, -1, "", 0}));

TEST(HeadlessHost, ScriptedFileDialogsAreRecordedAndCancelWhenEmpty) {
  HeadlessHost host;
  host.scriptedFiles.push_back(std::string("/card/ADDON/REMOTE.LOG"));
  FileDialogRequest r{"LOG", "REMOTE.LOG", "ﾘﾓｰﾄﾌｧｲﾙ", "REMOTE.LOG", true};
  EXPECT_EQ(host.OpenFileDialog(r), std::optional<std::string>("/card/ADDON/REMOTE.LOG"));
  EXPECT_EQ(host.OpenFileDialog(r), std::nullopt);
  ASSERT_EQ(host.fileDialogs.size(), 2u);
  EXPECT_EQ(host.fileDialogs[1].initialFile, "REMOTE.LOG");
}

}  // namespace
}  // namespace quorvel::ui
