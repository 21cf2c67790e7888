#include "state/journal.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>

#include "platform/fault_injection.h"
#include "state/state_folder.h"

namespace velmora::state {
namespace {

constexpr std::size_t kPendingEndBytes = 65536;

}  // namespace

std::string NewJournalPath(const std::string& tree) {
  const std::string folder = EnsureStateSubfolder("journal");
  if (folder.empty()) return std::string();
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  char stamp[64];
  // Names sort in the order the runs started.
  std::snprintf(stamp, sizeof stamp, "-%012lld.%09ld-%d.log",
                static_cast<long long>(now.tv_sec), now.tv_nsec,
                static_cast<int>(::getpid()));
  return folder + "/" + TreeKey(tree) + stamp;
}

std::unique_ptr<Journal> Journal::Start(const std::string& tree) {
  const std::string path = NewJournalPath(tree);
  if (path.empty()) return nullptr;
  const int fd = ::open(path.c_str(),
                        O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC |
                            O_NOFOLLOW,
                        0600);
  if (fd < 0) return nullptr;
  std::unique_ptr<Journal> journal(new Journal(path, fd, SyncEnabled()));
  EncodeHeader({CurrentBootId(), tree}, &journal->pending_);
  journal->needs_sync_ = true;
  if (!journal->Commit()) return nullptr;
  SyncFolder(path.substr(0, path.rfind('/')));
  return journal;
}

Journal::~Journal() {
  WritePending();
  ::close(fd_);
}

uint64_t Journal::Begin(EntryRecord record) {
  record.id = next_id_++;
  EncodeBegin(record, &pending_);
  needs_sync_ = true;
  return record.id;
}

void Journal::Pages(uint64_t id, uint64_t first_page, const uint64_t* digests,
                    std::size_t count) {
  EncodePages(id, first_page, digests, count, &pending_);
  needs_sync_ = true;
}

void Journal::End(uint64_t id) { EncodeEnd(id, &pending_); }

bool Journal::WritePending() {
  if (failed_) return false;
  std::size_t done = 0;
  while (done < pending_.size()) {
    fault_injection::CrashPoint();
    if (fault_injection::ShouldFailJournal()) {
      failed_ = true;
      return false;
    }
    const ssize_t n =
        ::write(fd_, pending_.data() + done, pending_.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      // A torn frame at the end is ignored by readers; nothing after it may
      // be written, or it would be lost behind the tear.
      failed_ = true;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  pending_.clear();
  return true;
}

bool Journal::Commit() {
  // End frames alone wait for the next intention (or the end of the run):
  // a lost End only costs the next run a look at that entry.
  if (!needs_sync_ && pending_.size() < kPendingEndBytes) return !failed_;
  if (!WritePending()) return false;
  if (!needs_sync_) return true;
  fault_injection::CrashPoint();
  if (durable_) {
    if (::fdatasync(fd_) != 0) {
      failed_ = true;
      return false;
    }
  }
  needs_sync_ = false;
  return true;
}

}  // namespace velmora::state
