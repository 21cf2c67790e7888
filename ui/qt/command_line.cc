#include "ui/qt/command_line.h"

#include "platform/wtf8.h"

namespace velmora {

std::u16string TargetFromArguments(int argc, const char* const* argv) {
  std::string joined;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) joined += ' ';
    joined += argv[i];
  }
  // Bytes that are not UTF-8 survive as escapes, so such a name still
  // reaches the file system unchanged.
  return Utf16FromWtf8(joined);
}

}  // namespace velmora
