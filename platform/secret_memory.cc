#include "platform/secret_memory.h"

#include <sys/mman.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <new>

namespace velmora {

void ProtectProcessMemory() { ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0); }

namespace {

std::size_t PageRounded(std::size_t bytes) {
  const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  return (bytes + page - 1) / page * page;
}

}  // namespace

void* AllocateLockedPages(std::size_t bytes) {
  const std::size_t size = PageRounded(bytes == 0 ? 1 : bytes);
  void* address = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (address == MAP_FAILED) throw std::bad_alloc();
  ::mlock(address, size);  // refused past the limit: kept, wiped, not locked
  ::madvise(address, size, MADV_DONTDUMP);
  return address;
}

void FreeLockedPages(void* address, std::size_t bytes) {
  if (address == nullptr) return;
  const std::size_t size = PageRounded(bytes == 0 ? 1 : bytes);
  explicit_bzero(address, size);
  ::munmap(address, size);
}

[[gnu::noinline]] void WipeStackBelow() {
  // Deeper than any hash of ours goes; well inside a thread's stack.
  char scratch[64 * 1024];
  explicit_bzero(scratch, sizeof scratch);
  asm volatile("" : : "r"(scratch) : "memory");
}

bool KeepInMemory(const void* address, std::size_t size) { return ::mlock(address, size) == 0; }

}  // namespace velmora
