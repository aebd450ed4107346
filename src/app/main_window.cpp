#include "app/main_window.h"

#include "app/controls.h"
#include "app/main_list.h"
#include "app/settings_dialog.h"
#include "catalogue/grammar_writer.h"
#include "robot/sending.h"
#include "speech/recognition.h"
#include "speech/recognizer.h"

namespace quorvel {
namespace {
constexpr int kDirectSendButton = 3;
constexpr int kSettingsButton = 8;
}  // namespace

CQuorvelDlg::CQuorvelDlg(const StateOptions& options)
    : state_(std::make_unique<ConverterState>(options)) {}

CQuorvelDlg::~CQuorvelDlg() { OnDestroy(); }

void CQuorvelDlg::OnInitDialog(ui::DialogHost& window) {
  window_ = &window;
  WriteRadioGroup();
  state_->AttachWindow(&window);
}

int CQuorvelDlg::ReadRadioGroup() const {
  for (int d = 0; d < kDataSetCount; ++d)
    if (window_->GetCheck(ctl::kFirstDataSetRadio + d)) return d;
  return -1;
}

void CQuorvelDlg::WriteRadioGroup() {
  for (int d = 0; d < kDataSetCount; ++d)
    window_->SetCheck(ctl::kFirstDataSetRadio + d, d == dataSetRadio);
}

void CQuorvelDlg::OnDataSetRadio() {
  dataSetRadio = ReadRadioGroup();
  if (dataSetRadio < 0) return;
  if (SwitchDataSet(*state_, dataSetRadio)) WriteRadioGroup();
}

void CQuorvelDlg::OnDictionaryButton() {
  if (!ReloadGrammar(*state_, true)) return;
  dataSetRadio = ReadRadioGroup();
  if (dataSetRadio >= 0 && SwitchDataSet(*state_, dataSetRadio)) WriteRadioGroup();
}

void CQuorvelDlg::OnCommand(int id) {
  if (!state_ || !window_) return;
  if (id >= ctl::kFirstDataSetRadio && id < ctl::kFirstDataSetRadio + kDataSetCount) {
    OnDataSetRadio();
    return;
  }
  switch (id) {
    case kDirectSendButton: SendSelection(*state_, false); break;
    case ctl::kRegisterButton: RegisterWord(*state_); break;
    case ctl::kDictionaryButton: OnDictionaryButton(); break;
    case kSettingsButton: OpenSettings(*state_); break;
    case ctl::kRecogniserCheck:
      if (window_->GetCheck(ctl::kRecogniserCheck)) StartRecognizer(*state_);
      else StopRecognizer(*state_);
      break;
    case ctl::kGeneralCheck:
      state_->generalDictation = window_->GetCheck(ctl::kGeneralCheck);
      ReloadGrammar(*state_, false);
      break;
    default: break;
  }
}

void CQuorvelDlg::OnListSelectionChange() {
  if (state_) ShowSelectedReading(*state_);
}

void CQuorvelDlg::OnListDoubleClick() {
  if (state_) SendSelection(*state_, false);
}

void CQuorvelDlg::OnEnterKey() {
  if (!state_ || !window_) return;
  if (window_->FocusedControl() == ctl::kReadingEdit) RegisterWord(*state_);
  else SendSelection(*state_, true);
}

void CQuorvelDlg::OnRecognizerNotify() {
  if (state_) DrainRecognitionEvents(*state_);
}

void CQuorvelDlg::OnDestroy() {
  if (!state_) return;
  state_->Shutdown();
  state_.reset();
}

}  // namespace quorvel
