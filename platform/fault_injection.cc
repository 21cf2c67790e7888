#include "platform/fault_injection.h"

#include <unistd.h>

#include <atomic>

namespace velmora::fault_injection {
namespace {

// One kind of operation: how many have run since it was armed, and which
// one is to fail (0: none).
struct Fault {
  std::atomic<int> count{0};
  std::atomic<int> fail_at{0};
  std::atomic<bool> and_after{false};

  void Arm(int n, bool sticky = false) {
    count = 0;
    fail_at = n;
    and_after = sticky;
  }
  bool Tick() {
    const int n = ++count;
    return fail_at != 0 && (n == fail_at || (and_after && n > fail_at));
  }
};

Fault g_open, g_read, g_write, g_status, g_journal, g_crash;
bool g_no_replace_unsupported = false;
std::function<void(const OrderEvent&)> g_order_observer;

}  // namespace

void Reset() {
  for (Fault* fault : {&g_open, &g_read, &g_write, &g_status, &g_journal, &g_crash}) fault->Arm(0);
  g_no_replace_unsupported = false;
  g_order_observer = nullptr;
}

void FailNthOpen(int n) { g_open.Arm(n); }
void FailNthRead(int n) { g_read.Arm(n); }
void FailNthWrite(int n) { g_write.Arm(n); }
void FailWritesFrom(int n) { g_write.Arm(n, true); }
void FailNthSetStatus(int n) { g_status.Arm(n); }
void FailNthJournalWrite(int n) { g_journal.Arm(n); }
void CrashAtNthMutation(int n) { g_crash.Arm(n); }

bool ShouldFailOpen() { return g_open.Tick(); }
bool ShouldFailRead() { return g_read.Tick(); }
bool ShouldFailWrite() { return g_write.Tick(); }
bool ShouldFailSetStatus() { return g_status.Tick(); }
bool ShouldFailJournal() { return g_journal.Tick(); }

void SimulateNoReplaceUnsupported(bool unsupported) { g_no_replace_unsupported = unsupported; }
bool NoReplaceUnsupported() { return g_no_replace_unsupported; }

void CrashPoint() {
  if (g_crash.Tick()) ::_exit(kCrashExitStatus);
}

void SetOrderObserver(std::function<void(const OrderEvent& event)> observer) {
  g_order_observer = std::move(observer);
}

void JournalSynced(int fd) {
  if (!g_order_observer) return;
  OrderEvent event;
  event.kind = OrderEvent::Kind::kJournalSynced;
  event.fd = fd;
  g_order_observer(event);
}

void BeforeWrite(int fd, const void* bytes, int64_t count, int64_t offset) {
  if (!g_order_observer) return;
  OrderEvent event;
  event.kind = OrderEvent::Kind::kWrite;
  event.fd = fd;
  event.bytes = bytes;
  event.count = count;
  event.offset = offset;
  g_order_observer(event);
}

void BeforeRename(int folder_fd, const char* from, const char* to) {
  if (!g_order_observer) return;
  OrderEvent event;
  event.kind = OrderEvent::Kind::kRename;
  event.fd = folder_fd;
  event.from = from;
  event.to = to;
  g_order_observer(event);
}

void BeforeOpenFolder(int parent_fd, const char* name) {
  if (!g_order_observer) return;
  OrderEvent event;
  event.kind = OrderEvent::Kind::kOpenFolder;
  event.fd = parent_fd;
  event.from = name;
  g_order_observer(event);
}

}  // namespace velmora::fault_injection
