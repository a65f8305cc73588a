#include "cli/console.hpp"

#include <fmt/format.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>

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

void print_line(std::string_view text) {
  if (!text.empty()) std::fwrite(text.data(), 1, text.size(), stdout);
  std::fputc('\n', stdout);
}

void print_error_line(std::string_view text) {
  std::fflush(stdout);
  if (!text.empty()) std::fwrite(text.data(), 1, text.size(), stderr);
  std::fputc('\n', stderr);
  std::fflush(stderr);
}

}  // namespace orvc::cli
