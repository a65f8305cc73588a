#pragma once
// Turns walk candidates into measured junk items. Each candidate is measured exactly once.
#include <cstdint>
#include <optional>
#include <string>

#include "junk/junk_item.hpp"
#include "junk/project_walks.hpp"

namespace orvc::junk {

inline constexpr uint64_t kBuildArtifactMinBytes = 20971520;  // 20 MiB
inline constexpr uint64_t kNodeModulesMinBytes = 52428800;    // 50 MiB

// Named "<project>/<folder>"; safe unless it is a virtualenv or holds files tracked by Git (its
// description then gives that reason). Nothing below 20 MiB.
std::optional<JunkItem> evaluate_build_artifact(const BuildArtifactCandidate& candidate);

// Never safe; orphaned when no package.json stands beside it. Nothing below 50 MiB.
std::optional<JunkItem> evaluate_node_modules(const std::string& path);

// Always safe, whatever its size.
std::optional<JunkItem> evaluate_pycache(const std::string& path);

}  // namespace orvc::junk
