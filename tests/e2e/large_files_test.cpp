#include <dirent.h>
#include <gtest/gtest.h>

#include <ctime>
#include <string>

#include "support/run_process.hpp"
#include "support/temp_home.hpp"

namespace orvc::testing {
namespace {

const std::string kDryRun =
    "  DRY RUN — nothing was deleted. Re-run with --apply to move these to Trash.\n";

std::string heading(const std::string& subject, const std::string& limits = "100 MB, ≥0d old") {
  return "Finding large files (≥ " + limits + " ) under " + subject + "\n";
}

std::string file_line(const std::string& size, const std::string& age, const std::string& path) {
  return "  " + std::string(10 - size.size(), ' ') + size + "  " + age + "  " + path + "\n";
}

size_t count_entries(const std::string& folder) {
  size_t count = 0;
  DIR* listing = opendir(folder.c_str());
  if (!listing) return 0;
  while (const dirent* entry = readdir(listing)) {
    const std::string name = entry->d_name;
    count += name != "." && name != "..";
  }
  closedir(listing);
  return count;
}

class LargeFilesCommand : public ::testing::Test {
 protected:
  TempDir home;
};

TEST_F(LargeFilesCommand, NothingFoundUnderTheHomeFolder) {
  const auto result = run_orvc({"large-files"}, home.path());
  EXPECT_EQ(result.out, heading("home folder") + "  No matching large/old files found.\n");
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.exit_code, 0);
}

TEST_F(LargeFilesCommand, HundredMegabytesIsTheDefaultThresholdInclusive) {
  const std::string folder = home / "media";
  write_sized_file(folder + "/exact.bin", 104857600);
  write_sized_file(folder + "/below.bin", 104857599);
  const auto result = run_orvc({"large-files", "--path", folder}, home.path());
  EXPECT_EQ(result.out, heading(folder) + file_line("100.0 MB", "0d", folder + "/exact.bin") +
                            "\n  1 files, 100.0 MB total\n" + kDryRun);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.exit_code, 0);
}

TEST_F(LargeFilesCommand, AgeCountsWholeDaysOf86400Seconds) {
  const std::string folder = home / "old";
  write_sized_file(folder + "/day_old.bin", 2 << 20);
  write_sized_file(folder + "/not_quite.bin", 2 << 20);
  const int64_t now = std::time(nullptr);
  set_mtime(folder + "/day_old.bin", now - 86400);
  // A few seconds of slack keep the test steady when the clock ticks during the run.
  set_mtime(folder + "/not_quite.bin", now - 86400 + 30);
  const auto result =
      run_orvc({"large-files", "--path", folder, "--threshold", "1", "--age", "1"}, home.path());
  EXPECT_EQ(result.out, heading(folder, "1 MB, ≥1d old") +
                            file_line("2.0 MB", "1d", folder + "/day_old.bin") +
                            "\n  1 files, 2.0 MB total\n" + kDryRun);
  EXPECT_EQ(result.exit_code, 0);
}

TEST_F(LargeFilesCommand, HomeRootsLeaveOutLibraryCloudStorageAndTheTrash) {
  write_sized_file(home / "Library/app.bin", 4 << 20);
  write_sized_file(home / "Downloads/movie.bin", 3 << 20);
  write_sized_file(home / "loose.bin", 3 << 19);
  write_sized_file(home / "Documents/CloudStorage/cloud.bin", 4 << 20);
  write_sized_file(home / "Documents/Photos Library.photoslibrary/p.bin", 4 << 20);
  write_sized_file(home / "Documents/NODE_MODULES/dep.bin", 4 << 20);
  write_sized_file(home / ".local/share/Trash/files/trashed.bin", 4 << 20);
  const auto result = run_orvc({"large-files", "--threshold", "1"}, home.path());
  EXPECT_EQ(result.out, heading("home folder", "1 MB, ≥0d old") +
                            file_line("3.0 MB", "0d", home / "Downloads/movie.bin") +
                            file_line("1.5 MB", "0d", home / "loose.bin") +
                            "\n  2 files, 4.5 MB total\n" + kDryRun);
  EXPECT_EQ(result.exit_code, 0);
}

TEST_F(LargeFilesCommand, MissingHomeWithoutPathFails) {
  ProcessOptions options;
  options.env = {{"NO_COLOR", "1"}};
  options.working_dir = home.path();
  const auto result = run_program({ORVC_BINARY, "large-files"}, options);
  EXPECT_EQ(result.out, heading("home folder"));
  EXPECT_EQ(result.err, "Large-files scan failed: HOME environment variable is not set\n");
  EXPECT_EQ(result.exit_code, 1);
}

// 150 files of 1 to 150 bytes: the largest 100 are shown, all 150 are moved.
class ManyMatches : public LargeFilesCommand {
 protected:
  void SetUp() override {
    for (int size = 1; size <= 150; ++size) {
      write_sized_file(folder + "/f" + std::to_string(size), static_cast<uint64_t>(size));
    }
  }

  std::string listing() const {
    std::string out = heading(folder, "0 MB, ≥0d old");
    for (int size = 150; size > 50; --size) {
      out += file_line(std::to_string(size) + " B", "0d", folder + "/f" + std::to_string(size));
    }
    return out + "  … and 50 more\n\n  150 files, 11.1 KB total\n";
  }

  const std::string folder = home / "many";
};

TEST_F(ManyMatches, DryRunShowsAHundredAndCountsTheRest) {
  const auto result = run_orvc({"large-files", "--path", folder, "--threshold", "0"}, home.path());
  EXPECT_EQ(result.out, listing() + kDryRun);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(count_entries(folder), 150u);
}

TEST_F(ManyMatches, ApplyMovesAllOfThemToTheTrash) {
  const auto result =
      run_orvc({"large-files", "--path", folder, "--threshold", "0", "--apply"}, home.path());
  EXPECT_EQ(result.out, listing() + "  Moved 11.1 KB to Trash (recoverable).\n");
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(count_entries(folder), 0u);
  EXPECT_EQ(count_entries(home / ".local/share/Trash/files"), 150u);
}

}  // namespace
}  // namespace orvc::testing
