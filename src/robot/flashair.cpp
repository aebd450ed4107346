#include "robot/flashair.h"

#include <strings.h>

#include "app/converter_state.h"
#include "app/strings.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/sjis.h"
#include "robot/command_record.h"

namespace quorvel {
namespace {

constexpr const char* kCommandName = "ADDON\\REMOTE.LOG";
constexpr const char* kProgramName = "TEMP.TXA";

std::string BaseUrl(const ConverterState& state) {
  std::string url = "http://" + state.flashAir.host;
  if (state.flashAir.port != 80) (url += ':') += std::to_string(state.flashAir.port);
  return url + "/upload.cgi";
}

// Message 119 with the client's error text, cut to 259 bytes and without
// trailing control characters.
void ReportHttpError(ConverterState& state, const std::string& error, const std::string& url) {
  std::string text(sjis::TruncateAtChar(sjis::FromUtf8Lossy(error), 259));
  while (!text.empty() && static_cast<unsigned char>(text.back()) < 0x20) text.pop_back();
  state.ShowMessage(IDS_FLASHAIR_ERROR, FormatString(IDS_FLASHAIR_ERROR, text), url + ": " + error);
}

bool UploadRecord(ConverterState& state, const RemoteCommand& record) {
  return UploadFile(state, kCommandName, std::string(record.begin(), record.end()));
}

}  // namespace

bool ParseCardTarget(const std::string& card, FlashAirTarget& target) {
  std::size_t colon = card.rfind(':');
  if (colon == std::string::npos) {
    target.host = card;
    target.port = 80;
    return !card.empty();
  }
  target.host = card.substr(0, colon);
  const std::string port = card.substr(colon + 1);
  if (target.host.empty() || port.empty() || port.size() > 5 ||
      port.find_first_not_of("0123456789") != std::string::npos)
    return false;
  target.port = std::stoi(port);
  return target.port >= 1 && target.port <= 65535;
}

std::string FormatCardTarget(const FlashAirTarget& target) {
  return target.port == 80 ? target.host : target.host + ":" + std::to_string(target.port);
}

std::string UploadHeader() {
  return std::string("Content-Type: multipart/form-data;boundary=") + kUploadBoundary;
}

std::string BuildUploadBody(const std::string& fileName, const std::string& data) {
  const std::string b = kUploadBoundary;
  std::string body;
  body.reserve(153 + fileName.size() + data.size());
  body += "--" + b + "\r\n";
  body += "Content-Disposition: form-data; name=\"upload.cgi\";filename=\"" + fileName + "\"\r\n";
  body += "--" + b + "\r\n";
  body += "\r\n";
  body += data;
  body += "\r\n--" + b + "--\r\n";
  return body;
}

std::string HttpGetText(ConverterState& state, const std::string& url) {
  auto reply = platform::HttpGet(url, kPrepareReplyMax, state.flashAir.limits);
  if (!reply.ok) {
    ReportHttpError(state, reply.error, url);
    return "";
  }
  return reply.body;
}

bool PostUploadForm(ConverterState& state, const std::string& fileName, const std::string& data) {
  // Any reply that arrives counts: cards answer an upload in different ways.
  auto reply = platform::HttpPost10(BaseUrl(state), UploadHeader(),
                                    BuildUploadBody(fileName, data), state.flashAir.limits);
  if (!reply.ok) {
    ReportHttpError(state, reply.error, BaseUrl(state));
    return false;
  }
  return true;
}

bool UploadFile(ConverterState& state, const std::string& fileName, const std::string& data) {
  std::string reply = HttpGetText(state, BaseUrl(state) + "?WRITEPROTECT=OFF&UPDIR=/ADDON");
  if (reply.size() != 7 || strncasecmp(reply.c_str(), "SUCCESS", 7) != 0) {
    state.ShowMessage(IDS_FLASHAIR_CONNECT, LoadString(IDS_FLASHAIR_CONNECT),
                      BaseUrl(state) + (reply.empty() ? ": no answer" : ": the card answered \"" + reply + "\""));
    return false;
  }
  if (!PostUploadForm(state, fileName, data)) {
    state.ShowMessage(IDS_FLASHAIR_UPLOAD, LoadString(IDS_FLASHAIR_UPLOAD), BaseUrl(state));
    return false;
  }
  return true;
}

bool SendVoiceFlashAir(ConverterState& state, std::int16_t voiceId, std::int16_t duration,
                       std::int16_t volume) {
  return UploadRecord(state, MakeVoiceCommand(voiceId, duration, volume, state.dataSet,
                                              state.remoteInterval));
}

bool SendArithmeticFlashAir(ConverterState& state, const ArithmeticExpr& expr) {
  return UploadRecord(state, MakeArithmeticCommand(expr));
}

bool RunProgramFlashAir(ConverterState& state, const std::string& programPath) {
  std::string data;
  if (!platform::ReadWholeFile(platform::ToNativePath(programPath), data) || data.empty()) {
    state.ShowMessage(IDS_PROGRAM_READ_FAILED);
    return false;
  }
  if (!UploadFile(state, kProgramName, data)) return false;
  SendVoiceFlashAir(state, kRunProgramVoiceId, 0, 0);  // reports its own failure
  return true;
}

}  // namespace quorvel
