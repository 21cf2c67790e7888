#include "cli/progress_line.h"

#include <locale.h>
#include <signal.h>
#include <unistd.h>
#include <wchar.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "cli/console_texts.h"
#include "cli/display_text.h"
#include "cli/local_charset.h"
#include "cli/terminal.h"
#include "platform/u16_format.h"

namespace velmora::cli {
namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
// The throughput is measured over about this much of the recent walk.
constexpr auto kRateWindow = std::chrono::seconds(5);

// "\r\n", "\r" and "\n" each become one space, and so does a tab, which
// would move the cursor by up to eight columns.
std::u16string OneLine(std::u16string_view text) {
  std::u16string line;
  line.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    if (unit == u'\r' || unit == u'\n' || unit == u'\t') {
      if (unit == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
      line.push_back(u' ');
    } else {
      line.push_back(unit);
    }
  }
  return line;
}

// One character of shown text: its bytes and the columns it takes.
struct Glyph {
  std::size_t begin;
  std::size_t end;
  int width;
};

std::vector<Glyph> Glyphs(const std::string& shown) {
  std::vector<Glyph> glyphs;
  std::size_t at = 0;
  while (at < shown.size()) {
    // DisplayText writes well-formed UTF-8 only.
    const unsigned char lead = static_cast<unsigned char>(shown[at]);
    const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    char32_t c = length == 1   ? lead
                 : length == 2 ? lead & 0x1F
                 : length == 3 ? lead & 0x0F
                               : lead & 0x07;
    for (std::size_t k = 1; k < length && at + k < shown.size(); ++k) {
      c = (c << 6) | (static_cast<unsigned char>(shown[at + k]) & 0x3F);
    }
    int width = ColumnWidth(c);
    // U+FE0F asks for the emoji form, which terminals draw two columns
    // wide, of a character glibc counts as one ("\u2764\uFE0F").
    if (c == 0xFE0F && !glyphs.empty() && glyphs.back().width == 1) width = 1;
    const std::size_t end = std::min(at + length, shown.size());
    glyphs.push_back({at, end, width});
    at = end;
  }
  return glyphs;
}

// The start of |shown| that fits |columns|; |*used| gets its width.
std::string FitShown(const std::string& shown, int columns, int* used) {
  *used = 0;
  std::size_t end = 0;
  for (const Glyph& glyph : Glyphs(shown)) {
    if (*used + glyph.width > columns) break;
    *used += glyph.width;
    end = glyph.end;
  }
  return shown.substr(0, end);
}

// The end of |shown| that fits |columns|, never starting with a mark that
// would join what stands before it.
std::string TailThatFits(const std::string& shown, int columns) {
  const std::vector<Glyph> glyphs = Glyphs(shown);
  std::size_t first = glyphs.size();
  int used = 0;
  while (first > 0 && used + glyphs[first - 1].width <= columns) {
    used += glyphs[--first].width;
  }
  while (first < glyphs.size() && glyphs[first].width == 0) ++first;
  return first < glyphs.size() ? shown.substr(glyphs[first].begin) : std::string();
}

std::u16string Ascii(const std::string& text) { return std::u16string(text.begin(), text.end()); }

// A dumb terminal cannot go back to the start of a line and erase it.
bool IsDumbTerminal() {
  const char* term = std::getenv("TERM");
  return term == nullptr || *term == '\0' || std::string_view(term) == "dumb";
}

}  // namespace

int ColumnWidth(char32_t c) {
  // glibc's tables, read in a UTF-8 locale whatever the user's is: in "C"
  // every non-ASCII character would be unprintable. uselocale() is per
  // thread, so the drawing thread may measure too.
  static const locale_t utf8 = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
  const locale_t previous = utf8 != nullptr ? ::uselocale(utf8) : nullptr;
  const int width = ::wcwidth(static_cast<wchar_t>(c));
  if (previous != nullptr) ::uselocale(previous);
  if (width >= 0) return width;
  // Controls never get here (DisplayText replaces them).
  return c < 0x20 || (c >= 0x7F && c < 0xA0) ? 0 : 2;
}

std::string FitToColumns(std::u16string_view text, int columns) {
  int used = 0;
  return FitShown(DisplayText(OneLine(text)), columns, &used);
}

std::string ByteSize(int64_t bytes) {
  static constexpr const char* kUnits[] = {"KiB", "MiB", "GiB", "TiB", "PiB", "EiB"};
  if (bytes < 1024) return std::to_string(std::max<int64_t>(bytes, 0)) + " B";
  double value = static_cast<double>(bytes) / 1024;
  std::size_t unit = 0;
  // Tenths, in integers: printf's "%.1f" would take the locale's decimal
  // separator.
  int64_t tenths = std::llround(value * 10);
  while (tenths >= 10240 && unit + 1 < std::size(kUnits)) {
    value /= 1024;
    ++unit;
    tenths = std::llround(value * 10);
  }
  return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " " + kUnits[unit];
}

std::string ClockTime(int64_t seconds) {
  seconds = std::max<int64_t>(seconds, 0);
  char text[32];
  if (seconds >= 3600) {
    std::snprintf(text, sizeof text, "%lld:%02d:%02d", static_cast<long long>(seconds / 3600),
                  static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60));
  } else {
    std::snprintf(text, sizeof text, "%d:%02d", static_cast<int>(seconds / 60),
                  static_cast<int>(seconds % 60));
  }
  return text;
}

std::string ProgressText(const ProgressFigures& figures, int columns) {
  std::u16string head;
  if (!figures.walking) {
    head = Format(console_text::kProgressScanning, {figures.entries}) + u"  " +
           Ascii(ByteSize(figures.bytes));
  } else {
    // Files may have grown since the scan.
    const int64_t total = std::max(figures.bytes_total, figures.bytes);
    const int64_t percent =
        total > 0 ? figures.bytes * 100 / total
        : figures.entries_total > 0
            ? std::min<int64_t>(figures.entries * 100 / figures.entries_total, 100)
            : 0;
    head = Format(console_text::kProgressEntries, {figures.entries, figures.entries_total}) +
           u"  " + Ascii(ByteSize(figures.bytes)) + u" / " + Ascii(ByteSize(total)) + u" (" +
           Ascii(std::to_string(percent)) + u"%)";
    if (figures.bytes_per_second > 0) {
      head += u"  " + Ascii(ByteSize(std::llround(figures.bytes_per_second))) + u"/s";
      const double left = static_cast<double>(total - figures.bytes) / figures.bytes_per_second;
      if (left < 100.0 * 3600) {
        head += u"  " + Format(console_text::kProgressLeft,
                               {Ascii(ClockTime(std::llround(std::ceil(left))))});
      }
    }
  }
  int used = 0;
  std::string line = FitShown(DisplayText(OneLine(head)), columns, &used);
  const std::string current = DisplayText(OneLine(figures.current));
  const int room = columns - used - 2;
  if (current.empty() || room <= 0) return line;
  int width = 0;
  if (FitShown(current, room, &width).size() == current.size()) {
    return line + "  " + current;
  }
  // The end of a path names the entry itself.
  if (room <= 3) return line;
  return line + "  ..." + TailThatFits(current, room - 3);
}

ProgressLine::ProgressLine(int fd, bool enabled)
    : fd_(fd), enabled_(enabled && !IsDumbTerminal()) {}

ProgressLine::~ProgressLine() {
  StopWalk();
  Clear();
}

void ProgressLine::Show(const ProgressFigures& figures) {
  if (!enabled_) return;
  std::lock_guard<std::mutex> lock(mutex_);
  figures_ = figures;
  live_ = true;
  // An empty line is drawn at once: only redraws wait.
  const auto now = Clock::now();
  if (!shown_ || now - last_draw_ >= kRedrawInterval) DrawLocked(now);
}

void ProgressLine::StartWalk(const std::atomic<int64_t>* bytes_done) {
  if (!enabled_ || ticker_.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    bytes_done_ = bytes_done;
    samples_.assign(1, {Clock::now(), bytes_done->load()});
  }
  // The drawing thread takes no signal: they stay with the walk, as
  // before it started.
  sigset_t all, previous;
  sigfillset(&all);
  ::pthread_sigmask(SIG_SETMASK, &all, &previous);
  ticker_ = std::thread([this] { Tick(); });
  ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

void ProgressLine::StopWalk() {
  if (ticker_.joinable()) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    wake_.notify_all();
    ticker_.join();
  }
  std::lock_guard<std::mutex> lock(mutex_);
  stopping_ = false;
  bytes_done_ = nullptr;
  samples_.clear();
  live_ = false;
  ClearLocked();
}

void ProgressLine::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  live_ = false;
  ClearLocked();
}

void ProgressLine::Tick() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stopping_) {
    const auto due = live_ ? last_draw_ + kRedrawInterval : Clock::now() + kRedrawInterval;
    wake_.wait_until(lock, due, [this] { return stopping_; });
    if (stopping_) break;
    const auto now = Clock::now();
    if (live_ && now - last_draw_ >= kRedrawInterval) DrawLocked(now);
  }
}

void ProgressLine::DrawLocked(Clock::time_point now) {
  ProgressFigures figures = figures_;
  if (figures.walking && bytes_done_ != nullptr) {
    const int64_t done = bytes_done_->load(std::memory_order_relaxed);
    samples_.push_back({now, done});
    while (samples_.size() > 2 && now - samples_[1].time >= kRateWindow) {
      samples_.pop_front();
    }
    const Sample& oldest = samples_.front();
    const double seconds = std::chrono::duration<double>(now - oldest.time).count();
    figures.bytes = done;
    figures.bytes_per_second =
        seconds >= 0.5 ? static_cast<double>(done - oldest.bytes) / seconds : 0;
  }
  // One column short of the width: writing the last column wraps on some
  // terminals. The width is read at every drawing, so a resized window
  // gets a line that fits it.
  WriteAll("\r" + ProgressText(figures, TerminalColumns(fd_) - 1) + "\x1b[K");
  shown_ = true;
  last_draw_ = now;
}

void ProgressLine::ClearLocked() {
  if (!enabled_ || !shown_) return;
  WriteAll("\r\x1b[K");
  shown_ = false;
}

void ProgressLine::WriteAll(std::string_view text) {
  const std::string local = LocalBytes(text);
  std::string_view bytes = local;
  while (!bytes.empty()) {
    const ssize_t count = ::write(fd_, bytes.data(), bytes.size());
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return;
    bytes.remove_prefix(static_cast<std::size_t>(count));
  }
}

}  // namespace velmora::cli
