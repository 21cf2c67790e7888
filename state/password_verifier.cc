#include "state/password_verifier.h"

#include <sodium.h>
#include <string.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/directory_reader.h"
#include "platform/file_system.h"
#include "platform/secret_memory.h"
#include "platform/wtf8.h"
#include "state/password_records.h"
#include "state/state_folder.h"

namespace velmora::state {
namespace {

constexpr char kDigestDomain[] = "velmora name keys 1";
// Units every enciphered name adds in full: names are padded to eight.
constexpr int32_t kUnitsInEveryName = 8;
// A top folder is known by its first names this many at most.
constexpr std::size_t kMostNamesLooked = 100000;
constexpr std::size_t kNameDigestBytes = 8;

std::string Hex(const unsigned char* bytes, std::size_t count) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (std::size_t i = 0; i < count; ++i) {
    hex.push_back(kDigits[bytes[i] >> 4]);
    hex.push_back(kDigits[bytes[i] & 15]);
  }
  return hex;
}

// The password as UTF-16LE bytes, wiped when it goes.
class PasswordBytes {
 public:
  explicit PasswordBytes(const CipherKeys& keys) {
    KeepInMemory(bytes_, sizeof bytes_);
    const std::u16string_view password = keys.password();
    size_ = password.size() * 2;
    for (std::size_t i = 0; i < password.size(); ++i) {
      bytes_[2 * i] = static_cast<char>(password[i] & 0xFF);
      bytes_[2 * i + 1] = static_cast<char>(password[i] >> 8);
    }
  }
  ~PasswordBytes() { explicit_bzero(bytes_, sizeof bytes_); }
  PasswordBytes(const PasswordBytes&) = delete;
  PasswordBytes& operator=(const PasswordBytes&) = delete;

  const char* data() const { return bytes_; }
  std::size_t size() const { return size_; }

 private:
  char bytes_[kMaxPasswordUnits * 2] = {};
  std::size_t size_ = 0;
};

// Where the records are read from; not created by a look.
std::string RecordsFolderPath() {
  const std::string base = StateFolderPath();
  return base.empty() ? std::string() : base + "/passwords";
}

std::vector<PasswordRecord> RecordsFor(const std::string& digest) {
  const std::string folder = RecordsFolderPath();
  if (folder.empty()) return {};
  return LoadRecords(folder, digest);
}

// What this process keeps between runs, in one place: the verifiers it has
// seen the password it holds pass, each with a hash of that password under
// a key of this process alone (a second run with the same password then
// costs no slow hash), and the check CheckPasswordAhead() started, if any.
// Nothing here outlives the process or tells more than the engine's own copy
// of the password.
class VerifierCache {
 public:
  static VerifierCache& Get() {
    static VerifierCache instance;
    return instance;
  }
  ~VerifierCache() { WaitAhead(); }

  bool Passed(const std::string& record, const PasswordBytes& password) {
    const std::string tag = Tag(password);
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = passed_.find(record);
    return found != passed_.end() && found->second == tag;
  }
  void Remember(const std::string& record, const PasswordBytes& password) {
    const std::string tag = Tag(password);
    std::lock_guard<std::mutex> lock(mutex_);
    passed_[record] = tag;
  }

  void StartAhead(std::function<void()> check) {
    std::lock_guard<std::mutex> lock(ahead_mutex_);
    if (ahead_.joinable()) ahead_.join();
    ahead_ = std::thread(std::move(check));
  }
  void WaitAhead() {
    std::lock_guard<std::mutex> lock(ahead_mutex_);
    if (ahead_.joinable()) ahead_.join();
  }

 private:
  VerifierCache() { crypto_generichash_keygen(key_); }

  std::string Tag(const PasswordBytes& password) const {
    unsigned char tag[crypto_generichash_BYTES];
    crypto_generichash(tag, sizeof tag, reinterpret_cast<const unsigned char*>(password.data()),
                       password.size(), key_, sizeof key_);
    return std::string(reinterpret_cast<const char*>(tag), sizeof tag);
  }

  unsigned char key_[crypto_generichash_KEYBYTES];
  std::mutex mutex_;
  std::map<std::string, std::string> passed_;
  // Its own lock: the ahead check takes mutex_ while it runs.
  std::mutex ahead_mutex_;
  std::thread ahead_;
};

// True when |record| takes the password; slow unless this process saw it
// pass before. Callers hold a StackWipe: the hash leaves blocks of what it
// read in its locals.
bool Verifies(const std::string& record, const PasswordBytes& password) {
  VerifierCache& passed = VerifierCache::Get();
  if (passed.Passed(record, password)) return true;
  const bool takes =
      crypto_pwhash_str_verify(record.c_str(), password.data(), password.size()) == 0;
  if (!takes) return false;
  passed.Remember(record, password);
  return true;
}

// Wipes what the hashes called below the scope left on its stack, when the
// scope ends: a thread's stack outlives the thread in the stack cache.
class StackWipe {
 public:
  StackWipe() = default;
  ~StackWipe() { WipeStackBelow(); }
  StackWipe(const StackWipe&) = delete;
  StackWipe& operator=(const StackWipe&) = delete;
};

}  // namespace

std::string LookupDigest(const Crypter& crypter) {
  const CipherKeys& keys = crypter.keys();
  // Reserved in full, in locked pages wiped when they go.
  std::vector<unsigned char, LockedAllocator<unsigned char>> material;
  material.reserve(sizeof kDigestDomain + 4 * (static_cast<std::size_t>(keys.blocks()) + 1) +
                   2 * std::size_t{kUnitsInEveryName});
  material.insert(material.end(), kDigestDomain, kDigestDomain + sizeof kDigestDomain);
  const auto put32 = [&material](uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
      material.push_back(static_cast<unsigned char>(value >> shift));
    }
  };
  put32(static_cast<uint32_t>(keys.blocks()));
  for (int32_t k = 0; k < keys.blocks(); ++k) put32(keys.name_key(k));
  const std::u16string_view units =
      keys.password().substr(0, static_cast<std::size_t>(kUnitsInEveryName));
  for (const char16_t unit : units) {
    material.push_back(static_cast<unsigned char>(unit & 0xFF));
    material.push_back(static_cast<unsigned char>(unit >> 8));
  }
  unsigned char digest[crypto_generichash_BYTES];
  crypto_generichash(digest, sizeof digest, material.data(), material.size(), nullptr, 0);
  WipeStackBelow();
  sodium_memzero(material.data(), material.size());
  return Hex(digest, sizeof digest);
}

bool NameCoversPassword(const Crypter& crypter, std::u16string_view cipher_name) {
  // Marker, two seed characters and the class character around the body.
  return cipher_name.size() >= 4 && cipher_name.size() - 4 >= crypter.keys().password().size();
}

TreeIdentity IdentifyTree(const Crypter& crypter, const std::string& real_path) {
  TreeIdentity tree;
  tree.real_path = real_path;
  std::size_t looked = 0;
  ReadDirectoryAt(real_path, [&](int, std::string_view name, unsigned char) {
    if (++looked > kMostNamesLooked) return false;
    if (!crypter.IsEncryptedName(Utf16FromWtf8(name))) return true;
    unsigned char digest[kNameDigestBytes];
    crypto_generichash(digest, sizeof digest, reinterpret_cast<const unsigned char*>(name.data()),
                       name.size(), nullptr, 0);
    tree.name_digests.push_back(Hex(digest, sizeof digest));
    return true;
  });
  std::sort(tree.name_digests.begin(), tree.name_digests.end());
  tree.name_digests.erase(std::unique(tree.name_digests.begin(), tree.name_digests.end()),
                          tree.name_digests.end());
  return tree;
}

namespace {

// The records that say they encrypted |tree|: by path when any does, else
// by its names.
std::vector<const PasswordRecord*> BoundTo(const std::vector<PasswordRecord>& records,
                                           const TreeIdentity& tree) {
  std::vector<const PasswordRecord*> by_path;
  std::vector<const PasswordRecord*> by_names;
  for (const PasswordRecord& record : records) {
    for (const TreeBinding& binding : record.trees) {
      if (BindsPath(binding, tree.real_path)) {
        by_path.push_back(&record);
        break;
      }
    }
    for (const TreeBinding& binding : record.trees) {
      if (BindsNames(binding, tree.name_digests)) {
        by_names.push_back(&record);
        break;
      }
    }
  }
  return by_path.empty() ? by_names : by_path;
}

// Drops from |record| the bindings |tree| replaces: its own, and with
// |tree_was_plain| every one below it; then binds |tree|.
void Bind(PasswordRecord* record, const TreeIdentity& tree, bool tree_was_plain) {
  std::erase_if(record->trees, [&](const TreeBinding& binding) {
    return binding.real_path == tree.real_path ||
           (tree_was_plain && IsSameOrBelow(binding.real_path, tree.real_path));
  });
  TreeBinding binding{tree.real_path, {}};
  const std::size_t kept = std::min(tree.name_digests.size(), kNameDigestsKept);
  binding.name_digests.assign(tree.name_digests.begin(), tree.name_digests.begin() + kept);
  record->trees.push_back(std::move(binding));
  if (record->trees.size() > kTreesKept) {
    record->trees.erase(record->trees.begin(),
                        record->trees.end() - static_cast<std::ptrdiff_t>(kTreesKept));
  }
}

// A tree found with nothing enciphered is no longer any other password's.
void ForgetTreeElsewhere(const std::string& folder, const std::string& real_path,
                         const std::string& own_file) {
  for (PasswordRecord& record : LoadRecords(folder, std::string())) {
    if (record.file == own_file) continue;
    const std::size_t removed = std::erase_if(record.trees, [&](const TreeBinding& binding) {
      return IsSameOrBelow(binding.real_path, real_path);
    });
    if (removed != 0) StoreRecord(record);
  }
}

}  // namespace

PasswordMatch CheckPassword(const Crypter& crypter, const TreeIdentity& tree) {
  if (sodium_init() < 0) return PasswordMatch::kNoRecord;
  VerifierCache::Get().WaitAhead();
  const std::vector<PasswordRecord> records = RecordsFor(LookupDigest(crypter));
  if (records.empty()) return PasswordMatch::kNoRecord;
  const StackWipe wipe;
  const PasswordBytes password(crypter.keys());
  const std::vector<const PasswordRecord*> bound = BoundTo(records, tree);
  if (!bound.empty()) {
    for (const PasswordRecord* record : bound) {
      if (Verifies(record->verifier, password)) return PasswordMatch::kMatches;
    }
    return PasswordMatch::kDiffers;
  }
  for (const PasswordRecord& record : records) {
    if (!Verifies(record.verifier, password)) continue;
    // A record that names other trees only, or one of several near
    // passwords: it may be another tree's password.
    const bool lone_unbound = records.size() == 1 && record.trees.empty();
    return lone_unbound ? PasswordMatch::kMatches : PasswordMatch::kUnproven;
  }
  return PasswordMatch::kDiffers;
}

void PendingVerifier::Prepare(const Crypter& crypter) {
  digest_.clear();
  verifier_.clear();
  matched_file_.clear();
  if (sodium_init() < 0) return;
  VerifierCache::Get().WaitAhead();
  const StackWipe wipe;
  const std::string digest = LookupDigest(crypter);
  const PasswordBytes password(crypter.keys());
  // Another password may share these name keys; it keeps its own record.
  for (const PasswordRecord& record : RecordsFor(digest)) {
    if (Verifies(record.verifier, password)) {
      matched_file_ = record.file;
      return;
    }
  }
  char verifier[crypto_pwhash_STRBYTES];
  const bool hashed =
      crypto_pwhash_str_alg(verifier, password.data(), password.size(),
                            crypto_pwhash_OPSLIMIT_INTERACTIVE, crypto_pwhash_MEMLIMIT_INTERACTIVE,
                            crypto_pwhash_ALG_ARGON2ID13) == 0;
  if (!hashed) return;  // out of memory: the next encryption records it
  digest_ = digest;
  verifier_ = verifier;
  VerifierCache::Get().Remember(verifier_, password);
}

void CheckPasswordAhead(std::u16string_view password) {
  if (sodium_init() < 0) return;
  auto crypter = std::make_shared<Crypter>();
  if (crypter->SetPassword(password) != KeyError::kNone) return;
  VerifierCache::Get().StartAhead([crypter] {
    const StackWipe wipe;
    const PasswordBytes bytes(crypter->keys());
    for (const PasswordRecord& record : RecordsFor(LookupDigest(*crypter))) {
      if (Verifies(record.verifier, bytes)) break;
    }
    crypter->DropKeys();
  });
}

bool PendingVerifier::Write(const TreeIdentity& tree, bool tree_was_plain) const {
  const std::string folder = PasswordRecordsFolder();
  if (folder.empty()) return empty();
  const RecordsLock lock(folder);
  if (tree_was_plain) ForgetTreeElsewhere(folder, tree.real_path, matched_file_);
  if (empty()) return true;
  PasswordRecord record;
  if (!verifier_.empty()) {
    unsigned char tag[8];
    randombytes_buf(tag, sizeof tag);
    record.file = folder + "/" + digest_ + "-" + Hex(tag, sizeof tag);
    record.verifier = verifier_;
  } else if (!LoadRecord(matched_file_, &record)) {
    return false;
  }
  if (!tree.real_path.empty()) Bind(&record, tree, tree_was_plain);
  return StoreRecord(record);
}

}  // namespace velmora::state
