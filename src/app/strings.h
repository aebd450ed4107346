// The program's string table: message and control texts by id.
#pragma once
#include <string>

// Windows' headers make LoadString a macro, which would rename the function below.
#ifdef LoadString
#undef LoadString
#endif

namespace quorvel {

// Ids 101-137 are the original table; the ones missing below are not used
// by any operation of the program.
enum StringId : int {
  IDS_ABOUTBOX = 101,
  IDS_LOAD_FAILED = 102,
  IDS_NO_SELECTION = 103,
  IDS_ALREADY_RUNNING = 106,
  IDS_REMOTE_WRITE_FAILED = 108,
  IDS_REMOTE_LOG_MISSING = 116,
  IDS_PROGRAM_COPY_FAILED = 117,
  IDS_FLASHAIR_ERROR = 119,
  IDS_FLASHAIR_CONNECT = 120,
  IDS_FLASHAIR_UPLOAD = 121,
  IDS_PROGRAM_READ_FAILED = 122,
  IDS_PROGRAM_FOLDER_ROW = 123,
  IDS_VOLUME_RANGE = 124,
  IDS_NO_READING = 125,
  IDS_CONFIRM_REPLACE = 126,
  IDS_WRITE_FAILED = 127,
  IDS_SPEECH_INIT_FAILED = 128,
  IDS_GRAMMAR_INVALID = 129,
  IDS_GRAMMAR_LOAD_FAILED = 130,
  IDS_SELECT_ITEM = 134,
  // Beyond the original table: errors this program reports of its own.
  IDS_TOO_MANY_ITEMS = 140,
  IDS_FILE_DISK_FULL = 141,
  IDS_FILE_ACCESS_DENIED = 142,
  IDS_FILE_NOT_FOUND = 143,
  IDS_FILE_GENERIC = 144,
  IDS_FILE_NAME_UNUSABLE = 145,
  IDS_INI_WRITE_FAILED = 146,
  IDS_CARD_ADDRESS = 147,
};

// The text of a string id in Shift_JIS; empty for an unknown id.
const std::string& LoadString(int id);

// The text with every %1 replaced by arg (both Shift_JIS).
std::string FormatString(int id, const std::string& arg);

}  // namespace quorvel
