// Password verifiers: a salted, deliberately slow hash (Argon2id) of every
// password that enciphered something on this account, kept in the state
// folder under passwords/.
//
// The name cipher uses only the odd bits of a password unit, plus the unit
// in full where the name is at least that long; so a password one unit off
// near its end deciphers a tree of short names "successfully" and garbles
// the contents. A verifier catches that: it is found by a digest of the
// key material every enciphered name uses (see LookupDigest), and checks
// the whole password.
//
// Each record also names the trees its password encrypted
// (password_records.h): two near passwords of one account share a lookup
// digest, and only the record bound to a tree tells which of them
// encrypted it.
//
// Hashing costs a fraction of a second and tens of MiB: callers run it on a
// helper thread beside the walk. Nothing here throws; failures are values.
#ifndef VELMORA_STATE_PASSWORD_VERIFIER_H_
#define VELMORA_STATE_PASSWORD_VERIFIER_H_

#include <string>
#include <string_view>
#include <vector>

#include "engine/crypter.h"

namespace velmora::state {

// Hex BLAKE2b-256 of the name keys and of the first eight password units:
// what every enciphered name depends on, nothing more. |crypter| has its key
// schedule.
std::string LookupDigest(const Crypter& crypter);

// True when the enciphered name |cipher_name| (with its marker, seeds and
// class character) has a body of at least as many units as the password:
// each password unit is then added to it in full, so its deciphering check
// covers the whole password.
bool NameCoversPassword(const Crypter& crypter, std::u16string_view cipher_name);

// What ties a tree to the records of the passwords that encrypted it: its
// real path, and digests of the enciphered names in its top folder (sorted).
struct TreeIdentity {
  std::string real_path;
  std::vector<std::string> name_digests;
};

// Lists the top folder of the tree at |real_path|; |crypter| tells which
// names are enciphered.
TreeIdentity IdentifyTree(const Crypter& crypter, const std::string& real_path);

enum class PasswordMatch {
  kNoRecord,  // no verifier for these name keys
  kMatches,   // the verifier of the password that encrypted this tree
              // takes it
  kDiffers,   // verifiers exist for these name keys; the one bound to this
              // tree (or, with none bound, every one) refuses it
  kUnproven,  // a verifier takes it, but none is bound to this tree and it
              // may be another tree's near password: the person decides
};

// Whether the password of |crypter| is the one that encrypted |tree|.
// Records bound to the tree by path (the tree, a folder above or below it)
// decide; failing those, records bound to it by its names. A tree no record
// is bound to (moved and renamed, encrypted before records were bound, or
// on another account) is proven only by a lone record that names no tree.
// Slow when a record exists. Reads only the password and name keys of
// |crypter|, so it may run beside a walk that uses it.
PasswordMatch CheckPassword(const Crypter& crypter, const TreeIdentity& tree);

// For a front end that has the password before the run asks for it: checks
// it against the verifiers on record on a thread of its own, so that a
// CheckPassword() or PendingVerifier::Prepare() for the same password later
// finds the answer instead of hashing (they wait for the check to end).
// Writes nothing; keeps no copy of the password beyond the check.
void CheckPasswordAhead(std::u16string_view password);

// The record of a run's password, made beside its walk and written only
// when the walk enciphered something.
class PendingVerifier {
 public:
  // Slow: hashes the password unless a record takes it already.
  void Prepare(const Crypter& crypter);
  // Binds |tree| to the password's record: the one Prepare made, or the one
  // that took the password. When the run found the tree with nothing
  // enciphered in it, every binding of another record to the tree or a
  // folder below it is stale and goes. False when the state folder refused
  // the password's record; true when there was nothing to write.
  bool Write(const TreeIdentity& tree, bool tree_was_plain) const;
  bool empty() const { return verifier_.empty() && matched_file_.empty(); }

 private:
  std::string digest_;
  std::string verifier_;      // a new record's verifier
  std::string matched_file_;  // the record that took the password
};

}  // namespace velmora::state

#endif  // VELMORA_STATE_PASSWORD_VERIFIER_H_
