// The recogniser as the program sees it: an engine that is initialised per
// session, a recogniser with an audio input and a listening state, a
// recognition context that queues recognitions and notifies, and one grammar
// holding a command grammar file and dictation. Results are 32-bit codes:
// negative is failure. Backends: scripted (tests), PocketSphinx (the program).
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace quorvel::speech {

using HResult = std::int32_t;
constexpr HResult kOk = 0;
constexpr HResult kFalse = 1;  // success, but nothing there (an empty queue)
constexpr HResult kFail = static_cast<HResult>(0x80004005);
constexpr HResult kOutOfMemory = static_cast<HResult>(0x8007000E);
constexpr HResult kInvalidArg = static_cast<HResult>(0x80070057);
constexpr HResult kFileNotFound = static_cast<HResult>(0x80070002);
constexpr HResult kNoAudioDevice = static_cast<HResult>(0x80045010);
// The file was read but is not a grammar (message 129 rather than 130).
constexpr HResult kUnsupportedFormat = static_cast<HResult>(0x80045003);
constexpr HResult kNotInitialized = static_cast<HResult>(0x80045057);

inline bool Failed(HResult r) { return r < 0; }

// Event interest: recognitions only, in the flag form of event 38.
constexpr std::uint64_t kRecognitionInterest = 0x0000004240000000ULL;
constexpr int kRecognitionEvent = 38;

enum class RuleState { Inactive = 0, Active = 1 };
enum class RecoState { Inactive = 0, Active = 1 };

// 16 kHz mono signed 16-bit samples from a microphone or a file.
class AudioInput {
 public:
  virtual ~AudioInput() = default;
  // Blocks until samples arrive. Returns the count read, 0 at the end of the
  // stream (a file), or -1 when the input failed or was cancelled.
  virtual long Read(std::int16_t* samples, std::size_t count) = 0;
  // Wakes a blocked Read from another thread; later reads return -1.
  virtual void Cancel() = 0;
  // After Read returned 0: true when another recording follows.
  virtual bool Next() { return false; }
  // A recording waits until something listens; a microphone does not.
  virtual bool IsRecording() const { return false; }
};

// The name of an audio input that can be opened.
class AudioToken {
 public:
  virtual ~AudioToken() = default;
  virtual HResult CreateInstance(std::shared_ptr<AudioInput>& out) = 0;
};

class RecoResult {
 public:
  virtual ~RecoResult() = default;
  // The whole phrase's display text (UTF-8).
  virtual HResult GetText(std::string& utf8) const = 0;
};

// One fetched event. Clearing it releases the result it holds.
struct RecoEvent {
  int eventId = 0;
  std::shared_ptr<const RecoResult> result;
  void Clear() { *this = RecoEvent{}; }
};

class RecoGrammar {
 public:
  virtual ~RecoGrammar() = default;
  virtual HResult LoadDictation() = 0;
  // Replaces the rules of any file loaded before. kUnsupportedFormat when
  // the file is no grammar; another negative code when it cannot be read.
  virtual HResult LoadCmdFromFile(const std::string& nativePath) = 0;
  // All top-level rules at once.
  virtual HResult SetRuleState(RuleState state) = 0;
  virtual HResult SetDictationState(RuleState state) = 0;
};

class RecoContext {
 public:
  virtual ~RecoContext() = default;
  // The callback may run on the recogniser's own thread, after events were
  // queued; an empty function detaches it.
  virtual HResult SetNotifyCallback(std::function<void()> notify) = 0;
  virtual HResult SetInterest(std::uint64_t eventInterest, std::uint64_t queuedInterest) = 0;
  virtual HResult CreateGrammar(std::uint64_t id, std::shared_ptr<RecoGrammar>& out) = 0;
  // kOk with one event, kFalse when the queue is empty.
  virtual HResult GetEvent(RecoEvent& event) = 0;
};

class Recognizer {
 public:
  virtual ~Recognizer() = default;
  // The context keeps the recogniser alive.
  virtual HResult CreateRecoContext(std::shared_ptr<RecoContext>& out) = 0;
  virtual HResult SetInput(std::shared_ptr<AudioInput> input, bool allowFormatChanges) = 0;
  virtual HResult SetRecoState(RecoState state) = 0;
};

// The recogniser library of the system. Initialize/Uninitialize bracket a
// session as CoInitialize/CoUninitialize do: counted, and balanced by callers.
class Engine {
 public:
  virtual ~Engine() = default;
  virtual HResult Initialize() = 0;
  virtual void Uninitialize() = 0;
  virtual HResult CreateRecognizer(std::shared_ptr<Recognizer>& out) = 0;
  virtual HResult GetDefaultAudioInputToken(std::shared_ptr<AudioToken>& out) = 0;
  // What last went wrong, in the system's words (UTF-8); empty when nothing did.
  virtual std::string LastError() const { return ""; }
  // Whether the models are loaded, so a start takes no time. An engine that
  // loads them in the background calls ready once they are (from its own
  // thread), unless CancelWhenReady came first; ready runs at once when
  // they are loaded already.
  virtual bool Ready() const { return true; }
  virtual void WhenReady(std::function<void()> ready) { ready(); }
  virtual void CancelWhenReady() {}
};

}  // namespace quorvel::speech
