#include "hearing.h"

#include <sys/stat.h>

#include <filesystem>

#include "app/controls.h"
#include "app/converter_state.h"
#include "catalogue/catalogue.h"
#include "platform/files.h"
#include "platform/sjis.h"
#include "speech/recognizer.h"
#include "speech/wav_session.h"
#include "ui/headless_host.h"

namespace quorvel::corpus {
namespace {

class LabelHost : public ui::HeadlessHost {
 public:
  void SetControlText(int id, const std::string& text) override {
    HeadlessHost::SetControlText(id, text);
    if (id == ctl::kRecognisedLabel) heard.push_back(sjis::ToUtf8(text));
  }
  ui::Answer MessageBox(int id, const std::string& text, ui::Icon icon, ui::Buttons buttons) override {
    shown.push_back(sjis::ToUtf8(text));
    return HeadlessHost::MessageBox(id, text, icon, buttons);
  }
  std::vector<std::string> heard, shown;
};

}  // namespace

Hearing HearInFolder(const std::string& folder, speech::SphinxOptions options, bool act,
                     const std::function<void(ConverterState&)>& setup) {
  auto old = std::filesystem::current_path();
  std::filesystem::current_path(folder);
  Hearing result;
  WavHandshake handshake;
  const std::size_t count = options.audioFiles.size();
  options.audioOptions.onFileDone = handshake.FileDoneHook();
  auto engine = std::make_shared<speech::PocketSphinxEngine>(std::move(options));
  {
    LabelHost host;
    ConverterState state(StateOptions{folder + "/Quorvel", folder, folder + "/Quorvel.ini", engine});
    state.mainWindow = &host;
    state.connectType = state.ReadIniInt("REMOTE", "CONNECT_TYPE", 1);
    if (setup) setup(state);
    LoadCatalogue(state, state.dataSet);
    state.notifyWindow = handshake.NotifyHook();
    result.started = StartRecognizer(state);
    if (result.started) {
      handshake.Run(state, count, act, [&](std::size_t) {
        Heard h;
        h.texts = std::move(host.heard);
        host.heard.clear();
        platform::ReadWholeFile("card/ADDON/REMOTE.LOG", h.commandFile);
        struct stat st{};
        if (stat("card/ADDON/REMOTE.LOG", &st) == 0)
          h.commandWrittenNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
        result.files.push_back(std::move(h));
      });
      StopRecognizer(state);
    }
    state.Shutdown();
    result.messages = host.shown;
  }
  result.stats = engine->Stats();
  std::filesystem::current_path(old);
  return result;
}

}  // namespace quorvel::corpus
