// Every content write and rename of a real run follows the journal flush
// that made its record durable (the begin frame, the digest of every page
// it touches). With VELMORA_SYNC=0 the flush is skipped, its place is not.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/fault_injection.h"
#include "state/journal_format.h"
#include "state/page_digest.h"
#include "tests/job/job_test_util.h"

namespace velmora::testing {
namespace {

using fault_injection::OrderEvent;
using state::EntryRecord;
using state::JournalContents;
using state::kPageBytes;

// What a descriptor of this process names.
std::string PathOf(int fd) {
  char link[64];
  std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  char path[4096];
  const ssize_t length = ::readlink(link, path, sizeof path);
  return length > 0 ? std::string(path, static_cast<std::size_t>(length)) : std::string();
}

// Keeps what the journal made durable at its last flush, and notes every
// change that does not describe.
class OrderWatch {
 public:
  OrderWatch() {
    fault_injection::SetOrderObserver([this](const OrderEvent& event) { On(event); });
  }
  ~OrderWatch() { fault_injection::SetOrderObserver(nullptr); }
  OrderWatch(const OrderWatch&) = delete;
  OrderWatch& operator=(const OrderWatch&) = delete;

  int syncs() const { return syncs_; }
  int writes() const { return writes_; }
  int renames() const { return renames_; }
  int unordered() const { return unordered_; }
  const std::vector<std::string>& problems() const { return problems_; }

 private:
  void On(const OrderEvent& event) {
    std::lock_guard<std::mutex> lock(mutex_);
    switch (event.kind) {
      case OrderEvent::Kind::kJournalSynced:
        ++syncs_;
        // A run has one journal; a new one starts with its own flush.
        durable_ = state::DecodeJournal(ReadFile(PathOf(event.fd)));
        break;
      case OrderEvent::Kind::kWrite:
        ++writes_;
        CheckWrite(event);
        break;
      case OrderEvent::Kind::kRename:
        ++renames_;
        CheckRename(event);
        break;
      case OrderEvent::Kind::kOpenFolder:
        break;
    }
  }

  void Problem(const std::string& what) {
    if (++unordered_ <= 3) problems_.push_back(what);
  }

  // Every page written has a durable digest of the page as it is or as the
  // write leaves it.
  void CheckWrite(const OrderEvent& event) {
    struct stat st {};
    if (::fstat(event.fd, &st) != 0) return Problem("cannot stat a written file");
    const std::string where = PathOf(event.fd) + " at " + std::to_string(event.offset);
    for (const EntryRecord& entry : durable_.entries) {
      if (entry.inode == st.st_ino && Covers(entry, event)) return;
    }
    Problem("write not described by a durable record: " + where);
  }

  bool Covers(const EntryRecord& entry, const OrderEvent& event) const {
    std::map<uint64_t, uint64_t> digests;
    for (const state::PageRecord& pages : durable_.pages) {
      if (pages.id != entry.id) continue;
      for (std::size_t i = 0; i < pages.digests.size(); ++i) {
        digests[pages.first_page + i] = pages.digests[i];
      }
    }
    const int64_t end = std::min<int64_t>(entry.range_bytes, entry.size);
    if (event.offset < 0 || event.offset + event.count > end) return false;
    const auto* written = static_cast<const uint8_t*>(event.bytes);
    for (int64_t page = event.offset / kPageBytes; page * kPageBytes < event.offset + event.count;
         ++page) {
      const auto found = digests.find(static_cast<uint64_t>(page));
      if (found == digests.end()) return false;
      const int64_t at = page * kPageBytes;
      const int64_t count = std::min(kPageBytes, end - at);
      std::vector<uint8_t> now(static_cast<std::size_t>(count));
      if (::pread(event.fd, now.data(), now.size(), at) != count) return false;
      std::vector<uint8_t> after = now;
      for (int64_t i = std::max(at, event.offset);
           i < std::min(at + count, event.offset + event.count); ++i) {
        after[static_cast<std::size_t>(i - at)] = written[i - event.offset];
      }
      if (found->second != state::PageDigest(now.data(), count) &&
          found->second != state::PageDigest(after.data(), count)) {
        return false;
      }
    }
    return true;
  }

  // The entry's begin frame, with the rename's names either way.
  void CheckRename(const OrderEvent& event) {
    std::string folder;
    std::string from = event.from;
    std::string to = event.to;
    if (event.fd == AT_FDCWD) {
      folder = from.substr(0, from.rfind('/'));
      from = from.substr(from.rfind('/') + 1);
      to = to.substr(to.rfind('/') + 1);
    } else {
      folder = PathOf(event.fd);
    }
    for (const EntryRecord& entry : durable_.entries) {
      if (entry.folder == folder && ((entry.source == from && entry.target == to) ||
                                     (entry.source == to && entry.target == from))) {
        return;
      }
    }
    Problem("rename not described by a durable record: " + folder + "/" + from);
  }

  std::mutex mutex_;
  JournalContents durable_;
  int syncs_ = 0;
  int writes_ = 0;
  int renames_ = 0;
  int unordered_ = 0;
  std::vector<std::string> problems_;
};

class JournalOrderTest : public JobTest {
 protected:
  ~JournalOrderTest() override { ::unsetenv("VELMORA_SYNC"); }

  // Several groups, one page, the head class, small files in two folders,
  // an empty file, a link and nested folders.
  void MakeTree() {
    Empty();
    Make({"docs/", "docs/deeper/", "more/"});
    WriteFile(Path("docs/big.bin"), RandomContents(3 * 1048576 + 4096 + 5, 1));
    WriteFile(Path("docs/deeper/note.txt"), RandomContents(5000, 2));
    for (int i = 0; i < 8; ++i) {
      WriteFile(Path("docs/s" + std::to_string(i)), RandomContents(100 + i, 10 + i));
    }
    for (int i = 0; i < 3; ++i) {
      WriteFile(Path("more/m" + std::to_string(i)), RandomContents(70000 + i, 30 + i));
    }
    WriteFile(Path("photo.zip"), RandomContents(20000, 3));
    WriteFile(Path("empty"), "");
    ASSERT_EQ(::symlink("photo.zip", Path("link").c_str()), 0);
  }

  void ExpectOrdered(const char* what, const std::function<void()>& run) {
    SCOPED_TRACE(what);
    OrderWatch watch;
    run();
    EXPECT_EQ(watch.unordered(), 0) << ::testing::PrintToString(watch.problems());
    // The check saw the whole run.
    EXPECT_GE(watch.writes(), 4 + 8 + 3 + 2);
    EXPECT_GE(watch.renames(), 19);
    EXPECT_GE(watch.syncs(), 2);
  }

  // Every pass but the third is watched.
  void RunEveryPass() {
    MakeTree();
    const TreeSnapshot plain = Snapshot(h_.root());
    ExpectOrdered("encrypt", [&] { h_.Encrypt(kPassword); });
    ASSERT_EQ(h_.dialog().last_run_outcome_, RunOutcome::kAllDone) << Dump(w());
    const TreeSnapshot encrypted = Snapshot(h_.root());
    ExpectOrdered("decrypt", [&] { h_.Decrypt(kPassword); });
    ASSERT_EQ(Snapshot(h_.root()), plain);
    h_.Encrypt(kPassword);
    ASSERT_EQ(Snapshot(h_.root()), encrypted);
    ExpectOrdered("temporary decryption", [&] {
      h_.Choose(IDC_RADIO_TEMPORARY);
      h_.Execute(kPassword);
    });
    ASSERT_EQ(Snapshot(h_.root()), plain);
    ExpectOrdered("encryption at exit", [&] {
      h_.dialog().OnCancel();
      h_.dialog().OnSessionEnd();
    });
    EXPECT_EQ(Snapshot(h_.root()), encrypted);
  }
};

TEST_F(JournalOrderTest, EveryChangeFollowsTheFlushOfItsRecord) { RunEveryPass(); }

TEST_F(JournalOrderTest, EveryChangeFollowsTheFlushOfItsRecordWithoutSync) {
  ::setenv("VELMORA_SYNC", "0", 1);
  RunEveryPass();
}

// A folder's own intention is recorded ahead with its list, like a file's:
// a tree of many small folders takes about one flush per folder (its
// files' batch), not a second one for the folder's rename.
TEST_F(JournalOrderTest, FoldersAreRecordedAheadWithTheirList) {
  constexpr int kFolders = 12;
  Empty();
  for (int f = 0; f < kFolders; ++f) {
    const std::string folder = "f" + std::to_string(f) + "/";
    Make({folder});
    for (int i = 0; i < 3; ++i) {
      WriteFile(Path(folder + "x" + std::to_string(i)), RandomContents(200 + i, f * 10 + i));
    }
  }
  const TreeSnapshot plain = Snapshot(h_.root());
  {
    OrderWatch watch;
    h_.Encrypt(kPassword);
    ASSERT_EQ(h_.dialog().last_run_outcome_, RunOutcome::kAllDone) << Dump(w());
    EXPECT_EQ(watch.unordered(), 0) << ::testing::PrintToString(watch.problems());
    EXPECT_LE(watch.syncs(), kFolders + 4);
  }
  {
    OrderWatch watch;
    h_.Decrypt(kPassword);
    EXPECT_EQ(watch.unordered(), 0) << ::testing::PrintToString(watch.problems());
    EXPECT_LE(watch.syncs(), kFolders + 4);
  }
  EXPECT_EQ(Snapshot(h_.root()), plain);
}

}  // namespace
}  // namespace velmora::testing
