#pragma once
// Runs the built orvc like run_orvc, but under a deadline: a run that blocks is killed, so a
// hang fails its test instead of stalling the suite. Reports how long the run took.
#include <unistd.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "support/run_process.hpp"

namespace orvc::testing {

struct TimedResult {
  ProcessResult result;
  std::chrono::steady_clock::duration elapsed{};
};

inline constexpr const char* kTimeoutProgram = "/usr/bin/timeout";
inline constexpr std::chrono::seconds kPromptly{2};

inline TimedResult run_orvc_bounded(const std::vector<std::string>& args, const std::string& home,
                                    std::map<std::string, std::string> extra_env = {}) {
  ProcessOptions options;
  options.env = {{"HOME", home}, {"XDG_DATA_HOME", home + "/.local/share"}, {"NO_COLOR", "1"}};
  for (auto& [name, value] : extra_env) options.env[name] = value;
  options.working_dir = home;
  std::vector<std::string> argv;
  if (access(kTimeoutProgram, X_OK) == 0) argv = {kTimeoutProgram, "-s", "KILL", "20"};
  argv.push_back(ORVC_BINARY);
  argv.insert(argv.end(), args.begin(), args.end());
  const auto start = std::chrono::steady_clock::now();
  TimedResult timed{run_program(argv, options), {}};
  timed.elapsed = std::chrono::steady_clock::now() - start;
  return timed;
}

inline double seconds(std::chrono::steady_clock::duration elapsed) {
  return std::chrono::duration<double>(elapsed).count();
}

}  // namespace orvc::testing
