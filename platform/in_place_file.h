// In-place access to the bytes of one regular file, for the content cipher.
//
// The file is opened for reading and writing without truncation. Symbolic
// links are never followed and anything but a regular file (FIFO, socket,
// device, directory) is refused before it could block or be altered.
#ifndef VELMORA_PLATFORM_IN_PLACE_FILE_H_
#define VELMORA_PLATFORM_IN_PLACE_FILE_H_

#include <cstdint>
#include <mutex>
#include <string>

#include "platform/file_system.h"

namespace velmora {

class Folder;

class InPlaceFile {
 public:
  // kReadWriteAhead opens for update like kReadWrite, ahead of the
  // transform that will use it; the fault seams count the transform's use
  // instead (see Reused()).
  enum Access { kReadWrite, kReadOnly, kReadWriteAhead };

  // Opens |path| (UTF-16, escaped bytes allowed) for update, or only for
  // reading. IsOpen() tells whether it worked.
  explicit InPlaceFile(const std::u16string& path, Access access = kReadWrite);
  // Opens the entry |name| of |folder|, never through a link.
  InPlaceFile(const Folder& folder, const std::u16string& name, Access access = kReadWrite);
  ~InPlaceFile();
  InPlaceFile(const InPlaceFile&) = delete;
  InPlaceFile& operator=(const InPlaceFile&) = delete;

  bool IsOpen() const { return fd_ >= 0; }
  // Why the open failed (an errno value), or 0.
  int OpenError() const { return open_error_; }

  // The status of the open file now; false when it cannot be read.
  bool Status(FileStatus* status) const;
  // The status as the open found it, its mount included: what a status
  // read by name would have said of the entry.
  const FileStatus& StatusAtOpen() const { return status_at_open_; }

  // Puts back both times of |status| on the open file, and with
  // |with_mode| its permission bits first. False when any part fails: a
  // file the user may write but does not own keeps the times of the
  // transform, say.
  bool RestoreStatus(const FileStatus& status, bool with_mode);

  // Size of the file in bytes at the time of opening, or -1 when unknown.
  int64_t Size() const { return size_; }

  // Reads up to |count| bytes at |offset|, retrying short reads; returns the
  // bytes read (0 at end of file) or -1 on failure.
  int64_t ReadAt(void* buffer, int64_t count, int64_t offset);
  // The same for a read ahead of the transform, which the fault seams do
  // not count, so that it may run on another thread than the transform.
  int64_t ReadAheadAt(void* buffer, int64_t count, int64_t offset) const;

  // Writes all |count| bytes at |offset|; false on failure or a short write.
  bool WriteAt(const void* buffer, int64_t count, int64_t offset);

  // Flushes the file's data to the disk; false on failure.
  bool Sync();

  // The first read (ReadAt) or write that failed since the open, and why:
  // what a message about the failure names.
  enum class Operation { kNone, kRead, kWrite };
  struct Failure {
    Operation operation = Operation::kNone;
    int error = 0;  // an errno value
  };
  Failure FirstFailure() const;

  // A file opened ahead is about to be used for the transform: where the
  // fault seams would fail that open, it fails here (false).
  static bool Reused();

 private:
  void Open(int folder_fd, const std::string& path, Access access);
  // Keeps the first failure only: those after it follow from it.
  void NoteFailure(Operation operation, int error);

  int fd_ = -1;
  int open_error_ = 0;
  int64_t size_ = -1;
  FileStatus status_at_open_;
  bool for_update_ = false;
  // Several threads read and write one file.
  mutable std::mutex failure_mutex_;
  Failure failure_;
};

}  // namespace velmora

#endif  // VELMORA_PLATFORM_IN_PLACE_FILE_H_
