#pragma once
// The duplicate search: crawl, candidate filter, size grouping, hard-link removal, then the
// three hashing stages. Only reads; never changes the file system.
#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "duplicates/duplicate_group.hpp"
#include "util/diagnostics.hpp"

namespace orvc::duplicates {

// Whether the crawl leaves out the development and cache folders of scan::DEV_SKIP_DIRS.
enum class DevFolders { Skip, Search };

// Groups of byte-identical files under `root`, most reclaimable first. `diagnostics` receives each
// "[dup-scan]" line as the search reaches it. An empty root yields nothing and no diagnostics;
// unreadable folders and files contribute nothing. Once `cancel_flag` is set the search stops and
// yields nothing more.
std::vector<DuplicateGroup> find_duplicates(const std::string& root, DevFolders dev_folders,
                                            const std::atomic<bool>& cancel_flag,
                                            const orvc::DiagnosticSink& diagnostics = {});

}  // namespace orvc::duplicates
