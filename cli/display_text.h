// Turning the program's UTF-16 texts into bytes for a terminal or a log.
#ifndef VELMORA_CLI_DISPLAY_TEXT_H_
#define VELMORA_CLI_DISPLAY_TEXT_H_

#include <string>
#include <string_view>

namespace velmora::cli {

// UTF-8 for showing |text|: "\r\n" becomes "\n"; a raw byte carried from a
// name that was not UTF-8 shows as "\xNN"; lone surrogates (common in
// enciphered names) and control characters other than line feed and tab,
// which could drive the terminal, show as U+FFFD.
std::string DisplayText(std::u16string_view text);

// An error that ends the run, as one line for stderr (with its line end):
// "velmora-cli: SUBJECT: TEXT", or "velmora-cli: TEXT" without a subject.
// Line breaks in either are joined by single spaces, so a script reads one
// line per error.
std::string FailureLine(std::u16string_view subject, std::u16string_view text);

// The system's reason for |error| (strerror), as a program text.
std::u16string SystemReason(int error);

// |text| and, after it, the system's reason for |error|: "TEXT (REASON)".
std::u16string WithReason(std::u16string_view text, int error);

}  // namespace velmora::cli

#endif  // VELMORA_CLI_DISPLAY_TEXT_H_
