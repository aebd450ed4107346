#include <gtest/gtest.h>

#include "app/strings.h"
#include "card_process.h"
#include "robot/command_record.h"
#include "robot/flashair.h"
#include "state_fixture.h"
#include "card_server.h"

namespace quorvel {
namespace {

TEST(UploadBody, CommandUploadIs185BytesInTheCardsLayout) {
  RemoteCommand r = MakeArithmeticCommand({1, 3, 4});
  std::string data(r.begin(), r.end());
  std::string body = BuildUploadBody("ADDON\\REMOTE.LOG", data);
  ASSERT_EQ(body.size(), 185u);
  const std::string boundary = "--" + std::string(24, '=') + "\r\n";
  EXPECT_EQ(body.substr(0, 28), boundary);
  EXPECT_EQ(body.substr(28, 79),
            "Content-Disposition: form-data; name=\"upload.cgi\";filename=\"ADDON\\REMOTE.LOG\"\r\n");
  EXPECT_EQ(body.substr(107, 28), boundary);
  EXPECT_EQ(body.substr(135, 2), "\r\n");
  EXPECT_EQ(body.substr(137, 16), data);
  EXPECT_EQ(body.substr(153), "\r\n--" + std::string(24, '=') + "--\r\n");
  EXPECT_EQ(BuildUploadBody("TEMP.TXA", "abc").size(), 153u + 8 + 3);
  EXPECT_EQ(UploadHeader(), "Content-Type: multipart/form-data;boundary=" + std::string(24, '='));
}

TEST(UploadBody, CardRejectsAnyChangedFramingByte) {
  std::string data(16, '\xFE');
  const std::string body = BuildUploadBody("ADDON\\REMOTE.LOG", data);
  auto good = card::ParseUploadBody(body);
  ASSERT_TRUE(good);
  EXPECT_EQ(good->name, "ADDON\\REMOTE.LOG");
  EXPECT_EQ(good->data, data);
  const std::size_t nameAt = 28 + 60, dataAt = 137;
  for (std::size_t i = 0; i < body.size(); ++i) {
    if ((i >= nameAt && i < nameAt + 16) || (i >= dataAt && i < dataAt + 16)) continue;
    std::string bad = body;
    bad[i] = static_cast<char>(bad[i] ^ 0x01);
    EXPECT_FALSE(card::ParseUploadBody(bad)) << "byte " << i;
  }
  EXPECT_FALSE(card::ParseUploadBody(body.substr(0, body.size() - 1)));
  EXPECT_FALSE(card::StoredName("ADDON\\.."));
  EXPECT_FALSE(card::StoredName("ADDON\\"));
  EXPECT_EQ(card::StoredName("ADDON\\REMOTE.LOG"), "REMOTE.LOG");
  EXPECT_EQ(card::StoredName("TEMP.TXA"), "TEMP.TXA");
}

class FlashAirTest : public ::testing::Test {
 protected:
  void Start(const std::vector<std::string>& extra = {}) {
    card = std::make_unique<test::CardProcess>(fx.dir / "card", extra);
    ASSERT_NE(card->port, 0);
    fx.state->flashAir.host = "127.0.0.1";
    fx.state->flashAir.port = card->port;
  }
  void SetUp() override {
    fx.Make();
    fx.state->flashAir.limits = {2000, 3000};
  }
  std::string Stored(const std::string& name) { return test::ReadFile(fx.dir / ("card/ADDON/" + name)); }
  test::StateFixture fx;
  std::unique_ptr<test::CardProcess> card;
};

TEST_F(FlashAirTest, VoiceCommandReachesTheCard) {
  Start();
  ASSERT_TRUE(SendVoiceFlashAir(*fx.state, 123, 3, 50));
  EXPECT_EQ(card->Line(), "GET /upload.cgi?WRITEPROTECT=OFF&UPDIR=/ADDON");
  EXPECT_EQ(card->Line(), "POST ADDON\\REMOTE.LOG 16");
  RemoteCommand r = MakeVoiceCommand(123, 3, 50, 0, 1000);
  EXPECT_EQ(Stored("REMOTE.LOG"), test::Bytes(r));
  EXPECT_TRUE(fx.host.messages.empty());
}

TEST_F(FlashAirTest, ProgramRunMakesFourExchangesInOrder) {
  Start();
  test::WriteFile(fx.dir / "walk.TXA", std::string("\x00\x01\r\n\xFF", 5));
  fx.state->dataSet = 4;
  ASSERT_TRUE(RunProgramFlashAir(*fx.state, test::S(fx.dir / "walk.TXA")));
  EXPECT_EQ(card->Line(), "GET /upload.cgi?WRITEPROTECT=OFF&UPDIR=/ADDON");
  EXPECT_EQ(card->Line(), "POST TEMP.TXA 5");
  EXPECT_EQ(card->Line(), "GET /upload.cgi?WRITEPROTECT=OFF&UPDIR=/ADDON");
  EXPECT_EQ(card->Line(), "POST ADDON\\REMOTE.LOG 16");
  EXPECT_EQ(Stored("TEMP.TXA"), std::string("\x00\x01\r\n\xFF", 5));
  RemoteCommand run = MakeRunProgramCommand();
  EXPECT_EQ(Stored("REMOTE.LOG"), std::string(run.begin(), run.end()));
}

TEST_F(FlashAirTest, EmptyOrMissingProgramGives122WithoutTraffic) {
  Start();
  test::WriteFile(fx.dir / "empty.TXA", "");
  EXPECT_FALSE(RunProgramFlashAir(*fx.state, test::S(fx.dir / "empty.TXA")));
  EXPECT_FALSE(RunProgramFlashAir(*fx.state, test::S(fx.dir / "missing.TXA")));
  EXPECT_EQ(fx.Ids(), (std::vector<int>{IDS_PROGRAM_READ_FAILED, IDS_PROGRAM_READ_FAILED}));
  EXPECT_EQ(card->Line(300), "");
}

TEST_F(FlashAirTest, PrepareReplyMustBeSuccessInAnyCase) {
  struct Case {
    std::string reply;
    bool accepted;
  } cases[] = {
      {"SUCCESS", true}, {"success", true}, {"SuCcEsS", true},
      {"SUCCESS\r\n", false}, {" SUCCESS", false}, {"NG", false}, {"", false},
  };
  for (const auto& c : cases) {
    fx.host.messages.clear();
    card.reset();
    Start({"--prepare-reply", c.reply});
    EXPECT_EQ(SendArithmeticFlashAir(*fx.state, {1, 3, 4}), c.accepted) << c.reply;
    EXPECT_EQ(fx.Ids(), c.accepted ? std::vector<int>{} : std::vector<int>{IDS_FLASHAIR_CONNECT})
        << c.reply;
  }
}

TEST_F(FlashAirTest, PrepareReplyIsCutAt256Bytes) {
  const std::string longReply(300, 'x');
  Start({"--prepare-reply", longReply});
  std::string got = HttpGetText(*fx.state, "http://127.0.0.1:" + std::to_string(card->port) +
                                               "/upload.cgi?WRITEPROTECT=OFF&UPDIR=/ADDON");
  EXPECT_EQ(got, longReply.substr(0, 256));
  EXPECT_TRUE(fx.host.messages.empty());
}

TEST_F(FlashAirTest, AnyUploadStatusCountsAsSuccess) {
  for (const char* status : {"404", "500"}) {
    card.reset();
    Start({"--upload-status", status});
    EXPECT_TRUE(SendVoiceFlashAir(*fx.state, 1, 0, 50)) << status;
  }
  EXPECT_TRUE(fx.host.messages.empty());
}

TEST_F(FlashAirTest, UnreachableOrSilentCardReports119Then120) {
  struct Case {
    const char* what;
    std::vector<std::string> options;
  } cases[] = {
      {"closes early", {"--close-early"}},
      {"never answers", {"--no-answer"}},
  };
  fx.state->flashAir.limits = {500, 800};
  for (const auto& c : cases) {
    fx.host.messages.clear();
    card.reset();
    Start(c.options);
    EXPECT_FALSE(SendVoiceFlashAir(*fx.state, 1, 0, 50)) << c.what;
    EXPECT_EQ(fx.Ids(), (std::vector<int>{IDS_FLASHAIR_ERROR, IDS_FLASHAIR_CONNECT})) << c.what;
  }
  card.reset();  // nothing listens on the port any more
  fx.host.messages.clear();
  EXPECT_FALSE(SendVoiceFlashAir(*fx.state, 1, 0, 50));
  ASSERT_EQ(fx.Ids(), (std::vector<int>{IDS_FLASHAIR_ERROR, IDS_FLASHAIR_CONNECT}));
  const std::string& text = fx.host.messages[0].text;
  EXPECT_EQ(text.rfind(test::S("FlashAirとの通信に失敗しました["), 0), 0u) << text;
  // The details name the address tried.
  for (const auto& m : fx.host.messages)
    EXPECT_NE(m.details.find("127.0.0.1:" + std::to_string(fx.state->flashAir.port)), std::string::npos) << m.details;
  EXPECT_EQ(text.back(), ']');
}

TEST_F(FlashAirTest, UploadFailureAfterGoodPrepareReports119Then121) {
  Start({"--drop-uploads"});
  EXPECT_FALSE(SendVoiceFlashAir(*fx.state, 1, 0, 50));
  EXPECT_EQ(fx.Ids(), (std::vector<int>{IDS_FLASHAIR_ERROR, IDS_FLASHAIR_UPLOAD}));
  EXPECT_EQ(card->Line(), "GET /upload.cgi?WRITEPROTECT=OFF&UPDIR=/ADDON");
  EXPECT_EQ(card->Line(), "DROPPED POST /upload.cgi");
}

}  // namespace
}  // namespace quorvel
