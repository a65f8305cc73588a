// `large-files` without --path: the home folder's top-level entries are its roots, and the names
// the crawl passes over below a root are passed over there too, as is the Trash.
#include <gtest/gtest.h>

#include <string>

#include "support/run_process.hpp"
#include "support/temp_home.hpp"

namespace orvc::testing {
namespace {

std::string file_line(const std::string& size, const std::string& path) {
  return "  " + std::string(10 - size.size(), ' ') + size + "  0d  " + path + "\n";
}

TEST(LargeFilesDefaultRoots, PassedOverNamesAndTheTrashAreNoRoots) {
  const TempDir home;
  for (const char* passed_over :
       {".cache/pip/wheel.bin", "node_modules/dep/blob.bin", "NODE_MODULES/dep/blob.bin",
        ".npm/_cacache/blob.bin", "CACHES/blob.bin", ".Trash/old.bin", "Trash/files/trashed.bin",
        "Library/app.bin"}) {
    write_sized_file(home / passed_over, 2 << 20);
  }
  write_sized_file(home / "Downloads/movie.bin", 3 << 20);
  write_sized_file(home / "loose.bin", 3 << 19);
  // With the data folder at home, the Trash folder is a top-level entry of its own.
  const auto result =
      run_orvc({"large-files", "--threshold", "1"}, home.path(), {{"XDG_DATA_HOME", home.path()}});
  EXPECT_EQ(result.out, "Finding large files (≥ 1 MB, ≥0d old ) under home folder\n" +
                            file_line("3.0 MB", home / "Downloads/movie.bin") +
                            file_line("1.5 MB", home / "loose.bin") +
                            "\n  2 files, 4.5 MB total\n"
                            "  DRY RUN — nothing was deleted. Re-run with --apply to move these to "
                            "Trash.\n");
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.exit_code, 0);
}

}  // namespace
}  // namespace orvc::testing
