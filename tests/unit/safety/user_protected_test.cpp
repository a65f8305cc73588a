#include "safety/user_protected.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <thread>

#include "platform/platform.hpp"
#include "safety/protection.hpp"
#include "safety/unicode_lower.hpp"
#include "support/scoped_env.hpp"
#include "support/temp_home.hpp"

namespace orvc::safety {
namespace {

using namespace orvc::testing;
using Entries = std::vector<std::string>;

const std::string kListFile = "Library/Application Support/com.orvanta.app/protected_paths.json";

// Only what the text means is checked here; malformed JSON is the parser's business.
TEST(ProtectedPathsFile, AcceptsTheRecordAndItsArrayFormOnly) {
  EXPECT_EQ(parse_protected_paths(R"({"paths": ["/a", "/b"]})"), Entries({"/a", "/b"}));
  EXPECT_EQ(parse_protected_paths(R"({"version": 2, "paths": [], "x": {"y": [1]}})"), Entries{});
  EXPECT_EQ(parse_protected_paths(" {\"paths\": [\"/a\"]} \n\t"), Entries({"/a"}));
  EXPECT_EQ(parse_protected_paths(R"([["/a"]])"), Entries({"/a"}));
  // A nested "paths" is just another ignored member.
  EXPECT_EQ(parse_protected_paths(R"({"paths": ["/a"], "x": {"paths": 1}})"), Entries({"/a"}));
  for (const char* text :
       {R"({"paths": ["/a"], "paths": ["/b"]})", R"({"other": []})", R"({"paths": "/a"})",
        R"({"paths": ["/a", 1]})", R"({"paths": null})", R"([])", R"([["/a"], ["/b"]])",
        R"("paths")", "{\"paths\": [\"/\xff\"]}"})
    EXPECT_FALSE(parse_protected_paths(text)) << text;
}

TEST(UserProtectedMatching, WholeComponentsInsideOrAboveTakenLiterally) {
  const Entries list = {unicode_lower("/Users/U/Work")};
  for (const char* path :
       {"/Users/u/work", "/users/u/WORK/a.txt", "/Users/u", "/Users/u/other/../Work/x"})
    EXPECT_TRUE(matches_protected_list(list, path)) << path;
  for (const char* path : {"/Users/u/Workshop", "/Users/u/Wo", "/Users/u/Work/../Workshop"})
    EXPECT_FALSE(matches_protected_list(list, path)) << path;
  for (const Entries& literal_or_empty : {Entries{"~/work"}, Entries{""}, Entries{}})
    EXPECT_FALSE(matches_protected_list(literal_or_empty, "/Users/u/work/x"));
  EXPECT_TRUE(matches_protected_list({unicode_lower("/Users/Ünal")}, "/USERS/ÜNAL/x"));
}

// The list is loaded once per process, so each check below runs in a child process of its own
// whose exit status is 0 when every check held, else the number of the first that failed.

// A list that exists but is not valid refuses the whole run with its reason and protects
// nothing; repairing it during the run changes neither.
int broken_list_refuses_the_run(const std::string& content, const std::string& reason) {
  const TempDir home;
  const ScopedEnv home_env("HOME", home.path());
  write_file(home / kListFile, content);
  const Status status = user_protection_status();
  if (status) return 1;
  if (status.error() != "Refusing to move anything: the protected paths file '" + home / kListFile +
                            "' is not valid: " + reason)
    return 2;
  if (is_user_protected("/a/x") || is_protected_path("/a/x")) return 3;
  write_file(home / kListFile, R"({"paths": ["/a"]})");
  if (user_protection_status() != status) return 4;
  return is_user_protected("/a/x") ? 5 : 0;
}

// Many removal workers asking at once while the list is loaded by whichever comes first; once
// loaded, the list ignores later edits.
int concurrent_first_use_then_edits() {
  const TempDir home;
  const ScopedEnv home_env("HOME", home.path());
  write_file(home / kListFile, R"({"paths": [")" + home / "Keep" + "\"]}");
  std::atomic<int> wrong{0};
  std::vector<std::thread> workers;
  for (int t = 0; t < 8; ++t)
    workers.emplace_back([&, t] {
      for (int i = 0; i < 20; ++i) {
        const auto kept = is_protected_path(home / ("keep/" + std::to_string(t)));
        const auto free = is_protected_path(home / ("keeper/" + std::to_string(i)));
        if (!kept || kept->kind != ProtectionKind::UserProtected || free) ++wrong;
      }
    });
  for (auto& worker : workers) worker.join();
  if (wrong.load() != 0) return 1;
  write_file(home / kListFile, R"({"paths": []})");
  return is_user_protected(home / "KEEP") ? 0 : 2;
}

TEST(UserProtectedOnce, BrokenListsRefuseTheRunAndConcurrentCallersShareOneLoad) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const std::pair<const char*, const char*> lists[] = {
      {R"({"paths": ["/a", 1]})", "invalid type: expected a string"},
      {R"({"path": []})", "missing field `paths`"},
      {"{\"paths\": [\"/a\"]}\xff", "stream did not contain valid UTF-8"},
  };
  for (const auto& [content, reason] : lists)
    EXPECT_EXIT(std::exit(broken_list_refuses_the_run(content, reason)),
                ::testing::ExitedWithCode(0), "")
        << reason;
  EXPECT_EXIT(std::exit(concurrent_first_use_then_edits()), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace orvc::safety
