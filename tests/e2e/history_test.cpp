// The history manifest that `orvc delete` leaves behind.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "delete_support.hpp"

namespace orvc::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::MatchesRegex;

using DeleteHistory = DeleteTest;

TEST_F(DeleteHistory, SuccessfulRunLeavesOneCompletedManifest) {
  write_sized_file(home / "a.bin", 10);
  write_sized_file(home / "b.bin", 20);
  write_sized_file(home / "dir/c.bin", 30);
  write_file(trash_files("a.bin"), "taken");
  ASSERT_EQ(delete_paths({"a.bin", "b.bin", home / "dir"}).exit_code, 0);

  const auto sessions = manifests();
  ASSERT_EQ(sessions.size(), 1u);
  const std::string id = sorted_entries(history_folder()).at(0).substr(0, 36);
  EXPECT_THAT(sessions[0],
              MatchesRegex("\\{\n"
                           "  \"session_id\": \"" +
                           id +
                           "\",\n"
                           "  \"timestamp\": \"[0-9-]{10}T[0-9:]{8}(\\.[0-9]{3,9})?\\+00:00\",\n"
                           "  \"unix_timestamp\": [0-9]+,\n"
                           "  \"cleanup_type\": \"cli_delete\",\n"
                           "  \"deleted_files\": \\[\n.*\n  \\],\n"
                           "  \"total_bytes_freed\": 60,\n"
                           "  \"status\": \"completed\"\n\\}"));
  EXPECT_THAT(sessions[0], HasSubstr("      \"original_path\": \"" + home.path() + "/a.bin\",\n"
                                     "      \"size\": 10,\n"
                                     "      \"category\": \"cli_delete\",\n"
                                     "      \"trashed_name\": \"a 2.bin\"\n"));
  EXPECT_THAT(sessions[0], HasSubstr("      \"original_path\": \"" + home.path() +
                                     "/dir\",\n"
                                     "      \"size\": 30,\n"));
  EXPECT_EQ(sorted_entries(history_folder()).size(), 1u);  // no temporary file left
}

TEST_F(DeleteHistory, OldAndMalformedManifestsArePrunedOnTheNextRun) {
  make_dirs(history_folder());
  write_file(history_folder() + "/broken.json", "{");
  write_file(history_folder() + "/notes.JSON", "{");
  write_file(history_folder() + "/a.tmp", "{");
  write_file(home / "f", "f");
  const auto r = delete_paths({"f"});
  EXPECT_EQ(r.exit_code, 0);
  // Pruning runs after each of the run's two manifest writes; the first one finds it.
  EXPECT_THAT(r.err, MatchesRegex("Purging malformed history manifest " + history_folder() +
                                  "/broken.json: .*\n"));
  EXPECT_EQ(sorted_entries(history_folder()).size(), 3u);  // the new manifest, notes.JSON, a.tmp
}

}  // namespace
}  // namespace orvc::testing
