// The desktop program's command line.
#ifndef VELMORA_UI_QT_COMMAND_LINE_H_
#define VELMORA_UI_QT_COMMAND_LINE_H_

#include <string>

namespace velmora {

// The initial target: argv[1] to argv[argc - 1] joined with single spaces,
// byte for byte. No unquoting and no options: "-x" is a path like any
// other. Empty when there are no arguments.
std::u16string TargetFromArguments(int argc, const char* const* argv);

}  // namespace velmora

#endif  // VELMORA_UI_QT_COMMAND_LINE_H_
