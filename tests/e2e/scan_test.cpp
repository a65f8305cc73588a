// `orvc scan` end to end on fixture trees in a temporary home.
#include <fcntl.h>
#include <fmt/format.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "support/run_process.hpp"
#include "support/temp_home.hpp"

namespace orvc::testing {
namespace {

// The same text the report prints, so expectations follow what the fixture really holds.
std::string size_text(uint64_t bytes) {
  if (bytes < 1024) return fmt::format("{} B", bytes);
  const char* units[] = {"KB", "MB", "GB", "TB", "PB"};
  double value = bytes / 1024.0;
  int unit = 0;
  while (value >= 1024.0 && unit < 4) {
    value /= 1024.0;
    ++unit;
  }
  return fmt::format("{:.1f} {}", value, units[unit]);
}

std::string entry_line(uint64_t size, uint64_t total, const std::string& path, bool dir) {
  return fmt::format("  {:>10}  {:>5.1f}%  {}{}\n", size_text(size),
                     total ? 100.0 * size / total : 0.0, path, dir ? "/" : " ");
}

class Scan : public ::testing::Test {
 protected:
  TempDir home;
};

TEST_F(Scan, EmptyFolderPrintsTheZeroTotalOnly) {
  make_dirs(home / "empty");
  const auto r = run_orvc({"scan", "--path", home / "empty"}, home.path());
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "Scanning " + (home / "empty") + "\n\n  0 B  total\n");
  EXPECT_EQ(r.err, "");
}

TEST_F(Scan, ListsTheTwentyFiveLargestEntriesBySize) {
  const std::string root = home / "root";
  uint64_t total = 0;
  for (int i = 0; i < 30; ++i) {
    const std::string file = fmt::format("{}/f{:02}", root, i);
    write_sized_file(file, (uint64_t{1} << 20) + i * 4096, i);
    total += (uint64_t{1} << 20) + i * 4096;
  }
  write_sized_file(root + "/small", 512 * 1024);  // counted, never listed
  total += 512 * 1024;
  make_dirs(root + "/zero");  // an empty folder is listed
  const auto r = run_orvc({"scan", "--path", root}, home.path());
  ASSERT_EQ(r.exit_code, 0);
  std::string expected = "Scanning " + root + "\n\n  " + size_text(total) + "  total\n";
  for (int i = 29; i >= 5; --i) {
    expected +=
        entry_line((uint64_t{1} << 20) + i * 4096, total, fmt::format("{}/f{:02}", root, i), false);
  }
  EXPECT_EQ(r.out, expected);
  EXPECT_EQ(r.out.find("f04"), std::string::npos);
}

TEST_F(Scan, FoldersAreSummedAndMarkedAndZeroSizedFoldersListed) {
  const std::string root = home / "root";
  write_sized_file(root + "/proj/a.bin", 3 << 20);
  write_sized_file(root + "/proj/deep/er/b.bin", 1 << 20);
  make_dirs(root + "/zero");
  const auto r = run_orvc({"scan", "--path", root}, home.path());
  const uint64_t total = (3 << 20) + (1 << 20);
  EXPECT_EQ(r.out, "Scanning " + root + "\n\n  4.0 MB  total\n" +
                       entry_line(total, total, root + "/proj", true) +
                       entry_line(0, total, root + "/zero", true));
}

TEST_F(Scan, MissingRootFails) {
  const auto r = run_orvc({"scan", "--path", home / "missing"}, home.path());
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.out, "Scanning " + (home / "missing") + "\n");
  EXPECT_EQ(r.err, "Scan failed: Cannot access '" + (home / "missing") +
                       "': No such file or directory (os error 2)\n");
}

TEST_F(Scan, RootThatIsASymbolicLinkIsMeasuredAsTheLink) {
  write_sized_file(home / "real/big", 2 << 20);
  make_symlink(home / "real", home / "link");
  const auto r = run_orvc({"scan", "--path", home / "link"}, home.path());
  EXPECT_EQ(r.exit_code, 0);
  const uint64_t link_length = (home / "real").size();
  EXPECT_EQ(r.out, "Scanning " + (home / "link") + "\n\n  " + size_text(link_length) + "  total\n");
}

TEST_F(Scan, UnreadableSubFolderCountsAsEmpty) {
  const std::string root = home / "root";
  write_sized_file(root + "/locked/secret", 2 << 20);
  write_sized_file(root + "/open/data", 2 << 20);
  ASSERT_EQ(chmod((root + "/locked").c_str(), 0), 0);
  ProcessOptions options;
  options.env = {{"HOME", home.path()}, {"NO_COLOR", "1"}};
  // As root every folder is readable; the unprivileged user sees the locked one as empty.
  ASSERT_EQ(chmod(home.path().c_str(), 0755), 0);
  chmod(root.c_str(), 0755);
  const bool as_root = geteuid() == 0;
  std::vector<std::string> argv = {ORVC_BINARY, "scan", "--path", root};
  if (as_root)
    argv.insert(argv.begin(), {"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"});
  const auto r = run_program(argv, options);
  chmod((root + "/locked").c_str(), 0755);
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, "Scanning " + root + "\n\n  2.0 MB  total\n" +
                       entry_line(2 << 20, 2 << 20, root + "/open", true) +
                       entry_line(0, 2 << 20, root + "/locked", true));
}

TEST_F(Scan, HostileNamesAndLinkLoopsAreSurvived) {
  const std::string root = home / "root";
  write_sized_file(root + "/line\nbreak", 2 << 20);
  write_sized_file(root + "/bad\xff\xfename", 1 << 20);
  make_symlink("loop", root + "/loop");
  make_symlink(root, root + "/up");
  const auto r = run_orvc({"scan", "--path", root}, home.path());
  ASSERT_EQ(r.exit_code, 0);
  const uint64_t total = (3 << 20) + 4 + root.size();
  EXPECT_EQ(r.out,
            "Scanning " + root + "\n\n  " + size_text(total) + "  total\n" +
                entry_line(2 << 20, total, root + "/line\nbreak", false) +
                entry_line(1 << 20, total, root + "/bad\xef\xbf\xbd\xef\xbf\xbdname", false));
}

TEST_F(Scan, WideFolderOfTwoHundredThousandEntries) {
  const std::string root = home / "wide";
  make_dirs(root);
  const int dir_fd = open(root.c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_GE(dir_fd, 0);
  for (int i = 0; i < 200000; ++i) {
    const int fd = openat(dir_fd, fmt::format("{}", i).c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    close(fd);
  }
  close(dir_fd);
  const auto r = run_orvc({"scan", "--path", root}, home.path());
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "Scanning " + root + "\n\n  0 B  total\n");
}

// Builds and removes a chain of folders deeper than any path the system accepts whole.
TEST_F(Scan, TreeThreeThousandLevelsDeep) {
  const std::string root = home / "deep";
  make_dirs(root);
  int fd = open(root.c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_GE(fd, 0);
  constexpr int kDepth = 3000;
  for (int i = 0; i < kDepth; ++i) {
    ASSERT_EQ(mkdirat(fd, "d", 0755), 0);
    const int next = openat(fd, "d", O_RDONLY | O_DIRECTORY);
    close(fd);
    fd = next;
    ASSERT_GE(fd, 0);
  }
  const int file = openat(fd, "leaf", O_WRONLY | O_CREAT, 0644);
  ASSERT_EQ(write(file, "1234567", 7), 7);
  close(file);
  close(fd);

  const auto r = run_orvc({"scan", "--path", root}, home.path());
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out.substr(0, r.out.find("total")), "Scanning " + root + "\n\n  7 B  ");

  // Tear down bottom-up through descriptors: the full path is too long for nftw.
  std::vector<int> chain = {open(root.c_str(), O_RDONLY | O_DIRECTORY)};
  for (int i = 0; i < kDepth; ++i)
    chain.push_back(openat(chain.back(), "d", O_RDONLY | O_DIRECTORY));
  unlinkat(chain.back(), "leaf", 0);
  for (int i = kDepth; i >= 1; --i) {
    close(chain[i]);
    unlinkat(chain[i - 1], "d", AT_REMOVEDIR);
  }
  close(chain[0]);
}

}  // namespace
}  // namespace orvc::testing
