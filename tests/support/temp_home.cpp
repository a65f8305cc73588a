#include "support/temp_home.hpp"

#include <fcntl.h>
#include <ftw.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>
#include <vector>

#include "platform/folder_stream.hpp"
#include "util/unique_fd.hpp"

namespace orvc::testing {

TempDir::TempDir() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/orvc-test-XXXXXX";
  if (!mkdtemp(pattern.data())) throw std::system_error(errno, std::generic_category(), pattern);
  path_ = std::filesystem::canonical(pattern);
}

void make_dirs(const std::string& path) {
  std::error_code error;
  std::filesystem::create_directories(path, error);
  ASSERT_FALSE(error) << "mkdir " << path << ": " << error.message();
}

static void make_parent(const std::string& path) {
  make_dirs(std::filesystem::path(path).parent_path());
}

void write_file(const std::string& path, const std::string& content) {
  make_parent(path);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  ASSERT_TRUE(out) << "cannot write " << path;
  out << content;
}

void write_sized_file(const std::string& path, uint64_t size, unsigned seed) {
  std::string data(size, '\0');
  for (uint64_t i = 0; i < size; ++i) data[i] = static_cast<char>((i * 31 + seed) & 0xff);
  write_file(path, data);
}

void allocate_file(const std::string& path, uint64_t bytes) {
  make_parent(path);
  const UniqueFd fd(open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  ASSERT_TRUE(fd) << path;
  ASSERT_EQ(bytes > 0 ? posix_fallocate(fd.get(), 0, static_cast<off_t>(bytes)) : 0, 0) << path;
}

void make_symlink(const std::string& target, const std::string& link) {
  make_parent(link);
  ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0) << std::strerror(errno);
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

bool exists_no_follow(const std::string& path) {
  return faccessat(AT_FDCWD, path.c_str(), F_OK, AT_SYMLINK_NOFOLLOW) == 0;
}

namespace {
thread_local uint64_t tree_total = 0;
thread_local int64_t tree_mtime = 0;
int add_blocks(const char*, const struct stat* st, int, struct FTW*) {
  tree_total += static_cast<uint64_t>(st->st_blocks) * 512;
  return 0;
}
int stamp_entry(const char* path, const struct stat*, int, struct FTW*) {
  const struct timespec times[2] = {{tree_mtime, 0}, {tree_mtime, 0}};
  return utimensat(AT_FDCWD, path, times, AT_SYMLINK_NOFOLLOW);
}
int unlock_entry(const char* path, const struct stat*, int type, struct FTW*) {
  if (type == FTW_D || type == FTW_DNR) chmod(path, 0700);
  return 0;
}
}  // namespace

uint64_t allocated_bytes(const std::string& path) {
  tree_total = 0;
  nftw(path.c_str(), add_blocks, 64, FTW_PHYS | FTW_MOUNT);
  return tree_total;
}

void set_mtime(const std::string& path, int64_t seconds_since_epoch) {
  const struct timespec times[2] = {{seconds_since_epoch, 0}, {seconds_since_epoch, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0)
      << path << ": " << std::strerror(errno);
}

void set_tree_mtime(const std::string& root, int64_t seconds_since_epoch) {
  tree_mtime = seconds_since_epoch;
  ASSERT_EQ(nftw(root.c_str(), stamp_entry, 64, FTW_PHYS), 0) << root;
}

std::vector<std::string> listing_order(const std::string& folder) {
  return names_in(folder);
}

std::vector<std::string> sorted_entries(const std::string& folder) {
  std::vector<std::string> names = listing_order(folder);
  std::ranges::sort(names);
  return names;
}

std::string at_root(const std::string& text, const std::string& root) {
  std::string out;
  for (const char c : text) c == '@' ? out += root : out += c;
  return out;
}

void remove_tree(const std::string& path) {
  if (path.empty() || path == "/") return;
  nftw(path.c_str(), unlock_entry, 64, FTW_PHYS);
  std::error_code ignored;
  std::filesystem::remove_all(path, ignored);
}

}  // namespace orvc::testing
