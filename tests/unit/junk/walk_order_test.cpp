#include <gtest/gtest.h>

#include <filesystem>

#include "junk/project_walks.hpp"
#include "unit/fixture_tree.hpp"

namespace orvc::junk {
namespace {

// Sub-folders are walked side by side, yet what is found comes out as one walk that enters each
// folder in listing order would find it: equal sizes then keep one order from run to run.
TEST(ProjectWalks, FindInTheOrderOfOneWalkInListingOrder) {
  const testing::TempDir home;
  std::vector<std::string> layout;
  for (int i = 0; i < 40; ++i) {
    if (i < 7) layout.push_back("p" + std::to_string(i) + "/__pycache__/");
    layout.push_back("p" + std::to_string(i % 7) + "/" + std::to_string(i) + "/__pycache__/");
    layout.push_back("p" + std::to_string(i % 5) + "/q/" + std::to_string(i) + "/__pycache__/");
  }
  testing::make_tree(home.path(), layout);
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
