// Hearing WAV files through a running recogniser session, as a microphone
// would hear them one after the other. The recogniser's thread stops at the
// end of each file until this side has drained and handled that file's
// recognitions, so every recognition is known to come from its file.
#pragma once
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

namespace quorvel {
class ConverterState;

class WavHandshake {
 public:
  // For WavFileInput::Options::onFileDone (the recogniser's thread).
  std::function<void(std::size_t)> FileDoneHook();
  // For ConverterState::notifyWindow.
  std::function<void()> NotifyHook();
  // Drains recognitions as they come until `files` files are done; after
  // the recognitions of file i are handled, onFile(i) runs.
  void Run(ConverterState& state, std::size_t files, bool act,
           const std::function<void(std::size_t)>& onFile);

 private:
  struct Shared {
    std::mutex mutex;
    std::condition_variable cv;
    bool notified = false;
    std::optional<std::size_t> fileDone;
    bool acknowledged = false;
  };
  std::shared_ptr<Shared> shared_ = std::make_shared<Shared>();
};

}  // namespace quorvel
