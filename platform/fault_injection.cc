#include "platform/fault_injection.h"

#include <atomic>

namespace velmora::fault_injection {
namespace {

std::atomic<int> g_open_count{0};
std::atomic<int> g_fail_open_at{0};
std::atomic<int> g_read_count{0};
std::atomic<int> g_write_count{0};
std::atomic<int> g_fail_read_at{0};
std::atomic<int> g_fail_write_at{0};
std::atomic<int> g_status_count{0};
std::atomic<int> g_fail_status_at{0};

bool Tick(std::atomic<int>& count, const std::atomic<int>& fail_at) {
  int n = ++count;
  return fail_at != 0 && n == fail_at;
}

}  // namespace

void Reset() {
  g_open_count = 0;
  g_fail_open_at = 0;
  g_read_count = 0;
  g_write_count = 0;
  g_fail_read_at = 0;
  g_fail_write_at = 0;
  g_status_count = 0;
  g_fail_status_at = 0;
}

void FailNthOpen(int n) {
  g_open_count = 0;
  g_fail_open_at = n;
}

void FailNthRead(int n) {
  g_read_count = 0;
  g_fail_read_at = n;
}

void FailNthWrite(int n) {
  g_write_count = 0;
  g_fail_write_at = n;
}

void FailNthSetStatus(int n) {
  g_status_count = 0;
  g_fail_status_at = n;
}

bool ShouldFailOpen() { return Tick(g_open_count, g_fail_open_at); }
bool ShouldFailRead() { return Tick(g_read_count, g_fail_read_at); }
bool ShouldFailWrite() { return Tick(g_write_count, g_fail_write_at); }
bool ShouldFailSetStatus() { return Tick(g_status_count, g_fail_status_at); }

}  // namespace velmora::fault_injection
