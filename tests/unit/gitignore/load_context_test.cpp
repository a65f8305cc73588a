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
  ASSERT_EQ(context->files.size(), 2u);
  EXPECT_EQ(context->files[0].base_dir, dir / "repo");
  EXPECT_EQ(context->files[1].base_dir, dir / "repo/src/app");
  EXPECT_TRUE(is_ignored(context->files, dir / "repo/src/app/x.log"));
  EXPECT_TRUE(is_ignored(context->files, dir / "repo/src/app/x.tmp"));
  // Ignore files below the start are not read.
  EXPECT_FALSE(is_ignored(context->files, dir / "repo/src/app/deeper/x.txt"));
}

TEST_F(LoadContext, GitFileNestedRepositoriesAndRulesAnchoredToTheirOwnFolder) {
  make_tree(dir.path(),
            {"repo/.git=gitdir: elsewhere\n", "repo/web/.gitignore=/dist\n", "outer/.git/",
             "outer/.gitignore=*.bin\n", "outer/inner/.git/", "outer/inner/.gitignore=*.o\n"});
  EXPECT_TRUE(ignored_from("repo/web", "repo/web/dist/app.js"));
  EXPECT_FALSE(ignored_from("repo/web", "repo/web/x/dist/app.js"));
  // A nested repository replaces the outer rules.
  EXPECT_TRUE(ignored_from("outer", "outer/inner/a.bin"));
  EXPECT_FALSE(ignored_from("outer/inner", "outer/inner/a.bin"));
  EXPECT_TRUE(ignored_from("outer/inner", "outer/inner/a.o"));
}

TEST_F(LoadContext, UnreadableOrNonUtf8IgnoreFilesArePassedOver) {
  // The second ignore file is a folder, not a readable file.
  make_tree(dir.path(), {"repo/.git/", "repo/.gitignore=*.log\n\xff\n", "repo/sub/.gitignore/"});
  const auto context = load_gitignore_context(dir / "repo/sub");
  EXPECT_TRUE(context && context->files.empty());
}

}  // namespace
}  // namespace orvc::gitignore
