// The bytes velmora-cli prints, in the locale's character set.
//
// Output is built as UTF-8. Where the locale's character set (LC_CTYPE, as
// set at start) is neither UTF-8 nor plain ASCII, every byte printed (stdout,
// stderr, the prompts and the progress line) passes through LocalBytes,
// with '?' for a character that set cannot hold. Under C or POSIX (ASCII)
// the UTF-8 goes out as it is: scripts read it so.
#ifndef VELMORA_CLI_LOCAL_CHARSET_H_
#define VELMORA_CLI_LOCAL_CHARSET_H_

#include <string>
#include <string_view>

namespace velmora::cli {

// |utf8| in the locale's character set, ready to print.
std::string LocalBytes(std::string_view utf8);

// Text the system gives in the locale's character set (strerror), as UTF-8.
std::string Utf8FromLocal(std::string_view local);

}  // namespace velmora::cli

#endif  // VELMORA_CLI_LOCAL_CHARSET_H_
