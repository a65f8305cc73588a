#pragma once
// A fresh temporary folder per test, resolved with realpath, removed afterwards. Every test
// that touches the file system builds its fixtures here and points HOME at it.
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace orvc::testing {

// Removes a whole tree, restoring permissions where a test took them away.
void remove_tree(const std::string& path);

class TempDir {
 public:
  TempDir();
  ~TempDir() { remove_tree(path_); }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string operator/(const std::string& relative) const { return path_ + "/" + relative; }

 private:
  std::string path_;
};

// Fixture helpers; each creates missing parent folders and aborts the test on failure.
void make_dirs(const std::string& path);
void write_file(const std::string& path, const std::string& content);
// Writes `size` bytes of real (non-sparse) data; byte i is (i * 31 + seed) & 0xff.
void write_sized_file(const std::string& path, uint64_t size, unsigned seed = 0);
// A file whose `bytes` are really allocated (not sparse), without writing them.
void allocate_file(const std::string& path, uint64_t bytes);
void make_symlink(const std::string& target, const std::string& link);
std::string read_file(const std::string& path);
bool exists_no_follow(const std::string& path);
// Allocated bytes (st_blocks * 512) of one entry, or of a whole tree when it is a folder.
uint64_t allocated_bytes(const std::string& path);
void set_mtime(const std::string& path, int64_t seconds_since_epoch);
// The same for every entry of a tree, `root` included; links themselves, never their targets.
void set_tree_mtime(const std::string& root, int64_t seconds_since_epoch);
// Names in a folder (without "." and ".."), sorted; empty when it cannot be listed.
std::vector<std::string> sorted_entries(const std::string& folder);
// The same names in the order the system lists them, which is the order of every crawl.
std::vector<std::string> listing_order(const std::string& folder);
// `text` with every "@" replaced by `root`: golden outputs that name paths in a temporary folder.
std::string at_root(const std::string& text, const std::string& root);
}  // namespace orvc::testing
