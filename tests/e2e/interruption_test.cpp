// The live progress line, and runs that are interrupted or lose their reader: Ctrl-C and
// SIGTERM during a walk and during many moves, and a removal piped into `head`.
#include <gmock/gmock.h>
#include <sys/stat.h>

#include <fstream>

#include "removal_support.hpp"
#include "support/deep_tree.hpp"
#include "support/killed_run.hpp"

namespace orvc::testing {
namespace {

using ::testing::HasSubstr;

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
      EXPECT_EQ(std::tie(run.result.exit_code, run.result.out, run.result.err),
                std::tuple(status, "", ""));
    }
    EXPECT_TRUE(caught_mid_walk) << "no run was stopped while walking";
  }
}

TEST_F(Interruption, MovesUnderWayFinishAndTheHistoryListsExactlyTheMovedItems) {
  constexpr int kCount = 2000;
  const std::vector<std::string> paths = numbered_items(kCount);
  std::vector<std::string> args = paths;
  args.insert(args.begin(), "delete");
  const auto midway = [&](pid_t) {
    const size_t moved = sorted_entries(trash_files()).size();
    return moved >= 20 && moved < kCount;
  };
  // A second Ctrl-C changes nothing.
  const auto run = signal_when_busy(orvc_command(args), options(), midway, {SIGINT, SIGINT});
  ASSERT_TRUE(run.caught_busy) << "the moves were over before they could be interrupted";
  const int moved = count_moved(paths);
  EXPECT_LT(moved, kCount);
  EXPECT_EQ(std::tie(run.result.exit_code, run.result.out, run.result.err),
            std::tuple(130, plan(paths),
                       "  Some items could not be moved: Interrupted — " + std::to_string(moved) +
                           " item(s) moved to Trash (recoverable), " +
                           std::to_string(kCount - moved) + " left alone.\n"));
  const auto sessions = manifests();
  ASSERT_EQ(sessions.size(), 1u);
  EXPECT_THAT(sessions[0], HasSubstr("\"status\": \"completed\""));
  for (const std::string& path : paths)
    EXPECT_EQ(sessions[0].contains("\"" + path + "\""), !exists_no_follow(path)) << path;
}

TEST_F(Interruption, ProgressIsDrawnOnATerminalOnlyAndErasedBeforeTheReport) {
  // The Docker check, made for the virtual disk, waits a second, so the scan outlasts the half
  // second before a first line.
  write_file(home / "no-bin/pgrep", "#!/bin/sh\n/bin/sleep 1\nexit 1\n");
  ASSERT_EQ(chmod((home / "no-bin/pgrep").c_str(), 0755), 0);
  write_file(home / "Library/Containers/com.docker.docker/Data/vms/0/Docker.raw", "d");
  write_file(home / "p/app/__pycache__/m.pyc", "x");
  const std::string report = orvc({"dev-junk", "-q"}).out;
  ASSERT_THAT(report, HasSubstr("__pycache__"));

  const struct {
    std::vector<std::string> args;
    bool terminal, drawn;
  } cases[] = {{{"dev-junk"}, true, true},
               {{"-q", "dev-junk"}, true, false},
               {{"dev-junk", "--progress"}, false, false}};
  for (const auto& c : cases) {
    ProcessOptions terminal = options();
    terminal.stderr_is_terminal = c.terminal;
    const auto r = run_program(orvc_command(c.args), terminal);
    SCOPED_TRACE(::testing::PrintToString(c.args));
    EXPECT_EQ(std::tie(r.exit_code, r.out), std::tuple(0, report));
    EXPECT_TRUE(c.drawn ? r.err.find("\rMeasuring: ") != std::string::npos &&
                              r.err.ends_with("\r\x1b[K")
                        : r.err.empty())
        << r.err;
  }
}

// Stdout closing ends no removal: every move is made and recorded.
TEST_F(Interruption, AReaderThatGoesAwayEndsNoRemoval) {
  // Far more plan lines than a pipe holds once `head` has stopped reading.
  const std::vector<std::string> paths = numbered_items(3000);
  const auto r = run_program(
      {"/bin/sh", "-c",
       "{ PATH=/nonexistent \"$0\" delete items/*; echo \"status $?\" >&2; } | head -n 1",
       ORVC_BINARY},
      orvc_options(home.path(), {{"PATH", "/usr/bin:/bin"}}));
  EXPECT_EQ(std::tie(r.out, r.err), std::tuple("Moving to Trash: 3000 item(s)\n", "status 0\n"));
  EXPECT_EQ(count_moved(paths), 3000);
  EXPECT_EQ(manifests().size(), 1u);
}

}  // namespace
}  // namespace orvc::testing
