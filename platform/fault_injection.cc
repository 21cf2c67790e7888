#include "platform/fault_injection.h"

#include <atomic>

namespace velmora::fault_injection {
namespace {

// One kind of operation: how many have run since it was armed, and which
// one is to fail (0: none).
struct Fault {
  std::atomic<int> count{0};
  std::atomic<int> fail_at{0};

  void Arm(int n) {
    count = 0;
    fail_at = n;
  }
  bool Tick() {
    const int n = ++count;
    return fail_at != 0 && n == fail_at;
  }
};

Fault g_open, g_read, g_write, g_status;

}  // namespace

void Reset() {
  for (Fault* fault : {&g_open, &g_read, &g_write, &g_status}) fault->Arm(0);
}

void FailNthOpen(int n) { g_open.Arm(n); }
void FailNthRead(int n) { g_read.Arm(n); }
void FailNthWrite(int n) { g_write.Arm(n); }
void FailNthSetStatus(int n) { g_status.Arm(n); }

bool ShouldFailOpen() { return g_open.Tick(); }
bool ShouldFailRead() { return g_read.Tick(); }
bool ShouldFailWrite() { return g_write.Tick(); }
bool ShouldFailSetStatus() { return g_status.Tick(); }

}  // namespace velmora::fault_injection
