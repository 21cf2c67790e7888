#include "job/folder_listing.h"

#include <algorithm>
#include <cerrno>

#include "platform/name_probe.h"

namespace velmora {

bool FolderListing::Read(const Folder& folder) {
  *this = FolderListing();
  bool fits = true;
  const bool read = folder.List([&](std::u16string_view name, Folder::ListedKind kind) {
    if (name == kProbeFolderName) return;  // never the user's
    if (name.size() > UINT8_MAX) {
      fits = false;  // more than a Linux name can hold: not a real entry
      return;
    }
    Append(name, kind);
  });
  if (!read || !fits) {
    const int error = read ? ENAMETOOLONG : errno;
    *this = FolderListing();
    errno = error;
    return false;
  }
  return true;
}

void FolderListing::Append(std::u16string_view name, Folder::ListedKind kind) {
  if (count_ % kSlotsPerBlock == 0) {
    slots_.push_back(std::make_unique_for_overwrite<Slot[]>(kSlotsPerBlock));
  }
  if (units_used_ + name.size() > kUnitsPerBlock) {
    names_.push_back(std::make_unique_for_overwrite<char16_t[]>(kUnitsPerBlock));
    units_used_ = 0;
  }
  std::copy(name.begin(), name.end(), names_.back().get() + units_used_);
  SlotAt(count_) = {static_cast<uint32_t>(names_.size() - 1), static_cast<uint16_t>(units_used_),
                    static_cast<uint8_t>(name.size()),
                    static_cast<uint8_t>(kind == Folder::ListedKind::kDirectory     ? kDirectory
                                         : kind == Folder::ListedKind::kRegularFile ? kRegularFile
                                                                                    : 0)};
  units_used_ += name.size();
  ++count_;
}

std::u16string_view FolderListing::Name(std::size_t index) const {
  const Slot& slot = SlotAt(index);
  return {names_[slot.block].get() + slot.offset, slot.length};
}

}  // namespace velmora
