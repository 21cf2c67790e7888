#include "job/scan.h"

#include <string_view>
#include <vector>

#include "job/messages.h"
#include "platform/file_system.h"
#include "platform/folder.h"
#include "platform/helper_thread.h"
#include "platform/name_probe.h"
#include "platform/u16_format.h"

namespace velmora {
namespace {

constexpr int64_t kWholeFileLimit = kWholeRangeBytes;
constexpr int64_t kWholeFileLimitMiB = kWholeRangeBytes / 1048576;

void RefuseFile(JobHost& host, const std::u16string& message, const std::u16string& directory,
                const std::u16string& name) {
  host.last_scan_outcome_ = ScanOutcome::kRefused;
  host.questions_->Notify({.id = QuestionId::kFileRefused,
                           .text = message + Format(text::kPathBlock, {directory + u"/", name}),
                           .icon = Icon::kError});
}

// The folder part of a "dir/*" pattern.
std::u16string FolderOf(const std::u16string& pattern) {
  return pattern.ends_with(u"/*") ? pattern.substr(0, pattern.size() - 2) : pattern;
}

// The folder a "dir/*" pattern names ("dir//*" and "dir" work too; the
// root's "/*" names the root).
Folder OpenScanned(const std::u16string& pattern) {
  std::u16string_view directory = pattern;
  if (directory.size() >= 2 && directory.ends_with(u"/*")) directory.remove_suffix(1);
  const bool absolute = directory.starts_with(u'/');
  while (directory.ends_with(u'/')) directory.remove_suffix(1);
  if (directory.empty() && absolute) return Folder::Open(u"/");
  return Folder::Open(std::u16string(directory));
}

// Counts the entry |name| of |directory|, whose status is |status|, adding
// it to |folders| when the scan is to enter it. False when the entry
// refuses the run (told already).
bool CountEntry(JobHost& host, const std::u16string& directory, const std::u16string& name,
                const FileStatus& status, std::vector<std::u16string>* folders) {
  JobState& job = host.job_;
  const Crypter& crypter = host.crypter_;
  const bool enciphered = crypter.IsEncryptedName(name);
  if (enciphered) {
    ++job.scan_encrypted;
    if (name.size() > job.scan_longest_name.size()) job.scan_longest_name = name;
    if (job.scan_shortest_name.empty() || name.size() < job.scan_shortest_name.size()) {
      job.scan_shortest_name = name;
    }
  } else {
    ++job.scan_plain;
    if (name.size() > job.scan_longest_plain_name.size()) {
      job.scan_longest_plain_name = name;
    }
  }
  if (status.is_regular) {
    job.scan_bytes += status.size;
    if (enciphered) job.scan_bytes_encrypted += status.size;
  }
  if (status.is_directory) {
    // Another mount is left alone by the walk: nothing of it counts.
    if (SameMount(status, host.tree_status_)) folders->push_back(name);
    return true;
  }
  if (status.links > 1) ++host.links_inside_[{status.device, status.inode}];
  if (status.size > kAbsoluteSizeLimit) {
    RefuseFile(host, text::kFileTooLarge, directory, name);
    return false;
  }
  // Only a file that gets the head class is exempt: enciphered whole, a
  // larger one would keep everything past the limit plain.
  const bool head_only = host.ext_rule_ == 1 && crypter.FindExtension(name).has_value();
  if (head_only || status.size <= kWholeFileLimit || enciphered) return true;
  RefuseFile(host, Format(text::kFileOverWholeLimit, {kWholeFileLimitMiB}), directory, name);
  return false;
}

// Entries below |pattern| ("dir/*"), at every depth, or -1 when the scan
// stopped or refused a file. |base| is the count before this directory.
// Reports to host.progress_ and host.questions_; |statuses| reads half of
// them.
int32_t ScanTree(JobHost& host, const std::u16string& pattern, int32_t generation, int32_t base,
                 HelperThread& statuses) {
  JobState& job = host.job_;
  const std::u16string directory = FolderOf(pattern);
  host.progress_->ScanFolder(directory);

  // Counted as they are read; only the subfolders' names are kept, to be
  // entered once this folder is closed (one open folder at a time).
  std::vector<std::u16string> folders;
  int32_t found = 0;
  // Before each entry and after the last: false when this scan is over.
  const auto pump = [&] {
    if (job.scan_generation != generation) return false;
    // A front end may handle its waiting events here: they may stop this
    // scan, or run a whole newer one.
    host.progress_->ScanCounted(base + found);
    return job.scan_generation == generation;
  };
  bool stopped = false;
  OpenScanned(pattern).ListStatuses(
      [&](std::u16string_view name, const FileStatus& status) {
        if (name == kProbeFolderName) return true;  // never the user's
        stopped = !pump() || !CountEntry(host, directory, std::u16string(name), status, &folders);
        if (!stopped) ++found;
        return !stopped;
      },
      &statuses);
  if (stopped || !pump()) return -1;
  for (const std::u16string& folder : folders) {
    const int32_t below =
        ScanTree(host, directory + u"/" + folder + u"/*", generation, base + found, statuses);
    if (below == -1) return -1;
    found += below;
  }
  return job.scan_generation != generation ? -1 : found;
}

}  // namespace

void OnStartScan(JobHost& host, RunQuestions& questions, RunProgress& progress) {
  JobState& job = host.job_;
  host.questions_ = &questions;
  host.progress_ = &progress;
  const int32_t generation = ++job.scan_generation;
  job.scan_total = 0;
  job.scan_encrypted = 0;
  job.scan_plain = 0;
  job.scan_bytes = 0;
  job.scan_bytes_encrypted = 0;
  job.scan_longest_name.clear();
  job.scan_shortest_name.clear();
  job.scan_longest_plain_name.clear();
  host.last_scan_outcome_ = ScanOutcome::kStopped;
  host.links_inside_.clear();
  host.tree_status_ = FileStatus{};
  Folder::Open(job.scan_dir).Status(&host.tree_status_);
  progress.ScanStarted();
  HelperThread statuses;
  const int32_t found = ScanTree(host, job.scan_dir + u"/*", generation, 0, statuses);
  if (found == -1) return;
  job.scan_total = found;
  host.last_scan_outcome_ = ScanOutcome::kCompleted;
  progress.ScanCompleted(found);
}

}  // namespace velmora
