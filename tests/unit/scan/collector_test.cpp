#include "scan/collector.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "support/scoped_env.hpp"
#include "unit/fixture_tree.hpp"

namespace orvc::scan {
namespace {

using namespace orvc::testing;

using Paths = std::vector<std::string>;

class Collector : public ::testing::Test {
 protected:
  std::vector<CollectedFile> collect(const Paths& roots, GitDetection git = GitDetection::Off) {
    return collect_files(roots, {".git"}, git, cancel_flag);
  }
  Paths paths(const Paths& roots, const Paths& skip_names = {}, const FileFilter& keep = {}) {
    Paths out;
    for (const auto& file : collect_files(roots, skip_names, GitDetection::Off, cancel_flag, keep))
      out.push_back(file.path);
    return out;
  }

  TempDir home;
  ScopedEnv home_env{"HOME", home.path()};
  ScopedEnv data_env{"XDG_DATA_HOME", home / ".local/share"};
  std::atomic<bool> cancel_flag = false;
};

TEST_F(Collector, RootsInTheirGivenOrderWhereLinksAndMissingOnesYieldNothing) {
  make_tree(home.path(), {"tree/a.txt=abc", "one/a", "link->tree", "old=x"});
  EXPECT_EQ(
      paths({home / "link", home / "missing", home / "tree", home / "one", home / "tree/a.txt"}),
      (Paths{home / "tree/a.txt", home / "one/a", home / "tree/a.txt"}));
  set_mtime(home / "tree/a.txt", 1'700'000'000);
  set_mtime(home / "old", -100);  // before the epoch: no time
  std::vector<std::pair<uint64_t, std::optional<int64_t>>> found;
  for (const auto& file : collect({home / "tree/a.txt", home / "old"}))
    found.emplace_back(file.size, file.modified_secs);
  EXPECT_EQ(found, (decltype(found){{3, 1'700'000'000}, {1, std::nullopt}}));
}

// Never links, system names, the user's Trash, or files without blocks (where truncating
// allocates none); empty files are reported, and only the caller's skip names fold ASCII case.
TEST_F(Collector, WhatTheCrawlPassesOver) {
  make_tree(home.path(), {".DS_Store=meta", "Icon\r=meta", "empty", ".Trashes/b", ".trashes/c",
                          ".local/share/Trash/files/old.bin", "links/folder->../.trashes",
                          "links/file->../empty", "sparse"});
  ASSERT_EQ(truncate((home / "sparse").c_str(), 5 << 20), 0);
  Paths expected = {home / "empty"};
  if (allocated_bytes(home / "sparse") != 0) expected.push_back(home / "sparse");
  Paths found = paths({home.path()}, {".TRASHES"});
  std::ranges::sort(found);
  EXPECT_EQ(found, expected);
  expected.insert(expected.begin(), home / ".trashes/c");
  found = paths({home.path()});
  std::ranges::sort(found);
  EXPECT_EQ(found, expected);
}

// The expected order: listing order, depth first, as one plain thread would walk it.
void walk_serially(const std::string& folder, Paths& out) {
  for (const std::string& name : listing_order(folder)) {
    const std::string path = folder + "/" + name;
    std::filesystem::is_directory(path) ? walk_serially(path, out) : out.push_back(path);
  }
}

TEST_F(Collector, OrderIsListingOrderDepthFirstWhateverTheSchedulingAndTheFilter) {
  for (int a = 0; a < 6; ++a) {
    for (int b = 0; b < 6; ++b) {
      write_file(home / ("tree/d" + std::to_string(a) + "/e" + std::to_string(b) + "/f"), "x");
      write_file(home / ("tree/d" + std::to_string(a) + "/g" + std::to_string(b)), "yy");
    }
    write_file(home / ("tree/h" + std::to_string(a)), "z");
  }
  Paths expected;
  walk_serially(home / "tree", expected);
  ASSERT_EQ(expected.size(), 78u);
  for (int run = 0; run < 3; ++run) EXPECT_EQ(paths({home / "tree"}), expected);
  // A filter drops files and keeps the others in order: here the two-byte files "g…".
  std::erase_if(expected, [](const std::string& path) { return path[path.rfind('/') + 1] != 'g'; });
  const FileFilter big = [](const struct stat& metadata) { return metadata.st_size > 1; };
  EXPECT_EQ(paths({home / "tree"}, {}, big), expected);
}

TEST_F(Collector, GitStatesFollowTheRulesOfTheEnclosingRepository) {
  make_tree(home.path(), {"repo/.git/", "repo/.gitignore=*.log\n", "repo/src/a.log", "repo/src/a.c",
                          "repo/inner/.git/", "repo/inner/b.log", "outside/c.log"});
  std::map<std::string, GitState> states;
  for (const auto& file : collect({home / "repo", home / "outside"}, GitDetection::On))
    states[file.path.substr(home.path().size() + 1)] = file.git;
  EXPECT_EQ(states, (std::map<std::string, GitState>{{"outside/c.log", GitState::OutsideRepository},
                                                     {"repo/.gitignore", GitState::Tracked},
                                                     {"repo/inner/b.log", GitState::Tracked},
                                                     {"repo/src/a.c", GitState::Tracked},
                                                     {"repo/src/a.log", GitState::Ignored}}));
  EXPECT_EQ(collect({home / "repo/src/a.log"}, GitDetection::On).at(0).git, GitState::Ignored);
  EXPECT_EQ(collect({home / "repo/src/a.log"}).at(0).git, GitState::OutsideRepository);
}

}  // namespace
}  // namespace orvc::scan
