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
  std::snprintf(stamp, sizeof stamp, "-%012lld.%09ld-%d.log", static_cast<long long>(now.tv_sec),
                now.tv_nsec, static_cast<int>(::getpid()));
  return folder + "/" + TreeKey(tree) + stamp;
}

std::unique_ptr<Journal> Journal::Start(const std::string& tree) {
  const std::string path = NewJournalPath(tree);
  if (path.empty()) return nullptr;
  const int fd =
      ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return nullptr;
  std::unique_ptr<Journal> journal(new Journal(path, fd, SyncEnabled()));
  EncodeHeader({CurrentBootId(), tree}, &journal->pending_);
  journal->needs_sync_ = true;
  if (!journal->Commit()) return nullptr;
  SyncFolder(path.substr(0, path.rfind('/')));
  return journal;
}

Journal::~Journal() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  flush_wanted_.notify_one();
  if (flusher_.joinable()) flusher_.join();
  // What is left (End frames) needs no flush.
  const bool written = !failed_ && WriteOut(pending_, false);
  ::close(fd_);
  if (written && open_.empty()) {
    const std::string done = path_.substr(0, path_.size() - 4) + kDoneSuffix;
    ::rename(path_.c_str(), done.c_str());
  }
}

uint64_t Journal::Begin(const EntryRecord& record) {
  std::lock_guard<std::mutex> lock(mutex_);
  const uint64_t id = next_id_++;
  open_.insert(id);
  EncodeBegin(record, id, &pending_);
  needs_sync_ = true;
  return id;
}

void Journal::Pages(uint64_t id, uint64_t first_page, const uint64_t* digests, std::size_t count) {
  std::lock_guard<std::mutex> lock(mutex_);
  EncodePages(id, first_page, digests, count, &pending_);
  needs_sync_ = true;
}

void Journal::End(uint64_t id) {
  std::lock_guard<std::mutex> lock(mutex_);
  open_.erase(id);
  EncodeEnd(id, &pending_);
}

bool Journal::WriteOut(const std::string& bytes, bool sync) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    fault_injection::CrashPoint();
    if (fault_injection::ShouldFailJournal()) return false;
    const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    // A torn frame at the end is ignored by readers; nothing after it may
    // be written, or it would be lost behind the tear.
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  if (!sync) return true;
  fault_injection::CrashPoint();
  if (durable_ && ::fdatasync(fd_) != 0) return false;
  fault_injection::JournalSynced(fd_);
  return true;
}

void Journal::FlushLoop() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    flush_wanted_.wait(lock, [this] { return stopping_ || requested_ > durable_up_to_; });
    if (requested_ == durable_up_to_) return;  // stopping, nothing asked
    const uint64_t ticket = requested_;
    std::string bytes;
    bytes.swap(pending_);
    const bool sync = needs_sync_;
    needs_sync_ = false;
    bool ok = !failed_;
    lock.unlock();
    ok = ok && WriteOut(bytes, sync);
    lock.lock();
    if (!ok) failed_ = true;
    durable_up_to_.store(ticket, std::memory_order_release);
    // Told without the lock, so that a woken thread need not wait for it.
    lock.unlock();
    flushed_.notify_all();
    lock.lock();
  }
}

uint64_t Journal::CommitAsync() {
  uint64_t ticket = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    // End frames alone wait for the next intention (or the end of the
    // run): a lost End only costs the next run a look at that entry.
    // A commit still in flight may carry an intention of the caller's:
    // wait for it too.
    if (!needs_sync_ && pending_.size() < kPendingEndBytes) return requested_;
    ticket = ++requested_;
    if (!flusher_.joinable()) flusher_ = std::thread([this] { FlushLoop(); });
  }
  flush_wanted_.notify_one();  // without the lock, as in FlushLoop()
  return ticket;
}

bool Journal::WaitDurable(uint64_t ticket) {
  std::unique_lock<std::mutex> lock(mutex_);
  flushed_.wait(lock, [&] { return durable_up_to_ >= ticket; });
  return !failed_;
}

bool Journal::Commit() { return WaitDurable(CommitAsync()); }

}  // namespace velmora::state
