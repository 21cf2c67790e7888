// velmora-cli: the terminal front end.

#include <cstdio>
#include <cstring>

#include "engine/alphabet.h"
#include "engine/crypter.h"
#include "platform/wtf8.h"

namespace {

constexpr char kUsage[] =
    "Usage: velmora-cli encrypt|decrypt|open DIR [options]\n"
    "\n"
    "Protects the directory tree DIR with a password, in place.\n"
    "\n"
    "  --help       show this help\n"
    "  --version    show the version\n";

void Describe() {
  velmora::Crypter& crypter = velmora::TheCrypter();
  std::printf("Cipher engine: name alphabet %d units, code alphabet %d units,\n",
              velmora::NameAlphabetSize(), velmora::CodeAlphabetSize());
  std::printf("head range %d bytes, whole range %d bytes, chunk %d bytes.\n",
              velmora::kHeadRangeBytes, velmora::kWholeRangeBytes,
              velmora::kChunkBytes);
  std::printf("Registered extensions:");
  for (int slot = 0; !crypter.GetExtension(slot).empty(); ++slot) {
    std::printf(" %s", velmora::Wtf8FromUtf16(crypter.GetExtension(slot)).c_str());
  }
  std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("velmora-cli 1.1\n");
    return 0;
  }
  std::fputs(kUsage, stdout);
  std::printf("\n");
  Describe();
  return argc > 1 && std::strcmp(argv[1], "--help") == 0 ? 0 : 2;
}
