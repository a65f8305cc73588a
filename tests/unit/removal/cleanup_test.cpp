#include "removal/cleanup.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "../fixture_tree.hpp"
#include "removal/cleanup_summary.hpp"
#include "removal/history_read.hpp"
#include "removal/restore.hpp"
#include "removal_fixture.hpp"
#include "support/failure_of.hpp"
#include "util/stop_request.hpp"

namespace orvc::removal {
namespace {

using ::testing::ElementsAre;
using ::testing::Field;
using namespace orvc::testing;
using ::testing::Pair;
using ::testing::SizeIs;

class CleanupTest : public testing::RemovalTest {
 protected:
  // What a large-files run records for an item that arrived in the Trash as `name`.
  DeletedFile moved(const std::string& path, uint64_t size, const std::string& name) const {
    DeletedFile file{path, size, "cli_large_files", name, trash_files(name)};
    file.trash_inode = metadata_of(trash_files(name)).st_ino;
    file.record_inode = metadata_of(trash_info(name)).st_ino;
    return file;
  }

  static std::vector<CleanupSession> sessions() { return load_history()->sessions; }
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
  // An interrupted run's counts without failures: AfterAStopRequest… below.
  EXPECT_EQ(summarise_interruption(0, 1, {{"/b", "e1"}}),
            "Interrupted — 0 item(s) moved to Trash (recoverable), 1 left alone. Cleaned with 1 "
            "issue(s). 1 item(s) could not be removed: '/b': e1");
}

TEST_F(CleanupTest, AfterAStopRequestNothingIsMovedRecordedOrPutBack) {
  make_tree(home_.path(), {"a=a", "d/b=b"});
  const std::vector<std::string> items = {home("a"), home("d"), home("missing")};
  cancel_flag().store(true);
  EXPECT_EQ(failure_of(run_cleanup({items, CleanupType::Delete})),
            "Interrupted — 0 item(s) moved to Trash (recoverable), 2 left alone.");
  cancel_flag().store(false);
  EXPECT_TRUE(exists_no_follow(home("a")) && exists_no_follow(home("d/b")));
  EXPECT_TRUE(sessions().empty());

  ASSERT_TRUE(run_cleanup({items, CleanupType::Delete}));
  cancel_flag().store(true);
  const auto report = run_restore({{sessions().front().session_id}, {}, RestoreMode::Apply});
  cancel_flag().store(false);
  ASSERT_TRUE(report) << report.error();
  EXPECT_EQ(std::pair(report->items.size(), report->left_alone), std::pair(size_t{0}, size_t{2}));
  EXPECT_FALSE(exists_no_follow(home("a")) || exists_no_follow(home("d")));
}

TEST_F(CleanupTest, RecordsWhatMovedUnderTheNameTheTrashGaveIt) {
  // A run whose items are all protected: e2e/protection_gate_test.
  EXPECT_EQ(run_cleanup({{home("missing")}, CleanupType::Delete}), CleanupOutcome({}));
  EXPECT_TRUE(sessions().empty());
  make_tree(home_.path(), {".ssh/id_rsa=k", "a=" + std::string(10, 'a'),
                           "one/x=" + std::string(30, 'x'), ".local/share/Trash/files/x=taken"});
  const auto outcome = run_cleanup(
      {{home("a"), home(".ssh/id_rsa"), home("one/x"), home("missing")}, CleanupType::LargeFiles});
  ASSERT_TRUE(outcome) << outcome.error();
  EXPECT_THAT(*outcome, ElementsAre(Pair(home("a"), "a"), Pair(home("one/x"), "x 2")));
  EXPECT_TRUE(exists_no_follow(home(".ssh/id_rsa")));
  const auto recorded = sessions();
  ASSERT_EQ(recorded.size(), 1u);
  EXPECT_EQ(std::tie(recorded[0].status, recorded[0].total_bytes_freed, recorded[0].deleted_files),
            std::tuple("completed", 40u,
                       std::vector{moved(home("a"), 10, "a"), moved(home("one/x"), 30, "x 2")}));
  // Another item's failure leaves the record of what moved: e2e/delete_test.
}

TEST_F(CleanupTest, ConfirmedItemsMoveOnlyWhileStillTheNamedFile) {
  make_tree(home_.path(), {"moved=moved", "declined=declined", "replaced=replaced"});
  const std::optional<ItemIdentity> answers[] = {identity_of(metadata_of(home("moved"))),
                                                 std::nullopt,
                                                 identity_of(metadata_of(home("replaced")))};
  // Replaced after its check: another file now has the name.
  write_file(home("replacement"), "other");
  ASSERT_EQ(rename(home("replacement").c_str(), home("replaced").c_str()), 0);

  CleanupRequest request{{home("moved"), home("declined"), home("replaced")},
                         CleanupType::Duplicates};
  request.confirm = [&](size_t index) { return answers[index]; };
  EXPECT_EQ(failure_of(run_cleanup(request)),
            "Cleaned with 1 issue(s). 1 item(s) could not be removed: '" + home("replaced") +
                "': '" + home("replaced") + "' changed since it was checked; left in place");
  EXPECT_EQ(sorted_entries(trash_files()), std::vector<std::string>{"moved"});
  EXPECT_EQ(read_file(home("declined")) + "," + read_file(home("replaced")), "declined,other");
  EXPECT_THAT(sessions(), ElementsAre(Field(&CleanupSession::deleted_files, SizeIs(1))));

  // Nothing but declined items: a run that moved nothing and failed at nothing.
  request = {{home("declined")}, CleanupType::Duplicates, [](size_t) { return std::nullopt; }};
  EXPECT_EQ(run_cleanup(request), CleanupOutcome({}));
}

}  // namespace
}  // namespace orvc::removal
