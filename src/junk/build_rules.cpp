#include "junk/build_rules.hpp"

#include <sys/stat.h>

#include <algorithm>
#include <optional>

#include "junk/paths.hpp"
#include "platform/folder_stream.hpp"
#include "util/text.hpp"

namespace orvc::junk {

const std::array<std::string_view, 15> PROJECT_ROOT_NAMES = {
    "Developer", "Projects", "Documents", "Code", "dev",   "src",       "workspace", "vibecode",
    "repos",     "git",      "GitHub",    "work", "Sites", "Downloads", "Desktop"};

const std::array<std::string_view, 5> kWalkedHiddenDirNames = {".codex", ".claude", ".cursor",
                                                               ".worktrees", ".conductor"};

namespace {
const std::vector<std::string_view> kGradleMarkers = {"build.gradle", "build.gradle.kts",
                                                      "settings.gradle", "settings.gradle.kts"};
const std::vector<std::string_view> kNextConfigs = {"next.config.js", "next.config.mjs",
                                                    "next.config.ts"};
const std::vector<std::string_view> kBazelMarkers = {"WORKSPACE", "WORKSPACE.bazel",
                                                     "MODULE.bazel"};
const std::vector<std::string_view> kDotNetMarkers = {"*.csproj", "*.sln", "*.fsproj"};
const std::vector<std::string_view> kPythonPackageMarkers = {"setup.py", "pyproject.toml",
                                                             "setup.cfg"};
}  // namespace

const std::array<BuildArtifactRule, 34> BUILD_ARTIFACT_RULES = {{
    {"target", {"Cargo.toml"}, "Rust/Cargo", "cargo build"},
    {"dist", {"package.json"}, "JS/TS bundle", "npm run build"},
    {"build", {"package.json"}, "JS/TS", "npm run build"},
    {".next",
     {"package.json", "next.config.js", "next.config.mjs", "next.config.ts"},
     "Next.js",
     "next build"},
    {".nuxt", {"package.json", "nuxt.config.js", "nuxt.config.ts"}, "Nuxt", "nuxt build"},
    {".svelte-kit", {"package.json", "svelte.config.js"}, "SvelteKit", "vite build"},
    {".turbo", {"package.json", "turbo.json"}, "Turborepo cache", "turbo run build"},
    {".parcel-cache", {"package.json"}, "Parcel cache", "parcel build"},
    {".vite", {"package.json", "vite.config.js", "vite.config.ts"}, "Vite cache", "vite build"},
    {"out", kNextConfigs, "Next.js export", "next build && next export"},
    {"build", kGradleMarkers, "Gradle", "gradle build"},
    {".gradle", kGradleMarkers, "Gradle cache", "gradle build"},
    {"target", {"pom.xml"}, "Maven", "mvn package"},
    {"build", {"CMakeLists.txt"}, "CMake", "cmake --build ."},
    {"cmake-build-debug", {"CMakeLists.txt"}, "CMake (CLion)", "cmake --build ."},
    {"cmake-build-release", {"CMakeLists.txt"}, "CMake (CLion)", "cmake --build ."},
    {"bazel-bin", kBazelMarkers, "Bazel", "bazel build"},
    {"bazel-out", kBazelMarkers, "Bazel", "bazel build"},
    {"bin", {"go.mod"}, "Go build output", "go build"},
    {"bin", kDotNetMarkers, ".NET build", "dotnet build"},
    {"obj", kDotNetMarkers, ".NET intermediate", "dotnet build"},
    {"build", kPythonPackageMarkers, "Python build", "python -m build"},
    {"dist", kPythonPackageMarkers, "Python dist", "python -m build"},
    {"_build", {"mix.exs"}, "Elixir/Mix", "mix compile"},
    {"build", {"pubspec.yaml"}, "Flutter/Dart", "flutter build"},
    {".pytest_cache",
     {"pyproject.toml", "setup.py", "setup.cfg", "requirements.txt", "pytest.ini", "tox.ini"},
     "pytest cache",
     "pytest"},
    {".mypy_cache",
     {"pyproject.toml", "setup.py", "setup.cfg", "requirements.txt", "mypy.ini"},
     "mypy cache",
     "mypy ."},
    {".ruff_cache",
     {"pyproject.toml", "setup.py", "requirements.txt", "ruff.toml"},
     "Ruff cache",
     "ruff check ."},
    {".venv",
     {"pyproject.toml", "requirements.txt", "setup.py", "Pipfile"},
     "Python virtualenv",
     "python -m venv .venv && pip install -r requirements.txt"},
    {".build", {"Package.swift"}, "Swift Package", "swift build"},
    {".dart_tool", {"pubspec.yaml"}, "Dart tool cache", "dart pub get"},
    {".angular", {"angular.json"}, "Angular cache", "ng build"},
    {".astro",
     {"astro.config.mjs", "astro.config.ts", "astro.config.js"},
     "Astro cache",
     "astro build"},
    {".docusaurus",
     {"docusaurus.config.js", "docusaurus.config.ts"},
     "Docusaurus cache",
     "docusaurus build"},
}};

bool is_skipped_hidden_dir(std::string_view name) {
  return name.starts_with('.') &&
         std::ranges::find(kWalkedHiddenDirNames, name) == kWalkedHiddenDirNames.end();
}

namespace {

bool exists_following_links(const std::string& path) {
  struct stat metadata {};
  return stat(path.c_str(), &metadata) == 0;
}

// Text after the last dot; a name whose only dot leads it has no extension.
std::optional<std::string_view> extension_of(std::string_view name) {
  const size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot == 0) return std::nullopt;
  return name.substr(dot + 1);
}

// The project folder's entry names, listed once per match and only when a "*." marker asks.
class ProjectListing {
 public:
  explicit ProjectListing(const std::string& folder) : folder_(folder) {}

  bool has_extension(std::string_view wanted) {
    if (!names_) names_ = names_in(folder_);
    return std::ranges::any_of(*names_, [&](const std::string& name) {
      const auto extension = extension_of(name);
      return extension && equals_ascii_ci(*extension, wanted);
    });
  }

 private:
  const std::string& folder_;
  std::optional<std::vector<std::string>> names_;
};

}  // namespace

const BuildArtifactRule* match_build_rule(std::string_view name, const std::string& path) {
  std::optional<std::string> project;
  std::optional<ProjectListing> listing;
  for (const BuildArtifactRule& rule : BUILD_ARTIFACT_RULES) {
    if (rule.folder != name) continue;
    if (name == kVenvFolder && !exists_following_links(join_path(path, "pyvenv.cfg"))) continue;
    if (!project) {
      project = parent_path(path);
      if (!project) continue;
      listing.emplace(*project);
    }
    for (std::string_view marker : rule.markers) {
      const bool present = marker.starts_with("*.")
                               ? listing->has_extension(marker.substr(2))
                               : exists_following_links(child_path(*project, marker));
      if (present) return &rule;
    }
  }
  return nullptr;
}

}  // namespace orvc::junk
