#include "support/deep_tree.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>

#include "platform/folder_stream.hpp"
#include "support/run_process.hpp"
#include "support/scoped_env.hpp"
#include "util/unique_fd.hpp"

namespace orvc::testing {

std::string deep_path(const std::string& root, int depth) {
  std::string path = root;
  for (int i = 0; i < depth; ++i) path += "/d";
  return path;
}

void make_deep_tree(const std::string& root, int depth, const std::string& file,
                    const std::string& content) {
  ASSERT_TRUE(mkdir(root.c_str(), 0755) == 0 || errno == EEXIST) << root;
  UniqueFd folder(open(root.c_str(), kFolderOpenFlags));
  for (int i = 0; i < depth && folder; ++i) {
    mkdirat(folder.get(), "d", 0755);
    folder = UniqueFd(openat(folder.get(), "d", kFolderOpenFlags));
  }
  ASSERT_TRUE(folder) << root << ": " << std::strerror(errno);
  const UniqueFd out(
      openat(folder.get(), file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  ASSERT_TRUE(out && write(out.get(), content.data(), content.size()) == ssize_t(content.size()))
      << file << ": " << std::strerror(errno);
}

void remove_deep_tree(const std::string& root) {
  // GNU rm descends through folder handles, so any depth goes, and never follows a link. It is
  // handed nothing but trees in a test's temporary folder.
  if (root.find("/orvc-test-") == std::string::npos) return;
  run_program({"rm", "-rf", "--", root}, ProcessOptions{});
}

std::unique_ptr<TempDir> make_fast_temp_dir() {
  struct statfs volume {};
  std::optional<ScopedEnv> in_memory;
  if (statfs("/dev/shm", &volume) == 0 && volume.f_type == TMPFS_MAGIC &&
      access("/dev/shm", W_OK) == 0)
    in_memory.emplace("TMPDIR", "/dev/shm");
  return std::make_unique<TempDir>();
}

}  // namespace orvc::testing
