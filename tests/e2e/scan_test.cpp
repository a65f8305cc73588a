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

class Scan : public ::testing::Test {
 protected:
  TempDir home;
  const std::string root = home / "root";
};

TEST_F(Scan, EmptyFolderPrintsTheZeroTotalOnly) {
  make_dirs(root);
  const auto r = run_orvc({"scan", "--path", root}, home.path());
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "Scanning " + root + "\n\n  0 B  total\n");
  EXPECT_EQ(r.err, "");
}

TEST_F(Scan, ListsTheTwentyFiveLargestEntriesBySize) {
  for (int i = 0; i < 30; ++i) {
    write_sized_file(fmt::format("{}/f{:02}", root, i), (uint64_t{1} << 20) + i * 4096, i);
  }
  write_sized_file(root + "/small", 512 * 1024);  // counted, never listed
  make_dirs(root + "/zero");
  const auto r = run_orvc({"scan", "--path", root}, home.path());
  ASSERT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, at_root(R"(Scanning @

  32.2 MB  total
      1.1 MB    3.5%  @/f29 
      1.1 MB    3.4%  @/f28 
      1.1 MB    3.4%  @/f27 
      1.1 MB    3.4%  @/f26 
      1.1 MB    3.4%  @/f25 
      1.1 MB    3.4%  @/f24 
      1.1 MB    3.4%  @/f23 
      1.1 MB    3.4%  @/f22 
      1.1 MB    3.4%  @/f21 
      1.1 MB    3.3%  @/f20 
      1.1 MB    3.3%  @/f19 
      1.1 MB    3.3%  @/f18 
      1.1 MB    3.3%  @/f17 
      1.1 MB    3.3%  @/f16 
      1.1 MB    3.3%  @/f15 
      1.1 MB    3.3%  @/f14 
      1.1 MB    3.3%  @/f13 
      1.0 MB    3.3%  @/f12 
      1.0 MB    3.2%  @/f11 
      1.0 MB    3.2%  @/f10 
      1.0 MB    3.2%  @/f09 
      1.0 MB    3.2%  @/f08 
      1.0 MB    3.2%  @/f07 
      1.0 MB    3.2%  @/f06 
      1.0 MB    3.2%  @/f05 
)",
                           root));
}

TEST_F(Scan, FoldersAreSummedAndMarkedAndZeroSizedFoldersListed) {
  write_sized_file(root + "/proj/a.bin", 3 << 20);
  write_sized_file(root + "/proj/deep/er/b.bin", 1 << 20);
  make_dirs(root + "/zero");
  const auto r = run_orvc({"scan", "--path", root}, home.path());
  EXPECT_EQ(r.out, at_root(R"(Scanning @

  4.0 MB  total
      4.0 MB  100.0%  @/proj/
         0 B    0.0%  @/zero/
)",
                           root));
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
  EXPECT_EQ(r.out, "Scanning " + (home / "link") + "\n\n  " +
                       std::to_string((home / "real").size()) + " B  total\n");
}

TEST_F(Scan, UnreadableSubFolderCountsAsEmpty) {
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
  EXPECT_EQ(r.out, at_root(R"(Scanning @

  2.0 MB  total
      2.0 MB  100.0%  @/open/
         0 B    0.0%  @/locked/
)",
                           root));
}

TEST_F(Scan, HostileNamesAndLinkLoopsAreSurvived) {
  write_sized_file(root + "/line\nbreak", 2 << 20);
  write_sized_file(root + "/bad\xff\xfename", 1 << 20);
  make_symlink("loop", root + "/loop");
  make_symlink(root, root + "/up");
  const auto r = run_orvc({"scan", "--path", root}, home.path());
  ASSERT_EQ(r.exit_code, 0);
  // The links count as their own lengths; an invalid byte is printed as U+FFFD.
  EXPECT_EQ(r.out, at_root("Scanning @\n\n  3.0 MB  total\n      2.0 MB   66.7%  @/line\nbreak \n"
                           "      1.0 MB   33.3%  @/bad\xef\xbf\xbd\xef\xbf\xbdname \n",
                           root));
}

// Builds and removes a chain of folders deeper than any path the system accepts whole.
TEST_F(Scan, TreeThreeThousandLevelsDeep) {
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
