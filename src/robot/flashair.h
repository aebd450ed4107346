// Delivery to a FlashAir card over Wi-Fi: every file goes up as a prepare GET
// of /upload.cgi followed by a multipart HTTP/1.0 POST into the card's ADDON.
#pragma once
#include <cstdint>
#include <string>

#include "speech/arithmetic.h"

namespace quorvel {
class ConverterState;
struct FlashAirTarget;

// HOST or HOST:PORT (port 1 to 65535), as both programs take it on their
// command line; false, leaving target unusable, for anything else.
bool ParseCardTarget(const std::string& text, FlashAirTarget& target);
// HOST, or HOST:PORT when the port is not 80.
std::string FormatCardTarget(const FlashAirTarget& target);

constexpr const char* kUploadBoundary = "========================";
constexpr std::size_t kPrepareReplyMax = 256;

// The POST body exactly as the card expects it; 153 + name + data bytes.
std::string BuildUploadBody(const std::string& fileName, const std::string& data);
std::string UploadHeader();

std::string HttpGetText(ConverterState& state, const std::string& url);
bool PostUploadForm(ConverterState& state, const std::string& fileName, const std::string& data);
bool UploadFile(ConverterState& state, const std::string& fileName, const std::string& data);

bool SendVoiceFlashAir(ConverterState& state, std::int16_t voiceId, std::int16_t duration,
                       std::int16_t volume);
bool SendArithmeticFlashAir(ConverterState& state, const ArithmeticExpr& expr);
bool RunProgramFlashAir(ConverterState& state, const std::string& programPath);

}  // namespace quorvel
