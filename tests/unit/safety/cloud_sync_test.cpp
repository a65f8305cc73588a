#include "safety/cloud_sync.hpp"

#include <gtest/gtest.h>

#include "support/scoped_env.hpp"
#include "unit/fixture_tree.hpp"

namespace orvc::safety {
namespace {

using namespace orvc::testing;

TEST(CloudSyncPath, KnownLocations) {
  for (const char* inside :
       {"/Users/u/Library/CloudStorage/GoogleDrive-x/doc.txt", "/Users/u/Library/CloudStorage",
        "/Users/u/Dropbox/a", "/Users/u/Dropbox (Personal)/a", "/Users/u/OneDrive - Contoso/a",
        "/Users/u/OneDrive-Contoso", "/Users/u/ONEDRIVE/a", "/Users/u/Google Drive/x",
        "/Volumes/GoogleDrive/My Drive/x", "/volumes/googledrivex", "/Volumes/GoogleDrive"})
    EXPECT_TRUE(is_cloud_sync_path(inside, "/Users/u")) << inside;
  for (const char* outside :
       {"/Users/u/Documents/Dropbox/a", "/Users/u/Dropboxes/a", "/Users/u", "/Users/u/OneDrive -x",
        "/Volumes/Google/x", "/Volumes/googledriv", "/Dropbox/a", "/"})
    EXPECT_FALSE(is_cloud_sync_path(outside, "/Users/u")) << outside;
  EXPECT_FALSE(is_cloud_sync_path("/Users/u/Dropbox/a", std::nullopt));
  EXPECT_TRUE(is_cloud_sync_path("/Volumes/GoogleDrive/x", std::nullopt));
}

TEST(CloudSyncPath, MarkersInTheFolderOrAbove) {
  const TempDir dir;
  const std::string marker = ".849C9593-D756-4E56-8D6E-42412F2A707B";
  make_tree(dir.path(),
            {"synced/.dropbox.cache/", "other/", "drive/" + marker, "fake/" + marker + "/",
             "linked/.dropbox.cache->../synced/.dropbox.cache"});
  for (const char* inside : {"synced", "synced/deep/missing/file", "drive/file"})
    EXPECT_TRUE(is_cloud_sync_path(dir / inside, std::nullopt)) << inside;
  for (const char* outside : {"other/file", "fake/file", "linked/file"})
    EXPECT_FALSE(is_cloud_sync_path(dir / outside, std::nullopt)) << outside;
}

TEST(DropboxRoots, OnlyAbsoluteExistingFolders) {
  const TempDir dir;
  make_tree(dir.path(), {"Work Dropbox/", "link->Work Dropbox"});
  EXPECT_EQ(dropbox_roots(at_root(R"({"personal": {"path": "@/Work Dropbox"},
      "relative": {"path": "Dropbox"}, "dotdot": {"path": "@/x/../Work Dropbox"},
      "missing": {"path": "@/gone"}, "link": {"path": "@/link"}, "empty": {"path": ""},
      "number": {"path": 3}, "flat": "not an object"})",
                                  dir.path())),
            std::vector<std::string>{dir / "Work Dropbox"});
  EXPECT_TRUE(dropbox_roots("[1]").empty());
}

class InCloudSyncFolder : public TempHomeTest {};

// Dropbox's configuration names roots, matched case-insensitively; a link into a sync folder is
// inside through its resolved path.
TEST_F(InCloudSyncFolder, ConfiguredRootsAndLinksIntoSyncFolders) {
  make_tree(home_.path(),
            {"Work Dropbox/", "Dropbox/proj/", "proj->Dropbox/proj",
             at_root(R"(.dropbox/info.json={"business": {"path": "@/Work Dropbox", "host": 1}})",
                     home_.path())});
  EXPECT_TRUE(is_in_cloud_sync_folder(home_ / "work dropbox/x"));
  EXPECT_FALSE(is_in_cloud_sync_folder(home_ / "work/x"));
  EXPECT_TRUE(is_in_cloud_sync_folder(home_ / "proj/file.txt"));
  EXPECT_FALSE(is_in_cloud_sync_folder(home_ / "proj"));
}

TEST_F(InCloudSyncFolder, BadConfigurationOrNoHomeStillAnswers) {
  write_file(home_ / ".dropbox/info.json", "{\"a\": {\"path\": \"/\xff");
  std::string deep = home_ / "deep";
  for (int i = 0; i < 10000; ++i) deep += "/a";
  for (const std::string& path : {home_ / "notes.txt", deep, std::string(), std::string("..")})
    EXPECT_FALSE(is_in_cloud_sync_folder(path)) << path.substr(0, 80);
  const ScopedEnv no_home("HOME", std::nullopt);
  EXPECT_FALSE(is_in_cloud_sync_folder(home_ / "Dropbox/a"));
  EXPECT_TRUE(is_in_cloud_sync_folder("/Volumes/GoogleDrive/My Drive/x"));
}

}  // namespace
}  // namespace orvc::safety
