// String table texts, kept here in UTF-8 and handed out in Shift_JIS.
#include "app/strings.h"

#include <map>

#include "platform/sjis.h"

namespace quorvel {
namespace {

const std::map<int, const char*> kTexts = {
    {IDS_ABOUTBOX, "バージョン情報 Quorvel(&A)..."},
    {IDS_LOAD_FAILED, "データファイルの読み込みに失敗しました"},
    {IDS_NO_SELECTION, "送信する項目をリストボックスから選んでください"},
    {IDS_ALREADY_RUNNING, "本プログラムは既に起動されています。"},
    {IDS_REMOTE_WRITE_FAILED,
     "リモートファイルの書込みに失敗しました。\nテモとUSB接続されている事を確認してください。"},
    {IDS_REMOTE_LOG_MISSING,
     "REMOTE.LOGファイルが見つかりません。\nこのファイルをテモSDカードのADDONフォルダーにコピーしておいてください。"},
    {IDS_PROGRAM_COPY_FAILED,
     "直接実行プログラムのコピーに失敗しました。\nプログラムを直接実行するにはテモとパソコンがUSBで接続されていなければいけません。\nまたテモの本体では直接命令用の初期化プログラムが動いていなければなりません。"},
    {IDS_FLASHAIR_ERROR, "FlashAirとの通信に失敗しました[%1]"},
    {IDS_FLASHAIR_CONNECT, "Flash Airと接続できません。\nWi-Fi設定を確認してください。"},
    {IDS_FLASHAIR_UPLOAD, "Flash Airへのアップロードに失敗しました。"},
    {IDS_PROGRAM_READ_FAILED, "テモプログラムの読み込みに失敗しました。"},
    {IDS_PROGRAM_FOLDER_ROW, "プログラムフォルダー更新"},
    {IDS_VOLUME_RANGE, "再生音量は0～100で指定してください"},
    {IDS_NO_READING, "登録語彙が入力されていません"},
    {IDS_CONFIRM_REPLACE, "登録語彙を認識語彙で置き換えてもよろしいですか？"},
    {IDS_WRITE_FAILED, "データファイルの書き出しに失敗しました"},
    {IDS_SPEECH_INIT_FAILED,
     "音声認識の初期化に失敗しました\nコントロールパネルの音声認識が正しくセットアップされているか確認してください"},
    {IDS_GRAMMAR_INVALID, "音声認識辞書の記述が間違っています"},
    {IDS_GRAMMAR_LOAD_FAILED, "音声認識辞書がロードできません"},
    {IDS_SELECT_ITEM, "登録する項目をリストボックスから選んでください"},
    {IDS_TOO_MANY_ITEMS, "データファイルの項目数が上限を超えています"},
    {IDS_FILE_DISK_FULL, "%1 へのアクセス中にディスクがいっぱいになりました。"},
    {IDS_FILE_ACCESS_DENIED, "%1 へのアクセスが拒否されました。"},
    {IDS_FILE_NOT_FOUND, "%1 が見つかりませんでした。"},
    {IDS_FILE_GENERIC, "%1 へのアクセス中にエラーが発生しました。"},
    {IDS_FILE_NAME_UNUSABLE, "%1 はこのプログラムでは使えないファイル名です。"},
    {IDS_CARD_ADDRESS, "FlashAirのアドレスは「ホスト名」または「ホスト名:ポート番号」で指定してください"},
    {IDS_INI_WRITE_FAILED, "設定ファイル %1 に書き込めませんでした。設定は保存されていません。"},
};

}  // namespace

const std::string& LoadString(int id) {
  static const std::map<int, std::string> converted = [] {
    std::map<int, std::string> m;
    for (const auto& [k, v] : kTexts) m[k] = sjis::FromUtf8Lossy(v);
    return m;
  }();
  static const std::string empty;
  auto it = converted.find(id);
  return it == converted.end() ? empty : it->second;
}

std::string FormatString(int id, const std::string& arg) {
  std::string text = LoadString(id);
  for (std::size_t pos = 0; (pos = text.find("%1", pos)) != std::string::npos;) {
    text.replace(pos, 2, arg);
    pos += arg.size();
  }
  return text;
}

}  // namespace quorvel
