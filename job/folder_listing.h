// One folder's entries, read in full before any of them is processed.
// Reading the listing first keeps renames in the folder from disturbing its
// enumeration. Names and per-entry slots are kept in fixed blocks that are
// never moved or doubled, so a folder of a million entries costs about 42
// bytes per entry at its peak, not several times that.
#ifndef VELMORA_JOB_FOLDER_LISTING_H_
#define VELMORA_JOB_FOLDER_LISTING_H_

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "platform/folder.h"

namespace velmora {

class FolderListing {
 public:
  // Reads the entries of |folder|, in enumeration order. False with errno
  // set when it cannot be read; the listing is then empty.
  bool Read(const Folder& folder);

  std::size_t size() const { return count_; }
  std::u16string_view Name(std::size_t index) const;
  bool IsDirectory(std::size_t index) const { return (SlotAt(index).flags & kDirectory) != 0; }
  // Listed as a regular file: worth opening ahead, to be checked once open.
  bool IsListedRegular(std::size_t index) const {
    return (SlotAt(index).flags & kRegularFile) != 0;
  }

  // An entry the walk decided to leave alone: not processed.
  void LeaveAlone(std::size_t index) { SlotAt(index).flags |= kLeftAlone; }
  bool LeftAlone(std::size_t index) const { return (SlotAt(index).flags & kLeftAlone) != 0; }

 private:
  enum : uint8_t { kDirectory = 1, kLeftAlone = 2, kRegularFile = 4 };
  static constexpr std::size_t kSlotsPerBlock = 8192;
  static constexpr std::size_t kUnitsPerBlock = 32768;  // a name never spans two

  struct Slot {
    uint32_t block;   // of the name
    uint16_t offset;  // of the name in its block, in units
    uint8_t length;   // in units; a Linux name has at most 255 bytes
    uint8_t flags;
  };

  void Append(std::u16string_view name, Folder::ListedKind kind);
  Slot& SlotAt(std::size_t index) const {
    return slots_[index / kSlotsPerBlock][index % kSlotsPerBlock];
  }

  std::vector<std::unique_ptr<Slot[]>> slots_;
  std::vector<std::unique_ptr<char16_t[]>> names_;
  std::size_t count_ = 0;
  std::size_t units_used_ = kUnitsPerBlock;  // in the last name block
};

}  // namespace velmora

#endif  // VELMORA_JOB_FOLDER_LISTING_H_
