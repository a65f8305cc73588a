// `orvc duplicates` against jdupes on a generated tree: both must find the same sets of
// byte-identical files (one name per physical file, at least 4096 bytes, skipped folders aside).
#include <fmt/format.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <nlohmann/json.hpp>
#include <random>
#include <set>
#include <sstream>

#include "support/run_process.hpp"
#include "support/temp_home.hpp"

namespace orvc::testing {
namespace {

using InodeSet = std::set<ino_t>;

constexpr uint64_t kSizes[] = {100,  3000,  4095,  4096,   4097,   5000,
                               8192, 20000, 65536, 393216, 393217, 500000};

// 2000 random files; 40 planted sets of copies, some beside a hard link or with a copy in a
// skipped folder; 300 files that differ from another in one byte, often outside the sampled
// windows; 100 more hard links.
void generate_tree(const std::string& root) {
  std::mt19937 rng{20240611};
  unsigned counter = 0;
  const auto new_path = [&] {  // in a folder that exists
    const unsigned n = counter++;
    make_dirs(fmt::format("{}/d{}/e{}", root, n % 31, n % 7));
    return fmt::format("{}/d{}/e{}/f{}", root, n % 31, n % 7, n);
  };
  std::vector<std::string> originals;
  const auto pick = [&] { return originals[rng() % originals.size()]; };
  for (int i = 0; i < 2000; ++i) {
    const size_t n = std::size(kSizes);
    std::string content(kSizes[std::min({rng() % n, rng() % n, rng() % n})], '\0');
    for (auto& c : content) c = static_cast<char>(rng());
    write_file(originals.emplace_back(new_path()), content);
  }
  for (int set = 0; set < 40; ++set) {
    const std::string source = pick();
    for (unsigned copy = 0; copy < 1 + rng() % 3; ++copy) write_file(new_path(), read_file(source));
    if (set % 4 == 0) ASSERT_EQ(link(source.c_str(), new_path().c_str()), 0);
    const char* skipped = set % 2 ? "node_modules" : "Caches";
    if (set % 5 == 0)
      write_file(fmt::format("{}/{}/{}", root, skipped, counter++), read_file(source));
  }
  for (int i = 0; i < 300; ++i) {
    std::string content = read_file(pick());
    const size_t at = content.size() > 393216 ? 150000 : content.size() - 1 - rng() % 16;
    content[at] = static_cast<char>(content[at] ^ 0x40);
    write_file(new_path(), content);
  }
  for (int i = 0; i < 100; ++i) ASSERT_EQ(link(pick().c_str(), new_path().c_str()), 0);
}

// The inodes of `paths`, and their size.
std::pair<InodeSet, uint64_t> identity_of(const std::vector<std::string>& paths) {
  std::pair<InodeSet, uint64_t> id;
  for (const auto& path : paths) {
    struct stat metadata {};
    EXPECT_EQ(lstat(path.c_str(), &metadata), 0) << path;
    id.first.insert(metadata.st_ino);
    id.second = static_cast<uint64_t>(metadata.st_size);
  }
  return id;
}

TEST(DuplicatesCrossCheck, FindsExactlyTheSetsJdupesFinds) {
  if (std::system("command -v jdupes >/dev/null 2>&1") != 0) GTEST_SKIP() << "no jdupes";
  TempDir home;
  const std::string root = home / "tree";
  generate_tree(root);

  const auto ours = run_orvc({"duplicates", "--path", root, "--json"}, home.path());
  ASSERT_EQ(ours.exit_code, 0) << ours.err;
  const auto document = nlohmann::json::parse(ours.out);
  std::set<InodeSet> found;
  for (const auto& group : document["groups"]) {
    std::vector<std::string> paths = {group["keep"]["path"]};
    for (const auto& copy : group["duplicates"]) paths.push_back(copy["path"]);
    for (const auto& path : paths) EXPECT_EQ(read_file(path), read_file(paths[0])) << path;
    const auto [inodes, size] = identity_of(paths);
    EXPECT_EQ(inodes.size(), paths.size()) << "two names of one file in a group";
    found.insert(inodes);
  }
  EXPECT_EQ(document["group_count"], found.size());

  // -H lists every name of a hard-linked file; a set is one physical file per inode.
  const auto peer = run_program({"jdupes", "-r", "-q", "-H", root}, {});
  ASSERT_EQ(peer.exit_code, 0) << peer.err;
  std::set<InodeSet> expected;
  std::istringstream lines(peer.out + "\n");
  std::vector<std::string> set;
  for (std::string line; std::getline(lines, line);) {
    if (line.empty()) {
      const auto [inodes, size] = identity_of(set);
      if (size >= 4096 && inodes.size() >= 2) expected.insert(inodes);
      set.clear();
    } else if (!line.contains("/node_modules/") && !line.contains("/Caches/")) {
      set.push_back(line);
    }
  }
  EXPECT_GE(expected.size(), 10u) << "too few planted sets survived the filters";
  EXPECT_EQ(found, expected);
}

}  // namespace
}  // namespace orvc::testing
