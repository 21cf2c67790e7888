#include "ui/main_dialog.h"

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "job/messages.h"
#include "job/run_job.h"
#include "job/scan.h"
#include "platform/file_system.h"
#include "platform/u16_format.h"
#include "platform/wtf8.h"
#include "state/left_decrypted.h"

namespace velmora {
namespace {

// The message box flags that show |question|.
unsigned FlagsOf(const Question& question) {
  unsigned flags = MB_OK;
  switch (question.buttons) {
    case Buttons::kOk:
      break;
    case Buttons::kYesNo:
      flags = MB_YESNO;
      break;
    case Buttons::kAbortRetryIgnore:
      flags = MB_ABORTRETRYIGNORE;
      break;
    case Buttons::kAbortIgnore:
      flags = MB_ABORTIGNORE;
      break;
  }
  switch (question.icon) {
    case Icon::kError:
      flags |= MB_ICONERROR;
      break;
    case Icon::kQuestion:
      flags |= MB_ICONQUESTION;
      break;
    case Icon::kWarning:
      flags |= MB_ICONWARNING;
      break;
    case Icon::kInformation:
      flags |= MB_ICONINFORMATION;
      break;
  }
  if (question.second_is_default) flags |= MB_DEFBUTTON2;
  if (question.yes_skips_entry) flags |= MB_YES_SKIPS_ENTRY;
  return flags;
}

// The lines of the settings' extension list: cut at each carriage return
// (or U+0000), the line feed right after a carriage return, or at the
// very start, dropped, so "\r\n" line ends read as clean lines while any
// other line feed stays.
std::vector<std::u16string> SplitLines(std::u16string_view text) {
  std::vector<std::u16string> lines;
  bool line_start = true;  // right after a carriage return, or at the start
  std::size_t start = 0;
  while (start < text.size()) {
    if (line_start && text[start] == u'\n') ++start;
    std::size_t end = start;
    while (end < text.size() && text[end] != u'\r' && text[end] != u'\0') ++end;
    lines.emplace_back(text.substr(start, end - start));
    if (end == text.size()) break;
    line_start = text[end] == u'\r';
    start = end + 1;
  }
  return lines;
}

}  // namespace

MainDialog::MainDialog(WindowPort& window, Crypter& crypter, std::u16string command_line)
    : JobHost(crypter), window_(window), command_line_(std::move(command_line)) {}

void MainDialog::OnInitDialog() {
  window_.SetControlText(IDC_STATUS_MAIN, Format(text::kStarted, {text::kVersion}));
  window_.SetControlText(IDC_STATUS_SUB, text::kStartupComplete);

  std::u16string initial = command_line_;
  if (initial.empty()) {
    const std::u16string data = GetCurrentDirectoryPath() + u"/data";
    FileStatus status{};
    initial = GetFileStatus(data, &status) ? data : kDropHereText;
  }
  window_.SetControlText(IDC_PATH, initial);

  LoadStartupSettings(*this);
  window_.SetChecked(IDC_RADIO_ENCRYPT, true);
  window_.SetChecked(IDC_RADIO_DECRYPT, false);
  window_.SetChecked(IDC_RADIO_TEMPORARY, false);
  job_.running = 0;
  job_.exit_pass = 0;
  CheckTargetPath();
}

void MainDialog::OfferTreesLeftDecrypted() {
  const std::vector<std::string> trees = state::TreesLeftDecrypted();
  if (trees.empty()) return;
  std::u16string folders;
  for (const std::string& tree : trees) {
    if (!folders.empty()) folders += u"\r\n";
    folders += Utf16FromWtf8(tree);
  }
  window_.MessageBox(Format(text::kLeftDecrypted, {folders}), MB_OK | MB_ICONWARNING);
  window_.SetControlText(IDC_PATH, Utf16FromWtf8(trees.front()));
  for (int id : {IDC_RADIO_ENCRYPT, IDC_RADIO_DECRYPT, IDC_RADIO_TEMPORARY}) {
    window_.SetChecked(id, id == IDC_RADIO_ENCRYPT);
  }
  job_.mode = 0;
  CheckTargetPath();
}

void MainDialog::CheckTargetPath() {
  if (job_.exit_pass == 1) return;
  std::u16string path = window_.GetControlText(IDC_PATH);
  ++job_.scan_generation;
  window_.EnableControl(IDC_EXECUTE, false);
  if (path == kDropHereText) return;
  window_.SetControlText(IDC_STATUS_MAIN, u"");
  const std::u16string typed = path;
  switch (CheckTarget(&path)) {
    case TargetCheck::kEmpty:
      // Nothing of the last run or scan may stand beside a new path.
      window_.SetControlText(IDC_STATUS_SUB, u"");
      return;
    case TargetCheck::kFileSystemRoot:
      // The reason every system folder gets, without a box: "/" begins
      // every path typed.
      window_.SetControlText(IDC_STATUS_MAIN, Format(text::kSystemFolder, {typed}));
      window_.SetControlText(IDC_STATUS_SUB, u"");
      return;
    case TargetCheck::kMissing:
      window_.SetControlText(IDC_STATUS_SUB, text::kInvalidPath);
      return;
    case TargetCheck::kFile:
      window_.SetControlText(IDC_STATUS_SUB, text::kFileNotSupported);
      return;
    case TargetCheck::kDirectory:
      job_.scan_dir = path;
      window_.PostCommand(ID_START_SCAN);
      return;
  }
}

void MainDialog::OnOperationChanged() { CheckTargetPath(); }

void MainDialog::OnStartScan() { velmora::OnStartScan(*this, *this, *this); }

void MainDialog::OnBrowse() {
  const std::u16string initial = window_.GetControlText(IDC_PATH);
  std::u16string chosen;
  if (!window_.BrowseForFolder(initial, &chosen)) return;
  window_.SetControlText(IDC_PATH, chosen);
  window_.SetFocusTo(IDC_PATH);
  CheckTargetPath();
}

void MainDialog::OnDropFiles(const std::u16string& first_path) {
  if (job_.running == 1 || IsWaiting() || !window_.IsControlEnabled(IDC_PATH)) {
    return;
  }
  window_.SetControlText(IDC_PATH, first_path);
  CheckTargetPath();
}

void MainDialog::OnSettings() {
  std::u16string extensions;
  for (int slot = 0; slot < kExtensionSlots; ++slot) {
    const std::u16string extension = crypter_.GetExtension(slot);
    if (extension.empty()) break;
    extensions += extension + u"\r\n";
  }
  int rule = ext_rule_;
  window_.RunOptionDialog(&extensions, &rule);
  ext_rule_ = rule;

  // Every slot is rewritten from its own line, so an empty line ends the
  // list. A line too long for a slot is left out rather than cut, so that
  // nothing the user did not type gets registered.
  const std::vector<std::u16string> lines = SplitLines(extensions);
  int slot = 0;
  for (std::size_t index = 0; slot < kExtensionSlots; ++index) {
    const std::u16string line = index < lines.size() ? lines[index] : std::u16string();
    if (crypter_.SetExtension(slot, line)) ++slot;
  }
}

void MainDialog::OnOK() {
  if (job_.running == 1 || !window_.IsControlEnabled(IDC_EXECUTE)) return;
  window_.StartWorker(
      [this, request = RequestFromControls()] { RunJob(*this, request, *this, *this); });
}

void MainDialog::OnCancel() {
  if (job_.running == 1) return;
  ++job_.scan_generation;
  ReencryptIfWaiting();
  window_.EndDialog(IDCANCEL);
}

void MainDialog::OnClose() {
  ++job_.scan_generation;
  if (window_.IsControlEnabled(IDC_EXIT)) OnCancel();
}

void MainDialog::OnSessionEnd() { ReencryptIfWaiting(); }

bool MainDialog::IsWaiting() {
  return job_.exit_pass == 0 && window_.IsChecked(IDC_RADIO_TEMPORARY) &&
         !window_.IsControlEnabled(IDC_SETTINGS);
}

void MainDialog::ReencryptIfWaiting() {
  if (!IsWaiting()) return;
  job_.exit_pass = 1;
  RunExitPass();
}

void MainDialog::RunExitPass() {
  window_.SetChecked(IDC_RADIO_ENCRYPT, true);
  window_.SetChecked(IDC_RADIO_DECRYPT, false);
  window_.SetChecked(IDC_RADIO_TEMPORARY, false);
  if (run_exit_pass_) {
    run_exit_pass_([this] { RunWithControls(); });
  } else {
    RunWithControls();
  }
  window_.EndDialog(IDOK);
}

void MainDialog::EnterWaitState() {
  for (int id : {IDC_SETTINGS, IDC_RADIO_ENCRYPT, IDC_RADIO_DECRYPT, IDC_RADIO_TEMPORARY,
                 IDC_OPERATION_GROUP, IDC_PATH, IDC_BROWSE}) {
    window_.EnableControl(id, false);
  }
  window_.SetFocusTo(IDC_EXIT);
}

RunRequest MainDialog::RequestFromControls() {
  RunRequest request;
  request.target = window_.GetControlText(IDC_PATH);
  request.operation = window_.IsChecked(IDC_RADIO_TEMPORARY) ? Operation::kTemporary
                      : window_.IsChecked(IDC_RADIO_DECRYPT) ? Operation::kDecrypt
                                                             : Operation::kEncrypt;
  request.extension_rule = ext_rule_ == 1 ? ExtensionRule::kHeadOfListed : ExtensionRule::kWhole;
  request.exit_pass = job_.exit_pass == 1;
  return request;
}

void MainDialog::RunWithControls() { RunJob(*this, RequestFromControls(), *this, *this); }

Answer MainDialog::Ask(const Question& question) {
  return static_cast<Answer>(window_.MessageBox(question.text, FlagsOf(question)));
}

void MainDialog::Notify(const Question& notice) {
  window_.MessageBox(notice.text, FlagsOf(notice));
}

bool MainDialog::AskPassword(SecretU16* password) {
  return window_.RunPasswordDialog(password) != IDCANCEL;
}

void MainDialog::ScanStarted() { window_.SetControlText(IDC_STATUS_SUB, text::kSearching); }

void MainDialog::ScanFolder(const std::u16string& folder) {
  window_.SetControlText(IDC_STATUS_MAIN, folder + u"/*");
}

void MainDialog::ScanCounted(int32_t entries) {
  window_.SetControlText(IDC_STATUS_SUB, Format(text::kSearchingCount, {entries}));
  window_.PumpMessages();  // may stop this scan, or run a whole newer one
}

void MainDialog::ScanCompleted(int32_t entries) {
  window_.SetControlText(IDC_STATUS_SUB, text::kSearchComplete);
  window_.SetControlText(IDC_STATUS_MAIN, Format(text::kFilesFound, {entries}));
  window_.EnableControl(IDC_EXECUTE, true);
}

void MainDialog::WalkStarted() { window_.SetInputBlocked(true); }

void MainDialog::EntryStarted(int32_t done, int32_t total, const std::u16string&) {
  window_.SetControlText(IDC_STATUS_SUB, Format(text::kProcessing, {done, total}));
}

void MainDialog::ContentsProgressed(const std::u16string& directory, const std::u16string& source,
                                    const std::u16string& target, int64_t done, int32_t size) {
  window_.SetControlText(
      IDC_STATUS_MAIN,
      Format(u"%s\r\n%8dK/%8dK : %s  \u2192  %s",
             {directory, done / 1024, static_cast<int64_t>(size / 1024), source, target}));
}

void MainDialog::WalkEnded() {
  window_.SetInputBlocked(false);
  window_.SetControlText(IDC_STATUS_SUB, u"");
}

void MainDialog::RunSummarized(const RunSummary& summary) {
  window_.SetControlText(IDC_STATUS_MAIN, SummaryText(summary));
  window_.SetControlText(IDC_STATUS_SUB, text::kProcessingComplete);
}

void MainDialog::Waiting() {
  EnterWaitState();
  window_.SetControlText(IDC_STATUS_MAIN, u"");
  window_.SetControlText(IDC_STATUS_SUB, text::kWaiting);
}

void MainDialog::RunEnded() {
  window_.EnableControl(IDC_EXECUTE, false);
  // The walk blocked the window's input and left no control with the focus;
  // a temporary decryption's wait has put it on Exit.
  if (!IsWaiting()) window_.SetFocusTo(IDC_PATH);
}

}  // namespace velmora
