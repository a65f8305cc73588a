// Moves from many threads at once: every item gets its own Trash name and its own record.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <thread>
#include <vector>

#include "removal/trash.hpp"
#include "removal/trash_info.hpp"
#include "removal_fixture.hpp"

namespace orvc::removal {
namespace {

using testing::exists_no_follow;
using ::testing::HasSubstr;
using testing::read_file;
using testing::write_file;

class TrashThreads : public testing::RemovalTest {};

TEST_F(TrashThreads, ItemsOfOneNameGetDistinctNamesAndRecords) {
  constexpr int kThreads = 8;
  constexpr int kPerThread = 8;
  for (int t = 0; t < kThreads; ++t) {
    for (int i = 0; i < kPerThread; ++i) {
      const std::string tag = std::to_string(t) + "-" + std::to_string(i);
      write_file(home("from/" + tag + "/same.txt"), tag);
    }
  }
  std::vector<std::vector<Result<TrashedItem>>> names(kThreads);
  std::vector<std::thread> workers;
  for (int t = 0; t < kThreads; ++t) {
    workers.emplace_back([&, t] {
      for (int i = 0; i < kPerThread; ++i) {
        const std::string tag = std::to_string(t) + "-" + std::to_string(i);
        names[t].push_back(trash_item(home("from/" + tag + "/same.txt")));
      }
    });
  }
  for (auto& worker : workers) worker.join();

  std::set<std::string> expected{"same.txt"};
  for (int n = 2; n <= kThreads * kPerThread; ++n)
    expected.insert("same " + std::to_string(n) + ".txt");
  std::set<std::string> seen;
  for (int t = 0; t < kThreads; ++t) {
    for (int i = 0; i < kPerThread; ++i) {
      const std::string tag = std::to_string(t) + "-" + std::to_string(i);
      const std::string original = home("from/" + tag + "/same.txt");
      ASSERT_TRUE(names[t][i]) << names[t][i].error();
      const std::string& name = names[t][i]->name;
      EXPECT_TRUE(seen.insert(name).second) << name;
      EXPECT_FALSE(exists_no_follow(original));
      EXPECT_EQ(read_file(trash_files(name)), tag);
      EXPECT_THAT(read_file(trash_info(name)),
                  HasSubstr("\nPath=" + percent_encode_path(original) + "\n"));
    }
  }
  EXPECT_EQ(seen, expected);
}

}  // namespace
}  // namespace orvc::removal
