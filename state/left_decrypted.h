// Records of trees that a temporary decryption left decrypted.
//
// A temporary decryption records its tree before it deciphers anything,
// and a completed encryption of the tree clears the record. A record whose
// tree no live run holds means the program that should have encrypted the
// tree again never did (it was killed, or the machine went down).
#ifndef VELMORA_STATE_LEFT_DECRYPTED_H_
#define VELMORA_STATE_LEFT_DECRYPTED_H_

#include <string>
#include <vector>

namespace velmora::state {

// Records the tree at the real path |tree|, durably. False when the state
// folder cannot take it.
bool RecordLeftDecrypted(const std::string& tree);

// Clears the record of |tree|, if any.
void ClearLeftDecrypted(const std::string& tree);

// The recorded trees that no live run holds, oldest name order.
std::vector<std::string> TreesLeftDecrypted();

}  // namespace velmora::state

#endif  // VELMORA_STATE_LEFT_DECRYPTED_H_
