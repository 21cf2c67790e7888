// Repair after an interrupted run: every entry that a journal records as
// begun, and that is not known to be consistent, is brought back to a
// consistent state (its old name over its old bytes), with its recorded
// mode and times. Entries found consistent are left as they are: a run
// that got through an entry keeps it.
//
// In the boot that wrote a journal, its finished entries are consistent in
// the page cache and need no look; after a reboot (a power cut may have
// lost any unflushed write) every recorded entry is checked against the
// disk. A journal goes once its entries are consistent on the disk: after
// that check, or, in its own boot, once it is old enough for the kernel to
// have written its pages back and one flush of the file system confirms it.
#ifndef VELMORA_STATE_RECOVERY_H_
#define VELMORA_STATE_RECOVERY_H_

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/crypter.h"

namespace velmora::state {

struct RepairReport {
  enum class Status {
    kClean,          // nothing needed repair (repaired may still list some)
    kWrongPassword,  // the password does not fit a record: nothing changed
    kFailed,         // an entry could not be repaired; its journal stays
    kTreeAbove,      // a run on a folder above the target was interrupted
    kStopped,        // stopped on request before every entry was checked;
                     // every journal stays for the next run
  };
  Status status = Status::kClean;
  std::vector<std::string> repaired;      // paths put back (bytes)
  std::vector<uint64_t> repaired_inodes;  // the same entries
  std::vector<std::string> failed;        // paths left as they are (bytes)
  std::string tree_above;                 // for kTreeAbove
};

// The journals a run on |target| (a real path) must look at: those of the
// tree itself, of the folders below it and of the folders above it, read
// once. The caller holds the run lock on |target|.
class PendingRepair {
 public:
  static PendingRepair Load(const std::string& target);
  PendingRepair(PendingRepair&&) noexcept;
  PendingRepair& operator=(PendingRepair&&) noexcept;
  ~PendingRepair();

  // True when some entry needs a look (or a tree above was interrupted):
  // the run must not decide there is nothing to do before Run().
  bool needed() const;

  // Repairs what the journals record, with |crypter|'s current key
  // schedule, and retires the journals that are done with. |stop| (set by
  // a signal) is looked at before each entry: once set, Run returns
  // kStopped, what it repaired stays repaired, and no journal is retired
  // or marked, so that the next run repairs the rest.
  RepairReport Run(const Crypter& crypter, const std::atomic<bool>& stop);

 private:
  struct Journals;
  explicit PendingRepair(std::unique_ptr<Journals> journals);
  std::unique_ptr<Journals> journals_;
};

}  // namespace velmora::state

#endif  // VELMORA_STATE_RECOVERY_H_
