#include "cli/output_options.hpp"

#include <array>

namespace orvc::cli {
namespace {

constexpr std::array<std::string_view, 2> kQuietWords{"-q", "--quiet"};
constexpr std::array<std::string_view, 1> kProgressWords{"--progress"};

constexpr std::array<OutputFlag, 2> kOutputFlags = {{
    {kQuietWords, "-q, --quiet", "Draw no live progress line", false},
    {kProgressWords, "--progress",
     "Draw the live progress line whenever standard error is a terminal", true},
}};

}  // namespace

std::span<const OutputFlag> output_flag_table() {
  return kOutputFlags;
}

bool read_output_flag(std::string_view arg, OutputOptions& options) {
  for (const OutputFlag& flag : kOutputFlags) {
    for (const std::string_view word : flag.words) {
      if (word == arg) {
        options.progress = flag.progress;
        return true;
      }
    }
  }
  return false;
}

OutputOptions merged(const OutputOptions& leading, const OutputOptions& own) {
  OutputOptions out = own;
  if (!out.progress) out.progress = leading.progress;
  out.json = leading.json || own.json;
  return out;
}

bool wants_progress(const OutputOptions& options, bool stderr_is_terminal) {
  return stderr_is_terminal && options.progress.value_or(!options.json);
}

}  // namespace orvc::cli
