// `orvc duplicates` end to end on fixture trees in a temporary home.
#include <dirent.h>
#include <fmt/format.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cctype>
#include <string_view>

#include "support/run_process.hpp"
#include "support/temp_home.hpp"

namespace orvc::testing {
namespace {

std::string kb(uint64_t bytes) {
  return fmt::format("{:.1f} KB", bytes / 1024.0);
}

struct Counts {
  size_t crawled = 0, candidates = 0, buckets = 0, aliases = 0, groups = 0;
};

// True when `text` equals `shape`, where each "#2" or "#3" in `shape` stands for seconds
// written with that many decimals ("12.34").
bool matches_shape(std::string_view text, std::string_view shape) {
  size_t t = 0;
  for (size_t s = 0; s < shape.size(); ++s) {
    if (shape[s] == '#' && s + 1 < shape.size()) {
      const size_t decimals = static_cast<size_t>(shape[++s] - '0');
      const size_t start = t;
      while (t < text.size() && std::isdigit(static_cast<unsigned char>(text[t]))) ++t;
      if (t == start || t >= text.size() || text[t++] != '.') return false;
      for (size_t d = 0; d < decimals; ++d, ++t) {
        if (t >= text.size() || !std::isdigit(static_cast<unsigned char>(text[t]))) return false;
      }
    } else if (t >= text.size() || text[t++] != shape[s]) {
      return false;
    }
  }
  return t == text.size();
}

// The three "[dup-scan]" lines: timings by shape, everything else exact.
void expect_dup_scan_lines(const std::string& err, const std::string& root, Counts c) {
  const std::string shape = fmt::format(
      "[dup-scan] crawl: {} files under [\"{}\"] (skip_dev_dirs=true) in #2s\n"
      "[dup-scan] size-group: {} candidate files in {} same-size buckets (of {} crawled; {} "
      "hard-link aliases skipped) in #3s\n"
      "[dup-scan] hash+group: {} duplicate groups from {} candidates in #2s (total scan #2s)\n",
      c.crawled, root, c.candidates, c.buckets, c.crawled, c.aliases, c.groups, c.candidates);
  EXPECT_TRUE(matches_shape(err, shape)) << err;
}

// Entry names of a folder in the order the system lists them, which is the crawl's order.
std::vector<std::string> listing_order(const std::string& folder) {
  std::vector<std::string> names;
  DIR* dir = opendir(folder.c_str());
  while (dirent* entry = dir ? readdir(dir) : nullptr) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  if (dir) closedir(dir);
  return names;
}

std::string group_text(size_t copies, uint64_t size, const std::string& size_shown,
                       const std::string& keep, const std::vector<std::string>& dups) {
  std::string text = fmt::format("\n  {} × {}  (reclaim {})\n    keep {}\n", copies, size_shown,
                                 kb(size * dups.size()), keep);
  for (const auto& d : dups) text += "    dup   " + d + "\n";
  return text;
}

class Duplicates : public ::testing::Test {
 protected:
  ProcessResult run(const std::string& root) {
    return run_orvc({"duplicates", "--path", root}, home.path());
  }
  std::string heading(const std::string& root) { return "Finding duplicates under " + root + "\n"; }

  TempDir home;
  const std::string root = home / "tree";
};

TEST_F(Duplicates, EmptyFolderOfTheDefaultHomeFindsNothing) {
  const auto r = run_orvc({"duplicates"}, home.path());
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, heading(home.path()) + "  No duplicates found.\n");
  expect_dup_scan_lines(r.err, home.path(), {});
}

TEST_F(Duplicates, ThreeIdenticalMegabyteFilesMakeOneGroupKeepingTheOldest) {
  for (const char* name : {"a", "b", "c"}) write_sized_file(root + "/" + name, 1 << 20);
  set_mtime(root + "/b", 1000);
  set_mtime(root + "/a", 2000);
  set_mtime(root + "/c", 3000);
  const auto r = run(root);
  EXPECT_EQ(r.exit_code, 0);
  std::vector<std::string> dups;
  for (const auto& name : listing_order(root)) {
    if (name != "b") dups.push_back(root + "/" + name);
  }
  EXPECT_EQ(r.out, heading(root) + "\n  3 × 1.0 MB  (reclaim 2.0 MB)\n    keep " + root + "/b\n" +
                       "    dup   " + dups[0] + "\n    dup   " + dups[1] +
                       "\n\n  1 duplicate groups, 2.0 MB reclaimable\n");
  expect_dup_scan_lines(r.err, root, {3, 3, 1, 0, 1});
}

TEST_F(Duplicates, HardLinksCountAsOneFileBesideAnIndependentCopy) {
  write_sized_file(root + "/original", 10 << 20);
  ASSERT_EQ(link((root + "/original").c_str(), (root + "/linked").c_str()), 0);
  write_sized_file(root + "/copy", 10 << 20);
  set_mtime(root + "/copy", 1000);
  const auto r = run(root);
  std::string first_name;  // the name of the linked pair the crawl meets first
  for (const auto& name : listing_order(root)) {
    if (first_name.empty() && name != "copy") first_name = name;
  }
  EXPECT_EQ(r.out, heading(root) + "\n  2 × 10.0 MB  (reclaim 10.0 MB)\n    keep " + root +
                       "/copy\n    dup   " + root + "/" + first_name +
                       "\n\n  1 duplicate groups, 10.0 MB reclaimable\n");
  expect_dup_scan_lines(r.err, root, {3, 2, 1, 1, 1});
}

TEST_F(Duplicates, TwinsBelow4096BytesAreIgnoredAndEqualTimesKeepTheFirstListed) {
  write_sized_file(root + "/small-1", 4095);
  write_sized_file(root + "/small-2", 4095);
  write_sized_file(root + "/page-1", 4096);
  write_sized_file(root + "/page-2", 4096);
  for (const char* name : {"page-1", "page-2"}) set_mtime(root + "/" + name, 5000);
  std::vector<std::string> pages;
  for (const auto& name : listing_order(root)) {
    if (name.starts_with("page")) pages.push_back(root + "/" + name);
  }
  const auto r = run(root);
  EXPECT_EQ(r.out, heading(root) + group_text(2, 4096, "4.0 KB", pages[0], {pages[1]}) +
                       "\n  1 duplicate groups, 4.0 KB reclaimable\n");
  expect_dup_scan_lines(r.err, root, {4, 2, 1, 0, 1});
}

TEST_F(Duplicates, FilesDifferingOnlyInTheLastByteAreNotDuplicates) {
  for (const uint64_t size : {uint64_t{200000}, uint64_t{500000}}) {
    std::string content(size, '\x5a');
    write_file(fmt::format("{}/{}-a", root, size), content);
    content.back() = '\x5b';
    write_file(fmt::format("{}/{}-b", root, size), content);
  }
  const auto r = run(root);
  EXPECT_EQ(r.out, heading(root) + "  No duplicates found.\n");
  expect_dup_scan_lines(r.err, root, {4, 4, 2, 0, 0});
}

TEST_F(Duplicates, SkippedFoldersAndSymbolicLinksAreNeverSeen) {
  write_sized_file(root + "/kept", 8192);
  for (const char* folder : {".git", "NODE_MODULES", "src/node_modules", "Library/Caches", ".Trash",
                             ".cache", "build"}) {
    write_sized_file(root + "/" + folder + "/twin", 8192);
  }
  make_symlink(root + "/kept", root + "/link-to-kept");
  const auto r = run(root);
  EXPECT_EQ(r.out, heading(root) + "  No duplicates found.\n");
  expect_dup_scan_lines(r.err, root, {1, 0, 0, 0, 0});
}

TEST_F(Duplicates, CopiesInsideAGitWorkingTreeAreMarkedUnlessIgnored) {
  make_dirs(root + "/repo/.git");
  write_file(root + "/repo/.gitignore", "ignored.bin\n");
  for (const char* name : {"repo/kept.bin", "repo/tracked.bin", "repo/ignored.bin", "plain.bin"}) {
    write_sized_file(root + "/" + name, 6000);
  }
  set_mtime(root + "/repo/kept.bin", 1000);
  const auto r = run(root);
  ASSERT_EQ(r.exit_code, 0);
  EXPECT_NE(r.out.find("    keep " + root + "/repo/kept.bin [git-tracked]\n"), std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("    dup   " + root +
                       "/repo/tracked.bin [git-tracked — review before deleting]\n"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("    dup   " + root + "/repo/ignored.bin\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("    dup   " + root + "/plain.bin\n"), std::string::npos) << r.out;
  EXPECT_TRUE(r.out.ends_with("\n  1 duplicate groups, 17.6 KB reclaimable\n")) << r.out;
}

TEST_F(Duplicates, SixtyGroupsShowTheFiftyLargestAndCountAll) {
  uint64_t total = 0;
  for (unsigned i = 0; i < 60; ++i) {
    const uint64_t size = 4096 + i;
    write_sized_file(fmt::format("{}/old-{}", root, i), size, i);
    write_sized_file(fmt::format("{}/new-{}", root, i), size, i);
    set_mtime(fmt::format("{}/old-{}", root, i), 1000);
    total += size;
  }
  const auto r = run(root);
  std::string expected = heading(root);
  for (unsigned i = 59; i >= 10; --i) {
    expected += group_text(2, 4096 + i, kb(4096 + i), fmt::format("{}/old-{}", root, i),
                           {fmt::format("{}/new-{}", root, i)});
  }
  expected += "\n  60 duplicate groups, " + kb(total) + " reclaimable\n";
  EXPECT_EQ(r.out, expected);
  expect_dup_scan_lines(r.err, root, {120, 120, 60, 0, 60});
}

}  // namespace
}  // namespace orvc::testing
