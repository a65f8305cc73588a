// `orvc large-files` end to end: the listing, the default roots under the home folder, and
// --apply moving every match to the Trash.
#include <gtest/gtest.h>

#include <string>

#include "support/run_process.hpp"
#include "support/temp_home.hpp"
#include "support/trash_home.hpp"

namespace orvc::testing {
namespace {

const std::string kDryRun =
    "  DRY RUN — nothing was deleted. Re-run with --apply to move these to Trash.\n";

class LargeFilesCommand : public ::testing::Test {
 protected:
  TempDir home;
};

TEST_F(LargeFilesCommand, NothingFoundUnderTheHomeFolder) {
  const auto result = run_orvc({"large-files"}, home.path());
  EXPECT_EQ(result.out,
            "Finding large files (≥ 100 MB, ≥0d old ) under home folder\n"
            "  No matching large/old files found.\n");
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.exit_code, 0);
}

TEST_F(LargeFilesCommand, HomeRootsLeaveOutLibraryCloudStorageAndTheTrash) {
  write_sized_file(home / "Library/app.bin", 4 << 20);
  write_sized_file(home / "Downloads/movie.bin", 3 << 20);
  write_sized_file(home / "loose.bin", 3 << 19);
  write_sized_file(home / "Documents/CloudStorage/cloud.bin", 4 << 20);
  write_sized_file(home / "Documents/Photos Library.photoslibrary/p.bin", 4 << 20);
  write_sized_file(home / "Documents/NODE_MODULES/dep.bin", 4 << 20);
  write_sized_file(trash_files_of(home.path(), "trashed.bin"), 4 << 20);
  const auto result = run_orvc({"large-files", "--threshold", "1"}, home.path());
  EXPECT_EQ(result.out, at_root("Finding large files (≥ 1 MB, ≥0d old ) under home folder\n"
                                "      3.0 MB  0d  @/Downloads/movie.bin\n"
                                "      1.5 MB  0d  @/loose.bin\n\n  2 files, 4.5 MB total\n",
                                home.path()) +
                            kDryRun);
  EXPECT_EQ(result.exit_code, 0);
}

TEST_F(LargeFilesCommand, MissingHomeWithoutPathFails) {
  ProcessOptions options;
  options.env = {{"NO_COLOR", "1"}};
  options.working_dir = home.path();
  const auto result = run_program({ORVC_BINARY, "large-files"}, options);
  EXPECT_EQ(result.out, "Finding large files (≥ 100 MB, ≥0d old ) under home folder\n");
  EXPECT_EQ(result.err, "Large-files scan failed: HOME environment variable is not set\n");
  EXPECT_EQ(result.exit_code, 1);
}

// 150 files of 1 to 150 bytes: the largest 100 are shown, all 150 are moved.
TEST_F(LargeFilesCommand, ShowsAHundredAndApplyMovesThemAll) {
  const std::string folder = home / "many";
  for (int size = 1; size <= 150; ++size) {
    write_sized_file(folder + "/f" + std::to_string(size), static_cast<uint64_t>(size));
  }
  std::string listing = "Finding large files (≥ 0 MB, ≥0d old ) under " + folder + "\n";
  for (int size = 150; size > 50; --size) {
    const std::string text = std::to_string(size) + " B";
    listing += "  " + std::string(10 - text.size(), ' ') + text + "  0d  " + folder + "/f" +
               std::to_string(size) + "\n";
  }
  listing += "  … and 50 more\n\n  150 files, 11.1 KB total\n";

  const auto dry = run_orvc({"large-files", "--path", folder, "--threshold", "0"}, home.path());
  EXPECT_EQ(dry.out, listing + kDryRun);
  EXPECT_EQ(dry.err, "");
  EXPECT_EQ(dry.exit_code, 0);
  EXPECT_EQ(sorted_entries(folder).size(), 150u);

  const auto applied =
      run_orvc({"large-files", "--path", folder, "--threshold", "0", "--apply"}, home.path());
  EXPECT_EQ(applied.out, listing + "  Moved 11.1 KB to Trash (recoverable).\n");
  EXPECT_EQ(applied.err, "");
  EXPECT_EQ(applied.exit_code, 0);
  EXPECT_EQ(sorted_entries(folder).size(), 0u);
  EXPECT_EQ(sorted_entries(trash_files_of(home.path())).size(), 150u);
}

}  // namespace
}  // namespace orvc::testing
