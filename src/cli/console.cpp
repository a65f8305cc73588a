#include "cli/console.hpp"

#include <fmt/format.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace orvc::cli {

bool color_enabled() {
  static const bool enabled = std::getenv("NO_COLOR") == nullptr && isatty(STDOUT_FILENO) == 1;
  return enabled;
}

std::string paint(std::string_view code, std::string_view text) {
  if (!color_enabled()) return std::string(text);
  return fmt::format("\x1b[{}m{}\x1b[0m", code, text);
}

std::string format_size(uint64_t bytes) {
  if (bytes < 1024) return fmt::format("{} B", bytes);
  static constexpr std::array<std::string_view, 5> kUnits = {"KB", "MB", "GB", "TB", "PB"};
  double value = static_cast<double>(bytes) / 1024.0;
  size_t unit = 0;
  while (value >= 1024.0 && unit + 1 < kUnits.size()) {
    value /= 1024.0;
    ++unit;
  }
  return fmt::format("{:.1f} {}", value, kUnits[unit]);
}

namespace {

// Guards both streams while the status line may be drawn from the progress timer.
std::mutex& console_lock() {
  static std::mutex lock;
  return lock;
}

bool status_shown = false;  // guarded by console_lock

constexpr std::string_view kEraseLine = "\r\x1b[K";

void erase_status_locked() {
  if (!status_shown) return;
  std::fwrite(kEraseLine.data(), 1, kEraseLine.size(), stderr);
  std::fflush(stderr);
  status_shown = false;
}

// Writes one line unless the stream's reader is known to be gone. With SIGPIPE ignored, a
// closed pipe shows as a write error; the work goes on and its output is dropped.
void write_line(std::FILE* stream, std::string_view text) {
  if (std::ferror(stream)) return;
  if (!text.empty()) std::fwrite(text.data(), 1, text.size(), stream);
  std::fputc('\n', stream);
}

size_t terminal_columns() {
  struct winsize size {};
  if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) != 0 || size.ws_col == 0) return 80;
  return size.ws_col;
}

}  // namespace

void print_line(std::string_view text) {
  const std::lock_guard hold(console_lock());
  erase_status_locked();
  write_line(stdout, text);
}

void print_error_line(std::string_view text) {
  const std::lock_guard hold(console_lock());
  erase_status_locked();
  if (!std::ferror(stdout)) std::fflush(stdout);
  write_line(stderr, text);
  std::fflush(stderr);
}

void draw_status_line(std::string_view text) {
  const std::lock_guard hold(console_lock());
  // One column short of the width, so the line never wraps and "\r" always reaches its start.
  const size_t room = terminal_columns() - 1;
  std::string line = "\r";
  line.append(text.substr(0, room));
  line.append("\x1b[K");
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
  status_shown = true;
}

void clear_status_line() {
  const std::lock_guard hold(console_lock());
  erase_status_locked();
}

}  // namespace orvc::cli
