// One line at the bottom of a terminal that shows the two status lines of
// the main dialog, overwritten in place with a carriage return and cut to
// the terminal's width so it never wraps. Redraws come at most every few
// hundredths of a second: a walk over many small files changes the status
// far faster than anyone can read, and a terminal that draws every change
// slows the walk down.
#ifndef VELMORA_CLI_PROGRESS_LINE_H_
#define VELMORA_CLI_PROGRESS_LINE_H_

#include <chrono>
#include <string>
#include <string_view>

namespace velmora::cli {

// Terminal columns taken by |code_point|, as glibc's wcwidth(3) tells:
// 2 for wide characters and emoji, 0 for combining marks and controls.
int ColumnWidth(char32_t code_point);

// |text| as shown (see DisplayText), line ends turned into spaces, cut to at
// most |columns| columns.
std::string FitToColumns(std::u16string_view text, int columns);

class ProgressLine {
 public:
  // Draws on |fd| only when |enabled|; otherwise every call does nothing.
  ProgressLine(int fd, bool enabled);
  ~ProgressLine();
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  // Redraws the line from the main (1033) and sub (1034) status texts.
  void Show(std::u16string_view main_text, std::u16string_view sub_text);
  // Erases the line, so that other output starts at the left margin.
  void Clear();

 private:
  void WriteAll(std::string_view bytes);

  int fd_;
  bool enabled_;
  bool shown_ = false;
  std::chrono::steady_clock::time_point last_draw_{};
};

}  // namespace velmora::cli

#endif  // VELMORA_CLI_PROGRESS_LINE_H_
