// The finders reach files below paths longer than PATH_MAX: the crawl walks through folder
// handles and the duplicate hashing opens such paths piece by piece.
#include "support/deep_tree.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "support/run_process.hpp"
#include "support/temp_home.hpp"

namespace orvc::testing {
namespace {

using ::testing::HasSubstr;

constexpr int kDepth = 5000;

class DeepTrees : public ::testing::Test {
 protected:
  ~DeepTrees() override { remove_deep_tree(root); }

  TempDir home;
  const std::unique_ptr<TempDir> fixtures = make_fast_temp_dir();
  const std::string root = *fixtures / "tree";
};

TEST_F(DeepTrees, LargeFilesFindsFilesFiveThousandFoldersDeep) {
  const std::string megabytes(3 << 20, 'x');
  make_deep_tree(root, kDepth, "deepest.bin", megabytes);
  make_deep_tree(root, 2100, "middle.bin", megabytes);
  make_deep_tree(root, 3, "shallow.bin", megabytes);
  const auto r = run_orvc({"large-files", "--path", root, "--threshold", "1"}, home.path());
  EXPECT_EQ(r.exit_code, 0) << r.err.substr(0, 300);
  for (const auto& [depth, name] : {std::pair{kDepth, "deepest.bin"}, std::pair{2100, "middle.bin"},
                                    std::pair{3, "shallow.bin"}}) {
    EXPECT_THAT(r.out, HasSubstr(deep_path(root, depth) + "/" + name + "\n")) << name;
  }
  EXPECT_THAT(r.out, HasSubstr("\n  3 files, 9.0 MB total\n"));
}

TEST_F(DeepTrees, DuplicatesFindsFilesFiveThousandFoldersDeep) {
  const std::string content(200000, 'd');
  make_deep_tree(root, kDepth, "copy.bin", content);
  make_deep_tree(root, 1, "copy.bin", content);
  const auto r = run_orvc({"duplicates", "--path", root}, home.path());
  EXPECT_EQ(r.exit_code, 0) << r.err.substr(0, 300);
  EXPECT_THAT(r.out, HasSubstr("2 × "));
  EXPECT_THAT(r.out, HasSubstr(deep_path(root, kDepth) + "/copy.bin\n"));
  EXPECT_THAT(r.out, HasSubstr(deep_path(root, 1) + "/copy.bin\n"));
}

}  // namespace
}  // namespace orvc::testing
