// `orvc duplicates` against jdupes on a generated tree: both must find the same sets of
// byte-identical files (one name per physical file, at least 4096 bytes, skipped folders aside).
#include <fmt/format.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <random>
#include <set>
#include <sstream>

#include "support/run_process.hpp"
#include "support/temp_home.hpp"

namespace orvc::testing {
namespace {

using InodeSet = std::set<ino_t>;

constexpr uint64_t SIZES[] = {100,  3000,  4095,  4096,   4097,   5000,
                              8192, 20000, 65536, 393216, 393217, 500000};

class GeneratedTree {
 public:
  explicit GeneratedTree(std::string root) : root_(std::move(root)) {}

  void build() {
    for (int i = 0; i < 2000; ++i) originals_.push_back(write_random(pick_size()));
    // Planted duplicate sets (fewer than the 50 the report shows), some beside a hard link.
    for (int set = 0; set < 40; ++set) {
      const auto& source = originals_[rng_() % originals_.size()];
      for (unsigned copy = 0; copy < 1 + rng_() % 3; ++copy) write_copy(source, new_path());
      if (set % 4 == 0) hard_link(source);
      if (set % 5 == 0) {
        const char* skipped = set % 2 ? "node_modules" : "Caches";
        write_copy(source, fmt::format("{}/{}/{}", root_, skipped, counter_++));
      }
    }
    // Same size, nearly the same bytes: one byte differs, often outside the sampled windows.
    for (int i = 0; i < 300; ++i) {
      const auto& source = originals_[rng_() % originals_.size()];
      std::string content = read_file(source);
      const size_t at = content.size() > 393216 ? 150000 : content.size() - 1 - rng_() % 16;
      content[at] = static_cast<char>(content[at] ^ 0x40);
      write_file(new_path(), content);
    }
    for (int i = 0; i < 100; ++i) hard_link(originals_[rng_() % originals_.size()]);
  }

 private:
  uint64_t pick_size() {
    const size_t n = std::size(SIZES);
    return SIZES[std::min({rng_() % n, rng_() % n, rng_() % n})];
  }
  std::string new_path() {
    const unsigned n = counter_++;
    return fmt::format("{}/d{}/e{}/f{}", root_, n % 31, n % 7, n);
  }
  std::string write_random(uint64_t size) {
    std::string content(size, '\0');
    for (auto& c : content) c = static_cast<char>(rng_());
    const auto path = new_path();
    write_file(path, content);
    return path;
  }
  void write_copy(const std::string& source, const std::string& target) {
    write_file(target, read_file(source));
  }
  void hard_link(const std::string& source) {
    const auto target = new_path();
    make_dirs(target.substr(0, target.rfind('/')));
    ASSERT_EQ(link(source.c_str(), target.c_str()), 0);
  }

  std::string root_;
  std::mt19937 rng_{20240611};
  std::vector<std::string> originals_;
  unsigned counter_ = 0;
};

// One inode set per group: paths listed together, separated by blank lines or group headings.
std::vector<std::vector<std::string>> orvc_groups(const std::string& report) {
  std::vector<std::vector<std::string>> groups;
  std::istringstream lines(report);
  for (std::string line; std::getline(lines, line);) {
    if (line.starts_with("    keep ")) groups.push_back({line.substr(9)});
    // A copy that frees less than its size has a mark after its path (these paths have no " (").
    if (line.starts_with("    dup   "))
      groups.back().push_back(line.substr(10, line.find(" (") - 10));
  }
  return groups;
}

std::vector<std::vector<std::string>> jdupes_sets(const std::string& output) {
  std::vector<std::vector<std::string>> sets(1);
  std::istringstream lines(output);
  for (std::string line; std::getline(lines, line);) {
    if (line.empty()) {
      sets.emplace_back();
    } else if (line.find("/node_modules/") == std::string::npos &&
               line.find("/Caches/") == std::string::npos) {
      sets.back().push_back(line);
    }
  }
  return sets;
}

struct Identity {
  InodeSet inodes;
  uint64_t size = 0;
};

Identity identity_of(const std::vector<std::string>& paths) {
  Identity id;
  for (const auto& path : paths) {
    struct stat metadata {};
    EXPECT_EQ(lstat(path.c_str(), &metadata), 0) << path;
    id.inodes.insert(metadata.st_ino);
    id.size = static_cast<uint64_t>(metadata.st_size);
  }
  return id;
}

TEST(DuplicatesCrossCheck, FindsExactlyTheSetsJdupesFinds) {
  if (std::system("command -v jdupes >/dev/null 2>&1") != 0) GTEST_SKIP() << "no jdupes";
  TempDir home;
  const std::string root = home / "tree";
  GeneratedTree(root).build();

  const auto ours = run_orvc({"duplicates", "--path", root}, home.path());
  ASSERT_EQ(ours.exit_code, 0) << ours.err;
  const auto groups = orvc_groups(ours.out);
  ASSERT_LT(groups.size(), 50u);
  EXPECT_NE(ours.out.find(fmt::format("\n  {} duplicate groups, ", groups.size())),
            std::string::npos);
  std::set<InodeSet> found;
  for (const auto& group : groups) {
    const std::string content = read_file(group[0]);
    for (const auto& path : group) EXPECT_EQ(read_file(path), content) << path;
    const auto id = identity_of(group);
    EXPECT_EQ(id.inodes.size(), group.size()) << "two names of one file in a group";
    found.insert(id.inodes);
  }

  // -H lists every name of a hard-linked file; a set is one physical file per inode.
  const auto peer = run_program({"jdupes", "-r", "-q", "-H", root}, {});
  ASSERT_EQ(peer.exit_code, 0) << peer.err;
  std::set<InodeSet> expected;
  for (const auto& set : jdupes_sets(peer.out)) {
    if (set.empty()) continue;
    const auto id = identity_of(set);
    if (id.size >= 4096 && id.inodes.size() >= 2) expected.insert(id.inodes);
  }
  EXPECT_GE(expected.size(), 10u) << "too few planted sets survived the filters";
  EXPECT_EQ(found, expected);
}

}  // namespace
}  // namespace orvc::testing
