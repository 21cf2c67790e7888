#include "tests/support/dialog_harness.h"

#include "platform/wtf8.h"

namespace velmora::testing {

DialogHarness::DialogHarness(std::optional<std::string> command_line) {
  dialog_ = std::make_unique<MainDialog>(
      window_, crypter_, Utf16FromWtf8(command_line.value_or(dir_.path())));
  window_.dispatch = [this](int command) {
    if (command == ID_START_SCAN) dialog_->OnStartScan();
  };
  dialog_->OnInitDialog();
  window_.RunPostedCommands();
}

}  // namespace velmora::testing
