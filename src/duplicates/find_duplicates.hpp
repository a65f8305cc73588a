#pragma once
// The duplicate search: crawl, candidate filter, size grouping, hard-link removal, then the
// three hashing stages. Only reads; never changes the file system.
#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "duplicates/duplicate_group.hpp"

namespace orvc::duplicates {

// Receives each "[dup-scan]" line (without its line end) as the search reaches it.
using DiagnosticSink = std::function<void(const std::string& line)>;

// Groups of byte-identical files under `root`, most reclaimable first. With `skip_dev_dirs`
// the crawl leaves out DEV_SKIP_DIRS. An empty root yields nothing and no diagnostics;
// unreadable folders and files contribute nothing.
std::vector<DuplicateGroup> find_duplicates(const std::string& root, bool skip_dev_dirs,
                                            const std::atomic<bool>& cancel_flag,
                                            const DiagnosticSink& diagnostics = {});

}  // namespace orvc::duplicates
