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
// Hashing costs a fraction of a second and tens of MiB: callers run it on a
// helper thread beside the walk. Nothing here throws; failures are values.
#ifndef VELMORA_STATE_PASSWORD_VERIFIER_H_
#define VELMORA_STATE_PASSWORD_VERIFIER_H_

#include <string>

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

enum class PasswordMatch {
  kNoRecord,  // no verifier for these name keys
  kMatches,   // a verifier for these name keys takes the password
  kDiffers,   // verifiers exist for these name keys; none takes it
};

// Slow when a record exists. Reads only m_szPassword, m_nPasswordLen and the
// name keys of |crypter|, so it may run beside a walk that uses it.
PasswordMatch CheckPassword(const Crypter& crypter);

// For a front end that has the password before the run asks for it: checks
// it against the verifiers on record on a thread of its own, so that a
// CheckPassword() or PendingVerifier::Prepare() for the same password later
// finds the answer instead of hashing (they wait for the check to end).
// Writes nothing; keeps no copy of the password beyond the check.
void CheckPasswordAhead(std::u16string_view password);

// A verifier for the password of a run, made beside its walk and written
// only when the walk enciphered something.
class PendingVerifier {
 public:
  // Slow: hashes the password unless a verifier for it is on record already.
  void Prepare(const Crypter& crypter);
  // Writes what Prepare made (nothing when a record took the password);
  // false when the state folder refused it.
  bool Write() const;
  bool empty() const { return verifier_.empty(); }

 private:
  std::string digest_;
  std::string verifier_;
};

}  // namespace velmora::state

#endif  // VELMORA_STATE_PASSWORD_VERIFIER_H_
