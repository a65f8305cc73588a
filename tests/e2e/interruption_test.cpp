// The live progress line, and runs that are interrupted or lose their reader: Ctrl-C and
// SIGTERM during a walk and during many moves, and a report piped into `head`.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <thread>

#include "delete_support.hpp"
#include "support/deep_tree.hpp"

namespace orvc::testing {
namespace {

using ::testing::HasSubstr;
using Clock = std::chrono::steady_clock;

// The state letter of /proc/<pid>/stat: R, S, D, T (stopped), Z (ended), ...
char process_state(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  std::getline(stat, line);
  const size_t end = line.rfind(") ");
  return end == std::string::npos ? 'Z' : line[end + 2];
}

bool has_folder_open(pid_t pid, const std::string& folder) {
  const std::string fds = "/proc/" + std::to_string(pid) + "/fd";
  for (const auto& name : sorted_entries(fds)) {
    char target[4096];
    const ssize_t n = readlink((fds + "/" + name).c_str(), target, sizeof target);
    if (n > 0 && std::string_view(target, static_cast<size_t>(n)).starts_with(folder)) return true;
  }
  return false;
}

// Stops `pid` once `busy` holds; true when it still held with the program stopped, false when
// the program ended first.
bool freeze_while_busy(pid_t pid, const std::function<bool()>& busy) {
  const auto deadline = Clock::now() + std::chrono::seconds(60);
  while (!busy()) {
    if (process_state(pid) == 'Z' || Clock::now() > deadline) return false;
  }
  kill(pid, SIGSTOP);
  while (process_state(pid) != 'T') {
    if (process_state(pid) == 'Z') return false;
  }
  return busy();
}

struct SignalledRun {
  ProcessResult result;
  bool caught_busy = false;
  Clock::duration after_resume{};  // from letting the program go on to its end
};

// Runs a program, stops it once `busy` holds, sends it the first signal, lets it go on and sends
// the others. Its output is read all along, so it never waits on a full pipe.
SignalledRun signal_when_busy(const std::vector<std::string>& argv, const ProcessOptions& options,
                              const std::function<bool(pid_t)>& busy,
                              const std::vector<int>& signals) {
  const StartedProcess started = start_program(argv, options);
  SignalledRun run;
  Clock::time_point ended;
  std::thread reader([&] {
    run.result = finish_program(started);
    ended = Clock::now();
  });
  run.caught_busy = freeze_while_busy(started.pid, [&] { return busy(started.pid); });
  kill(started.pid, signals.front());
  const auto resumed = Clock::now();
  kill(started.pid, SIGCONT);
  for (size_t i = 1; i < signals.size(); ++i) kill(started.pid, signals[i]);
  reader.join();
  run.after_resume = ended - resumed;
  return run;
}

using Interruption = DeleteTest;

TEST_F(Interruption, AStopSignalEndsAWalkAtOnceWithNothingPrinted) {
  // 200 000 entries: 200 folders of 999 files each.
  const std::unique_ptr<TempDir> fast = make_fast_temp_dir();
  const std::string tree = *fast / "tree";
  for (int d = 0; d < 200; ++d) {
    const std::string folder = tree + "/d" + std::to_string(d);
    make_dirs(folder);
    for (int f = 0; f < 999; ++f) std::ofstream(folder + "/f" + std::to_string(f));
  }
  for (const auto& [signal_number, status] : {std::pair{SIGINT, 130}, std::pair{SIGTERM, 143}}) {
    bool caught_mid_walk = false;
    for (int attempt = 0; attempt < 20 && !caught_mid_walk; ++attempt) {
      const auto run =
          signal_when_busy(orvc_command({"scan", "--path", tree}), orvc_options(home.path()),
                           [&](pid_t pid) { return has_folder_open(pid, tree); }, {signal_number});
      caught_mid_walk = run.caught_busy;
      if (!caught_mid_walk) continue;  // the walk was over before it could be stopped
      EXPECT_LT(run.after_resume, std::chrono::milliseconds(500)) << signal_number;
      EXPECT_EQ(run.result.exit_code, status);
      EXPECT_EQ(run.result.out, "");
      EXPECT_EQ(run.result.err, "");
    }
    EXPECT_TRUE(caught_mid_walk) << "no run was stopped while walking";
  }
}

TEST_F(Interruption, MovesUnderWayFinishAndTheHistoryListsExactlyTheMovedItems) {
  constexpr int kCount = 2000;
  std::vector<std::string> paths;
  for (int i = 0; i < kCount; ++i) {
    paths.push_back(home / ("items/f" + std::to_string(i)));
    write_file(paths.back(), std::to_string(i));
  }
  std::vector<std::string> args = {"delete"};
  args.insert(args.end(), paths.begin(), paths.end());
  // A second Ctrl-C changes nothing.
  const auto run =
      signal_when_busy(orvc_command(args), orvc_options(home.path(), {{"PATH", home / "no-bin"}}),
                       [&](pid_t) {
                         const size_t moved = sorted_entries(trash_files()).size();
                         return moved >= 20 && moved < kCount;
                       },
                       {SIGINT, SIGINT});
  ASSERT_TRUE(run.caught_busy) << "the moves were over before they could be interrupted";
  const ProcessResult& r = run.result;

  int moved = 0;
  for (int i = 0; i < kCount; ++i) {
    const std::string name = "f" + std::to_string(i);
    const bool in_place = exists_no_follow(paths[i]);
    ASSERT_NE(in_place, exists_no_follow(trash_files(name))) << name;
    EXPECT_EQ(read_file(in_place ? paths[i] : trash_files(name)), std::to_string(i));
    moved += in_place ? 0 : 1;
  }
  EXPECT_LT(moved, kCount);
  EXPECT_EQ(r.exit_code, 130);
  EXPECT_EQ(r.out, plan(paths));
  EXPECT_EQ(r.err, "  Some items could not be moved: Interrupted — " + std::to_string(moved) +
                       " item(s) moved to Trash (recoverable), " + std::to_string(kCount - moved) +
                       " left alone.\n");
  const auto sessions = manifests();
  ASSERT_EQ(sessions.size(), 1u);
  EXPECT_THAT(sessions[0], HasSubstr("\"status\": \"completed\""));
  for (int i = 0; i < kCount; ++i) {
    const bool listed = sessions[0].find("\"" + paths[i] + "\"") != std::string::npos;
    EXPECT_EQ(listed, !exists_no_follow(paths[i])) << paths[i];
  }
}

TEST_F(Interruption, ProgressIsDrawnOnATerminalOnlyAndErasedBeforeTheReport) {
  // The Docker check waits a second, so the scan outlasts the half second before a first line.
  write_file(home / "bin/pgrep", "#!/bin/sh\n/bin/sleep 1\nexit 1\n");
  ASSERT_EQ(chmod((home / "bin/pgrep").c_str(), 0755), 0);
  make_dirs(home / "p/app/__pycache__");
  write_file(home / "p/app/__pycache__/m.pyc", "x");
  const std::map<std::string, std::string> env = {{"PATH", home / "bin"}};
  const std::string report = run_orvc({"dev-junk", "-q"}, home.path(), env).out;
  ASSERT_THAT(report, HasSubstr("__pycache__"));

  struct Case {
    std::vector<std::string> args;
    bool terminal;
    bool drawn;
  };
  for (const Case& c : std::vector<Case>{{{"dev-junk"}, true, true},
                                         {{"-q", "dev-junk"}, true, false},
                                         {{"dev-junk", "--quiet"}, true, false},
                                         {{"dev-junk", "--progress"}, false, false}}) {
    ProcessOptions options = orvc_options(home.path(), env);
    options.stderr_is_terminal = c.terminal;
    const auto r = run_program(orvc_command(c.args), options);
    const std::string shown = ::testing::PrintToString(c.args);
    EXPECT_EQ(r.exit_code, 0) << shown;
    EXPECT_EQ(r.out, report) << shown;
    if (c.drawn) {
      EXPECT_THAT(r.err, HasSubstr("\rMeasuring: ")) << shown;
      EXPECT_TRUE(r.err.ends_with("\r\x1b[K")) << shown;
    } else {
      EXPECT_EQ(r.err, "") << shown;
    }
  }
}

TEST_F(Interruption, AReaderThatGoesAwayEndsTheRunQuietly) {
  // Thousands of report lines: far more than a pipe holds once `head` has stopped reading.
  for (int i = 0; i < 3000; ++i) make_dirs(home / ("p/a" + std::to_string(i) + "/__pycache__"));
  ProcessOptions options = orvc_options(home.path(), {{"PATH", "/usr/bin:/bin"}});
  const auto r = run_program(
      {"/bin/sh", "-c",
       "{ PATH=/nonexistent \"$0\" dev-junk; echo \"status $?\" >&2; } | head -n 1", ORVC_BINARY},
      options);
  EXPECT_EQ(r.out, "Developer Junk\n");
  EXPECT_EQ(r.err, "status 0\n");
}

}  // namespace
}  // namespace orvc::testing
