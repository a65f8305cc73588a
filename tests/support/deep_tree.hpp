#pragma once
// Folder chains deeper than PATH_MAX allows in one path: built and removed through folder
// handles. Each chain is `depth` folders named "d" below `root`.
#include <memory>
#include <string>

#include "support/temp_home.hpp"

namespace orvc::testing {

// The path of the folder at `depth` below `root` (longer than PATH_MAX for deep chains).
std::string deep_path(const std::string& root, int depth);

// Creates the chain and writes `content` to `file` in its deepest folder; fails the test on error.
void make_deep_tree(const std::string& root, int depth, const std::string& file,
                    const std::string& content);

// Removes `root` (in a test's temporary folder) and everything below it, whatever its depth.
// Nothing when it is missing.
void remove_deep_tree(const std::string& root);

// A fresh temporary folder on a memory file system when one is at hand (deep chains make
// thousands of folders, slow on a busy disk), else in the usual place. Remove deep chains in it
// with remove_deep_tree before it goes.
std::unique_ptr<TempDir> make_fast_temp_dir();

}  // namespace orvc::testing
