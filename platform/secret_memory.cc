#include "platform/secret_memory.h"

#include <sys/mman.h>
#include <sys/prctl.h>

namespace velmora {

void ProtectProcessMemory() { ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0); }

bool KeepInMemory(const void* address, std::size_t size) {
  return ::mlock(address, size) == 0;
}

}  // namespace velmora
