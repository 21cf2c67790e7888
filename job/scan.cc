#include "job/scan.h"

#include <vector>

#include "job/directory_listing.h"
#include "job/messages.h"
#include "platform/u16_format.h"

namespace velmora {
namespace {

constexpr int64_t kAbsoluteSizeLimit = 4294967295;
constexpr int64_t kWholeFileLimit = kWholeRangeBytes;
constexpr int64_t kWholeFileLimitMiB = kWholeRangeBytes / 1048576;

void RefuseFile(JobHost& host, const std::u16string& message,
                const DirectoryEntry& entry) {
  host.m_lastScanOutcome = ScanOutcome::kRefused;
  host.m_window.MessageBox(
      message + Format(text::kPathBlock,
                       {DirectoryWithSeparator(entry.path, entry.name), entry.name}),
      MB_OK | MB_ICONERROR);
}

}  // namespace

void OnStartScan(JobHost& host) {
  JobState& job = host.m_job;
  WindowPort& window = host.m_window;
  const int32_t generation = ++job.m_nScanGeneration;
  job.m_nScanTotal = 0;
  job.m_nScanEncrypted = 0;
  job.m_nScanPlain = 0;
  job.m_strScanLongestName.clear();
  job.m_strScanShortestName.clear();
  host.m_lastScanOutcome = ScanOutcome::kStopped;
  window.SetControlText(IDC_STATUS_SUB, text::kSearching);
  const int32_t found = ScanTree(host, job.m_strScanDir + u"/*", generation, 0);
  if (found == -1) return;
  window.SetControlText(IDC_STATUS_SUB, text::kSearchComplete);
  window.SetControlText(IDC_STATUS_MAIN, Format(text::kFilesFound, {found}));
  window.EnableControl(IDC_EXECUTE, true);
  job.m_nScanTotal = found;
  host.m_lastScanOutcome = ScanOutcome::kCompleted;
}

int32_t ScanTree(JobHost& host, const std::u16string& pattern,
                 int32_t generation, int32_t base) {
  JobState& job = host.m_job;
  WindowPort& window = host.m_window;
  const Crypter& crypter = host.m_crypter;
  window.SetControlText(IDC_STATUS_MAIN, pattern);

  std::vector<DirectoryEntry> entries;
  ListDirectory(pattern, &entries);
  int32_t found = 0;
  for (std::size_t next = 0;; ++next) {
    if (job.m_nScanGeneration != generation) return -1;
    window.SetControlText(IDC_STATUS_SUB,
                          Format(text::kSearchingCount, {base + found}));
    window.PumpMessages();  // may stop this scan, or run a whole newer one
    if (job.m_nScanGeneration != generation) return -1;
    if (next >= entries.size()) break;

    const DirectoryEntry& entry = entries[next];
    const bool enciphered = crypter.IsEncryptedName(entry.name) != -1;
    if (enciphered) {
      ++job.m_nScanEncrypted;
      if (entry.name.size() > job.m_strScanLongestName.size()) {
        job.m_strScanLongestName = entry.name;
      }
      if (job.m_strScanShortestName.empty() ||
          entry.name.size() < job.m_strScanShortestName.size()) {
        job.m_strScanShortestName = entry.name;
      }
    } else {
      ++job.m_nScanPlain;
    }
    ++found;
    if (entry.is_directory) {
      const int32_t below =
          ScanTree(host, entry.path + u"/*", generation, base + found);
      if (below == -1) return -1;
      found += below;
      continue;
    }
    if (entry.size > kAbsoluteSizeLimit) {
      RefuseFile(host, text::kFileTooLarge, entry);
      return -1;
    }
    // Only a file that gets the head class is exempt: enciphered whole, a
    // larger one would keep everything past the limit plain.
    const bool head_only =
        host.m_nExtRule == 1 && crypter.FindExtension(entry.name) != -1;
    if (head_only || entry.size <= kWholeFileLimit || enciphered) continue;
    RefuseFile(host, Format(text::kFileOverWholeLimit, {kWholeFileLimitMiB}),
               entry);
    return -1;
  }
  return job.m_nScanGeneration != generation ? -1 : found;
}

}  // namespace velmora
