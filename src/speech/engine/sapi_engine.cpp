// SAPI 5 behind the recogniser interface: each object of the interface holds
// the COM object it stands for, and each operation is the one SAPI call.
#include "speech/engine/sapi_engine.h"

#include <sapi.h>

#include <cstdio>
#include <utility>

#include "platform/win32/wide.h"

namespace quorvel::speech {
namespace {

// A COM reference, released when it goes out of scope.
template <typename T>
class Com {
 public:
  Com() = default;
  explicit Com(T* p) : p_(p) {}
  ~Com() { Reset(); }
  Com(const Com&) = delete;
  Com& operator=(const Com&) = delete;
  Com(Com&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  T** out() {
    Reset();
    return &p_;
  }
  void** outVoid() { return reinterpret_cast<void**>(out()); }
  void Reset() {
    if (p_) p_->Release();
    p_ = nullptr;
  }

 private:
  T* p_ = nullptr;
};

class SapiAudio : public AudioInput {
 public:
  explicit SapiAudio(Com<ISpAudio> audio) : audio_(std::move(audio)) {}
  // SAPI reads the device itself; nothing reads through this side.
  long Read(std::int16_t*, std::size_t) override { return -1; }
  void Cancel() override {}
  ISpAudio* get() const { return audio_.get(); }

 private:
  Com<ISpAudio> audio_;
};

class SapiToken : public AudioToken {
 public:
  explicit SapiToken(Com<ISpObjectToken> token) : token_(std::move(token)) {}
  HResult CreateInstance(std::shared_ptr<AudioInput>& out) override {
    Com<ISpAudio> audio;
    HRESULT r = token_->CreateInstance(nullptr, CLSCTX_ALL, IID_ISpAudio, audio.outVoid());
    if (SUCCEEDED(r)) out = std::make_shared<SapiAudio>(std::move(audio));
    return r;
  }

 private:
  Com<ISpObjectToken> token_;
};

class SapiResult : public RecoResult {
 public:
  explicit SapiResult(ISpRecoResult* result) : result_(result) {}  // takes the event's reference
  HResult GetText(std::string& utf8) const override {
    LPWSTR text = nullptr;
    HRESULT r = result_->GetText(SP_GETWHOLEPHRASE, SP_GETWHOLEPHRASE, TRUE, &text, nullptr);
    if (SUCCEEDED(r) && text) utf8 = platform::win32::Utf8(text);
    CoTaskMemFree(text);
    return r;
  }

 private:
  Com<ISpRecoResult> result_;
};

using Errors = std::shared_ptr<std::string>;

// Notes a failed call in the system's words; the result passes through.
HRESULT Check(const Errors& errors, const char* call, HRESULT r) {
  if (SUCCEEDED(r)) return r;
  char code[16];
  std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(r));
  wchar_t text[256] = {};
  DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                           static_cast<DWORD>(r), 0, text, 256, nullptr);
  while (n > 0 && text[n - 1] <= L' ') --n;
  *errors = std::string("SAPI 5: ") + call + " failed, " + code +
            (n ? " (" + platform::win32::Utf8(std::wstring_view(text, n)) + ")" : "");
  return r;
}

// Releases what an event carries, by its type (what SpClearEvent does).
void ClearEvent(SPEVENT& e) {
  switch (e.elParamType) {
    case SPET_LPARAM_IS_OBJECT:
    case SPET_LPARAM_IS_TOKEN:
      if (e.lParam) reinterpret_cast<IUnknown*>(e.lParam)->Release();
      break;
    case SPET_LPARAM_IS_POINTER:
    case SPET_LPARAM_IS_STRING: CoTaskMemFree(reinterpret_cast<void*>(e.lParam)); break;
    default: break;
  }
  e = SPEVENT{};
}

class SapiGrammar : public RecoGrammar {
 public:
  SapiGrammar(Com<ISpRecoGrammar> grammar, Errors errors)
      : grammar_(std::move(grammar)), errors_(std::move(errors)) {}
  HResult LoadDictation() override {
    return Check(errors_, "LoadDictation", grammar_->LoadDictation(nullptr, SPLO_STATIC));
  }
  HResult LoadCmdFromFile(const std::string& nativePath) override {
    std::wstring name = platform::win32::Wide(nativePath);
    return Check(errors_, "LoadCmdFromFile", grammar_->LoadCmdFromFile(name.c_str(), SPLO_STATIC));
  }
  HResult SetRuleState(RuleState state) override {
    return grammar_->SetRuleState(nullptr, nullptr, state == RuleState::Active ? SPRS_ACTIVE : SPRS_INACTIVE);
  }
  HResult SetDictationState(RuleState state) override {
    return grammar_->SetDictationState(state == RuleState::Active ? SPRS_ACTIVE : SPRS_INACTIVE);
  }

 private:
  Com<ISpRecoGrammar> grammar_;
  Errors errors_;
};

class SapiContext : public RecoContext {
 public:
  SapiContext(Com<ISpRecoContext> context, HWND window, Errors errors)
      : context_(std::move(context)), window_(window), errors_(std::move(errors)) {}
  ~SapiContext() override { delete callback_; }

  HResult SetNotifyCallback(std::function<void()> notify) override {
    if (!notify) return context_->SetNotifySink(nullptr);
    // The main window's message 0x8000, as the program drains on.
    if (window_) return context_->SetNotifyWindowMessage(window_, kRecognizerMessage, 0, 0);
    auto* held = new std::function<void()>(std::move(notify));
    HRESULT r = context_->SetNotifyCallbackFunction(&Notify, 0, reinterpret_cast<LPARAM>(held));
    delete std::exchange(callback_, held);
    return r;
  }
  HResult SetInterest(std::uint64_t event, std::uint64_t queued) override {
    return context_->SetInterest(event, queued);
  }
  HResult CreateGrammar(std::uint64_t id, std::shared_ptr<RecoGrammar>& out) override {
    Com<ISpRecoGrammar> grammar;
    HRESULT r = Check(errors_, "CreateGrammar", context_->CreateGrammar(id, grammar.out()));
    if (SUCCEEDED(r)) out = std::make_shared<SapiGrammar>(std::move(grammar), errors_);
    return r;
  }
  HResult GetEvent(RecoEvent& event) override {
    SPEVENT e{};
    HRESULT r = context_->GetEvents(1, &e, nullptr);
    if (FAILED(r)) return r;
    if (r == S_FALSE || e.eEventId == 0) return kFalse;  // nothing queued
    event.eventId = e.eEventId;
    if (e.eEventId == SPEI_RECOGNITION && e.elParamType == SPET_LPARAM_IS_OBJECT && e.lParam) {
      // The result keeps the event's reference.
      event.result = std::make_shared<SapiResult>(reinterpret_cast<ISpRecoResult*>(e.lParam));
      e.lParam = 0;
    }
    ClearEvent(e);
    return kOk;
  }

 private:
  static void __stdcall Notify(WPARAM, LPARAM held) {
    auto* notify = reinterpret_cast<std::function<void()>*>(held);
    if (*notify) (*notify)();
  }
  Com<ISpRecoContext> context_;
  HWND window_;
  Errors errors_;
  std::function<void()>* callback_ = nullptr;
};

class SapiRecognizer : public Recognizer {
 public:
  SapiRecognizer(Com<ISpRecognizer> recognizer, HWND window, Errors errors)
      : recognizer_(std::move(recognizer)), window_(window), errors_(std::move(errors)) {}
  HResult CreateRecoContext(std::shared_ptr<RecoContext>& out) override {
    Com<ISpRecoContext> context;
    HRESULT r = Check(errors_, "CreateRecoContext", recognizer_->CreateRecoContext(context.out()));
    if (SUCCEEDED(r)) out = std::make_shared<SapiContext>(std::move(context), window_, errors_);
    return r;
  }
  HResult SetInput(std::shared_ptr<AudioInput> input, bool allowFormatChanges) override {
    auto* audio = dynamic_cast<SapiAudio*>(input.get());
    return recognizer_->SetInput(audio ? audio->get() : nullptr, allowFormatChanges ? TRUE : FALSE);
  }
  HResult SetRecoState(RecoState state) override {
    return Check(errors_, "SetRecoState",
                 recognizer_->SetRecoState(state == RecoState::Active ? SPRST_ACTIVE : SPRST_INACTIVE));
  }

 private:
  Com<ISpRecognizer> recognizer_;
  HWND window_;
  Errors errors_;
};

}  // namespace

SapiSystem SapiSystem::Default() {
  return {[] { return CoInitialize(nullptr); }, [] { CoUninitialize(); },
          [](REFCLSID clsid, REFIID iid, void** out) {
            return CoCreateInstance(clsid, nullptr, CLSCTX_ALL, iid, out);
          }};
}

SapiEngine::SapiEngine(SapiSystem system) : system_(std::move(system)) {}
SapiEngine::~SapiEngine() = default;

HResult SapiEngine::Initialize() {
  lastError_->clear();
  return Check(lastError_, "CoInitialize", system_.initialize());
}
void SapiEngine::Uninitialize() { system_.uninitialize(); }

HResult SapiEngine::CreateRecognizer(std::shared_ptr<Recognizer>& out) {
  Com<ISpRecognizer> recognizer;
  HRESULT r = Check(lastError_, "creating the recogniser (SpInprocRecognizer)",
                    system_.create(CLSID_SpInprocRecognizer, IID_ISpRecognizer, recognizer.outVoid()));
  if (SUCCEEDED(r)) out = std::make_shared<SapiRecognizer>(std::move(recognizer), window_, lastError_);
  return r;
}

HResult SapiEngine::GetDefaultAudioInputToken(std::shared_ptr<AudioToken>& out) {
  Com<ISpObjectTokenCategory> category;
  HRESULT r = system_.create(CLSID_SpObjectTokenCategory, IID_ISpObjectTokenCategory, category.outVoid());
  if (SUCCEEDED(r)) r = category->SetId(SPCAT_AUDIOIN, TRUE);
  LPWSTR id = nullptr;
  if (SUCCEEDED(r)) r = category->GetDefaultTokenId(&id);
  Com<ISpObjectToken> token;
  if (SUCCEEDED(r)) r = system_.create(CLSID_SpObjectToken, IID_ISpObjectToken, token.outVoid());
  if (SUCCEEDED(r)) r = token->SetId(nullptr, id, FALSE);
  CoTaskMemFree(id);
  if (FAILED(r)) return r;
  out = std::make_shared<SapiToken>(std::move(token));
  return r;
}

}  // namespace quorvel::speech
