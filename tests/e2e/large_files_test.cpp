// `orvc large-files` end to end: the default roots under the home folder, the listing, and
// --apply moving every match to the Trash.
#include <gtest/gtest.h>

#include "support/run_process.hpp"
#include "support/temp_home.hpp"
#include "support/trash_home.hpp"

namespace orvc::testing {
namespace {

const std::string kDryRun =
    "  DRY RUN — nothing was deleted. Re-run with --apply to move these to Trash.\n";

// Without --path the home folder's top-level entries are the roots, Library and the Trash aside,
// and the names the crawl passes over below a root are passed over there too. With --path and
// 150 files of 101 to 250 bytes: the largest 100 are shown, all 150 are moved.
TEST(LargeFiles, HomeRootsAndAListOfAHundredThatApplyMovesWhole) {
  const TempDir home;
  EXPECT_EQ(run_orvc({"large-files"}, home.path()).out,
            "Finding large files (≥ 100 MB, ≥0d old ) under home folder\n"
            "  No matching large/old files found.\n");
  for (const char* passed_over :
       {".cache/pip/wheel.bin", "node_modules/dep/blob.bin", "NODE_MODULES/dep/blob.bin",
        "Documents/NODE_MODULES/dep.bin", ".npm/_cacache/blob.bin", "CACHES/blob.bin",
        "Documents/CloudStorage/cloud.bin", "Documents/Photos Library.photoslibrary/p.bin",
        ".Trash/old.bin", "Trash/files/trashed.bin", "Library/app.bin"})
    write_sized_file(home / passed_over, 2 << 20);
  write_sized_file(home / "Downloads/movie.bin", 3 << 20);
  write_sized_file(home / "loose.bin", 3 << 19);
  // With the data folder at home, the Trash folder is a top-level entry of its own.
  const auto r =
      run_orvc({"large-files", "--threshold", "1"}, home.path(), {{"XDG_DATA_HOME", home.path()}});
  EXPECT_EQ(r.out, at_root("Finding large files (≥ 1 MB, ≥0d old ) under home folder\n"
                           "      3.0 MB  0d  @/Downloads/movie.bin\n"
                           "      1.5 MB  0d  @/loose.bin\n\n  2 files, 4.5 MB total\n",
                           home.path()) +
                       kDryRun);
  EXPECT_EQ(std::tie(r.exit_code, r.err), std::tuple(0, ""));

  const std::string folder = home / "many";
  std::string listing = "Finding large files (≥ 0 MB, ≥0d old ) under " + folder + "\n";
  for (int size = 250; size > 100; --size) {
    const std::string name = folder + "/f" + std::to_string(size);
    write_sized_file(name, static_cast<uint64_t>(size));
    if (size > 150) listing += "       " + std::to_string(size) + " B  0d  " + name + "\n";
  }
  listing += "  … and 50 more\n\n  150 files, 25.7 KB total\n";
  const auto dry = run_orvc({"large-files", "--path", folder, "--threshold", "0"}, home.path());
  EXPECT_EQ(std::tie(dry.exit_code, dry.out, dry.err), std::tuple(0, listing + kDryRun, ""));
  const auto applied =
      run_orvc({"large-files", "--path", folder, "--threshold", "0", "--apply"}, home.path());
  EXPECT_EQ(std::tie(applied.exit_code, applied.out, applied.err),
            std::tuple(0, listing + "  Moved 25.7 KB to Trash (recoverable).\n", ""));
  EXPECT_TRUE(sorted_entries(folder).empty());
  EXPECT_EQ(sorted_entries(trash_files_of(home.path())).size(), 150u);
}

}  // namespace
}  // namespace orvc::testing
