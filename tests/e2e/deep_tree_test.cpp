// Paths longer than PATH_MAX: the disk-usage sweep and the duplicate hashing open them piece by
// piece (the crawl that finds them is unit-tested).
#include "support/deep_tree.hpp"

#include <gmock/gmock.h>

#include "support/run_process.hpp"

namespace orvc::testing {
namespace {

using ::testing::HasSubstr;

TEST(DeepTrees, ScanAndDuplicatesReachFilesFiveThousandFoldersDeep) {
  const auto home = make_fast_temp_dir();
  const std::string root = *home / "tree";
  const std::shared_ptr<void> cleanup(nullptr, [&](void*) { remove_deep_tree(root); });
  for (const int depth : {5000, 1})
    make_deep_tree(root, depth, "copy.bin", std::string(200000, 'd'));
  const auto scan = run_orvc({"scan", "--path", root}, home->path());
  EXPECT_EQ(std::tie(scan.exit_code, scan.err), std::tuple(0, ""));
  EXPECT_EQ(scan.out,
            at_root("Scanning @\n\n  390.6 KB  total\n    390.6 KB  100.0%  @/d/\n", root));
  const auto r = run_orvc({"duplicates", "--path", root}, home->path());
  EXPECT_EQ(r.exit_code, 0) << r.err.substr(0, 300);
  EXPECT_THAT(r.out, HasSubstr("  2 × 195.3 KB  (reclaim 195.3 KB)\n"));
  EXPECT_THAT(r.out, HasSubstr(deep_path(root, 5000) + "/copy.bin\n"));
  EXPECT_THAT(r.out, HasSubstr(deep_path(root, 1) + "/copy.bin\n"));
}

}  // namespace
}  // namespace orvc::testing
