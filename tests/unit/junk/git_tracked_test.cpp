// Build output that Git keeps: a folder counts when one file in it lies in a working tree and
// is not ignored; the search stops there and never follows a link.
#include "junk/git_tracked.hpp"

#include <gtest/gtest.h>

#include "unit/fixture_tree.hpp"

namespace orvc::junk {
namespace {

using namespace orvc::testing;

TEST(HoldsGitTrackedFiles, LayoutsInsideAndOutsideRepositories) {
  const std::string out_of_reach = "repo/out/linked->../../elsewhere";
  const std::pair<std::vector<std::string>, bool> layouts[] = {
      {{"repo/out/a.o"}, false},  // outside any repository
      {{"repo/.git/", "repo/out/sub/a.o"}, true},
      {{"repo/.git/", "repo/.gitignore=out\n", "repo/out/a.o"}, false},
      {{"repo/.git/", "repo/.gitignore=out/\n", "repo/out/a.o"}, false},
      {{"repo/.git/", "repo/.gitignore=*.o\ncache/\n", "repo/out/a.o", "repo/out/cache/index"},
       false},
      {{"repo/.git/", "repo/.gitignore=*.o\n", "repo/out/a.o", "repo/out/deep/README"}, true},
      {{"repo/.git/", "repo/out/zero->/dev/zero"}, true},  // a committed link
      {{"repo/.git/", "repo/out/"}, false},
      // A nested repository that the outer one ignores.
      {{"repo/.git/", "repo/.gitignore=*.o\nvendor/\n", "repo/out/a.o", "repo/out/vendor/.git/",
        "repo/out/vendor/lib.c"},
       true},
      // A repository of its own whose only unignored files are its Git data.
      {{"repo/out/.git/HEAD", "repo/out/.gitignore=*.o\n.gitignore\n", "repo/out/a.o"}, false},
      // A link is an entry Git keeps; what it points to is never searched.
      {{"repo/.git/", "repo/.gitignore=*.o\n", "repo/out/a.o", "elsewhere/README", out_of_reach},
       true},
      {{"repo/.git/", "repo/.gitignore=*.o\nlinked\n", "repo/out/a.o", "elsewhere/README",
        out_of_reach},
       false},
  };
  for (size_t row = 0; row < std::size(layouts); ++row) {
    const TempDir dir;
    make_tree(dir.path(), layouts[row].first);
    EXPECT_EQ(holds_git_tracked_files(dir / "repo/out"), layouts[row].second) << "layout " << row;
  }
}

}  // namespace
}  // namespace orvc::junk
