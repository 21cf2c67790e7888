#include "job/scan.h"

#include <vector>

#include "platform/file_system.h"
#include "job/messages.h"
#include "platform/folder.h"
#include "platform/u16_format.h"

namespace velmora {
namespace {

constexpr int64_t kWholeFileLimit = kWholeRangeBytes;
constexpr int64_t kWholeFileLimitMiB = kWholeRangeBytes / 1048576;

void RefuseFile(JobHost& host, const std::u16string& message,
                const std::u16string& directory, const std::u16string& name) {
  host.m_lastScanOutcome = ScanOutcome::kRefused;
  host.m_questions->Notify({.id = QuestionId::kFileRefused,
                            .text = message + Format(text::kPathBlock, {directory + u"/", name}),
                            .icon = Icon::kError});
}

// The folder part of a "dir/*" pattern.
std::u16string FolderOf(const std::u16string& pattern) {
  return pattern.ends_with(u"/*") ? pattern.substr(0, pattern.size() - 2) : pattern;
}

}  // namespace

void OnStartScan(JobHost& host, RunQuestions& questions, RunProgress& progress) {
  JobState& job = host.m_job;
  host.m_questions = &questions;
  host.m_progress = &progress;
  const int32_t generation = ++job.m_nScanGeneration;
  job.m_nScanTotal = 0;
  job.m_nScanEncrypted = 0;
  job.m_nScanPlain = 0;
  job.m_nScanBytes = 0;
  job.m_nScanBytesEncrypted = 0;
  job.m_strScanLongestName.clear();
  job.m_strScanShortestName.clear();
  job.m_strScanLongestPlainName.clear();
  host.m_lastScanOutcome = ScanOutcome::kStopped;
  host.m_linksInside.clear();
  host.m_treeStatus = FileStatus{};
  Folder::Open(job.m_strScanDir).Status(&host.m_treeStatus);
  progress.ScanStarted();
  const int32_t found = ScanTree(host, job.m_strScanDir + u"/*", generation, 0);
  if (found == -1) return;
  job.m_nScanTotal = found;
  host.m_lastScanOutcome = ScanOutcome::kCompleted;
  progress.ScanCompleted(found);
}

int32_t ScanTree(JobHost& host, const std::u16string& pattern,
                 int32_t generation, int32_t base) {
  JobState& job = host.m_job;
  WindowPort& window = host.m_window;
  const Crypter& crypter = host.m_crypter;
  const std::u16string directory = FolderOf(pattern);
  host.m_progress->ScanFolder(directory);

  // Counted as they are read; only the subfolders' names are kept, to be
  // entered once this folder is closed (one open folder at a time).
  std::vector<std::u16string> folders;
  int32_t found = 0;
  {
    DirectoryFinder finder;
    bool more = finder.FindFile(pattern);
    for (;;) {
      if (job.m_nScanGeneration != generation) return -1;
      host.m_progress->ScanCounted(base + found);
      window.PumpMessages();  // may stop this scan, or run a whole newer one
      if (job.m_nScanGeneration != generation) return -1;
      do {
        more = more && finder.FindNextFile();
      } while (more && finder.IsDots());
      if (!more) break;

      const std::u16string name = finder.GetFileName();
      const FileStatus status = finder.Status();
      const bool enciphered = crypter.IsEncryptedName(name) != -1;
      if (enciphered) {
        ++job.m_nScanEncrypted;
        if (name.size() > job.m_strScanLongestName.size()) {
          job.m_strScanLongestName = name;
        }
        if (job.m_strScanShortestName.empty() ||
            name.size() < job.m_strScanShortestName.size()) {
          job.m_strScanShortestName = name;
        }
      } else {
        ++job.m_nScanPlain;
        if (name.size() > job.m_strScanLongestPlainName.size()) {
          job.m_strScanLongestPlainName = name;
        }
      }
      ++found;
      if (status.is_regular) {
        job.m_nScanBytes += status.size;
        if (enciphered) job.m_nScanBytesEncrypted += status.size;
      }
      if (status.is_directory) {
        // Another mount is left alone by the walk: nothing of it counts.
        if (SameMount(status, host.m_treeStatus)) folders.push_back(name);
        continue;
      }
      if (status.links > 1) ++host.m_linksInside[{status.device, status.inode}];
      const int64_t size = finder.GetLength64();
      if (size > kAbsoluteSizeLimit) {
        RefuseFile(host, text::kFileTooLarge, directory, name);
        return -1;
      }
      // Only a file that gets the head class is exempt: enciphered whole, a
      // larger one would keep everything past the limit plain.
      const bool head_only =
          host.m_nExtRule == 1 && crypter.FindExtension(name) != -1;
      if (head_only || size <= kWholeFileLimit || enciphered) {
        continue;
      }
      RefuseFile(host, Format(text::kFileOverWholeLimit, {kWholeFileLimitMiB}),
                 directory, name);
      return -1;
    }
  }
  for (const std::u16string& folder : folders) {
    const int32_t below =
        ScanTree(host, directory + u"/" + folder + u"/*", generation, base + found);
    if (below == -1) return -1;
    found += below;
  }
  return job.m_nScanGeneration != generation ? -1 : found;
}

}  // namespace velmora
