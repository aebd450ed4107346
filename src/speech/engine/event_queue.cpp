#include "speech/engine/event_queue.h"

namespace quorvel::speech {

void EventQueue::SetNotify(std::function<void()> notify) {
  std::lock_guard lock(mutex_);
  notify_ = notify ? std::make_shared<std::function<void()>>(std::move(notify)) : nullptr;
}

void EventQueue::SetInterest(std::uint64_t, std::uint64_t queuedInterest) {
  std::lock_guard lock(mutex_);
  queuedInterest_ = queuedInterest;
}

void EventQueue::PushRecognition(std::shared_ptr<const RecoResult> result) {
  std::shared_ptr<std::function<void()>> notify;
  {
    std::lock_guard lock(mutex_);
    if (!(queuedInterest_ & (1ULL << kRecognitionEvent))) return;
    events_.push_back(RecoEvent{kRecognitionEvent, std::move(result)});
    notify = notify_;
  }
  if (notify) (*notify)();
}

HResult EventQueue::Pop(RecoEvent& event) {
  std::lock_guard lock(mutex_);
  if (events_.empty()) return kFalse;
  event = std::move(events_.front());
  events_.pop_front();
  return kOk;
}

std::size_t EventQueue::Size() const {
  std::lock_guard lock(mutex_);
  return events_.size();
}

HResult TextResult::GetText(std::string& utf8) const {
  if (!text_) return kFail;
  utf8 = *text_;
  return kOk;
}

}  // namespace quorvel::speech
