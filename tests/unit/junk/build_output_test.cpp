// Build output: which folders match a rule by the markers beside them, and which of those hold
// files Git keeps (a file in a working tree that is not ignored; the search stops there and never
// follows a link).
#include <gtest/gtest.h>

#include "junk/build_rules.hpp"
#include "junk/git_tracked.hpp"
#include "unit/fixture_tree.hpp"

namespace orvc::junk {
namespace {

using namespace orvc::testing;

// Each row: the build folder's name, the files (or, with a trailing "/", folders) beside it, and
// the rule that must match, or "none". Earlier rows of the rule list win; extension markers
// ignore ASCII case; the folder name is exact; a name whose only dot leads it has no extension; a
// marker may be a folder; a virtualenv needs its pyvenv.cfg.
const std::tuple<std::string, std::vector<std::string>, std::string> kRuleCases[] = {
    {"target", {"Cargo.toml", "pom.xml"}, "Rust/Cargo"},
    {"target", {"pom.xml"}, "Maven"},
    {"build", {"package.json", "build.gradle"}, "JS/TS"},
    {"build", {"settings.gradle.kts"}, "Gradle"},
    {"build", {"CMakeLists.txt", "pubspec.yaml"}, "CMake"},
    {"build", {"pubspec.yaml"}, "Flutter/Dart"},
    {".docusaurus", {"docusaurus.config.ts"}, "Docusaurus cache"},
    {"bin", {"go.mod", "App.csproj"}, "Go build output"},
    {"bin", {"APP.CSPROJ"}, ".NET build"},
    {"obj", {"Lib.FsProj"}, ".NET intermediate"},
    {"bin", {".sln"}, "none"},
    {"obj", {"x.txt"}, "none"},
    {"dist", {}, "none"},
    {"Target", {"Cargo.toml"}, "none"},
    {"target", {"Cargo.toml/"}, "Rust/Cargo"},
    {".venv", {"requirements.txt"}, "none"},
    {".venv", {"requirements.txt", ".venv/pyvenv.cfg"}, "Python virtualenv"},
};

TEST(MatchBuildRule, MarkersBesideTheFolderPickTheRule) {
  for (const auto& [folder, markers, label] : kRuleCases) {
    const TempDir dir;
    make_dirs(dir / folder);
    make_tree(dir.path(), markers);
    const BuildArtifactRule* rule = match_build_rule(folder, dir / folder);
    EXPECT_EQ(rule ? std::string(rule->label) : "none", label)
        << folder << " beside " << ::testing::PrintToString(markers);
  }
}

TEST(HoldsGitTrackedFiles, LayoutsInsideAndOutsideRepositories) {
  const std::string out_of_reach = "out/linked->../ext";
  const std::pair<std::vector<std::string>, bool> layouts[] = {
      {{"out/a.o"}, false},  // outside any repository
      {{".git/", "out/sub/a.o"}, true},
      {{".git/", ".gitignore=out\n", "out/a.o"}, false},
      {{".git/", ".gitignore=out/\n", "out/a.o"}, false},
      {{".git/", ".gitignore=*.o\ncache/\n", "out/a.o", "out/cache/index"}, false},
      {{".git/", ".gitignore=*.o\n", "out/a.o", "out/deep/README"}, true},
      {{".git/", "out/zero->/dev/zero"}, true},  // a committed link
      {{".git/", "out/"}, false},
      // A nested repository that the outer one ignores.
      {{".git/", ".gitignore=*.o\nvendor/\n", "out/a.o", "out/vendor/.git/", "out/vendor/lib.c"},
       true},
      // A repository of its own whose only unignored files are its Git data.
      {{"out/.git/HEAD", "out/.gitignore=*.o\n.gitignore\n", "out/a.o"}, false},
      // A link is an entry Git keeps; what it points to is never searched.
      {{".git/", ".gitignore=*.o\n", "out/a.o", "ext/README", out_of_reach}, true},
      {{".git/", ".gitignore=*.o\nlinked\n", "out/a.o", "ext/README", out_of_reach}, false},
  };
  for (size_t row = 0; row < std::size(layouts); ++row) {
    const TempDir dir;
    make_tree(dir / "repo", layouts[row].first);
    EXPECT_EQ(holds_git_tracked_files(dir / "repo/out"), layouts[row].second) << "layout " << row;
  }
}

}  // namespace
}  // namespace orvc::junk
