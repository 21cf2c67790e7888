// An open folder of the tree, the anchor of every call on its entries.
//
// Working relative to an open descriptor instead of a path from the root
// keeps a run inside the tree while others change it: a folder swapped for a
// symbolic link cannot be entered (children are opened with O_NOFOLLOW),
// and a call on an entry never follows a link. Names are UTF-16 as
// everywhere (see file_system.h); a name holding U+0000 or '/' names
// nothing.
//
// Functions returning int give 0 on success and -1 with errno set.
#ifndef VELMORA_PLATFORM_FOLDER_H_
#define VELMORA_PLATFORM_FOLDER_H_

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/file_system.h"
#include "platform/helper_thread.h"

namespace velmora {

class Folder {
 public:
  Folder() = default;
  ~Folder();
  Folder(Folder&& other) noexcept;
  Folder& operator=(Folder&& other) noexcept;
  Folder(const Folder&) = delete;
  Folder& operator=(const Folder&) = delete;

  // The folder at |path| (links along the path are followed: the caller
  // has judged the real path already).
  static Folder Open(const std::u16string& path);

  // The folder |name| of this one, opened for listing; fails (ELOOP or
  // ENOTDIR) when |name| is a link or anything but a folder.
  Folder OpenChild(const std::u16string& name) const;

  bool IsOpen() const { return fd_ >= 0; }
  int Descriptor() const { return fd_; }

  // What a listing says an entry is (a link is never followed). It may be
  // out of date by the time the entry is used.
  enum class ListedKind : uint8_t { kDirectory, kRegularFile, kOther };

  // Hands each entry but "." and ".." to |each| with its kind, in the file
  // system's order. False with errno set when the folder cannot be read, or
  // its entries cannot be looked up (a folder that may be read but not
  // searched); entries handed over before then are to be discarded.
  bool List(const std::function<void(std::u16string_view name, ListedKind kind)>& each) const;

  // Hands each entry but "." and ".." to |each| with its status (a link is
  // not followed), in the file system's order, for a reader that counts or
  // shows entries rather than works on them. Where the status cannot be
  // read (a folder that may be read but not searched) the entry is still
  // handed over, with only the kind the listing gives, so the folder does
  // not look emptier than it is; an entry removed since it was listed is
  // left out. Ends when |each| returns false, at the last entry, or at a
  // read that fails; the entries handed over are real in every case.
  // With |helper|, entries are read a chunk at a time and half of each
  // chunk's statuses are read there: |each| still runs on the caller's
  // thread, in order, but may see a status up to a chunk later.
  void ListStatuses(
      const std::function<bool(std::u16string_view name, const FileStatus& status)>& each,
      HelperThread* helper = nullptr) const;

  // Whether the folder's entries may be looked up and opened (search
  // permission), judged without reading it.
  bool MayList() const;

  // The status of the folder itself, or of its entry |name| (a link is not
  // followed). False with errno set when it cannot be read.
  bool Status(FileStatus* status) const;
  bool Status(const std::u16string& name, FileStatus* status) const;

  // Renames |from| to |to| inside this folder; fails with EEXIST, leaving
  // both alone, when anything carries |to| already.
  FsResult Rename(const std::u16string& from, const std::u16string& to) const;

  // Removes a non-folder entry (a link itself, never its target), or an
  // empty folder.
  FsResult RemoveFile(const std::u16string& name) const;
  FsResult RemoveEmptyFolder(const std::u16string& name) const;

  // The folder's real path as the kernel knows it now, or empty.
  const std::string& RealPath() const;

 private:
  explicit Folder(int fd) : fd_(fd) {}

  int fd_ = -1;
  mutable std::string real_path_;
};

// Sets the permission bits (|mode| & 07777) of the regular file |name| of
// |folder|, provided it is still the file |expected| describes (same
// device and inode): a link or a file swapped in meanwhile is left alone
// (ESTALE). Works on a file nobody may open.
FsResult ChangeMode(const Folder& folder, const std::u16string& name, const FileStatus& expected,
                    uint32_t mode);

}  // namespace velmora

#endif  // VELMORA_PLATFORM_FOLDER_H_
