// The warning every start of velmora-cli gives while a temporary
// decryption's tree was left decrypted (its program was killed, or the
// machine went down) and no live run holds it.
#ifndef VELMORA_CLI_LEFT_DECRYPTED_WARNING_H_
#define VELMORA_CLI_LEFT_DECRYPTED_WARNING_H_

namespace velmora::cli {

// Prints one warning per such tree on stderr, with the command that
// encrypts it.
void WarnAboutTreesLeftDecrypted();

}  // namespace velmora::cli

#endif  // VELMORA_CLI_LEFT_DECRYPTED_WARNING_H_
