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
    : JobHost(window, crypter), m_pszCmdLine(std::move(command_line)) {}

void MainDialog::OnInitDialog() {
  m_window.SetControlText(IDC_STATUS_MAIN, Format(text::kStarted, {text::kVersion}));
  m_window.SetControlText(IDC_STATUS_SUB, text::kStartupComplete);

  std::u16string initial = m_pszCmdLine;
  if (initial.empty()) {
    const std::u16string data = GetCurrentDirectoryPath() + u"/data";
    FileStatus status{};
    initial = GetFileStatus(data, &status) ? data : kDropHereText;
  }
  m_window.SetControlText(IDC_PATH, initial);

  m_nExtRule = 1;
  m_job.m_nMode = 0;
  m_crypter.BuildAlphabets();
  m_window.SetChecked(IDC_RADIO_ENCRYPT, true);
  m_window.SetChecked(IDC_RADIO_DECRYPT, false);
  m_window.SetChecked(IDC_RADIO_TEMPORARY, false);
  m_job.m_bRunning = 0;
  m_job.m_bExitPass = 0;
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
  m_window.MessageBox(Format(text::kLeftDecrypted, {folders}), MB_OK | MB_ICONWARNING);
  m_window.SetControlText(IDC_PATH, Utf16FromWtf8(trees.front()));
  for (int id : {IDC_RADIO_ENCRYPT, IDC_RADIO_DECRYPT, IDC_RADIO_TEMPORARY}) {
    m_window.SetChecked(id, id == IDC_RADIO_ENCRYPT);
  }
  m_job.m_nMode = 0;
  CheckTargetPath();
}

void MainDialog::CheckTargetPath() {
  if (m_job.m_bExitPass == 1) return;
  std::u16string path = m_window.GetControlText(IDC_PATH);
  ++m_job.m_nScanGeneration;
  m_window.EnableControl(IDC_EXECUTE, false);
  if (path == kDropHereText) return;
  m_window.SetControlText(IDC_STATUS_MAIN, u"");
  switch (CheckTarget(&path)) {
    case TargetCheck::kEmpty:
      return;
    case TargetCheck::kMissing:
      m_window.SetControlText(IDC_STATUS_SUB, text::kInvalidPath);
      return;
    case TargetCheck::kFile:
      m_window.SetControlText(IDC_STATUS_SUB, text::kFileNotSupported);
      return;
    case TargetCheck::kDirectory:
      m_job.m_strScanDir = path;
      m_window.PostCommand(ID_START_SCAN);
      return;
  }
}

void MainDialog::OnOperationChanged() { CheckTargetPath(); }

void MainDialog::OnStartScan() { velmora::OnStartScan(*this, *this, *this); }

void MainDialog::OnBrowse() {
  const std::u16string initial = m_window.GetControlText(IDC_PATH);
  std::u16string chosen;
  if (!m_window.BrowseForFolder(initial, &chosen)) return;
  m_window.SetControlText(IDC_PATH, chosen);
  m_window.SetFocusTo(IDC_PATH);
  CheckTargetPath();
}

void MainDialog::OnDropFiles(const std::u16string& first_path) {
  if (m_job.m_bRunning == 1 || IsWaiting() || !m_window.IsControlEnabled(IDC_PATH)) {
    return;
  }
  m_window.SetControlText(IDC_PATH, first_path);
  CheckTargetPath();
}

void MainDialog::OnSettings() {
  std::u16string extensions;
  for (int slot = 0; slot < kExtensionSlots; ++slot) {
    const std::u16string extension = m_crypter.GetExtension(slot);
    if (extension.empty()) break;
    extensions += extension + u"\r\n";
  }
  int rule = m_nExtRule;
  m_window.RunOptionDialog(&extensions, &rule);
  m_nExtRule = rule;

  // Every slot is rewritten from its own line, so an empty line ends the
  // list. A line too long for a slot is left out rather than cut, so that
  // nothing the user did not type gets registered.
  const std::vector<std::u16string> lines = SplitLines(extensions);
  int slot = 0;
  for (std::size_t index = 0; slot < kExtensionSlots; ++index) {
    const std::u16string line = index < lines.size() ? lines[index] : std::u16string();
    if (m_crypter.SetExtension(slot, line)) ++slot;
  }
}

void MainDialog::OnOK() {
  if (m_job.m_bRunning == 1 || !m_window.IsControlEnabled(IDC_EXECUTE)) return;
  m_window.StartWorker(
      [this, request = RequestFromControls()] { RunJob(*this, request, *this, *this); });
}

void MainDialog::OnCancel() {
  if (m_job.m_bRunning == 1) return;
  ++m_job.m_nScanGeneration;
  ReencryptIfWaiting();
  m_window.EndDialog(IDCANCEL);
}

void MainDialog::OnClose() {
  ++m_job.m_nScanGeneration;
  if (m_window.IsControlEnabled(IDC_EXIT)) OnCancel();
}

void MainDialog::OnSessionEnd() { ReencryptIfWaiting(); }

bool MainDialog::IsWaiting() {
  return m_job.m_bExitPass == 0 && m_window.IsChecked(IDC_RADIO_TEMPORARY) &&
         !m_window.IsControlEnabled(IDC_SETTINGS);
}

void MainDialog::ReencryptIfWaiting() {
  if (!IsWaiting()) return;
  m_job.m_bExitPass = 1;
  RunExitPass();
}

void MainDialog::RunExitPass() {
  m_window.SetChecked(IDC_RADIO_ENCRYPT, true);
  m_window.SetChecked(IDC_RADIO_DECRYPT, false);
  m_window.SetChecked(IDC_RADIO_TEMPORARY, false);
  if (m_runExitPass) {
    m_runExitPass([this] { RunWithControls(); });
  } else {
    RunWithControls();
  }
  m_window.EndDialog(IDOK);
}

void MainDialog::EnterWaitState() {
  for (int id : {IDC_SETTINGS, IDC_RADIO_ENCRYPT, IDC_RADIO_DECRYPT, IDC_RADIO_TEMPORARY,
                 IDC_OPERATION_GROUP, IDC_PATH, IDC_BROWSE}) {
    m_window.EnableControl(id, false);
  }
  m_window.SetFocusTo(IDC_EXIT);
}

RunRequest MainDialog::RequestFromControls() {
  RunRequest request;
  request.target = m_window.GetControlText(IDC_PATH);
  request.operation = m_window.IsChecked(IDC_RADIO_TEMPORARY) ? Operation::kTemporary
                      : m_window.IsChecked(IDC_RADIO_DECRYPT) ? Operation::kDecrypt
                                                              : Operation::kEncrypt;
  request.extension_rule = m_nExtRule == 1 ? ExtensionRule::kHeadOfListed : ExtensionRule::kWhole;
  request.exit_pass = m_job.m_bExitPass == 1;
  return request;
}

void MainDialog::RunWithControls() { RunJob(*this, RequestFromControls(), *this, *this); }

Answer MainDialog::Ask(const Question& question) {
  return static_cast<Answer>(m_window.MessageBox(question.text, FlagsOf(question)));
}

void MainDialog::Notify(const Question& notice) {
  m_window.MessageBox(notice.text, FlagsOf(notice));
}

bool MainDialog::AskPassword(SecretU16* password) {
  return m_window.RunPasswordDialog(password) != IDCANCEL;
}

void MainDialog::ScanStarted() { m_window.SetControlText(IDC_STATUS_SUB, text::kSearching); }

void MainDialog::ScanFolder(const std::u16string& folder) {
  m_window.SetControlText(IDC_STATUS_MAIN, folder + u"/*");
}

void MainDialog::ScanCounted(int32_t entries) {
  m_window.SetControlText(IDC_STATUS_SUB, Format(text::kSearchingCount, {entries}));
}

void MainDialog::ScanCompleted(int32_t entries) {
  m_window.SetControlText(IDC_STATUS_SUB, text::kSearchComplete);
  m_window.SetControlText(IDC_STATUS_MAIN, Format(text::kFilesFound, {entries}));
  m_window.EnableControl(IDC_EXECUTE, true);
}

void MainDialog::WalkStarted() { m_window.SetInputBlocked(true); }

void MainDialog::EntryStarted(int32_t done, int32_t total, const std::u16string&) {
  m_window.SetControlText(IDC_STATUS_SUB, Format(text::kProcessing, {done, total}));
}

void MainDialog::ContentsProgressed(const std::u16string& directory, const std::u16string& source,
                                    const std::u16string& target, int64_t done, int32_t size) {
  m_window.SetControlText(
      IDC_STATUS_MAIN,
      Format(u"%s\r\n%8dK/%8dK : %s  \u2192  %s",
             {directory, done / 1024, static_cast<int64_t>(size / 1024), source, target}));
}

void MainDialog::WalkEnded() {
  m_window.SetInputBlocked(false);
  m_window.SetControlText(IDC_STATUS_SUB, u"");
}

void MainDialog::RunSummarized(const RunSummary& summary) {
  m_window.SetControlText(IDC_STATUS_MAIN, SummaryText(summary));
  m_window.SetControlText(IDC_STATUS_SUB, text::kProcessingComplete);
}

void MainDialog::Waiting() {
  EnterWaitState();
  m_window.SetControlText(IDC_STATUS_MAIN, u"");
  m_window.SetControlText(IDC_STATUS_SUB, text::kWaiting);
}

void MainDialog::RunEnded() { m_window.EnableControl(IDC_EXECUTE, false); }

}  // namespace velmora
