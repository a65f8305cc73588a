#include "junk/build_rules.hpp"

#include <gtest/gtest.h>

#include "support/temp_home.hpp"

namespace orvc::junk {
namespace {

using namespace orvc::testing;

class MatchBuildRule : public ::testing::Test {
 protected:
  // A project folder holding `markers`, with the build folder `name` inside it.
  std::string project(const std::string& project_name, const std::string& name,
                      std::initializer_list<std::string> markers) {
    const std::string folder = dir_ / project_name;
    make_dirs(folder + "/" + name);
    for (const std::string& marker : markers) write_file(folder + "/" + marker, "");
    return folder + "/" + name;
  }

  // "label | command" of the match, or "none".
  std::string match(const std::string& path) {
    const std::string name = path.substr(path.rfind('/') + 1);
    const BuildArtifactRule* rule = match_build_rule(name, path);
    return rule ? std::string(rule->label) + " | " + std::string(rule->command) : "none";
  }

  TempDir dir_;
};

TEST_F(MatchBuildRule, EarlierRowsWin) {
  EXPECT_EQ(match(project("both", "target", {"Cargo.toml", "pom.xml"})),
            "Rust/Cargo | cargo build");
  EXPECT_EQ(match(project("maven", "target", {"pom.xml"})), "Maven | mvn package");
  EXPECT_EQ(match(project("jsgradle", "build", {"package.json", "build.gradle"})),
            "JS/TS | npm run build");
  EXPECT_EQ(match(project("gradle", "build", {"settings.gradle.kts"})), "Gradle | gradle build");
  EXPECT_EQ(match(project("cmake", "build", {"CMakeLists.txt", "pubspec.yaml"})),
            "CMake | cmake --build .");
  EXPECT_EQ(match(project("flutter", "build", {"pubspec.yaml"})), "Flutter/Dart | flutter build");
  EXPECT_EQ(match(project("docs", ".docusaurus", {"docusaurus.config.ts"})),
            "Docusaurus cache | docusaurus build");
}

TEST_F(MatchBuildRule, ExtensionMarkersIgnoreAsciiCase) {
  EXPECT_EQ(match(project("go", "bin", {"go.mod", "App.csproj"})), "Go build output | go build");
  EXPECT_EQ(match(project("net", "bin", {"APP.CSPROJ"})), ".NET build | dotnet build");
  EXPECT_EQ(match(project("fs", "obj", {"Lib.FsProj"})), ".NET intermediate | dotnet build");
  // A name whose only dot leads it has no extension.
  EXPECT_EQ(match(project("hidden", "bin", {".sln"})), "none");
  EXPECT_EQ(match(project("folder-marker", "obj", {"x.txt"})), "none");
}

TEST_F(MatchBuildRule, NeedsAMarkerAndExactFolderName) {
  EXPECT_EQ(match(project("plain", "dist", {})), "none");
  EXPECT_EQ(match(project("upper", "Target", {"Cargo.toml"})), "none");
  // Markers are existence tests that follow links; a marker may itself be a folder.
  make_dirs(dir_ / "dirmarker/Cargo.toml");
  EXPECT_EQ(match(project("dirmarker", "target", {})), "Rust/Cargo | cargo build");
}

TEST_F(MatchBuildRule, VirtualenvNeedsPyvenvCfg) {
  const std::string without = project("novenv", ".venv", {"requirements.txt"});
  EXPECT_EQ(match(without), "none");
  const std::string with = project("venv", ".venv", {"requirements.txt"});
  write_file(with + "/pyvenv.cfg", "home = /usr\n");
  EXPECT_EQ(match(with),
            "Python virtualenv | python -m venv .venv && pip install -r requirements.txt");
}

TEST(HiddenDirs, OnlyTheListedOnesAreWalked) {
  for (const char* walked : {".codex", ".claude", ".cursor", ".worktrees", ".conductor"}) {
    EXPECT_FALSE(is_skipped_hidden_dir(walked)) << walked;
  }
  EXPECT_TRUE(is_skipped_hidden_dir(".git"));
  EXPECT_TRUE(is_skipped_hidden_dir(".Claude"));
  EXPECT_TRUE(is_skipped_hidden_dir(".next"));
  EXPECT_FALSE(is_skipped_hidden_dir("src"));
}

}  // namespace
}  // namespace orvc::junk
