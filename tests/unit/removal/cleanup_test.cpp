#include "removal/cleanup.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "removal/cleanup_summary.hpp"
#include "removal/history_json.hpp"
#include "removal/restore.hpp"
#include "removal_fixture.hpp"
#include "safety/protection.hpp"
#include "util/stop_request.hpp"

namespace orvc::removal {
namespace {

using ::testing::ElementsAre;
using namespace orvc::testing;
using ::testing::Pair;

class CleanupTest : public testing::RemovalTest {
 protected:
  static uint64_t inode_of(const std::string& path) {
    struct stat metadata {};
    EXPECT_EQ(lstat(path.c_str(), &metadata), 0) << path;
    return metadata.st_ino;
  }
  // What a run records for an item that arrived in the Trash as `name`.
  DeletedFile moved(const std::string& path, uint64_t size, const std::string& type,
                    const std::string& name) const {
    return {path,
            size,
            type,
            name,
            trash_files(name),
            inode_of(trash_files(name)),
            inode_of(trash_info(name))};
  }

  std::vector<CleanupSession> sessions() const {
    std::vector<CleanupSession> out;
    for (const auto& name : sorted_entries(history())) {
      if (name.ends_with(".json")) out.push_back(*parse_session(testing::read_file(history(name))));
    }
    return out;
  }
};

TEST(CleanupSummary, SortsFailuresIntoMacosProtectedAndOther) {
  EXPECT_EQ(summarise_failures({{"/a", "x: Operation NOT permitted (os error 1)"},
                                {"/b", "No such file or directory (os error 2)"},
                                {"/c", "Finder error -5000"}}),
            "Cleaned with 3 issue(s). 2 item(s) are protected by macOS and can't be removed by any "
            "app (system-managed caches such as /a, /c). These are safe to leave — macOS manages "
            "them itself. 1 item(s) could not be removed: '/b': No such file or directory (os "
            "error 2)");
  EXPECT_EQ(summarise_failures({{"/b", "e1"}, {"/d", "e2"}}),
            "Cleaned with 2 issue(s). 2 item(s) could not be removed: '/b': e1; '/d': e2");
}

TEST(CleanupSummary, AnInterruptedRunCountsWhatMovedAndWhatWasLeftThenItsFailures) {
  EXPECT_EQ(summarise_interruption(3, 7, {}),
            "Interrupted — 3 item(s) moved to Trash (recoverable), 7 left alone.");
  EXPECT_EQ(summarise_interruption(0, 1, {{"/b", "e1"}}),
            "Interrupted — 0 item(s) moved to Trash (recoverable), 1 left alone. Cleaned with 1 "
            "issue(s). 1 item(s) could not be removed: '/b': e1");
}

TEST_F(CleanupTest, AfterAStopRequestNothingIsMovedOrRecorded) {
  write_sized_file(home("a"), 10);
  write_sized_file(home("d/b"), 20);
  cancel_flag().store(true);
  const auto outcome = run_cleanup({{home("a"), home("d"), home("missing")}, CleanupType::Delete});
  cancel_flag().store(false);
  EXPECT_EQ(outcome.error(), "Interrupted — 0 item(s) moved to Trash (recoverable), 2 left alone.");
  EXPECT_TRUE(exists_no_follow(home("a")));
  EXPECT_TRUE(exists_no_follow(home("d/b")));
  EXPECT_TRUE(sessions().empty());
}

TEST_F(CleanupTest, AfterAStopRequestRestorePutsNothingBackAndCountsWhatItLeft) {
  write_sized_file(home("a"), 10);
  write_sized_file(home("b"), 20);
  ASSERT_TRUE(run_cleanup({{home("a"), home("b")}, CleanupType::Delete}));
  cancel_flag().store(true);
  const auto report = run_restore({{sessions().front().session_id}, {}, RestoreMode::Apply});
  cancel_flag().store(false);
  ASSERT_TRUE(report) << report.error();
  EXPECT_TRUE(report->items.empty());
  EXPECT_EQ(report->left_alone, 2u);
  EXPECT_FALSE(exists_no_follow(home("a")));
  EXPECT_FALSE(exists_no_follow(home("b")));
}

TEST_F(CleanupTest, MeasuresLogicalBytesWithoutFollowingLinks) {
  write_sized_file(home("t/a"), 10);
  write_sized_file(home("t/sub/b"), 20);
  write_sized_file(home("elsewhere"), 5000);
  make_symlink(home("elsewhere"), home("t/link"));
  EXPECT_EQ(measure_size(home("t")), 30u);
  EXPECT_EQ(measure_size(home("t/link")), 0u);
  EXPECT_EQ(measure_size(home("missing")), 0u);
}

TEST_F(CleanupTest, RecordsACompletedRun) {
  write_sized_file(home("a"), 10);
  write_sized_file(home("b"), 20);
  write_sized_file(home("c"), 30);
  const auto outcome = run_cleanup({{home("a"), home("b"), home("c")}, CleanupType::LargeFiles});
  ASSERT_TRUE(outcome) << outcome.error();
  EXPECT_THAT(*outcome,
              ElementsAre(Pair(home("a"), "a"), Pair(home("b"), "b"), Pair(home("c"), "c")));
  const auto recorded = sessions();
  ASSERT_EQ(recorded.size(), 1u);
  EXPECT_EQ(recorded[0].status, "completed");
  EXPECT_EQ(recorded[0].total_bytes_freed, 60u);
  EXPECT_EQ(recorded[0].deleted_files.at(2), moved(home("c"), 30, "cli_large_files", "c"));
}

TEST_F(CleanupTest, MissingAndProtectedPathsAreSortedOut) {
  EXPECT_EQ(run_cleanup({{home("missing")}, CleanupType::Delete}), CleanupOutcome({}));
  write_file(home(".ssh/id_rsa"), "k");
  EXPECT_EQ(run_cleanup({{home(".ssh/id_rsa")}, CleanupType::Delete}).error(),
            safety::all_protected_summary(1));
  EXPECT_TRUE(sessions().empty());

  write_file(home("ok"), "ok");
  const auto outcome = run_cleanup({{home(".ssh/id_rsa"), home("ok")}, CleanupType::Delete});
  ASSERT_TRUE(outcome) << outcome.error();
  EXPECT_THAT(*outcome, ElementsAre(Pair(home("ok"), "ok")));
  EXPECT_TRUE(exists_no_follow(home(".ssh/id_rsa")));
}

TEST_F(CleanupTest, RecordsOnlyWhatDisappeared) {
  write_file(trash_files("x"), "taken");
  write_file(home("one/x"), "x");
  testing::make_dirs(home("d"));
  const auto outcome = run_cleanup({{home("one/x"), home("d/.")}, CleanupType::Delete});
  ASSERT_FALSE(outcome);
  EXPECT_THAT(outcome.error(), ::testing::StartsWith("Cleaned with 1 issue(s). 1 item(s) could not "
                                                     "be removed: '" +
                                                     home("d/.") + "': "));
  const auto recorded = sessions();
  ASSERT_EQ(recorded.size(), 1u);
  // The record names the entry the Trash really holds, though another item of the run failed.
  EXPECT_EQ(recorded[0].deleted_files,
            std::vector<DeletedFile>({moved(home("one/x"), 1, "cli_delete", "x 2")}));
}

TEST_F(CleanupTest, ConfirmedItemsMoveOnlyWhileStillTheNamedFile) {
  for (const char* name : {"moved", "declined", "replaced"}) write_file(home(name), name);
  const auto identity_of = [](const std::string& path) {
    struct stat metadata {};
    EXPECT_EQ(lstat(path.c_str(), &metadata), 0);
    return ItemIdentity{metadata.st_dev, metadata.st_ino};
  };
  const ItemIdentity moved = identity_of(home("moved"));
  const ItemIdentity replaced = identity_of(home("replaced"));
  // Replaced after its check: another file now has the name.
  write_file(home("replacement"), "other");
  ASSERT_EQ(rename(home("replacement").c_str(), home("replaced").c_str()), 0);

  CleanupRequest request{{home("moved"), home("declined"), home("replaced")},
                         CleanupType::Duplicates};
  request.confirm = [&](size_t index) -> std::optional<ItemIdentity> {
    const std::optional<ItemIdentity> answers[] = {moved, std::nullopt, replaced};
    return answers[index];
  };
  const auto outcome = run_cleanup(request);
  ASSERT_FALSE(outcome);
  EXPECT_EQ(outcome.error(), "Cleaned with 1 issue(s). 1 item(s) could not be removed: '" +
                                 home("replaced") + "': '" + home("replaced") +
                                 "' changed since it was checked; left in place");
  EXPECT_EQ(sorted_entries(trash_files()), std::vector<std::string>{"moved"});
  EXPECT_EQ(read_file(home("declined")), "declined");
  EXPECT_EQ(read_file(home("replaced")), "other");
  ASSERT_EQ(sessions().size(), 1u);
  EXPECT_EQ(sessions()[0].deleted_files.size(), 1u);

  // Nothing but declined items: a run that moved nothing and failed at nothing.
  request = {{home("declined")}, CleanupType::Duplicates, [](size_t) { return std::nullopt; }};
  EXPECT_EQ(run_cleanup(request), CleanupOutcome({}));
}

TEST_F(CleanupTest, TenThousandItemsInOneCall) {
  std::vector<std::string> paths;
  for (int i = 0; i < 10000; ++i) {
    paths.push_back(home("many/f" + std::to_string(i)));
    write_file(paths.back(), "");
  }
  const auto outcome = run_cleanup({paths, CleanupType::Delete});
  ASSERT_TRUE(outcome) << outcome.error().substr(0, 500);
  EXPECT_EQ(outcome->size(), 10000u);
  EXPECT_TRUE(sorted_entries(home("many")).empty());
  EXPECT_EQ(sorted_entries(trash_files()).size(), 10000u);
}

}  // namespace
}  // namespace orvc::removal
