// The application's own folder is protected like a credential folder, and a protected list that
// exists but is not valid is reported once, for the whole run, to every removal run.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "safety/protection.hpp"
#include "safety/user_protected.hpp"
#include "support/scoped_env.hpp"
#include "support/temp_home.hpp"

namespace orvc::safety {
namespace {

using namespace orvc::testing;

TEST(OwnFolder, ItEverythingInItAndEveryFolderAboveAreProtected) {
  const std::string app = "/Users/u/Library/Application Support/com.orvanta.app";
  for (const std::string& path :
       {app, app + "/protected_paths.json", app + "/history", app + "/history/x.json",
        std::string("/Users/u/library/application support/COM.ORVANTA.APP/history")}) {
    const auto found = classify_protected(path, "/Users/u");
    ASSERT_TRUE(found) << path;
    EXPECT_EQ(found->kind, ProtectionKind::SensitivePath) << path;
  }
  EXPECT_EQ(classify_protected("/Users/u/Library/Application Support/com.orvanta.application",
                               "/Users/u"),
            std::nullopt);
  EXPECT_EQ(classify_protected(app, "/Users/other"), std::nullopt);
}

std::string list_file(const TempDir& home) {
  return home / "Library/Application Support/com.orvanta.app/protected_paths.json";
}

// The list is loaded once per process, so each case runs in a child; its exit status is 0 when
// every check held, else the number of the first one that failed.
int status_of(const std::string& content, const char* reason) {
  const TempDir home;
  const ScopedEnv home_env("HOME", home.path());
  write_file(list_file(home), content);
  const Status status = user_protection_status();
  if (status) return 1;
  const std::string expected = "Refusing to move anything: the protected paths file '" +
                               list_file(home) + "' is not valid: " + reason;
  if (status.error() != expected) return 2;
  // Repairing the file during the run changes nothing: the run stays refused.
  write_file(list_file(home), R"({"paths": []})");
  if (user_protection_status() != status) return 3;
  if (is_user_protected(home / "x")) return 4;
  return 0;
}

int status_without_file() {
  const TempDir home;
  const ScopedEnv home_env("HOME", home.path());
  make_dirs(home / "Library/Application Support/com.orvanta.app");
  if (!user_protection_status()) return 1;
  return 0;
}

int status_with_a_valid_list() {
  const TempDir home;
  const ScopedEnv home_env("HOME", home.path());
  write_file(list_file(home), R"({"paths": [")" + home / "keep" + "\"]}");
  if (!user_protection_status()) return 1;
  if (!is_user_protected(home / "keep/a")) return 2;
  return 0;
}

class ProtectionStatus : public ::testing::Test {
 protected:
  void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

TEST_F(ProtectionStatus, BrokenListsRefuseWithTheirReason) {
  EXPECT_EXIT(std::exit(status_of(R"({"paths": ["/a",]})",
                                  "parse error at line 1, column 17: syntax error while parsing "
                                  "value - unexpected ']'; expected '[', '{', or a literal")),
              ::testing::ExitedWithCode(0), "");
  EXPECT_EXIT(std::exit(status_of(R"({"paths": ["/a", 1]})", "invalid type: expected a string")),
              ::testing::ExitedWithCode(0), "");
  EXPECT_EXIT(std::exit(status_of(R"({"path": []})", "missing field `paths`")),
              ::testing::ExitedWithCode(0), "");
  EXPECT_EXIT(std::exit(status_of("{\"paths\": []}\xff", "stream did not contain valid UTF-8")),
              ::testing::ExitedWithCode(0), "");
}

TEST_F(ProtectionStatus, MissingOrValidListsAllowRemoval) {
  EXPECT_EXIT(std::exit(status_without_file()), ::testing::ExitedWithCode(0), "");
  EXPECT_EXIT(std::exit(status_with_a_valid_list()), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace orvc::safety
