#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>

#include "junk/project_roots.hpp"
#include "junk/project_walks.hpp"
#include "support/temp_home.hpp"

namespace orvc::junk {
namespace {

using namespace orvc::testing;

std::vector<std::string> relative(const TempDir& home, std::vector<std::string> paths) {
  for (std::string& p : paths) p = p.substr(home.path().size() + 1);
  return paths;
}

TEST(ProjectRoots, NamedFoldersFirstThenHomeEntriesHoldingProjects) {
  TempDir home;
  make_dirs(home / "Projects");
  make_dirs(home / "Developer");  // a root even when empty
  write_file(home / "Code", "a file, not a folder");
  write_file(home / "tool/package.json", "{}");
  write_file(home / "misc/app/Cargo.toml", "");
  make_dirs(home / "stash/node_modules");
  write_file(home / "notes/todo.txt", "");
  write_file(home / "Library/app/Cargo.toml", "");
  write_file(home / ".config/app/Cargo.toml", "");
  write_file(home / "hiddeninside/.app/Cargo.toml", "");
  write_file(home / "elsewhere/real/Cargo.toml", "");
  make_symlink(home / "elsewhere", home / "linked");

  std::vector<std::string> roots = relative(home, find_project_roots(home.path()));
  ASSERT_GE(roots.size(), 2u);
  EXPECT_EQ(roots[0], "Developer");
  EXPECT_EQ(roots[1], "Projects");
  std::vector<std::string> others(roots.begin() + 2, roots.end());
  std::ranges::sort(others);
  EXPECT_EQ(others, (std::vector<std::string>{"elsewhere", "linked", "misc", "stash", "tool"}));
}

TEST(ProjectRoots, LooksAtTwoHundredEntriesOfAFolder) {
  TempDir home;
  for (const char* folder : {"late", "edge"}) {
    make_dirs(home / folder);
    for (int i = 0; i < 230; ++i) {
      ASSERT_EQ(mkdir((home / folder + "/d" + std::to_string(i)).c_str(), 0755), 0);
    }
  }
  // Make the 201st (late) and 200th (edge) listed entry a project.
  write_file(home / ("late/" + listing_order(home / "late")[200] + "/Cargo.toml"), "");
  write_file(home / ("edge/" + listing_order(home / "edge")[199] + "/Cargo.toml"), "");

  EXPECT_EQ(relative(home, find_project_roots(home.path())), std::vector<std::string>{"edge"});
}

TEST(ProjectWalks, DepthLimits) {
  TempDir home;
  make_dirs(home / "r/1/2/3/4/5/node_modules");
  make_dirs(home / "r/a/b/c/d/e/f/node_modules");
  std::vector<std::string> found;
  find_node_modules(home / "r", NODE_MODULES_WALK_DEPTH, found);
  EXPECT_EQ(relative(home, found), std::vector<std::string>{"r/1/2/3/4/5/node_modules"});

  make_dirs(home / "a/b/c/d/__pycache__");
  make_dirs(home / "a/b/c/d/e/__pycache__");
  make_dirs(home / "Library/x/__pycache__");
  make_dirs(home / ".hidden/__pycache__");
  make_dirs(home / "web/node_modules/pkg/__pycache__");
  make_dirs(home / "a/__pycache__/inner/__pycache__");
  found.clear();
  find_pycache_dirs(home.path(), PYCACHE_WALK_DEPTH, found);
  std::vector<std::string> pycaches = relative(home, found);
  std::ranges::sort(pycaches);
  EXPECT_EQ(pycaches, (std::vector<std::string>{"Library/x/__pycache__", "a/__pycache__",
                                                "a/b/c/d/__pycache__"}));
}

TEST(ProjectWalks, BuildOutputWalkEntersOnlyWhatItShould) {
  TempDir home;
  const std::string root = home / "Projects";
  write_file(root + "/web/package.json", "{}");
  make_dirs(root + "/web/.next");                  // hidden but matched
  make_dirs(root + "/web/node_modules/lib/dist");  // never entered
  write_file(root + "/web/node_modules/lib/package.json", "{}");
  write_file(root + "/rs/Cargo.toml", "");
  make_dirs(root + "/rs/target/debug/build");  // matched folders are not entered
  write_file(root + "/rs/target/debug/package.json", "{}");
  write_file(root + "/.claude/wt/Cargo.toml", "");  // walked hidden folder
  make_dirs(root + "/.claude/wt/target");
  write_file(root + "/.git/x/Cargo.toml", "");  // other hidden folders are not
  make_dirs(root + "/.git/x/target");
  write_file(root + "/dist/inner/Cargo.toml", "");  // unmatched "dist" is searched
  make_dirs(root + "/dist/inner/target");
  make_symlink(root + "/rs", root + "/rs-link");  // links are not followed

  std::vector<BuildArtifactCandidate> found;
  find_build_artifacts(root, BUILD_WALK_DEPTH, found);
  find_build_artifacts(root, BUILD_WALK_DEPTH, found);  // the same root twice
  sort_unique_by_path(found);
  std::vector<std::string> described;
  for (const auto& c : found) {
    described.push_back(c.path.substr(root.size() + 1) + " " + std::string(c.rule->label));
  }
  EXPECT_EQ(described, (std::vector<std::string>{".claude/wt/target Rust/Cargo",
                                                 "dist/inner/target Rust/Cargo",
                                                 "rs/target Rust/Cargo", "web/.next Next.js"}));
}

}  // namespace
}  // namespace orvc::junk
