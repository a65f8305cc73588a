#pragma once
// Console conventions shared by every report: paints, byte sizes and the colour switch.
#include <cstdint>
#include <string>
#include <string_view>

namespace orvc::cli {

namespace paint_code {
inline constexpr std::string_view kBold = "1";
inline constexpr std::string_view kDim = "2";
inline constexpr std::string_view kRed = "31";
inline constexpr std::string_view kGreen = "32";
inline constexpr std::string_view kYellow = "33";
inline constexpr std::string_view kCyan = "36";
}  // namespace paint_code

// Decided once (NO_COLOR present, or standard output not a terminal, turns it off).
bool color_enabled();

std::string paint(std::string_view code, std::string_view text);

inline std::string bold(std::string_view t) {
  return paint(paint_code::kBold, t);
}
inline std::string dim(std::string_view t) {
  return paint(paint_code::kDim, t);
}
inline std::string red(std::string_view t) {
  return paint(paint_code::kRed, t);
}
inline std::string green(std::string_view t) {
  return paint(paint_code::kGreen, t);
}
inline std::string yellow(std::string_view t) {
  return paint(paint_code::kYellow, t);
}
inline std::string cyan(std::string_view t) {
  return paint(paint_code::kCyan, t);
}

// "0 B", "512 B", "1.5 KB", "1024.0 KB", "16384.0 PB".
std::string format_size(uint64_t bytes);

// Whole lines, each ending in one line feed; the status line, if shown, is erased first. Once
// a stream's reader has gone (a closed pipe), further lines to it are dropped.
void print_line(std::string_view text = {});
void print_error_line(std::string_view text = {});

// The live status line on standard error (a terminal): each call draws over the last, cut to
// the terminal's width.
void draw_status_line(std::string_view text);
void clear_status_line();

}  // namespace orvc::cli
