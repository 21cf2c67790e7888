#include "tests/support/dialog_harness.h"

#include "platform/wtf8.h"

namespace velmora::testing {

DialogHarness::DialogHarness(const std::string& target) {
  dialog_ = std::make_unique<MainDialog>(
      window_, crypter_, Utf16FromWtf8(target.empty() ? dir_.path() : target));
  window_.dispatch = [this](int command) {
    if (command == ID_START_SCAN) dialog_->OnStartScan();
  };
  dialog_->OnInitDialog();
  window_.RunPostedCommands();
}

void DialogHarness::Choose(int radio) {
  window_.SetChecked(radio, true);
  dialog_->OnOperationChanged();
  window_.RunPostedCommands();
}

void DialogHarness::TypePath(const std::u16string& text) {
  window_.SetControlText(IDC_PATH, text);
  dialog_->CheckTargetPath();
  window_.RunPostedCommands();
}

void DialogHarness::Execute(std::optional<std::u16string> password) {
  window_.QueuePassword(std::move(password));
  dialog_->OnOK();
}

void DialogHarness::Encrypt(const std::u16string& password) {
  Choose(IDC_RADIO_ENCRYPT);
  Execute(password);
}

void DialogHarness::Decrypt(const std::u16string& password) {
  Choose(IDC_RADIO_DECRYPT);
  Execute(password);
}

}  // namespace velmora::testing
