#pragma once
// Runs the built orvc binary (or any program) with a controlled environment and captures
// both streams and the exit status.
#include <sys/types.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace orvc::testing {

struct ProcessResult {
  int exit_code = -1;  // -1 when ended by a signal
  std::string out, err;
};

struct ProcessOptions {
  // The environment is exactly this (plus PATH from the parent unless given); nothing leaks in.
  std::map<std::string, std::string> env;
  std::optional<std::string> working_dir;
  // Run under a pseudo-terminal (stdout and stderr merged into out).
  bool stdout_is_terminal = false;
  bool stderr_is_terminal = false;  // stderr alone on a pseudo-terminal; stdout stays a pipe
};

ProcessResult run_program(const std::vector<std::string>& argv, const ProcessOptions& options);

// A program started in the background with its streams captured, for tests that signal it.
struct StartedProcess {
  pid_t pid = -1;
  std::vector<int> fds;  // read ends: stdout (or the terminal), then stderr
};
StartedProcess start_program(const std::vector<std::string>& argv, const ProcessOptions& options);
// Reads the streams to their end and waits for the program.
ProcessResult finish_program(const StartedProcess& started);

// How run_orvc runs the built orvc: HOME (and XDG_DATA_HOME inside it) set to `home`, NO_COLOR
// set, no programs on PATH, working in `home`.
ProcessOptions orvc_options(const std::string& home,
                            const std::map<std::string, std::string>& extra_env = {});
std::vector<std::string> orvc_command(const std::vector<std::string>& args);

ProcessResult run_orvc(const std::vector<std::string>& args, const std::string& home,
                       std::map<std::string, std::string> extra_env = {});

}  // namespace orvc::testing
