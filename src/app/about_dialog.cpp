#include "app/about_dialog.h"

#include "platform/sjis.h"
#include "ui/dialog_template.h"

namespace quorvel {

void CAboutDlg::OnInit(ui::DialogHost& dialog) {
  dialog.SetControlText(ui::kAboutIniText, sjis::FromUtf8Lossy("設定ファイル: ") + iniPath_);
}

}  // namespace quorvel
