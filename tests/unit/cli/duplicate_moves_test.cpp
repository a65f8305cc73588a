// What `duplicates --apply` does after its report: the groups are found, then the tree is
// changed as a user might change it while the report is read, then the copies are moved.
#include "cli/duplicate_moves.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include "duplicates/find_duplicates.hpp"
#include "removal/history.hpp"
#include "removal/history_read.hpp"
#include "unit/removal/removal_fixture.hpp"

namespace orvc::cli {
namespace {

using duplicates::Recheck;

using DuplicateMovesTest = testing::RemovalTest;

TEST_F(DuplicateMovesTest, MovesOnlyCopiesStillAsScannedAndRecordsThem) {
  const std::string root = home("tree");
  // Two groups of identical copies, a/ of 40000 bytes and b/ of 30000; the first is the oldest.
  int64_t time = 1000;
  for (const std::string name : {"a/kept", "a/copy", "a/changed", "b/kept", "b/copy"}) {
    testing::write_sized_file(root + "/" + name, name[0] == 'a' ? 40000 : 30000, name[0]);
    testing::set_mtime(root + "/" + name, time++);
  }
  const std::atomic<bool> cancel{false};
  const auto groups = duplicates::find_duplicates(root, duplicates::DevFolders::Skip, cancel);
  ASSERT_EQ(groups.size(), 2u);
  const auto path_of = [&](auto c) { return groups[c.group].duplicates[c.duplicate].path; };
  const auto plan = plan_duplicate_moves(groups, TrackedCopies::LeftAlone);
  ASSERT_EQ(plan.copies.size(), 3u);

  // After the report: one byte of a copy changes, and a kept copy goes.
  std::string content = testing::read_file(root + "/a/changed");
  content[12345] ^= 0x20;
  testing::write_file(root + "/a/changed", content);
  testing::set_mtime(root + "/a/changed", 1002);
  ASSERT_EQ(unlink((root + "/b/kept").c_str()), 0);

  const auto done = move_duplicate_copies(groups, plan);
  ASSERT_TRUE(done.report.outcome) << done.report.outcome.error();
  ASSERT_EQ(done.moved.size(), 1u);
  EXPECT_EQ(path_of(done.moved[0]), root + "/a/copy");
  EXPECT_EQ(done.bytes_freed, 40000u);
  std::vector<std::pair<std::string, Recheck>> left;
  for (const auto& l : done.left_in_place) left.emplace_back(path_of(l.copy), l.why);
  EXPECT_EQ(left, (std::vector<std::pair<std::string, Recheck>>{
                      {root + "/a/changed", Recheck::CopyChanged},
                      {root + "/b/copy", Recheck::KeptChanged}}));

  EXPECT_EQ(testing::sorted_entries(root + "/a"), (std::vector<std::string>{"changed", "kept"}));
  EXPECT_EQ(testing::sorted_entries(root + "/b"), std::vector<std::string>{"copy"});
  EXPECT_EQ(testing::read_file(trash_files("copy")).size(), 40000u);
  const auto history = removal::load_history();
  ASSERT_TRUE(history && history->sessions.size() == 1u);
  const auto& session = history->sessions[0];
  std::string recorded = session.cleanup_type + " " + session.status;
  for (const auto& file : session.deleted_files) recorded += " " + file.original_path;
  EXPECT_EQ(recorded, "cli_duplicates completed " + root + "/a/copy");
}

}  // namespace
}  // namespace orvc::cli
