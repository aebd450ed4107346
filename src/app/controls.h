// Control ids of the main window that several operations read or write.
#pragma once

namespace quorvel::ctl {
constexpr int kList = 1000;
constexpr int kFirstDataSetRadio = 1011;  // radio of data set d is 1011 + d
constexpr int kSendEdit = 1026;
constexpr int kReadingEdit = 1032;
constexpr int kRecognisedLabel = 1033;
constexpr int kRecogniserCheck = 1037;
constexpr int kGeneralCheck = 1038;
constexpr int kRegisterButton = 6;
constexpr int kDictionaryButton = 9;
}  // namespace quorvel::ctl
