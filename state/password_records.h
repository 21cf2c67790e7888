// Password records: one file per password that enciphered something on
// this account, in the state folder's passwords/ folder, named
// "<lookup digest>-<random tag>" (see password_verifier.h for the digest).
//
// The first line is the password's verifier (an Argon2id string); older
// versions read nothing else. Each further line names a tree the password
// encrypted:
//   tree <real path of its top folder, hex> <name digest>,<name digest>,...
// The name digests are of enciphered names in the tree's top folder, so a
// tree that was moved or copied is still known by its names. Device and
// inode numbers are not kept: they change on removable media.
//
// Files are replaced whole (write, flush, rename), under an advisory lock
// on the folder while one is read, changed and written back. Nothing here
// throws; failures are values.
#ifndef VELMORA_STATE_PASSWORD_RECORDS_H_
#define VELMORA_STATE_PASSWORD_RECORDS_H_

#include <string>
#include <string_view>
#include <vector>

namespace velmora::state {

// A tree a password encrypted, as its record keeps it.
struct TreeBinding {
  std::string real_path;
  std::vector<std::string> name_digests;  // hex, at most kNameDigestsKept
};

struct PasswordRecord {
  std::string file;                // the record's path; empty for one not yet written
  std::string verifier;            // the first line
  std::vector<TreeBinding> trees;  // oldest first
};

// Enough names to recognise a moved tree, few enough to keep records small.
inline constexpr std::size_t kNameDigestsKept = 16;
// Older bindings give way to newer ones past this many per record.
inline constexpr std::size_t kTreesKept = 64;

// The record file's bytes, and back. Decoding fails only without a
// verifier line; lines it does not know are skipped.
std::string EncodeRecord(const PasswordRecord& record);
bool DecodeRecord(std::string_view bytes, PasswordRecord* record);

// The passwords/ folder, created when missing; empty when it cannot be.
std::string PasswordRecordsFolder();

// Reads the record at |file|; false when it cannot be read or is not one.
bool LoadRecord(const std::string& file, PasswordRecord* record);

// The records in |folder| whose file name starts with |digest| and '-'
// (every record for an empty |digest|).
std::vector<PasswordRecord> LoadRecords(const std::string& folder, const std::string& digest);

// Writes |record| over its file durably; false when the state folder
// refused it.
bool StoreRecord(const PasswordRecord& record);

// Holds the records folder against other runs changing it, from
// construction to destruction. Taking it never fails the caller: without
// the lock, a concurrent change may at worst lose one binding.
class RecordsLock {
 public:
  explicit RecordsLock(const std::string& folder);
  ~RecordsLock();
  RecordsLock(const RecordsLock&) = delete;
  RecordsLock& operator=(const RecordsLock&) = delete;

 private:
  int fd_ = -1;
};

// True when |binding| names the tree at |real_path|, a folder above it or
// one below it.
bool BindsPath(const TreeBinding& binding, const std::string& real_path);

// True when |binding| shares an enciphered name with |name_digests|
// (sorted).
bool BindsNames(const TreeBinding& binding, const std::vector<std::string>& name_digests);

}  // namespace velmora::state

#endif  // VELMORA_STATE_PASSWORD_RECORDS_H_
