#pragma once
// Where projects live and how their regenerable build output is recognised: a folder name plus
// a marker file beside it, first matching row wins.
#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace orvc::junk {

struct BuildArtifactRule {
  std::string_view folder;  // exact, case-sensitive
  // Files in the project folder, at least one required; "*.ext" means any entry with that
  // extension, compared without regard to ASCII case.
  std::vector<std::string_view> markers;
  std::string_view label;
  std::string_view command;
};

extern const std::array<std::string_view, 15> PROJECT_ROOT_NAMES;
extern const std::array<BuildArtifactRule, 34> BUILD_ARTIFACT_RULES;
// Hidden folders the walks still enter.
extern const std::array<std::string_view, 5> kWalkedHiddenDirNames;

inline constexpr std::string_view kVenvFolder = ".venv";

// True for a name beginning with "." that is not one of kWalkedHiddenDirNames.
bool is_skipped_hidden_dir(std::string_view name);

// The first rule whose folder is `name` and whose marker stands beside `path` (a ".venv" must
// also hold "pyvenv.cfg"); nullptr when none does. Reads the file system, never fails.
const BuildArtifactRule* match_build_rule(std::string_view name, const std::string& path);

}  // namespace orvc::junk
