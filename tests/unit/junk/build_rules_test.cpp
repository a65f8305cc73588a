#include "junk/build_rules.hpp"

#include <gtest/gtest.h>

#include "support/temp_home.hpp"

namespace orvc::junk {
namespace {

using namespace orvc::testing;

struct RuleCase {
  std::string folder;                // the build folder's name
  std::vector<std::string> markers;  // files (or, with a trailing "/", folders) beside it
  std::string label;                 // the rule that must match, or "none"
};

// Earlier rows of the rule list win; extension markers ignore ASCII case; the folder name is exact.
const RuleCase kRuleCases[] = {
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
    {"bin", {".sln"}, "none"},  // a name whose only dot leads it has no extension
    {"obj", {"x.txt"}, "none"},
    {"dist", {}, "none"},
    {"Target", {"Cargo.toml"}, "none"},
    {"target", {"Cargo.toml/"}, "Rust/Cargo"},  // a marker may be a folder
    {".venv", {"requirements.txt"}, "none"},    // a virtualenv needs its pyvenv.cfg
    {".venv", {"requirements.txt", ".venv/pyvenv.cfg"}, "Python virtualenv"},
};

TEST(MatchBuildRule, MarkersBesideTheFolderPickTheRule) {
  const TempDir dir;
  int n = 0;
  for (const RuleCase& c : kRuleCases) {
    const std::string project = dir / ("p" + std::to_string(n++));
    make_dirs(project + "/" + c.folder);
    for (const std::string& marker : c.markers) {
      marker.ends_with('/') ? make_dirs(project + "/" + marker)
                            : write_file(project + "/" + marker, "");
    }
    const BuildArtifactRule* rule = match_build_rule(c.folder, project + "/" + c.folder);
    EXPECT_EQ(rule ? std::string(rule->label) : "none", c.label) << c.folder << " in " << project;
  }
}

TEST(HiddenDirs, OnlyTheListedOnesAreWalked) {
  EXPECT_FALSE(is_skipped_hidden_dir(".claude"));
  EXPECT_FALSE(is_skipped_hidden_dir("src"));
  EXPECT_TRUE(is_skipped_hidden_dir(".Claude"));
  EXPECT_TRUE(is_skipped_hidden_dir(".git"));
}

}  // namespace
}  // namespace orvc::junk
