#include <gtest/gtest.h>

#include "platform/profile.h"
#include "test_util.h"

namespace quorvel {
namespace {

TEST(Profile, ReadsWithWindowsSemantics) {
  test::TempDir dir;
  const std::string ini = dir / "Quorvel.ini";
  test::WriteFile(ini,
                  "[data]\r\n"
                  "player_type = 3 \r\n"
                  "PLAYER_TYPE=4\r\n"
                  "VERSION=abc\r\n"
                  "NEG=-12x\r\n"
                  "[REMOTE]\n"
                  "REMOTE_DIR=  \"E:\\card\\\"  \n"
                  "EMPTY=\n"
                  "[DATA]\r\n"
                  "LATER=1\r\n");
  EXPECT_EQ(profile::GetInt("DATA", "PLAYER_TYPE", 0, ini), 3);  // first match wins
  EXPECT_EQ(profile::GetInt("Data", "version", 1, ini), 0);       // no digits
  EXPECT_EQ(profile::GetInt("DATA", "NEG", 0, ini), -12);
  EXPECT_EQ(profile::GetInt("DATA", "MISSING", 800, ini), 800);
  EXPECT_EQ(profile::GetString("REMOTE", "REMOTE_DIR", ".", ini), "E:\\card\\");
  EXPECT_EQ(profile::GetString("REMOTE", "EMPTY", ".", ini), "");
  EXPECT_EQ(profile::GetString("NOPE", "X", "dflt", ini), "dflt");
#ifndef _WIN32  // the stand-in also reads a repeated section; Windows reads the first only
  EXPECT_EQ(profile::GetInt("DATA", "LATER", 0, ini), 1);
#endif
  EXPECT_EQ(profile::GetInt("DATA", "X", 7, dir / "missing.ini"), 7);
}

TEST(Profile, ValuesAreCutAt259Bytes) {
  test::TempDir dir;
  const std::string ini = dir / "q.ini";
  test::WriteFile(ini, "[S]\r\nK=" + std::string(400, 'x') + "\r\n");
  EXPECT_EQ(profile::GetString("S", "K", "", ini).size(), 259u);
}

TEST(Profile, WriteRewritesOneLineAndKeepsTheRest) {
  test::TempDir dir;
  const std::string ini = dir / "q.ini";
  test::WriteFile(ini, "; comment\n[DATA]\nPLAYER_TYPE=1\nVERSION=3\n\n[SOUND]\nDEFAULT=50\n");
  ASSERT_TRUE(profile::WriteString("data", "player_type", "2", ini));
  ASSERT_TRUE(profile::WriteString("DATA", "NEW", "x", ini));
  ASSERT_TRUE(profile::WriteString("SPEECH", "GENERAL", "0", ini));
  EXPECT_EQ(profile::GetInt("DATA", "PLAYER_TYPE", 0, ini), 2);
  EXPECT_EQ(profile::GetInt("DATA", "VERSION", 0, ini), 3);
  EXPECT_EQ(profile::GetInt("SOUND", "DEFAULT", 0, ini), 50);
#ifndef _WIN32  // the stand-in's own layout; the system's functions lay the file out their way
  EXPECT_EQ(test::ReadFile(ini),
            "; comment\r\n[DATA]\r\nplayer_type=2\r\nVERSION=3\r\nNEW=x\r\n\r\n"
            "[SOUND]\r\nDEFAULT=50\r\n[SPEECH]\r\nGENERAL=0\r\n");
#endif
}

TEST(Profile, WriteCreatesTheFile) {
  test::TempDir dir;
  const std::string ini = dir / "new.ini";
  ASSERT_TRUE(profile::WriteString("DATA", "PLAYER_TYPE", "0", ini));
  EXPECT_EQ(test::ReadFile(ini), "[DATA]\r\nPLAYER_TYPE=0\r\n");
  EXPECT_FALSE(profile::WriteString("DATA", "K", "v", dir / "no/such/dir.ini"));
}

}  // namespace
}  // namespace quorvel
