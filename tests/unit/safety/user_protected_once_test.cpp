// The user list is loaded once per process, so these cases run in a fresh child process each.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

#include "safety/protection.hpp"
#include "safety/user_protected.hpp"
#include "support/scoped_env.hpp"
#include "support/temp_home.hpp"

namespace orvc::safety {
namespace {

using namespace orvc::testing;

std::string list_file(const TempDir& home) {
  return home / "Library/Application Support/com.orvanta.app/protected_paths.json";
}

// Exit status of the child: 0 when every check held, else the number of the failed check.
int broken_list_stays_broken() {
  const TempDir home;
  const ScopedEnv home_env("HOME", home.path());
  write_file(list_file(home), R"({"paths": [")" + home / "work" + "\"]");  // not valid JSON
  if (is_user_protected(home / "work/a")) return 1;
  write_file(list_file(home), R"({"paths": [")" + home / "work" + "\"]}");
  if (is_user_protected(home / "work/a")) return 2;
  if (is_protected_path(home / "work/a")) return 3;
  return 0;
}

// Many removal workers asking at once while the list is loaded by whichever comes first; once
// loaded, the list ignores later edits.
int concurrent_first_use_then_edits() {
  const TempDir home;
  const ScopedEnv home_env("HOME", home.path());
  write_file(list_file(home), R"({"paths": [")" + home / "Keep" + "\"]}");
  std::atomic<int> wrong{0};
  std::vector<std::thread> workers;
  for (int t = 0; t < 8; ++t) {
    workers.emplace_back([&, t] {
      for (int i = 0; i < 20; ++i) {
        const auto kept = is_protected_path(home / ("keep/" + std::to_string(t)));
        const auto free = is_protected_path(home / ("keeper/" + std::to_string(i)));
        if (!kept || kept->kind != ProtectionKind::UserProtected || free) ++wrong;
      }
    });
  }
  for (auto& worker : workers) worker.join();
  if (wrong.load() != 0) return 1;
  write_file(list_file(home), R"({"paths": []})");
  return is_user_protected(home / "KEEP") ? 0 : 2;
}

class UserProtectedOnce : public ::testing::Test {
 protected:
  void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

TEST_F(UserProtectedOnce, BrokenFileStaysBrokenForTheRun) {
  EXPECT_EXIT(std::exit(broken_list_stays_broken()), ::testing::ExitedWithCode(0), "");
}

TEST_F(UserProtectedOnce, ConcurrentCallersShareOneLoadThatLaterEditsDoNotChange) {
  EXPECT_EXIT(std::exit(concurrent_first_use_then_edits()), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace orvc::safety
