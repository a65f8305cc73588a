#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "junk/project_roots.hpp"
#include "junk/project_walks.hpp"
#include "unit/fixture_tree.hpp"

namespace orvc::junk {
namespace {

using namespace orvc::testing;

std::vector<std::string> relative(const TempDir& home, std::vector<std::string> paths) {
  for (std::string& p : paths) p = p.substr(home.path().size() + 1);
  return paths;
}

TEST(ProjectRoots, NamedFoldersFirstThenHomeEntriesHoldingProjects) {
  TempDir home;
  make_tree(home.path(),
            {"Projects/", "Developer/", "Code=a file, not a folder", "tool/package.json",
             "misc/app/Cargo.toml", "stash/node_modules/", "notes/todo.txt",
             "Library/app/Cargo.toml", ".config/app/Cargo.toml", "hiddeninside/.app/Cargo.toml",
             "elsewhere/real/Cargo.toml", "linked->elsewhere"});
  std::vector<std::string> roots = relative(home, find_project_roots(home.path()));
  // The named folders first, roots even when empty; then home entries in any order.
  ASSERT_GE(roots.size(), 2u);
  std::sort(roots.begin() + 2, roots.end());
  EXPECT_EQ(roots, (std::vector<std::string>{"Developer", "Projects", "elsewhere", "linked", "misc",
                                             "stash", "tool"}));
}

TEST(ProjectWalks, DepthLimits) {
  TempDir home;
  make_tree(home.path(),
            {"r/1/2/3/4/5/node_modules/", "r/a/b/c/d/e/f/node_modules/", "a/b/c/d/__pycache__/",
             "a/b/c/d/e/__pycache__/", "Library/x/__pycache__/", ".hidden/__pycache__/",
             "web/node_modules/pkg/__pycache__/", "a/__pycache__/inner/__pycache__/"});
  std::vector<std::string> modules, pycaches;
  find_node_modules(home / "r", kNodeModulesWalkDepth, modules);
  EXPECT_EQ(relative(home, modules), std::vector<std::string>{"r/1/2/3/4/5/node_modules"});
  find_pycache_dirs(home.path(), kPycacheWalkDepth, pycaches);
  std::ranges::sort(pycaches);
  EXPECT_EQ(
      relative(home, pycaches),
      (std::vector<std::string>{"Library/x/__pycache__", "a/__pycache__", "a/b/c/d/__pycache__"}));
}

TEST(ProjectWalks, BuildOutputWalkEntersOnlyWhatItShould) {
  TempDir home;
  const std::string root = home / "Projects";
  // ".next" is hidden but matched; node_modules is never entered, nor is a matched folder; of
  // other hidden folders only ".claude" is walked, in that very case; an unmatched "dist" is
  // searched; links are not followed.
  make_tree(root,
            {"web/package.json", "web/.next/", "web/node_modules/lib/dist/",
             "web/node_modules/lib/package.json", "rs/Cargo.toml", "rs/target/debug/build/",
             "rs/target/debug/package.json", ".claude/wt/Cargo.toml", ".claude/wt/target/",
             ".git/x/Cargo.toml", ".git/x/target/", ".Claude/x/Cargo.toml", ".Claude/x/target/",
             "dist/inner/Cargo.toml", "dist/inner/target/", "rs-link->rs"});
  std::vector<BuildArtifactCandidate> found;
  find_build_artifacts(root, kBuildWalkDepth, found);
  find_build_artifacts(root, kBuildWalkDepth, found);  // the same root twice
  sort_unique_by_path(found);
  std::vector<std::string> described;
  for (const auto& c : found)
    described.push_back(c.path.substr(root.size() + 1) + " " + std::string(c.rule->label));
  EXPECT_EQ(described, (std::vector<std::string>{".claude/wt/target Rust/Cargo",
                                                 "dist/inner/target Rust/Cargo",
                                                 "rs/target Rust/Cargo", "web/.next Next.js"}));
}

// Sub-folders are walked side by side, yet what is found comes out as one walk that enters each
// folder in listing order would find it: equal sizes then keep one order from run to run.
TEST(ProjectWalks, FindInTheOrderOfOneWalkInListingOrder) {
  const TempDir home;
  std::vector<std::string> layout;
  for (int i = 0; i < 40; ++i) {
    if (i < 7) layout.push_back("p" + std::to_string(i) + "/__pycache__/");
    layout.push_back("p" + std::to_string(i % 7) + "/" + std::to_string(i) + "/__pycache__/");
    layout.push_back("p" + std::to_string(i % 5) + "/q/" + std::to_string(i) + "/__pycache__/");
  }
  make_tree(home.path(), layout);
  std::vector<std::string> expected;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(home.path())) {
    if (entry.path().filename() == "__pycache__") expected.push_back(entry.path());
  }
  for (int run = 0; run < 5; ++run) {
    std::vector<std::string> found;
    find_pycache_dirs(home.path(), kPycacheWalkDepth, found);
    ASSERT_EQ(found, expected);
  }
}

}  // namespace
}  // namespace orvc::junk
