#pragma once
// Fixture trees written one entry per line, and a test whose home is a fresh folder.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/scoped_env.hpp"
#include "support/temp_home.hpp"

namespace orvc::testing {

// Under `root`: "a/b" an empty file, "a/b=text" a file holding text, "a/b/" a folder, and
// "a/b->target" a symbolic link to target as written. Missing parents are made.
inline void make_tree(const std::string& root, const std::vector<std::string>& entries) {
  for (const std::string& entry : entries) {
    if (const size_t arrow = entry.find("->"); arrow != std::string::npos)
      make_symlink(entry.substr(arrow + 2), root + "/" + entry.substr(0, arrow));
    else if (const size_t equals = entry.find('='); equals != std::string::npos)
      write_file(root + "/" + entry.substr(0, equals), entry.substr(equals + 1));
    else if (entry.ends_with('/'))
      make_dirs(root + "/" + entry);
    else
      write_file(root + "/" + entry, "");
  }
}

// HOME is a fresh temporary folder for the test's length.
class TempHomeTest : public ::testing::Test {
 protected:
  TempDir home_;
  ScopedEnv home_env_{"HOME", home_.path()};
};

}  // namespace orvc::testing
