// The recogniser session and recognition handling against the scripted recogniser.
#include <gtest/gtest.h>

#include "app/controls.h"
#include "app/main_list.h"
#include "app/strings.h"
#include "platform/paths.h"
#include "robot/command_record.h"
#include "speech/engine/scripted_engine.h"
#include "speech/recognition.h"
#include "speech/recognizer.h"
#include "speech_test_util.h"
#include "state_fixture.h"

namespace quorvel {
namespace {

using speech::RuleState;
using test::Entry;

using test::Bytes;

class RecognizerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories("card/ADDON");
    test::WriteFile("card/ADDON/REMOTE.LOG", "");
    test::WriteFile("Ninshiki.xml", test::GrammarText(Entry("101,3", "こんにちは", "こんにちは") +
                                                      Entry("102,2", "おはよう", "おはよう")));
    test::WriteFile("English.xml", test::GrammarText(Entry("201,2", "Hello", "hello") +
                                                     Entry("299,0", "UNDEFINE", "みていぎ")));
    test::WriteFile("calc.xml", test::GrammarText(Entry("1,1", "1", "いち")));
    test::WriteFile("broken.xml", "<GRAMMAR><RULE name=\"a\">");
    Ini("");
  }
  void Ini(const std::string& extra) {
    test::WriteFile(fx.Ini(), "[REMOTE]\r\nREMOTE_DIR=card/\r\n[SPEECH]\r\nAUTOSTART=0\r\n" + extra);
  }
  ConverterState& Make() {
    ConverterState& s = fx.Make();
    s.speechEngine = engine;
    s.AttachWindow(&fx.host);
    return s;
  }
  bool Checked() const { return fx.host.GetCheck(ctl::kRecogniserCheck); }
  std::string Log() { return test::ReadFile("card/ADDON/REMOTE.LOG"); }
  std::string Label() const { return fx.host.GetControlText(ctl::kRecognisedLabel); }
  void Hear(const std::string& utf8) {
    ASSERT_TRUE(engine->Hear(utf8));
    DrainRecognitionEvents(*fx.state);
  }

  std::shared_ptr<speech::ScriptedEngine> engine = std::make_shared<speech::ScriptedEngine>();
  test::StateFixture fx;
  test::ScopedCwd cwd{fx.dir.path()};
};

// The window does not wait for the models: the start at start-up runs on
// the UI thread once they are loaded, and a window closed before that
// starts nothing.
TEST_F(RecognizerTest, StartUpWaitsForTheModelsWithoutHoldingTheWindow) {
  test::WriteFile(fx.Ini(), "[REMOTE]\r\nREMOTE_DIR=card/\r\n");
  for (bool closedFirst : {false, true}) {
    engine = std::make_shared<speech::ScriptedEngine>();
    engine->loading = true;
    fx.host.SetCheck(ctl::kRecogniserCheck, false);
    std::vector<std::function<void()>> posted;
    ConverterState& s = fx.Make();
    s.speechEngine = engine;
    s.postToWindow = [&](std::function<void()> task) { posted.push_back(std::move(task)); };
    s.AttachWindow(&fx.host);
    EXPECT_FALSE(engine->Session());
    EXPECT_FALSE(Checked());
    if (closedFirst) s.Shutdown();
    engine->FinishLoading();
    for (auto& task : posted) task();
    EXPECT_EQ(Checked(), !closedFirst);
    EXPECT_EQ(engine->Session().has_value(), !closedFirst);
    s.Shutdown();
  }
}

TEST_F(RecognizerTest, StartBuildsTheSessionForTheShownCatalogue) {
  struct Case {
    std::string ini;
    bool general;
    std::vector<std::string> files;
    RuleState rules, dictation;
    std::vector<int> messages;
  } cases[] = {
      {"", false, {".\\Ninshiki.xml"}, RuleState::Active, RuleState::Inactive, {}},
      {"[DATA]\r\nPLAYER_TYPE=1\r\n", false, {".\\English.xml"}, RuleState::Active, RuleState::Active, {}},
      // General mode loads no file: a missing catalogue is reported by the
      // loader only and does not stop the start.
      {"GENERAL=1\r\n[DATA]\r\nPLAYER_TYPE=3\r\n", true, {}, RuleState::Inactive, RuleState::Active,
       {IDS_LOAD_FAILED}},
  };
  for (const auto& c : cases) {
    Ini(c.ini);
    engine = std::make_shared<speech::ScriptedEngine>();
    ConverterState& s = Make();
    ASSERT_EQ(s.generalDictation, c.general);
    ASSERT_TRUE(StartRecognizer(s)) << c.ini;
    auto session = engine->Session();
    ASSERT_TRUE(session);
    EXPECT_TRUE(session->listening);
    EXPECT_TRUE(session->hasInput);
    EXPECT_TRUE(session->dictationLoaded);
    EXPECT_EQ(session->queuedInterest, speech::kRecognitionInterest);
    EXPECT_EQ(session->loadedFiles.size(), c.files.size());
    for (std::size_t i = 0; i < c.files.size() && i < session->loadedFiles.size(); ++i)
      EXPECT_EQ(session->loadedFiles[i], platform::ToNativePath(c.files[i]));
    EXPECT_EQ(session->rules, c.rules) << c.ini;
    EXPECT_EQ(session->dictation, c.dictation) << c.ini;
    EXPECT_EQ(s.recognitionActive, 1);
    EXPECT_TRUE(Checked());
    EXPECT_EQ(fx.Ids(), c.messages);
    fx.host.messages.clear();
    // A second start while running rebuilds nothing.
    EXPECT_TRUE(StartRecognizer(s));
    EXPECT_EQ(engine->initializeCalls, 1);
    s.Shutdown();
    EXPECT_EQ(engine->uninitializeCalls, 1);
    EXPECT_FALSE(engine->Session());
  }
}

TEST_F(RecognizerTest, FailedStartsReportAndLeaveNothingRunning) {
  using R = speech::ScriptedResults;
  struct Case {
    const char* what;
    void (*fault)(R&);
    std::string ini;
    std::vector<int> messages;
    int uninitialize;
  } cases[] = {
      {"initialize", [](R& r) { r.initialize = speech::kFail; }, "", {128}, 0},
      {"recogniser", [](R& r) { r.createRecognizer = speech::kFail; }, "", {128}, 0},
      {"context", [](R& r) { r.createContext = speech::kOutOfMemory; }, "", {128}, 0},
      {"listening", [](R& r) { r.recoState = speech::kNoAudioDevice; }, "", {128}, 0},
      {"grammar", [](R& r) { r.createGrammar = speech::kFail; }, "", {128}, 0},
      {"dictation", [](R& r) { r.loadDictation = speech::kFail; }, "GENERAL=1\r\n", {128}, 0},
      {"rules", [](R& r) { r.ruleState = speech::kFail; }, "", {128}, 0},
      {"dictation state", [](R& r) { r.dictationState = speech::kFail; }, "GENERAL=1\r\n", {128}, 0},
      {"not a grammar", [](R& r) { r.loadCmd = speech::kUnsupportedFormat; }, "", {129, 128}, 1},
      {"unreadable", [](R& r) { r.loadCmd = speech::kFail; }, "", {130, 128}, 1},
      // The user dictionary with no path chosen: no dialog, the empty name fails.
      {"empty dictionary", [](R&) {}, "[DATA]\r\nPLAYER_TYPE=5\r\n", {130, 128}, 1},
      {"broken file", [](R&) {}, "DICTIONARY=broken.xml\r\n[DATA]\r\nPLAYER_TYPE=5\r\n", {129, 128}, 1},
  };
  for (const auto& c : cases) {
    Ini(c.ini);
    engine = std::make_shared<speech::ScriptedEngine>();
    c.fault(engine->results);
    fx.host.messages.clear();
    ConverterState& s = Make();
    fx.host.SetCheck(ctl::kRecogniserCheck, true);
    EXPECT_FALSE(StartRecognizer(s)) << c.what;
    EXPECT_EQ(fx.Ids(), c.messages) << c.what;
    // Message 128 speaks of a control panel; its details name the real cause.
    EXPECT_FALSE(fx.host.messages.back().details.empty()) << c.what;
    EXPECT_FALSE(Checked()) << c.what;
    EXPECT_EQ(s.recognitionActive, 0);
    EXPECT_FALSE(s.recoContext);
    EXPECT_FALSE(s.grammar);
    EXPECT_FALSE(engine->Session()) << c.what;
    EXPECT_EQ(engine->uninitializeCalls, c.uninitialize) << c.what;
    EXPECT_TRUE(fx.host.fileDialogs.empty());
    s.Shutdown();
  }
}

TEST_F(RecognizerTest, NoAudioInputStillStarts) {
  engine->results.audioToken = speech::kFail;
  ConverterState& s = Make();
  EXPECT_TRUE(StartRecognizer(s));
  EXPECT_FALSE(engine->Session()->hasInput);
  // Without a way to notify the window nothing is queued, but the start stands.
  engine = std::make_shared<speech::ScriptedEngine>();
  engine->results.notify = speech::kFail;
  s.Shutdown();
  ConverterState& t = Make();
  t.notifyWindow = [] {};
  EXPECT_TRUE(StartRecognizer(t));
  EXPECT_EQ(engine->Session()->queuedInterest, 0u);
}

TEST_F(RecognizerTest, StopReleasesAndAFreshStartInitialisesAgain) {
  ConverterState& s = Make();
  ASSERT_TRUE(StartRecognizer(s));
  StopRecognizer(s);
  EXPECT_FALSE(engine->Session());
  EXPECT_EQ(s.recognitionActive, 1);  // stopping leaves the flag as it was
  StopRecognizer(s);
  EXPECT_EQ(engine->uninitializeCalls, 1);
  ASSERT_TRUE(StartRecognizer(s));
  EXPECT_EQ(engine->initializeCalls, 2);
}

TEST_F(RecognizerTest, ReloadWithoutSessionKeepsAChosenDictionary) {
  ConverterState& s = Make();
  fx.host.scriptedFiles = {std::nullopt, fx.dir / "calc.xml"};
  EXPECT_FALSE(ReloadGrammar(s, true));  // cancelled
  EXPECT_EQ(s.dictionaryPath, "");
  EXPECT_FALSE(ReloadGrammar(s, true));
  EXPECT_EQ(s.dictionaryPath, fx.dir / "calc.xml");
  ASSERT_EQ(fx.host.fileDialogs.size(), 2u);
  EXPECT_EQ(fx.host.fileDialogs[1].filterPattern, "*.xml");
  EXPECT_EQ(fx.host.fileDialogs[1].defaultExtension, "XML");
}

TEST_F(RecognizerTest, ReloadSetsArithmeticFromTheDictionaryPath) {
  std::filesystem::create_directories("Calc");
  std::filesystem::create_directories(test::Path("表calc"));
  test::WriteFile("Calc/x.xml", test::ReadFile("calc.xml"));
  test::WriteFile("表calc/x.xml", test::ReadFile("calc.xml"));
  struct Case {
    std::string path;
    bool arithmetic;
  } cases[] = {
      {".\\calc.xml", true}, {"./calc.xml", true}, {"Calc\\x.xml", false},
      {test::S("表calc\\x.xml"), false}, {"calc.xml", false},
  };
  ConverterState& s = Make();
  ASSERT_TRUE(StartRecognizer(s));
  s.dataSet = kDictionaryDataSet;
  for (const auto& c : cases) {
    s.dictionaryPath = c.path;
    EXPECT_TRUE(ReloadGrammar(s, false)) << c.path << " " << fx.Ids().size();
    EXPECT_EQ(s.arithmeticEnabled, c.arithmetic) << c.path;
  }
  s.dictionaryPath = ".\\calc.xml";
  ASSERT_TRUE(ReloadGrammar(s, false));
  s.dataSet = 0;  // the same path counts only for the user dictionary
  ASSERT_TRUE(ReloadGrammar(s, false));
  EXPECT_FALSE(s.arithmeticEnabled);
  s.dataSet = kDictionaryDataSet;
  s.generalDictation = true;
  EXPECT_TRUE(ReloadGrammar(s, false));
  EXPECT_FALSE(s.arithmeticEnabled);
  EXPECT_EQ(engine->Session()->rules, RuleState::Inactive);
  EXPECT_EQ(engine->Session()->dictation, RuleState::Active);
  EXPECT_TRUE(fx.host.messages.empty());
}

TEST_F(RecognizerTest, ReloadFollowsTheCatalogueAndStopsOnABadFile) {
  ConverterState& s = Make();
  ASSERT_TRUE(StartRecognizer(s));
  ASSERT_TRUE(SwitchDataSet(s, 1));  // English has UNDEFINE: dictation on
  EXPECT_EQ(engine->Session()->dictation, RuleState::Active);
  EXPECT_EQ(engine->Session()->loadedFiles.back(), platform::ToNativePath(".\\English.xml"));
  ASSERT_TRUE(SwitchDataSet(s, 0));
  EXPECT_EQ(engine->Session()->dictation, RuleState::Inactive);
  test::WriteFile("English.xml", "<RULE/>");
  s.dataSet = 1;
  EXPECT_FALSE(ReloadGrammar(s, false));
  EXPECT_EQ(fx.Ids(), std::vector<int>{129});
  EXPECT_FALSE(Checked());
  EXPECT_FALSE(engine->Session());
  EXPECT_FALSE(ReloadGrammar(s, false));  // stopped: nothing more happens
  EXPECT_EQ(fx.host.messages.size(), 1u);
}

TEST_F(RecognizerTest, DrainHandlesEveryQueuedRecognitionInOrder) {
  ConverterState& s = Make();
  ASSERT_TRUE(StartRecognizer(s));
  fx.host.SetControlText(ctl::kSendEdit, "typed");
  ASSERT_TRUE(engine->Hear("おはよう"));
  ASSERT_TRUE(engine->Hear("こんにちは"));
  DrainRecognitionEvents(s);
  EXPECT_EQ(Label(), test::S("こんにちは"));
  EXPECT_EQ(Log(), Bytes(MakeVoiceCommand(101, 3, 50, 0, 1000)));  // the later one wrote last
  // Nothing is fetched while recognition is off; the queue keeps it.
  s.recognitionActive = 0;
  ASSERT_TRUE(engine->Hear("おはよう"));
  DrainRecognitionEvents(s);
  EXPECT_EQ(Label(), test::S("こんにちは"));
  s.recognitionActive = 1;
  DrainRecognitionEvents(s);
  EXPECT_EQ(Label(), test::S("おはよう"));
  EXPECT_EQ(Log(), Bytes(MakeVoiceCommand(102, 2, 50, 0, 1000)));
}

TEST_F(RecognizerTest, RecognisedTextIsShownAsTheLabelHoldsIt) {
  ConverterState& s = Make();
  ASSERT_TRUE(StartRecognizer(s));
  ASSERT_TRUE(engine->Hear(std::nullopt));
  DrainRecognitionEvents(s);
  EXPECT_EQ(Label(), "<Unrecognized>");
  auto times = [](const std::string& s, int n) {
    std::string out;
    while (n-- > 0) out += s;
    return out;
  };
  struct Case {
    std::string utf8, shown;
  } cases[] = {
      {"おは😀よう", test::S("おはよう")},  // what Shift_JIS cannot hold is dropped
      {std::string(300, 'a'), std::string(255, 'a')},
      // 1 + 2*127 = 255: the next character would not fit
      {"a" + times("あ", 130), "a" + times(test::S("あ"), 127)},
  };
  for (const auto& c : cases) {
    Hear(c.utf8);
    EXPECT_EQ(Label(), c.shown);
  }
}

TEST_F(RecognizerTest, SuppressionWindowCoversOnlyCatalogueEntries) {
  Ini("DISABLE_TIME=1\r\n[DATA]\r\nPLAYER_TYPE=1\r\n");
  test::WriteFile("English.xml", test::GrammarText(Entry("201,3", "Hello", "hello") +
                                                   Entry("299,0", "UNDEFINE", "みていぎ")));
  ConverterState& s = Make();
  std::int32_t now = 10000;
  s.clock = [&] { return now; };
  ASSERT_TRUE(StartRecognizer(s));
  Hear("Hello");
  EXPECT_EQ(s.suppressUntil, 14000);
  test::WriteFile("card/ADDON/REMOTE.LOG", "");
  now = 13999;
  Hear("Hello");
  EXPECT_EQ(Log(), "");  // suppressed, but shown
  EXPECT_EQ(Label(), "Hello");
  Hear("something else");  // the fallback plays inside the window and keeps it
  EXPECT_EQ(Log(), Bytes(MakeVoiceCommand(299, 0, 50, 1, 1000)));
  EXPECT_EQ(s.suppressUntil, 14000);
  now = 14000;
  Hear("Hello");
  EXPECT_EQ(Log(), Bytes(MakeVoiceCommand(201, 3, 50, 1, 1000)));
  EXPECT_EQ(s.suppressUntil, 18000);
  // Turning the setting off ignores the deadline.
  s.suppressWhilePlaying = 0;
  test::WriteFile("card/ADDON/REMOTE.LOG", "");
  Hear("Hello");
  EXPECT_EQ(Log(), Bytes(MakeVoiceCommand(201, 3, 50, 1, 1000)));
}

TEST_F(RecognizerTest, SpokenArithmeticOnlyForACalcDictionaryWithoutUndefine) {
  test::WriteFile("calc_undef.xml", test::GrammarText(Entry("1,1", "UNDEFINE", "みていぎ")));
  std::filesystem::create_directories("calc");
  test::WriteFile("calc/calc_undef.xml", test::ReadFile("calc_undef.xml"));
  test::WriteFile("calc/plain.xml", test::ReadFile("calc.xml"));
  struct Case {
    std::string dictionary;
    int connectType;
    std::string shown;  // in the send box
    std::string log;
  } cases[] = {
      {".\\calc\\plain.xml", 1, test::S("3＋4"), Bytes(MakeArithmeticCommand({1, 3, 4}))},
      {".\\calc\\plain.xml", 0, test::S("3＋4"), ""},
      {".\\calc\\plain.xml", 3, test::S("3＋4"), ""},
      {".\\plain.xml", 1, "", ""},  // not an arithmetic dictionary
      {".\\calc\\calc_undef.xml", 1, "1", Bytes(MakeVoiceCommand(1, 1, 50, 5, 1000))},
  };
  test::WriteFile("plain.xml", test::ReadFile("calc.xml"));
  for (const auto& c : cases) {
    // One [REMOTE] section: Windows reads the first of repeated ones only.
    test::WriteFile(fx.Ini(), "[REMOTE]\r\nREMOTE_DIR=card/\r\nCONNECT_TYPE=" + std::to_string(c.connectType) +
                                  "\r\n[SPEECH]\r\nAUTOSTART=0\r\nDICTIONARY=" + c.dictionary +
                                  "\r\n[DATA]\r\nPLAYER_TYPE=5\r\n");
    test::WriteFile("card/ADDON/REMOTE.LOG", "");
    ConverterState& s = Make();
    ASSERT_TRUE(StartRecognizer(s)) << c.dictionary;
    Hear("3たす4");
    EXPECT_EQ(fx.host.GetControlText(ctl::kSendEdit), c.shown) << c.dictionary;
    EXPECT_EQ(Log(), c.log) << c.dictionary << " " << c.connectType;
    EXPECT_EQ(Label(), test::S("3たす4"));
    s.Shutdown();
  }
}

}  // namespace
}  // namespace quorvel
