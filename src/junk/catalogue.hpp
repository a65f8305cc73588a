#pragma once
// What counts as developer junk: the five categories, the fixed home-relative locations each one
// probes, and the texts and safe flags of every kind of item. Locations are macOS ones on every
// platform; the dot-folder caches are the same on Linux.
#include <array>
#include <string_view>

namespace orvc::junk {

struct CategoryInfo {
  std::string_view name;
  std::string_view description;
};

// One fixed location relative to the home folder.
struct JunkSourceRow {
  std::string_view relative_path;
  std::string_view description;
  bool safe;
};

enum class CategoryId { Docker, NodeJs, Xcode, Python, BuildArtifacts };

// In build order, which also breaks ties between equal totals.
extern const std::array<CategoryInfo, 5> kJunkCategories;

const CategoryInfo& category_info(CategoryId id);

// Docker: every entry of the VM folder holds its virtual disk at one or both of these places.
inline constexpr std::string_view kDockerVmsFolder =
    "Library/Containers/com.docker.docker/Data/vms";
inline constexpr std::array<std::string_view, 2> kDockerDiskNames = {"Docker.raw",
                                                                     "data/Docker.raw"};
inline constexpr std::string_view kDockerDiskDescription =
    "Docker Desktop virtual disk — rebuilt empty on next launch";
inline constexpr std::string_view kDockerRunningNote =
    " — Docker is running; quit Docker Desktop first so this file isn't locked";
extern const std::array<JunkSourceRow, 2> kDockerRows;

// Node.js: ".npm" is probed only when ".npm/_cacache" does not exist.
inline constexpr std::string_view kNpmCacache = ".npm/_cacache";
inline constexpr std::string_view kNpmFolder = ".npm";
extern const std::array<JunkSourceRow, 8> kNodeCacheRows;

// Xcode: folders whose every entry is an item (Archives keeps folders only), then fixed rows.
struct XcodeEntrySource {
  std::string_view relative_folder;
  std::string_view description;
  bool safe;
  bool folders_only;
};
extern const std::array<XcodeEntrySource, 3> kXcodeEntrySources;
extern const std::array<JunkSourceRow, 2> kXcodeRows;

extern const std::array<JunkSourceRow, 9> kPythonRows;
inline constexpr std::string_view kPycacheDescription =
    "Python compiled bytecode cache (__pycache__, regenerated on import)";

}  // namespace orvc::junk
