#pragma once
// A fresh home per test: HOME and XDG_DATA_HOME point into it, and PATH holds only an empty
// folder, so the Trash-service fallback can never reach a real Trash.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "support/scoped_env.hpp"
#include "support/temp_home.hpp"
#include "support/trash_home.hpp"

namespace orvc::testing {

class RemovalTest : public ::testing::Test {
 protected:
  RemovalTest()
      : home_env_("HOME", home_.path()),
        data_env_("XDG_DATA_HOME", home_ / ".local/share"),
        path_env_("PATH", home_ / "empty-bin") {
    make_dirs(home_ / "empty-bin");
  }

  std::string home(const std::string& relative) const { return home_ / relative; }
  std::string trash_files(const std::string& name = "") const {
    return trash_files_of(home_.path(), name);
  }
  std::string trash_info(const std::string& name) const {
    return trash_info_of(home_.path(), name);
  }
  std::string history(const std::string& name = "") const { return history_of(home_.path(), name); }
  // The entry itself, never a link's target.
  static struct stat metadata_of(const std::string& path) {
    struct stat metadata {};
    EXPECT_EQ(lstat(path.c_str(), &metadata), 0) << path;
    return metadata;
  }

  TempDir home_;
  ScopedEnv home_env_;
  ScopedEnv data_env_;
  ScopedEnv path_env_;
};

}  // namespace orvc::testing
