#include "safety/user_protected.hpp"

#include <gtest/gtest.h>

#include "platform/platform.hpp"
#include "safety/unicode_lower.hpp"
#include "support/scoped_env.hpp"
#include "support/temp_home.hpp"

namespace orvc::safety {
namespace {

using namespace orvc::testing;
using Entries = std::vector<std::string>;

TEST(ProtectedPathsFile, AcceptsTheRecordAndItsArrayForm) {
  EXPECT_EQ(parse_protected_paths(R"({"paths": ["/a", "/b"]})"), Entries({"/a", "/b"}));
  EXPECT_EQ(parse_protected_paths(R"({"version": 2, "paths": [], "x": {"y": [1]}})"), Entries{});
  EXPECT_EQ(parse_protected_paths(" {\"paths\": [\"/a\"]} \n\t"), Entries({"/a"}));
  EXPECT_EQ(parse_protected_paths(R"([["/a"]])"), Entries({"/a"}));
  // A nested "paths" is just another ignored member.
  EXPECT_EQ(parse_protected_paths(R"({"paths": ["/a"], "x": {"paths": 1}})"), Entries({"/a"}));
}

TEST(ProtectedPathsFile, RejectsEverythingElse) {
  // Only what the text means is checked here; malformed JSON is the parser's business.
  const char* broken[] = {
      R"({"paths": ["/a"], "paths": ["/b"]})",
      R"({"other": []})",
      R"({"paths": "/a"})",
      R"({"paths": ["/a", 1]})",
      R"({"paths": null})",
      R"([])",
      R"([["/a"], ["/b"]])",
      R"("paths")",
      "{\"paths\": [\"/\xff\"]}",
  };
  for (const char* text : broken) EXPECT_FALSE(parse_protected_paths(text)) << text;
}

TEST(UserProtectedMatching, WholeComponentsInsideOrAbove) {
  const Entries list = {unicode_lower("/Users/U/Work")};
  EXPECT_TRUE(matches_protected_list(list, "/Users/u/work"));
  EXPECT_TRUE(matches_protected_list(list, "/users/u/WORK/a.txt"));
  EXPECT_TRUE(matches_protected_list(list, "/Users/u"));
  EXPECT_TRUE(matches_protected_list(list, "/Users/u/other/../Work/x"));
  EXPECT_FALSE(matches_protected_list(list, "/Users/u/Workshop"));
  EXPECT_FALSE(matches_protected_list(list, "/Users/u/Wo"));
  EXPECT_FALSE(matches_protected_list(list, "/Users/u/Work/../Workshop"));
}

TEST(UserProtectedMatching, EntriesAreTakenLiterally) {
  EXPECT_FALSE(matches_protected_list({"~/work"}, "/Users/u/work/x"));
  EXPECT_FALSE(matches_protected_list({""}, "/Users/u/x"));
  EXPECT_FALSE(matches_protected_list({}, "/Users/u/x"));
  const Entries non_ascii = {unicode_lower("/Users/Ünal/Ärzte")};
  EXPECT_TRUE(matches_protected_list(non_ascii, "/users/ünal/ärzte/x"));
  EXPECT_TRUE(matches_protected_list(non_ascii, "/USERS/ÜNAL/ÄRZTE"));
  EXPECT_FALSE(matches_protected_list(non_ascii, "/users/unal/arzte"));
}

TEST(UserProtectedMatching, FullUnicodeLowerCasing) {
  EXPECT_EQ(unicode_lower("/ÄÖÜ/ABC"), "/äöü/abc");
  EXPECT_EQ(unicode_lower("İ"), "i\xCC\x87");
  EXPECT_EQ(unicode_lower("ΟΔΟΣ/Σ"), "οδος/σ");
  EXPECT_EQ(unicode_lower("\xff"), "\xEF\xBF\xBD");
}

class LoadProtectedPaths : public ::testing::Test {
 protected:
  std::string file() const {
    return home_ / "Library/Application Support/com.orvanta.app/protected_paths.json";
  }

  TempDir home_;
  ScopedEnv home_env_{"HOME", home_.path()};
};

TEST_F(LoadProtectedPaths, DataFolderFollowsHome) {
  EXPECT_EQ(app_data_dir(), home_ / "Library/Application Support/com.orvanta.app");
  const ScopedEnv empty_home("HOME", "");
  const auto fallback = platform::password_database_home();
  if (fallback) {
    EXPECT_EQ(app_data_dir(), *fallback + "/Library/Application Support/com.orvanta.app");
  } else {
    EXPECT_EQ(app_data_dir().error(), "Could not resolve application data directory");
  }
}

TEST_F(LoadProtectedPaths, MissingFileMeansAnEmptyList) {
  EXPECT_EQ(load_protected_paths(), Entries{});
}

TEST_F(LoadProtectedPaths, EntriesAreLowerCased) {
  write_file(file(), R"({"paths": ["/Users/Ünal/Ärzte", "~/Work", ""]})");
  EXPECT_EQ(load_protected_paths(), Entries({"/users/ünal/ärzte", "~/work", ""}));
}

TEST_F(LoadProtectedPaths, BrokenFilesFailWithTheirReason) {
  write_file(file(), R"({"path": []})");
  EXPECT_TRUE(load_protected_paths().error().starts_with("Could not parse protected paths: "));
  write_file(file(), "{\"paths\": []}\xff");
  EXPECT_TRUE(load_protected_paths().error().starts_with("Could not read protected paths: "));
  std::remove(file().c_str());
  make_dirs(file());
  EXPECT_EQ(load_protected_paths().error(),
            "Could not read protected paths: Is a directory (os error 21)");
}

}  // namespace
}  // namespace orvc::safety
