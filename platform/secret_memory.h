// Keeping the password and the keys from leaking out of the process: no core
// dump and no ptrace by other processes of the user, and memory that is not
// swapped out.
#ifndef VELMORA_PLATFORM_SECRET_MEMORY_H_
#define VELMORA_PLATFORM_SECRET_MEMORY_H_

#include <string.h>

#include <cstddef>
#include <string>

namespace velmora {

// Makes the process non-dumpable: no core file, and other processes of the
// same user may not attach to it or read its memory. Call first thing.
void ProtectProcessMemory();

// Keeps [address, address + size) in RAM. False where the system's limit
// forbids it; the program goes on without.
bool KeepInMemory(const void* address, std::size_t size);

// Pages of their own for a secret: locked into RAM where the system's limit
// allows, and wiped before they are given back. Every allocation takes
// whole pages, so unlocking one never unlocks a neighbour's secret.
void* AllocateLockedPages(std::size_t bytes);
void FreeLockedPages(void* address, std::size_t bytes);

// An allocator for containers that hold a password or what is derived from
// it: a buffer they outgrow is wiped as it goes, not left in the heap.
template <typename T>
class LockedAllocator {
 public:
  using value_type = T;
  LockedAllocator() = default;
  template <typename U>
  LockedAllocator(const LockedAllocator<U>&) {}  // NOLINT: converting, as allocators are
  T* allocate(std::size_t count) { return static_cast<T*>(AllocateLockedPages(count * sizeof(T))); }
  void deallocate(T* address, std::size_t count) { FreeLockedPages(address, count * sizeof(T)); }
  template <typename U>
  bool operator==(const LockedAllocator<U>&) const {
    return true;
  }
};

// A password as typed (bytes) and as the engine takes it (UTF-16). Reserve
// more than the short-string buffer (kSecretReserve) before filling one, so
// that even a short password lives in locked pages, not inside the object.
using SecretBytes = std::basic_string<char, std::char_traits<char>, LockedAllocator<char>>;
using SecretU16 =
    std::basic_string<char16_t, std::char_traits<char16_t>, LockedAllocator<char16_t>>;
inline constexpr std::size_t kSecretReserve = 64;

// Overwrites the stack below the caller's frame, where a function it called
// with a secret (a hash, say) may have left copies in its locals. Call it
// right after such a call returns.
void WipeStackBelow();

// Overwrites a string that held a password, then empties it. Only its
// current buffer: build such strings at their final size, or wipe each
// buffer they outgrow.
template <typename String>
void WipeString(String* secret) {
  explicit_bzero(secret->data(), secret->size() * sizeof(typename String::value_type));
  secret->clear();
}

}  // namespace velmora

#endif  // VELMORA_PLATFORM_SECRET_MEMORY_H_
