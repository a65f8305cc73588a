// Moves into a Trash on another file system (copy, then remove the source), and what is left
// when `orvc delete` is killed in the middle of many moves.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <thread>

#include "delete_support.hpp"
#include "support/killed_run.hpp"

namespace orvc::testing {
namespace {

using ::testing::HasSubstr;

constexpr const char* kSecondFileSystem = "/dev/shm";

// A HOME on the second file system, so that items under the usual temporary folder must be
// copied into its Trash.
class DeleteAcrossVolumes : public DeleteTest {
 protected:
  void SetUp() override {
    std::string pattern = std::string(kSecondFileSystem) + "/orvc-test-XXXXXX";
    if (device_of(kSecondFileSystem) == 0 || !mkdtemp(pattern.data())) {
      GTEST_SKIP() << kSecondFileSystem << " is not available as a second file system";
    }
    far_home = pattern;
    if (device_of(far_home) == device_of(home.path())) {
      GTEST_SKIP() << kSecondFileSystem << " is on the same file system as " << home.path();
    }
    make_dirs(far_home + "/no-bin");
  }
  void TearDown() override {
    if (!far_home.empty()) remove_tree(far_home);
  }
  std::string far_trash(const std::string& name = "") const {
    return trash_files_of(far_home, name);
  }

  std::string far_home;
};

// How each kind of entry is copied is unit-tested; here, the whole move through the command.
TEST_F(DeleteAcrossVolumes, CopiesTheItemAndRemovesTheSource) {
  const std::string item = home / "work/cache";
  write_file(item + "/a.txt", "a");
  write_sized_file(item + "/deep/b.bin", 100000, 3);
  const std::string bytes = read_file(item + "/deep/b.bin");
  make_symlink("/nonexistent/target", item + "/dangling");
  write_file(far_trash("cache"), "already here");

  const auto r = run_orvc({"delete", item}, far_home, {{"PATH", far_home + "/no-bin"}});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, plan({item}) + kDone);
  EXPECT_FALSE(exists_no_follow(item));
  EXPECT_EQ(read_file(far_trash("cache 2/a.txt")), "a");
  EXPECT_EQ(read_file(far_trash("cache 2/deep/b.bin")), bytes);
  EXPECT_TRUE(exists_no_follow(far_trash("cache 2/dangling")));
  EXPECT_EQ(read_file(far_trash("cache")), "already here");
}

TEST_F(DeleteAcrossVolumes, AFailedCopyLeavesTheItemAndAnEmptyTrash) {
  const std::string item = home / "work/run";
  write_file(item + "/log.txt", "log");
  ASSERT_EQ(mkfifo((item + "/control").c_str(), 0600), 0);
  const auto r = run_orvc({"delete", item}, far_home, {{"PATH", far_home + "/no-bin"}});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.err,
            "  Some items could not be moved: Cleaned with 1 issue(s). 1 item(s) could not "
            "be removed: '" +
                item + "': move to ~/.Trash failed: cannot copy '" + item +
                "/control': not a regular file, folder or symbolic link\n");
  EXPECT_EQ(read_file(item + "/log.txt"), "log");
  EXPECT_EQ(sorted_entries(far_trash()), std::vector<std::string>{});
  EXPECT_EQ(sorted_entries(far_home + "/.local/share/Trash/info"), std::vector<std::string>{});
}

TEST_F(DeleteTest, KilledAmidManyMovesLosesNothing) {
  constexpr int kCount = 1500;
  const std::vector<std::string> paths = numbered_items(kCount);
  std::vector<std::string> args = {"delete"};
  args.insert(args.end(), paths.begin(), paths.end());
  const pid_t pid = start_orvc(args, home.path());
  kill_when(pid, [&] { return sorted_entries(trash_files()).size() >= 20; });

  int moved = 0;
  for (int i = 0; i < kCount; ++i) {
    const std::string name = "f" + std::to_string(i);
    const bool in_place = exists_no_follow(paths[i]);
    const bool in_trash = exists_no_follow(trash_files(name));
    ASSERT_NE(in_place, in_trash) << name;
    EXPECT_EQ(read_file(in_place ? paths[i] : trash_files(name)), std::to_string(i));
    moved += in_trash;
  }
  const auto sessions = manifests();
  ASSERT_EQ(sessions.size(), 1u);
  if (moved < kCount) {
    EXPECT_THAT(sessions[0], HasSubstr("\"status\": \"pending\""));
    EXPECT_THAT(sessions[0], HasSubstr("\"original_path\": \"" + paths.back() + "\""));
  }

  // The next run tidies the records the killed run left without an item, once they are an hour
  // old (aged here), and keeps every record whose item arrived.
  const std::string info = home / ".local/share/Trash/info";
  for (const auto& record : sorted_entries(info)) {
    set_mtime(info + "/" + record, std::time(nullptr) - 7200);
  }
  // Its pending manifest, once an hour old, is finished as far as the Trash shows.
  const std::string manifest_name = sorted_entries(history_folder()).at(0);
  std::string manifest = read_file(history_folder() + "/" + manifest_name);
  const size_t stamp = manifest.find("\"unix_timestamp\": ") + 18;
  const size_t stamp_end = manifest.find(',', stamp);
  const long long aged = std::stoll(manifest.substr(stamp, stamp_end - stamp)) - 7200;
  manifest.replace(stamp, stamp_end - stamp, std::to_string(aged));
  write_file(history_folder() + "/" + manifest_name, manifest);

  write_file(home / "later.txt", "later");
  ASSERT_EQ(run_orvc({"delete", home / "later.txt"}, home.path()).exit_code, 0);
  const std::string finished = read_file(history_folder() + "/" + manifest_name);
  EXPECT_THAT(finished, HasSubstr("\"status\": \"completed\""));
  size_t listed = 0;
  for (size_t at = finished.find("\"original_path\""); at != std::string::npos;
       at = finished.find("\"original_path\"", at + 1)) {
    ++listed;
  }
  EXPECT_EQ(listed, static_cast<size_t>(moved));
  size_t records = 0;
  for (const auto& record : sorted_entries(info)) {
    const std::string name = record.substr(0, record.size() - std::string(".trashinfo").size());
    EXPECT_TRUE(exists_no_follow(trash_files(name))) << record;
    ++records;
  }
  EXPECT_EQ(records, static_cast<size_t>(moved) + 1);
}

}  // namespace
}  // namespace orvc::testing
