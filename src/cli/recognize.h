// quorvel-cli recognize: the recogniser session on WAV files.
#pragma once
#include <string>
#include <vector>

namespace quorvel::cli {

struct RecognizeArgs {
  int dataSet = -1;  // -1: from the INI
  std::string catalogue;
  std::string dictionary;
  bool general = false;
  bool act = false;
  std::string ini;
  std::vector<std::string> wavs;
};

int RunRecognize(const RecognizeArgs& args);

}  // namespace quorvel::cli
