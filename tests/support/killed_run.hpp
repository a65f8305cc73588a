#pragma once
// Stops a program at a chosen moment and signals it (SIGKILL for the "killed at any moment loses
// nothing" checks, SIGINT or SIGTERM for clean interruption); Linux: reads /proc.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "support/run_process.hpp"
#include "support/temp_home.hpp"

namespace orvc::testing {

inline dev_t device_of(const std::string& path) {
  struct stat metadata {};
  return stat(path.c_str(), &metadata) == 0 ? metadata.st_dev : 0;
}

// The state letter of /proc/<pid>/stat: R, S, D, T (stopped), Z (ended), ...
inline char process_state(pid_t pid) {
  const std::string line = read_file("/proc/" + std::to_string(pid) + "/stat");
  const size_t end = line.rfind(") ");
  return end == std::string::npos ? 'Z' : line[end + 2];
}

inline bool has_folder_open(pid_t pid, const std::string& folder) {
  const std::string fds = "/proc/" + std::to_string(pid) + "/fd/";
  std::error_code error;
  return std::ranges::any_of(listing_order(fds), [&](const std::string& name) {
    return std::filesystem::read_symlink(fds + name, error).string().starts_with(folder);
  });
}

// Stops `pid` once `busy` holds; true when it still held with the program stopped, false when
// the program ended first.
inline bool freeze_while_busy(pid_t pid, const std::function<bool()>& busy) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!busy())
    if (process_state(pid) == 'Z' || std::chrono::steady_clock::now() > deadline) return false;
  kill(pid, SIGSTOP);
  for (char state; (state = process_state(pid)) != 'T';)
    if (state == 'Z') return false;
  return busy();
}

struct SignalledRun {
  ProcessResult result;
  bool caught_busy = false;
  std::chrono::steady_clock::duration after_resume{};  // from letting the program go on to its end
};

// Runs a program, stops it once `busy` holds, sends it the first signal, lets it go on and sends
// the others. Its output is read all along, so it never waits on a full pipe.
inline SignalledRun signal_when_busy(const std::vector<std::string>& argv,
                                     const ProcessOptions& options,
                                     const std::function<bool(pid_t)>& busy,
                                     const std::vector<int>& signals) {
  const StartedProcess started = start_program(argv, options);
  SignalledRun run;
  std::chrono::steady_clock::time_point ended;
  std::thread reader([&] {
    run.result = finish_program(started);
    ended = std::chrono::steady_clock::now();
  });
  run.caught_busy = freeze_while_busy(started.pid, [&] { return busy(started.pid); });
  kill(started.pid, signals.front());
  const auto resumed = std::chrono::steady_clock::now();
  kill(started.pid, SIGCONT);
  for (size_t i = 1; i < signals.size(); ++i) kill(started.pid, signals[i]);
  reader.join();
  run.after_resume = ended - resumed;
  return run;
}

}  // namespace orvc::testing
