// How fast the session's speaker says a Japanese catalogue's phrases, and
// what a phrase said at another pace costs it when other speech is being
// told apart. Japanese times its speech by morae, so one speaker fills about
// as many frames with each mora of every phrase; other speech forced onto a
// phrase fills it with many more frames or many fewer.
#pragma once
#include <algorithm>
#include <cmath>
#include <cstddef>

namespace quorvel::speech {

class SpeakingPace {
 public:
  // How much further ahead per frame a phrase must be whose words filled
  // these frames (10 ms, as the sound was) over these morae: nothing until
  // the pace is known, nor within kSlack of it (a factor of e^0.1 either
  // way, a speaker's own variation); beyond, kWeight for each step of the
  // log. A phrase of fewer than kFewestMorae is too short to tell: its
  // last mora, drawn out as phrases end, weighs too much in it.
  double Cost(double frames, std::size_t morae) const {
    if (known_ == 0 || !Timed(frames, morae)) return 0;
    return kWeight * std::max(0.0, std::abs(std::log(frames / static_cast<double>(morae) / pace_)) - kSlack);
  }
  // A phrase clearly taken: the pace follows it, over about the last
  // kRecent phrases, so a new speaker's pace is learnt within some ten.
  void Learn(double frames, std::size_t morae) {
    if (!Timed(frames, morae)) return;
    ++known_;
    pace_ += (frames / static_cast<double>(morae) - pace_) / std::min(static_cast<double>(known_), kRecent);
  }
  double FramesPerMora() const { return pace_; }

 private:
  static bool Timed(double frames, std::size_t morae) { return frames > 0 && morae >= kFewestMorae; }
  double pace_ = 0;
  long known_ = 0;
  // Over the bench's Japanese voices and rooms, 15 and 0.1 turned away 4 to
  // 6% more of other speech for at most one phrase in a hundred; a
  // speaker's own phrases seldom stray beyond 10% of the pace.
  static constexpr double kRecent = 8, kSlack = 0.1, kWeight = 15;
  static constexpr std::size_t kFewestMorae = 3;
};

}  // namespace quorvel::speech
