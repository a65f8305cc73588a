// The user list is loaded once per process, so each case runs in a child process of its own whose
// exit status is 0 when every check held, else the number of the first that failed.
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

// A list that exists but is not valid refuses the whole run with its reason and protects
// nothing; repairing it during the run changes neither.
int broken_list_refuses_the_run(const std::string& content, const std::string& reason) {
  const TempDir home;
  const ScopedEnv home_env("HOME", home.path());
  write_file(list_file(home), content);
  const Status status = user_protection_status();
  if (status) return 1;
  if (status.error() != "Refusing to move anything: the protected paths file '" + list_file(home) +
                            "' is not valid: " + reason) {
    return 2;
  }
  if (is_user_protected("/a/x") || is_protected_path("/a/x")) return 3;
  write_file(list_file(home), R"({"paths": ["/a"]})");
  if (user_protection_status() != status) return 4;
  if (is_user_protected("/a/x")) return 5;
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

TEST_F(UserProtectedOnce, ABrokenListRefusesTheRunWithItsReason) {
  struct Broken {
    std::string content;
    std::string reason;
  };
  const Broken lists[] = {
      // The library's own text, without its tag.
      {R"({"paths": ["/a",]})",
       "parse error at line 1, column 17: syntax error while parsing value - unexpected ']'; "
       "expected '[', '{', or a literal"},
      {R"({"paths": ["/a", 1]})", "invalid type: expected a string"},
      {R"({"path": []})", "missing field `paths`"},
      {"{\"paths\": [\"/a\"]}\xff", "stream did not contain valid UTF-8"},
  };
  for (const Broken& list : lists) {
    SCOPED_TRACE(list.reason);
    EXPECT_EXIT(std::exit(broken_list_refuses_the_run(list.content, list.reason)),
                ::testing::ExitedWithCode(0), "");
  }
}

TEST_F(UserProtectedOnce, ConcurrentCallersShareOneLoadThatLaterEditsDoNotChange) {
  EXPECT_EXIT(std::exit(concurrent_first_use_then_edits()), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace orvc::safety
