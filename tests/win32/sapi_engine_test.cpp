// The SAPI 5 recogniser's calls, in order and with their arguments, made on
// recording fakes of the system's objects (no machine here has a SAPI
// recogniser); and its failure on the system itself, which under Wine has none.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <deque>
#include <vector>

#include "app/controls.h"
#include "app/strings.h"
#include "catalogue/catalogue.h"
#include "com_fakes.h"
#include "platform/win32/wide.h"
#include "robot/command_record.h"
#include "speech/engine/sapi_engine.h"
#include "speech/recognition.h"
#include "speech/recognizer.h"
#include "speech_test_util.h"
#include "state_fixture.h"

namespace quorvel {
namespace {

using platform::win32::Utf8;

std::string Hex(unsigned long long v) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%016llX", v);
  return text;
}

std::string Text(LPCWSTR s) { return s ? Utf8(s) : "null"; }

LPWSTR TaskText(const std::wstring& s) {
  auto* out = static_cast<LPWSTR>(CoTaskMemAlloc((s.size() + 1) * sizeof(wchar_t)));
  s.copy(out, s.size());
  out[s.size()] = L'\0';
  return out;
}

// The calls made, and the fakes still alive.
struct Recording {
  std::vector<std::string> calls;
  int alive = 0;
  HRESULT loadCmd = S_OK;  // what the grammar's LoadCmdFromFile answers
  test::ComCallSink Unexpected() {
    return [this](const std::string& call) { calls.push_back("unexpected " + call); };
  }
};

// Counts itself among the living fakes.
template <typename Fake>
class Recorded : public Fake {
 public:
  explicit Recorded(Recording& r) : Fake(r.Unexpected()), r_(r) { ++r_.alive; }
  ~Recorded() override { --r_.alive; }

 protected:
  void Note(const std::string& call) { r_.calls.push_back(call); }
  Recording& r_;
};

class Result : public Recorded<test::FakeISpRecoResult> {
 public:
  Result(Recording& r, std::wstring text) : Recorded(r), text_(std::move(text)) {}
  HRESULT STDMETHODCALLTYPE GetText(ULONG start, ULONG count, BOOL replace, LPWSTR* text, BYTE* attributes) override {
    Note("ISpRecoResult::GetText(" + Hex(start) + ", " + Hex(count) + ", " + std::to_string(replace) + ", " +
         (attributes ? "attributes" : "null") + ")");
    *text = TaskText(text_);
    return S_OK;
  }

 private:
  std::wstring text_;
};

class Grammar : public Recorded<test::FakeISpRecoGrammar> {
 public:
  using Recorded::Recorded;
  HRESULT STDMETHODCALLTYPE LoadDictation(LPCWSTR topic, SPLOADOPTIONS options) override {
    Note("ISpRecoGrammar::LoadDictation(" + Text(topic) + ", " + std::to_string(options) + ")");
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE LoadCmdFromFile(LPCWSTR file, SPLOADOPTIONS options) override {
    Note("ISpRecoGrammar::LoadCmdFromFile(" + Text(file) + ", " + std::to_string(options) + ")");
    return r_.loadCmd;
  }
  HRESULT STDMETHODCALLTYPE SetRuleState(LPCWSTR name, void* reserved, SPRULESTATE state) override {
    Note("ISpRecoGrammar::SetRuleState(" + Text(name) + ", " + (reserved ? "reserved" : "null") + ", " +
         std::to_string(state) + ")");
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetDictationState(SPRULESTATE state) override {
    Note("ISpRecoGrammar::SetDictationState(" + std::to_string(state) + ")");
    return S_OK;
  }
};

class Context : public Recorded<test::FakeISpRecoContext> {
 public:
  // As the system's, the context holds its recogniser.
  Context(Recording& r, IUnknown* recognizer) : Recorded(r), recognizer_(recognizer) { recognizer_->AddRef(); }
  ~Context() override { recognizer_->Release(); }
  std::deque<SPEVENT> queue;
  HRESULT STDMETHODCALLTYPE SetNotifyWindowMessage(HWND window, UINT message, WPARAM w, LPARAM l) override {
    Note("ISpRecoContext::SetNotifyWindowMessage(" + Hex(reinterpret_cast<UINT_PTR>(window)) + ", " +
         Hex(message) + ", " + std::to_string(w) + ", " + std::to_string(l) + ")");
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetNotifySink(ISpNotifySink* sink) override {
    Note(std::string("ISpRecoContext::SetNotifySink(") + (sink ? "sink" : "null") + ")");
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetInterest(ULONGLONG events, ULONGLONG queued) override {
    Note("ISpRecoContext::SetInterest(" + Hex(events) + ", " + Hex(queued) + ")");
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE CreateGrammar(ULONGLONG id, ISpRecoGrammar** out) override {
    Note("ISpRecoContext::CreateGrammar(" + std::to_string(id) + ")");
    *out = new Grammar(r_);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetEvents(ULONG count, SPEVENT* events, ULONG* fetched) override {
    Note("ISpRecoContext::GetEvents(" + std::to_string(count) + ", " + (fetched ? "fetched" : "null") + ")");
    if (queue.empty()) return S_FALSE;
    events[0] = queue.front();
    queue.pop_front();
    return S_OK;
  }

 private:
  IUnknown* recognizer_;
};

class Audio : public Recorded<test::FakeISpAudio> {
 public:
  using Recorded::Recorded;
};

class Token : public Recorded<test::FakeISpObjectToken> {
 public:
  using Recorded::Recorded;
  HRESULT STDMETHODCALLTYPE SetId(LPCWSTR category, LPCWSTR id, BOOL create) override {
    Note("ISpObjectToken::SetId(" + Text(category) + ", " + Text(id) + ", " + std::to_string(create) + ")");
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, DWORD context, REFIID iid, void** out) override {
    Note(std::string("ISpObjectToken::CreateInstance(") + (outer ? "outer" : "null") + ", " + Hex(context) +
         ", " + (iid == IID_ISpAudio ? "ISpAudio" : "?") + ")");
    *out = static_cast<ISpAudio*>(new Audio(r_));
    return S_OK;
  }
};

class Category : public Recorded<test::FakeISpObjectTokenCategory> {
 public:
  using Recorded::Recorded;
  HRESULT STDMETHODCALLTYPE SetId(LPCWSTR id, BOOL create) override {
    Note("ISpObjectTokenCategory::SetId(" + Text(id) + ", " + std::to_string(create) + ")");
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetDefaultTokenId(LPWSTR* id) override {
    Note("ISpObjectTokenCategory::GetDefaultTokenId");
    *id = TaskText(L"MMAudioIn");
    return S_OK;
  }
};

class Recognizer : public Recorded<test::FakeISpRecognizer> {
 public:
  using Recorded::Recorded;
  Context* context = nullptr;
  HRESULT STDMETHODCALLTYPE CreateRecoContext(ISpRecoContext** out) override {
    Note("ISpRecognizer::CreateRecoContext");
    *out = context = new Context(r_, this);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetInput(IUnknown* input, BOOL allowFormatChanges) override {
    Note(std::string("ISpRecognizer::SetInput(") + (input ? "audio" : "null") + ", " +
         std::to_string(allowFormatChanges) + ")");
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetRecoState(SPRECOSTATE state) override {
    Note("ISpRecognizer::SetRecoState(" + std::to_string(state) + ")");
    return S_OK;
  }
};

class SapiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::WriteFile("Ninshiki.xml", test::GrammarText(test::Entry("101,3", "こんにちは", "こんにちは")));
    test::WriteFile("English.xml", test::GrammarText(test::Entry("201,2", "Hello", "hello") +
                                                     test::Entry("299,0", "UNDEFINE", "みていぎ")));
    test::WriteFile(fx.Ini(), "[REMOTE]\r\nREMOTE_DIR=card\\\r\n[SPEECH]\r\nAUTOSTART=0\r\n");
    std::filesystem::create_directories("card/ADDON");
    test::WriteFile("card/ADDON/REMOTE.LOG", "");
  }

  // The system's functions, on the fakes.
  speech::SapiSystem Fakes() {
    return {[this] {
              r.calls.push_back("CoInitialize");
              return S_OK;
            },
            [this] { r.calls.push_back("CoUninitialize"); },
            [this](REFCLSID clsid, REFIID, void** out) -> HRESULT {
              if (clsid == CLSID_SpInprocRecognizer) {
                r.calls.push_back("CoCreateInstance(SpInprocRecognizer)");
                if (FAILED(createRecognizer)) return createRecognizer;
                *out = static_cast<ISpRecognizer*>(recognizer = new Recognizer(r));
              } else if (clsid == CLSID_SpObjectTokenCategory) {
                r.calls.push_back("CoCreateInstance(SpObjectTokenCategory)");
                *out = static_cast<ISpObjectTokenCategory*>(new Category(r));
              } else if (clsid == CLSID_SpObjectToken) {
                r.calls.push_back("CoCreateInstance(SpObjectToken)");
                *out = static_cast<ISpObjectToken*>(new Token(r));
              } else {
                return REGDB_E_CLASSNOTREG;
              }
              return S_OK;
            }};
  }

  ConverterState& Make(int dataSet) {
    ConverterState& s = fx.Make();
    auto engine = std::make_shared<speech::SapiEngine>(Fakes());
    engine->SetNotifyWindow(window);
    s.speechEngine = engine;
    s.notifyWindow = [] {};  // there is a main window: the system posts to it
    s.AttachWindow(&fx.host);
    s.dataSet = dataSet;
    LoadCatalogue(s, dataSet);
    r.calls.clear();
    return s;
  }

  Recording r;
  Recognizer* recognizer = nullptr;
  HRESULT createRecognizer = S_OK;
  const HWND window = reinterpret_cast<HWND>(0x1234);
  test::StateFixture fx;
  test::ScopedCwd cwd{fx.dir.path()};
};

TEST_F(SapiTest, StartMakesTheSystemsCallsInOrderAndARecognitionIsHandled) {
  ConverterState& s = Make(1);  // English: its UNDEFINE entry turns dictation on
  ASSERT_TRUE(StartRecognizer(s));
  const std::vector<std::string> start = {
      "CoInitialize",
      "CoCreateInstance(SpInprocRecognizer)",
      "ISpRecognizer::CreateRecoContext",
      "ISpRecoContext::SetNotifyWindowMessage(0x0000000000001234, 0x0000000000008000, 0, 0)",
      "ISpRecoContext::SetInterest(0x0000004240000000, 0x0000004240000000)",
      "CoCreateInstance(SpObjectTokenCategory)",
      "ISpObjectTokenCategory::SetId(HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Speech\\AudioInput, 1)",
      "ISpObjectTokenCategory::GetDefaultTokenId",
      "CoCreateInstance(SpObjectToken)",
      "ISpObjectToken::SetId(null, MMAudioIn, 0)",
      "ISpObjectToken::CreateInstance(null, 0x0000000000000017, ISpAudio)",
      "ISpRecognizer::SetInput(audio, 1)",
      "ISpRecognizer::SetRecoState(1)",
      "ISpRecoContext::CreateGrammar(0)",
      "ISpRecoGrammar::LoadDictation(null, 0)",
      "ISpRecoGrammar::LoadCmdFromFile(.\\English.xml, 0)",
      "ISpRecoGrammar::SetRuleState(null, null, 1)",
      "ISpRecoGrammar::SetDictationState(1)",
  };
  EXPECT_EQ(r.calls, start);
  EXPECT_TRUE(fx.host.GetCheck(ctl::kRecogniserCheck));

  // A recognition queued by the system, drained on the window's message.
  r.calls.clear();
  SPEVENT e{};
  e.eEventId = SPEI_RECOGNITION;
  e.elParamType = SPET_LPARAM_IS_OBJECT;
  e.lParam = reinterpret_cast<LPARAM>(static_cast<ISpRecoResult*>(new Result(r, L"Hello")));
  recognizer->context->queue.push_back(e);
  DrainRecognitionEvents(s);
  EXPECT_EQ(r.calls, (std::vector<std::string>{
                         "ISpRecoContext::GetEvents(1, null)",
                         "ISpRecoResult::GetText(0x00000000FFFFFFFF, 0x00000000FFFFFFFF, 1, null)",
                         "ISpRecoContext::GetEvents(1, null)",
                     }));
  EXPECT_EQ(fx.host.GetControlText(ctl::kRecognisedLabel), "Hello");
  EXPECT_EQ(test::ReadFile("card/ADDON/REMOTE.LOG"), test::Bytes(MakeVoiceCommand(201, 2, 50, 1, 1000)));

  r.calls.clear();
  StopRecognizer(s);
  EXPECT_EQ(r.calls, (std::vector<std::string>{"ISpRecoContext::SetNotifySink(null)", "CoUninitialize"}));
  EXPECT_EQ(r.alive, 0) << "every object the system gave is released";
}

TEST_F(SapiTest, FailuresShowMessage128AndLeaveNothingBehind) {
  struct Case {
    const char* what;
    HRESULT create, loadCmd;
    std::vector<int> messages;
  } cases[] = {
      {"no recogniser installed", REGDB_E_CLASSNOTREG, S_OK, {IDS_SPEECH_INIT_FAILED}},
      {"a file that is no grammar", S_OK, static_cast<HRESULT>(speech::kUnsupportedFormat), {IDS_GRAMMAR_INVALID, IDS_SPEECH_INIT_FAILED}},
  };
  for (const auto& c : cases) {
    ConverterState& s = Make(0);
    fx.host.messages.clear();
    createRecognizer = c.create;
    r.loadCmd = c.loadCmd;
    EXPECT_FALSE(StartRecognizer(s)) << c.what;
    EXPECT_EQ(fx.Ids(), c.messages) << c.what;
    EXPECT_FALSE(fx.host.GetCheck(ctl::kRecogniserCheck)) << c.what;
    EXPECT_FALSE(s.recoContext) << c.what;
    s.Shutdown();
    EXPECT_EQ(r.alive, 0) << c.what;
  }
}

// Wine has no SAPI recogniser: the real start fails as on a Windows without one.
TEST_F(SapiTest, WithoutARecogniserOnTheSystemTheStartFailsCleanly) {
  ConverterState& s = fx.Make();
  auto engine = std::make_shared<speech::SapiEngine>();
  s.speechEngine = engine;
  s.AttachWindow(&fx.host);
  fx.host.messages.clear();
  if (StartRecognizer(s)) GTEST_SKIP() << "this system has a SAPI recogniser";
  ASSERT_EQ(fx.Ids(), std::vector<int>{IDS_SPEECH_INIT_FAILED});
  EXPECT_NE(fx.host.messages[0].details.find("SAPI 5"), std::string::npos) << fx.host.messages[0].details;
  EXPECT_FALSE(fx.host.GetCheck(ctl::kRecogniserCheck));
  EXPECT_FALSE(s.recoContext);
  EXPECT_FALSE(s.grammar);
}

}  // namespace
}  // namespace quorvel
