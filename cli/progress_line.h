// One line at the bottom of a terminal that shows how far the scan or the
// walk is, overwritten in place with a carriage return and cut to the
// terminal's width so it never wraps. It is drawn at most ten times a
// second: a walk over many small files changes far faster than anyone can
// read, and a terminal that draws every change slows the walk down. During
// a walk a thread of its own redraws it, so the bytes done, the throughput
// and the time left keep moving while one large file is transformed.
//
// A dumb terminal (TERM=dumb or unset) gets no line at all: it cannot go
// back to the start of a line and erase it.
#ifndef VELMORA_CLI_PROGRESS_LINE_H_
#define VELMORA_CLI_PROGRESS_LINE_H_

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace velmora::cli {

// Terminal columns taken by |code_point|, as glibc's wcwidth(3) tells in a
// UTF-8 locale: 2 for wide characters and emoji, 0 for combining marks. A
// character glibc does not know yet (a newer emoji) counts 2: a terminal
// that knows it may draw it wide, and a column too many only leaves a gap.
int ColumnWidth(char32_t code_point);

// |text| as shown (see DisplayText), line ends and tabs turned into spaces,
// cut to at most |columns| columns. A character followed by the emoji
// presentation selector (U+FE0F) counts at least 2.
std::string FitToColumns(std::u16string_view text, int columns);

// "56.1 MiB": binary units with one decimal from KiB up, plain ASCII.
std::string ByteSize(int64_t bytes);

// "0:03", "12:34", "1:02:03".
std::string ClockTime(int64_t seconds);

struct ProgressFigures {
  bool walking = false;         // false: the scan
  int64_t entries = 0;          // found by the scan so far, or done by the walk
  int64_t entries_total = 0;    // walk: what the scan found
  int64_t bytes = 0;            // scan: found so far; walk: transformed
  int64_t bytes_total = 0;      // walk: what the walk has to transform
  double bytes_per_second = 0;  // walk: 0 while not known yet
  std::u16string current;       // the entry (or, scanning, the directory)
};

// The line for |figures| in at most |columns| columns: the figures, then as
// much of the end of the current path as fits, behind "..." when cut.
std::string ProgressText(const ProgressFigures& figures, int columns);

class ProgressLine {
 public:
  // Draws on |fd| only when |enabled| and the terminal is not dumb;
  // otherwise every call does nothing.
  ProgressLine(int fd, bool enabled);
  // Whether anything is drawn: when not, figures need not be gathered.
  bool enabled() const { return enabled_; }
  ~ProgressLine();
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  // New figures (the walk's bytes and throughput are read here, not taken
  // from |figures|). An empty line is drawn at once, a redraw only when the
  // last drawing is a tenth of a second old.
  void Show(const ProgressFigures& figures);
  // From now until StopWalk(), the line is redrawn with |*bytes_done| (the
  // job's counter, advanced by the thread that runs it) between Show()s.
  void StartWalk(const std::atomic<int64_t>* bytes_done);
  // Stops those redraws and erases the line.
  void StopWalk();
  // Erases the line, so that other output starts at the left margin; it
  // stays away until the next Show().
  void Clear();

 private:
  using Clock = std::chrono::steady_clock;
  void DrawLocked(Clock::time_point now);
  void ClearLocked();
  void Tick();
  // Writes |text| (UTF-8) in the locale's character set.
  void WriteAll(std::string_view text);

  struct Sample {
    Clock::time_point time;
    int64_t bytes;
  };

  const int fd_;
  const bool enabled_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::thread ticker_;
  bool stopping_ = false;
  bool live_ = false;   // shown since the last Clear(): the ticker may redraw
  bool shown_ = false;  // something is on the line
  Clock::time_point last_draw_{};
  ProgressFigures figures_;
  const std::atomic<int64_t>* bytes_done_ = nullptr;
  // The walk's recent (time, bytes done), for the throughput.
  std::deque<Sample> samples_;
};

}  // namespace velmora::cli

#endif  // VELMORA_CLI_PROGRESS_LINE_H_
