// Build output that Git keeps: a folder counts when one file in it lies in a working tree and
// is not ignored; the search stops there and never follows a link.
#include "junk/git_tracked.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>

#include "support/temp_home.hpp"

namespace orvc::junk {
namespace {

using namespace orvc::testing;

struct Layout {
  const char* what;
  std::function<void(const TempDir&)> make;  // builds repo/... around the folder repo/out
  bool tracked;
};

TEST(HoldsGitTrackedFiles, LayoutsInsideAndOutsideRepositories) {
  const Layout layouts[] = {
      {"outside any repository", [](const TempDir& d) { write_file(d / "repo/out/a.o", ""); },
       false},
      {"in a repository, nothing ignored",
       [](const TempDir& d) {
         make_dirs(d / "repo/.git");
         write_file(d / "repo/out/sub/a.o", "");
       },
       true},
      {"ignored by name",
       [](const TempDir& d) {
         make_dirs(d / "repo/.git");
         write_file(d / "repo/.gitignore", "out\n");
         write_file(d / "repo/out/a.o", "");
       },
       false},
      {"ignored by a folder rule",
       [](const TempDir& d) {
         make_dirs(d / "repo/.git");
         write_file(d / "repo/.gitignore", "out/\n");
         write_file(d / "repo/out/a.o", "");
       },
       false},
      {"every file ignored by pattern, a sub-folder by a folder rule",
       [](const TempDir& d) {
         make_dirs(d / "repo/.git");
         write_file(d / "repo/.gitignore", "*.o\ncache/\n");
         write_file(d / "repo/out/a.o", "");
         write_file(d / "repo/out/cache/index", "");
       },
       false},
      {"one file the pattern does not cover",
       [](const TempDir& d) {
         make_dirs(d / "repo/.git");
         write_file(d / "repo/.gitignore", "*.o\n");
         write_file(d / "repo/out/a.o", "");
         write_file(d / "repo/out/deep/README", "");
       },
       true},
      {"a committed link",
       [](const TempDir& d) {
         make_dirs(d / "repo/.git");
         make_dirs(d / "repo/out");
         make_symlink("/dev/zero", d / "repo/out/zero");
       },
       true},
      {"an empty folder",
       [](const TempDir& d) {
         make_dirs(d / "repo/.git");
         make_dirs(d / "repo/out");
       },
       false},
      {"a nested repository the outer one ignores",
       [](const TempDir& d) {
         make_dirs(d / "repo/.git");
         write_file(d / "repo/.gitignore", "*.o\nvendor/\n");
         write_file(d / "repo/out/a.o", "");
         make_dirs(d / "repo/out/vendor/.git");
         write_file(d / "repo/out/vendor/lib.c", "");
       },
       true},
      {"a repository of its own whose only unignored files are its Git data",
       [](const TempDir& d) {
         write_file(d / "repo/out/.git/HEAD", "");
         write_file(d / "repo/out/.gitignore", "*.o\n.gitignore\n");
         write_file(d / "repo/out/a.o", "");
       },
       false},
  };
  for (const Layout& layout : layouts) {
    SCOPED_TRACE(layout.what);
    const TempDir dir;
    layout.make(dir);
    EXPECT_EQ(holds_git_tracked_files(dir / "repo/out"), layout.tracked);
  }
}

TEST(HoldsGitTrackedFiles, LinkedFoldersAreNotEntered) {
  const TempDir dir;
  make_dirs(dir / "repo/.git");
  write_file(dir / "repo/.gitignore", "*.o\n");
  write_file(dir / "repo/out/a.o", "");
  write_file(dir / "elsewhere/README", "");
  make_symlink(dir / "elsewhere", dir / "repo/out/linked");
  // The link itself is an entry Git keeps; what it points to is never searched.
  EXPECT_TRUE(holds_git_tracked_files(dir / "repo/out"));
  write_file(dir / "repo/.gitignore", "*.o\nlinked\n");
  EXPECT_FALSE(holds_git_tracked_files(dir / "repo/out"));
}

}  // namespace
}  // namespace orvc::junk
