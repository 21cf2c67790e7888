// Keeping the password and the keys from leaking out of the process: no core
// dump and no ptrace by other processes of the user, and memory that is not
// swapped out.
#ifndef VELMORA_PLATFORM_SECRET_MEMORY_H_
#define VELMORA_PLATFORM_SECRET_MEMORY_H_

#include <string.h>

#include <cstddef>

namespace velmora {

// Makes the process non-dumpable: no core file, and other processes of the
// same user may not attach to it or read its memory. Call first thing.
void ProtectProcessMemory();

// Keeps [address, address + size) in RAM. False where the system's limit
// forbids it; the program goes on without.
bool KeepInMemory(const void* address, std::size_t size);

// Overwrites a string that held a password, then empties it. Only its
// current buffer: build such strings at their final size, or wipe each
// buffer they outgrow.
template <typename String>
void WipeString(String* secret) {
  explicit_bzero(secret->data(),
                 secret->size() * sizeof(typename String::value_type));
  secret->clear();
}

}  // namespace velmora

#endif  // VELMORA_PLATFORM_SECRET_MEMORY_H_
