// Lets a test act on the tree at the moment the walk reaches an entry:
// just before the program renames it or opens it as a folder to walk it,
// as seen at the file-system boundary. A test changes or swaps the entry
// there. One watch at a time; the callbacks run one at a time, on whichever
// thread of the run the step happens.
#ifndef VELMORA_TESTS_SUPPORT_ENTRY_WATCH_H_
#define VELMORA_TESTS_SUPPORT_ENTRY_WATCH_H_

#include <unistd.h>

#include <climits>
#include <functional>
#include <mutex>
#include <string>
#include <utility>

#include "platform/fault_injection.h"

namespace velmora::testing {

struct WatchedEntry {
  bool opened_as_folder = false;  // else about to be renamed
  std::string path;               // the entry's full path, its name as on disk
};

class EntryWatch {
 public:
  explicit EntryWatch(std::function<void(const WatchedEntry& entry)> on_entry)
      : on_entry_(std::move(on_entry)) {
    fault_injection::SetOrderObserver([this](const fault_injection::OrderEvent& event) {
      using Kind = fault_injection::OrderEvent::Kind;
      if (event.kind != Kind::kRename && event.kind != Kind::kOpenFolder) return;
      const std::lock_guard<std::mutex> lock(mutex_);
      on_entry_({event.kind == Kind::kOpenFolder, FolderPath(event.fd) + "/" + event.from});
    });
  }
  ~EntryWatch() { fault_injection::SetOrderObserver(nullptr); }
  EntryWatch(const EntryWatch&) = delete;
  EntryWatch& operator=(const EntryWatch&) = delete;

 private:
  static std::string FolderPath(int fd) {
    char buffer[PATH_MAX];
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    const ssize_t length = ::readlink(link.c_str(), buffer, sizeof buffer);
    return length > 0 ? std::string(buffer, length) : std::string();
  }

  std::mutex mutex_;
  std::function<void(const WatchedEntry& entry)> on_entry_;
};

}  // namespace velmora::testing

#endif  // VELMORA_TESTS_SUPPORT_ENTRY_WATCH_H_
