// Rules ending in "/" decide for paths the caller knows to be folders, and only for those.
#include <gtest/gtest.h>

#include "gitignore/gitignore.hpp"
#include "gitignore/parse_rules.hpp"

namespace orvc::gitignore {
namespace {

struct Row {
  const char* rules;
  const char* relative;
  bool as_folder;
  bool as_file;
};

TEST(FolderRules, DirectoryRulesApplyToFoldersOnly) {
  const Row rows[] = {
      {"build/", "build", true, false},
      {"build/", "web/build", true, false},
      {"build/", "build/sub", true, false},  // a folder inside an ignored one
      {"/build/", "build", true, false},
      {"/build/", "web/build", false, false},
      {"build/\n!build/", "build", false, false},
      {"bin/\n!keep/", "bin", true, false},
      {"out", "out", true, true},  // a rule without "/" is the same for both
      {"*.o", "build", false, false},
      {"build/*/", "build/x", true, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.rules) + " | " + row.relative);
    const std::vector<IgnoreFile> files = {{"/repo", parse_ignore_text(row.rules)}};
    const std::string path = std::string("/repo/") + row.relative;
    EXPECT_EQ(is_ignored(files, path, EntryKind::Folder), row.as_folder);
    EXPECT_EQ(is_ignored(files, path, EntryKind::File), row.as_file);
    EXPECT_EQ(is_ignored(files, path), row.as_file);  // a file unless told otherwise
  }
}

}  // namespace
}  // namespace orvc::gitignore
