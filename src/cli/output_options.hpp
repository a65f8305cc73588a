#pragma once
// Flags about how a command shows its work rather than what it does: the live progress line.
// They may stand before the command's name (`orvc -q delete a`, the only place for `delete`,
// whose arguments are all paths) and, for commands that read flags, among their own flags.
#include <optional>
#include <span>
#include <string_view>

namespace orvc::cli {

struct OutputOptions {
  std::optional<bool> progress;  // --progress: true, --quiet/-q: false; the last one wins
  bool json = false;             // machine-readable output: no progress line unless --progress
};

struct OutputFlag {
  std::span<const std::string_view> words;
  std::string_view synopsis;
  std::string_view description;
  bool progress;  // what the flag sets OutputOptions::progress to
};

// In the order of the help text.
std::span<const OutputFlag> output_flag_table();

// Takes `arg` into `options` when it is one of the output flags; false otherwise.
bool read_output_flag(std::string_view arg, OutputOptions& options);

// `own` (read after `leading` on the command line) wins where it says anything.
OutputOptions merged(const OutputOptions& leading, const OutputOptions& own);

// Whether the live progress line is drawn: only on a terminal, never with --quiet, and with
// machine-readable output only when asked for.
bool wants_progress(const OutputOptions& options, bool stderr_is_terminal);

}  // namespace orvc::cli
