#include <gtest/gtest.h>

#include "gitignore/gitignore.hpp"
#include "unit/fixture_tree.hpp"

namespace orvc::gitignore {
namespace {

using namespace orvc::testing;

class LoadContext : public ::testing::Test {
 protected:
  bool ignored_from(const std::string& start, const std::string& path) {
    auto context = load_gitignore_context(dir / start);
    EXPECT_TRUE(context.has_value()) << start;
    return context && is_ignored(context->files, dir / path);
  }
  TempDir dir;
};

TEST_F(LoadContext, FindsTheRootAboveTheStartAndReadsEveryFileDownToIt) {
  make_tree(
      dir.path(),
      {"repo/.git/", "repo/.gitignore=*.log\n", "repo/src/.gitignore=# nothing but comments\n",
       "repo/src/app/.gitignore=*.tmp\n", "repo/src/app/deeper/.gitignore=*.txt\n"});
  auto context = load_gitignore_context(dir / "repo/src/app");
  ASSERT_TRUE(context);
  EXPECT_EQ(context->repo_root, dir / "repo");
  std::vector<std::string> bases;
  for (const IgnoreFile& file : context->files) bases.push_back(file.base_dir);
  EXPECT_EQ(bases, (std::vector<std::string>{dir / "repo", dir / "repo/src/app"}));
  EXPECT_TRUE(is_ignored(context->files, dir / "repo/src/app/x.log"));
  EXPECT_TRUE(is_ignored(context->files, dir / "repo/src/app/x.tmp"));
  // Ignore files below the start are not read.
  EXPECT_FALSE(is_ignored(context->files, dir / "repo/src/app/deeper/x.txt"));
}

// In bad/, the second ignore file is a folder, not a readable file, and the first is not UTF-8.
TEST_F(LoadContext, GitFileNestedRepositoriesAnchoringAndUnreadableIgnoreFiles) {
  make_tree(dir.path(),
            {"repo/.git=gitdir: elsewhere\n", "repo/web/.gitignore=/dist\n", "outer/.git/",
             "outer/.gitignore=*.bin\n", "outer/inner/.git/", "outer/inner/.gitignore=*.o\n",
             "bad/.git/", "bad/.gitignore=*.log\n\xff\n", "bad/sub/.gitignore/"});
  EXPECT_TRUE(ignored_from("repo/web", "repo/web/dist/app.js"));
  EXPECT_FALSE(ignored_from("repo/web", "repo/web/x/dist/app.js"));
  // A nested repository replaces the outer rules.
  EXPECT_TRUE(ignored_from("outer", "outer/inner/a.bin"));
  EXPECT_FALSE(ignored_from("outer/inner", "outer/inner/a.bin"));
  EXPECT_TRUE(ignored_from("outer/inner", "outer/inner/a.o"));
  const auto context = load_gitignore_context(dir / "bad/sub");
  EXPECT_TRUE(context && context->files.empty());
}

}  // namespace
}  // namespace orvc::gitignore
