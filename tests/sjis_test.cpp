#include <gtest/gtest.h>

#include "platform/sjis.h"
#include "test_util.h"

namespace quorvel {
namespace {

TEST(Sjis, RoundTripsJapaneseAndAscii) {
  const std::string utf8 = "テモ ヌムレ walk ＋×÷ 表示";
  auto sj = sjis::FromUtf8(utf8);
  ASSERT_TRUE(sj);
  EXPECT_EQ(sjis::ToUtf8(*sj), utf8);
  EXPECT_EQ(*sjis::FromUtf8("ソ"), "\x83\x5C");
}

TEST(Sjis, InvalidBytesNeverFail) {
  // A lone lead byte at the end and an undefined byte pair.
  EXPECT_EQ(sjis::ToUtf8("a\x81"), "a\xEF\xBF\xBD");
  EXPECT_FALSE(sjis::ToUtf8("\xFF\xFF" "b").empty());
  EXPECT_FALSE(sjis::FromUtf8("\xC3"));          // broken UTF-8
  EXPECT_FALSE(sjis::FromUtf8("emoji \xF0\x9F\x98\x80"));  // not in Shift_JIS
  EXPECT_EQ(sjis::FromUtf8Lossy("a\xF0\x9F\x98\x80" "b"), "ab");
}

TEST(Sjis, LastSeparatorStepsOverSecondBytes) {
  struct Case {
    std::string text;
    std::size_t expected;
  } cases[] = {
      {"C:\\dir\\file.xml", 6},
      {"\x83\x5C", std::string::npos},               // ソ alone
      {"dir\\\x83\x5C\x83\x5C", 3},                  // dir\ソソ
      {"a/b\\c/d", 5},
      {"", std::string::npos},
  };
  for (const auto& c : cases) EXPECT_EQ(sjis::FindLastSeparator(c.text), c.expected) << c.text;
}

TEST(Sjis, SearchMatchesAtCharacterBoundariesOnly) {
  // 表 is 95 5C: "表calc" holds the bytes "\calc" inside a character.
  EXPECT_EQ(sjis::FindAtBoundary(test::S("C:\\dic\\表calc"), "\\calc"), std::string::npos);
  EXPECT_EQ(sjis::FindAtBoundary("C:\\dic\\calc\\n.xml", "\\calc"), 6u);
  EXPECT_EQ(sjis::FindAtBoundary("C:\\dic\\Calc\\n.xml", "\\calc"), std::string::npos);
}

TEST(Sjis, TruncateKeepsWholeCharacters) {
  std::string s = "ab" + test::S("テモ");  // 2 + 4 bytes
  EXPECT_EQ(sjis::TruncateAtChar(s, 10), s);
  EXPECT_EQ(sjis::TruncateAtChar(s, 5), "ab" + test::S("テ"));
  EXPECT_EQ(sjis::TruncateAtChar(s, 3), "ab");
  EXPECT_EQ(sjis::TruncateAtChar(s, 0), "");
}

}  // namespace
}  // namespace quorvel
