// The recognition queue both backends share: the recogniser's thread pushes,
// the UI thread fetches. The notify callback runs after every push, outside
// the lock, so a host may post to its UI thread from it.
#pragma once
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "speech/engine/engine.h"

namespace quorvel::speech {

class EventQueue {
 public:
  void SetNotify(std::function<void()> notify);
  void SetInterest(std::uint64_t eventInterest, std::uint64_t queuedInterest);
  // Queues one recognition (when recognitions are of interest) and notifies.
  void PushRecognition(std::shared_ptr<const RecoResult> result);
  HResult Pop(RecoEvent& event);
  std::size_t Size() const;

 private:
  mutable std::mutex mutex_;
  std::deque<RecoEvent> events_;
  std::shared_ptr<std::function<void()>> notify_;
  std::uint64_t queuedInterest_ = 0;
};

// A result whose text is fixed when it is made; GetText fails when the text
// is absent.
class TextResult : public RecoResult {
 public:
  explicit TextResult(std::optional<std::string> utf8) : text_(std::move(utf8)) {}
  HResult GetText(std::string& utf8) const override;

 private:
  std::optional<std::string> text_;
};

}  // namespace quorvel::speech
