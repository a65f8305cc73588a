#pragma once
// Runs the built orvc binary (or any program) with a controlled environment and captures
// both streams and the exit status.
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace orvc::testing {

struct ProcessResult {
  int exit_code = -1;  // -1 when ended by a signal
  std::string out;
  std::string err;
};

struct ProcessOptions {
  // The environment is exactly this (plus PATH from the parent unless given); nothing leaks in.
  std::map<std::string, std::string> env;
  std::optional<std::string> working_dir;
  bool stdout_is_terminal =
      false;  // run under a pseudo-terminal (stdout and stderr merged into out)
};

ProcessResult run_program(const std::vector<std::string>& argv, const ProcessOptions& options);

// The built orvc with HOME (and XDG_DATA_HOME inside it) set to `home` and NO_COLOR set.
ProcessResult run_orvc(const std::vector<std::string>& args, const std::string& home,
                       std::map<std::string, std::string> extra_env = {});

}  // namespace orvc::testing
