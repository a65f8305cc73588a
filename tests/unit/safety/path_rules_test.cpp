#include "safety/path_rules.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include "unit/fixture_tree.hpp"

namespace orvc::safety {
namespace {

using namespace orvc::testing;

TEST(PathRules, NormalizesLexically) {
  // Each input followed by its normal form.
  const char* cases[] = {
      "/a/./b/../c", "/a/c", "/..",        "/..",  "../x",       "../x", "a/../../b", "../b",
      "./a/",        "a",    "//a//b/",    "/a/b", "",           "",     "/",         "/",
      ".",           "",     "/a/b/../..", "/",    "/a/\xff/..", "/a",   "..",        ".."};
  for (size_t i = 0; i < std::size(cases); i += 2)
    EXPECT_EQ(normalize_lexically(cases[i]), cases[i + 1]) << cases[i];
}

TEST(PathRules, PrefixTestIsComponentWiseAndAsciiCaseInsensitive) {
  EXPECT_TRUE(path_starts_with_ci("/Users/U/Work/x", "/users/u/work"));
  EXPECT_TRUE(path_starts_with_ci("/a/b", "/a/b/"));
  EXPECT_TRUE(path_starts_with_ci("/a", ""));
  EXPECT_FALSE(path_starts_with_ci("/Users/u/Workshop", "/Users/u/Work"));
  EXPECT_FALSE(path_starts_with_ci("/a", "/a/b"));
  EXPECT_FALSE(path_starts_with_ci("a/b", "/a"));
  // Only ASCII letters fold; other bytes must be identical.
  EXPECT_FALSE(path_starts_with_ci("/Ärzte", "/ärzte"));
  // Invalid bytes compare as their lossy text, so two different invalid bytes match.
  EXPECT_TRUE(path_starts_with_ci("/\xff/x", "/\xfe"));
  EXPECT_FALSE(path_starts_with("/A/b", "/a"));
}

TEST(PathRules, SplitPathsCompareLikeTheirText) {
  const std::string paths[] = {"/",        "/a",      "/A/b",   "/a/b/c", "a/b",
                               "/a/../b",  "/\xff/x", "/\xfe",  "",       "/Ärzte",
                               "/ärzte/x", "//a//b/", "/a/./b", "../x",   "/a/bc"};
  for (const std::string& a : paths)
    for (const std::string& b : paths) {
      EXPECT_EQ(starts_with_ci(SplitPath(a), SplitPath(b)), path_starts_with_ci(a, b))
          << a << " | " << b;
      EXPECT_EQ(equals_ci(SplitPath(a), SplitPath(b)),
                path_starts_with_ci(a, b) && path_starts_with_ci(b, a))
          << a << " | " << b;
    }
}

// What realpath(3) itself says, for comparison.
std::optional<std::string> libc_realpath(const std::string& path) {
  const std::unique_ptr<char, decltype(&std::free)> resolved(realpath(path.c_str(), nullptr),
                                                             &std::free);
  return resolved ? std::optional<std::string>(resolved.get()) : std::nullopt;
}

TEST(PathRules, CanonicalisesAsRealpathDoes) {
  const TempDir dir;
  make_tree(dir.path(), {"real/sub/", "real/file=x", "alias->real", "file-link->real/file",
                         "dangling->missing", "loop->loop"});
  for (const std::string relative :
       {"real/sub", "alias/sub", "real/file", "file-link", "dangling", "loop", "missing",
        "real/file/x", "real//sub", "real/./sub", "real/sub/..", "alias/sub/../sub", "real/sub/"})
    EXPECT_EQ(canonicalize(dir / relative), libc_realpath(dir / relative)) << relative;
  for (const std::string path : {"/", "/..", "relative-no-such", ""})
    EXPECT_EQ(canonicalize(path), libc_realpath(path)) << path;
}

TEST(PathRules, ResolvesTheExistingPrefixButNeverTheLastComponent) {
  const TempDir dir;
  make_tree(dir.path(), {"real/sub/", "alias->real"});
  EXPECT_EQ(resolve_existing_prefix(dir / "alias/sub/missing/deeper/file.txt"),
            dir / "real/sub/missing/deeper/file.txt");
  for (const std::string& unchanged : {dir / "alias", std::string("/no-such-top/x")})
    EXPECT_EQ(resolve_existing_prefix(unchanged), unchanged);
  for (const std::string& unresolved :
       {std::string("/"), dir / "real/..", std::string("no-such-relative/x"), std::string()})
    EXPECT_EQ(resolve_existing_prefix(unresolved), std::nullopt) << unresolved;
}

TEST(PathRules, OddInputStillGetsAnAnswer) {
  std::string deep = "/orvc-no-such-folder";
  for (int i = 1; i < 10000; ++i) deep += "/a";
  EXPECT_EQ(path_components(deep).size(), 10001u);
  EXPECT_EQ(normalize_lexically(deep), deep);
  EXPECT_EQ(resolve_existing_prefix(deep + "/f"), deep + "/f");
  EXPECT_EQ(canonicalize(std::string("/tmp\0x", 6)), std::nullopt);
}

}  // namespace
}  // namespace orvc::safety
