// The program's recogniser on Windows: SAPI 5, the system's own, through COM.
// The catalogue files are SAPI's own XML grammars, so they are loaded as they
// are; the context notifies the main window with message 0x8000. The system
// behind the calls can be replaced (tests record the calls on fakes).
#pragma once
#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "speech/engine/engine.h"

namespace quorvel::speech {

// The COM functions the backend calls; the system's own by default.
struct SapiSystem {
  std::function<HRESULT()> initialize;  // CoInitialize(nullptr)
  std::function<void()> uninitialize;   // CoUninitialize()
  // CoCreateInstance(clsid, nullptr, CLSCTX_ALL, iid, out)
  std::function<HRESULT(REFCLSID clsid, REFIID iid, void** out)> create;
  static SapiSystem Default();
};

class SapiEngine : public Engine {
 public:
  explicit SapiEngine(SapiSystem system = SapiSystem::Default());
  ~SapiEngine() override;

  // The window that message 0x8000 goes to; none: the notify callback runs
  // on a thread of the recogniser's.
  void SetNotifyWindow(HWND window) { window_ = window; }

  HResult Initialize() override;
  void Uninitialize() override;
  HResult CreateRecognizer(std::shared_ptr<Recognizer>& out) override;
  HResult GetDefaultAudioInputToken(std::shared_ptr<AudioToken>& out) override;
  std::string LastError() const override { return *lastError_; }

 private:
  SapiSystem system_;
  // The last call that failed, with the system's text for its result;
  // shared with the objects the engine makes.
  std::shared_ptr<std::string> lastError_ = std::make_shared<std::string>();
  HWND window_ = nullptr;
};

// The notification message of the main window.
constexpr UINT kRecognizerMessage = 0x8000;

}  // namespace quorvel::speech
