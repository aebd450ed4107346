#include "speech/wav_session.h"

#include "app/converter_state.h"
#include "speech/recognition.h"

namespace quorvel {

std::function<void(std::size_t)> WavHandshake::FileDoneHook() {
  return [s = shared_](std::size_t file) {
    std::unique_lock lock(s->mutex);
    s->fileDone = file;
    s->acknowledged = false;
    s->cv.notify_all();
    s->cv.wait(lock, [&] { return s->acknowledged; });
  };
}

std::function<void()> WavHandshake::NotifyHook() {
  return [s = shared_] {
    std::lock_guard lock(s->mutex);
    s->notified = true;
    s->cv.notify_all();
  };
}

void WavHandshake::Run(ConverterState& state, std::size_t files, bool act,
                       const std::function<void(std::size_t)>& onFile) {
  for (std::size_t done = 0; done < files;) {
    std::optional<std::size_t> ended;
    {
      std::unique_lock lock(shared_->mutex);
      shared_->cv.wait(lock, [&] { return shared_->notified || shared_->fileDone; });
      shared_->notified = false;
      ended = shared_->fileDone;
    }
    DrainRecognitionEvents(state, act);
    if (!ended) continue;
    if (onFile) onFile(*ended);
    done = *ended + 1;
    std::lock_guard lock(shared_->mutex);
    shared_->fileDone.reset();
    shared_->acknowledged = true;
    shared_->cv.notify_all();
  }
}

}  // namespace quorvel
