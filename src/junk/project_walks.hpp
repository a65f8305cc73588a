#pragma once
// Depth-limited walks that find build output, node_modules and __pycache__ folders. They list
// folders only: a symbolic link is neither collected nor entered, and whatever cannot be read is
// passed over. With depth d a walk examines folders 1 to d levels below its start.
#include <string>
#include <vector>

#include "junk/build_rules.hpp"

namespace orvc::junk {

inline constexpr int kBuildWalkDepth = 9;
inline constexpr int kNodeModulesWalkDepth = 6;
inline constexpr int kPycacheWalkDepth = 5;

struct BuildArtifactCandidate {
  std::string path;
  const BuildArtifactRule* rule;
};

// Matched folders are collected and not entered; node_modules and unlisted hidden folders are
// skipped.
void find_build_artifacts(const std::string& start, int depth,
                          std::vector<BuildArtifactCandidate>& out);

// node_modules folders are collected and not entered; unlisted hidden folders are skipped.
void find_node_modules(const std::string& start, int depth, std::vector<std::string>& out);

// __pycache__ folders are collected and not entered; node_modules and unlisted hidden folders
// are skipped.
void find_pycache_dirs(const std::string& start, int depth, std::vector<std::string>& out);

// Sorts by path, component by component, and keeps the first of equal paths.
void sort_unique_by_path(std::vector<std::string>& paths);
void sort_unique_by_path(std::vector<BuildArtifactCandidate>& candidates);

}  // namespace orvc::junk
