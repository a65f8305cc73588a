// Whether an item about to be copied across file systems could be removed afterwards: refused
// before anything is copied, as an ordinary user and as root.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "removal/copy_tree.hpp"
#include "removal_fixture.hpp"
#include "util/unique_fd.hpp"

namespace orvc::removal {
namespace {

using testing::exists_no_follow;
using testing::make_dirs;
using testing::write_file;

constexpr uid_t kNobody = 65534;

std::string outcome(const Status& status) {
  return status ? "ok" : status.error();
}

// The check as the mover runs it, from the item's open parent folder.
Status check_removable_tree(const std::string& item) {
  const size_t slash = item.rfind('/');
  const UniqueFd parent(open(item.substr(0, slash).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  return check_removable_tree_at(parent.get(), item.substr(slash + 1), item);
}

// Runs `body` in a child process, as the user nobody when asked, and returns what it reports.
std::string in_child(const std::function<std::string()>& body, bool as_nobody = false) {
  int pipe_fds[2];
  if (pipe(pipe_fds) != 0) return "no pipe";
  const pid_t pid = fork();
  if (pid == 0) {
    close(pipe_fds[0]);
    const bool became =
        !as_nobody || (setgroups(0, nullptr) == 0 && setresgid(kNobody, kNobody, kNobody) == 0 &&
                       setresuid(kNobody, kNobody, kNobody) == 0);
    const std::string report = became ? body() : "cannot become nobody";
    const ssize_t ignored = write(pipe_fds[1], report.data(), report.size());
    (void)ignored;  // the parent sees a short report
    _exit(0);
  }
  close(pipe_fds[1]);
  char buffer[4096];
  const ssize_t n = read(pipe_fds[0], buffer, sizeof buffer);  // reports are short
  close(pipe_fds[0]);
  waitpid(pid, nullptr, 0);
  return std::string(buffer, static_cast<size_t>(std::max<ssize_t>(n, 0)));
}

void chown_tree(const std::string& path, uid_t user) {
  ASSERT_EQ(lchown(path.c_str(), user, user), 0) << path;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(path)) {
    ASSERT_EQ(lchown(entry.path().c_str(), user, user), 0) << entry.path();
  }
}

class RemovableCheck : public testing::RemovalTest {
 protected:
  std::string refusal(const std::string& why) const {
    return "'" + home("work/item") + "' cannot be removed after copying: " + why;
  }
};

TEST_F(RemovableCheck, AnOrdinaryUserIsRefusedBeforeAnythingIsCopied) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to build trees owned by another user";
  const std::string sub = home("work/item/sub");
  const std::string shared = home("work/item/shared");
  const struct {
    const char* name;
    std::function<void()> arrange;  // after the tree is nobody's
    std::string expected;
  } table[] = {
      {"everything removable", [] {}, "ok"},
      {"read-only sub-folder", [&] { chmod(sub.c_str(), 0555); },
       refusal("'" + sub + "' is not writable")},
      {"folder without search permission", [&] { chmod(sub.c_str(), 0666); },
       refusal("'" + sub + "' is not writable")},
      {"unreadable folder", [&] { chmod(sub.c_str(), 0300); },
       "cannot read '" + sub + "': Permission denied (os error 13)"},
      {"read-only parent", [&] { chmod(home("work").c_str(), 0555); },
       refusal("'" + home("work") + "' is not writable")},
      {"another user's file in a sticky folder",
       [&] {
         make_dirs(shared);
         write_file(shared + "/theirs", "x");
         chmod(shared.c_str(), 01777);
       },
       refusal("'" + shared + "/theirs' belongs to another user in a folder with the sticky bit")},
  };
  // nobody must reach the fixture through the temporary home.
  ASSERT_EQ(chmod(home_.path().c_str(), 0755), 0);
  for (const auto& [name, arrange, expected] : table) {
    SCOPED_TRACE(name);
    for (const char* folder : {"work", "trash"}) testing::remove_tree(home(folder));
    write_file(home("work/item/sub/f"), "f");
    write_file(home("work/item/g"), "g");
    make_dirs(home("trash"));
    for (const char* folder : {"work", "trash"}) chown_tree(home(folder), kNobody);
    arrange();
    // The copy runs the check first, so nothing lands in the Trash.
    EXPECT_EQ(in_child(
                  [&] {
                    const auto copied = copy_tree(home("work/item"), home("trash/item"));
                    return copied ? outcome(remove_copied(home("work/item"), *copied))
                                  : copied.error();
                  },
                  true),
              expected);
    EXPECT_EQ(exists_no_follow(home("trash/item")), expected == "ok");
    EXPECT_EQ(exists_no_follow(home("work/item")), expected != "ok");
  }
}

// Sets or clears one inode flag, keeping the others; false when this file system does not keep
// such flags.
bool set_flag(const std::string& path, int flag, bool on) {
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  int flags = 0;
  bool done = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  flags = on ? flags | flag : flags & ~flag;
  done = done && ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  close(fd);
  return done;
}

TEST_F(RemovableCheck, RootIsStoppedOnlyByImmutableOrAppendOnlyEntries) {
  if (geteuid() != 0) GTEST_SKIP() << "the root rule needs root";
  write_file(home("work/item/sub/f"), "f");
  // Mode bits do not stop root.
  ASSERT_EQ(chmod(home("work/item/sub").c_str(), 0555), 0);
  ASSERT_EQ(chmod(home("work").c_str(), 0555), 0);
  EXPECT_EQ(outcome(check_removable_tree(home("work/item"))), "ok");

  for (const auto& [path, flag] : {std::pair{"work/item/sub/f", FS_IMMUTABLE_FL},
                                   {"work/item/sub/f", FS_APPEND_FL},
                                   {"work/item/sub", FS_APPEND_FL},
                                   {"work/item", FS_IMMUTABLE_FL},
                                   {"work", FS_APPEND_FL}}) {
    SCOPED_TRACE(path);
    if (!set_flag(home(path), flag, true)) {
      GTEST_SKIP() << "cannot set inode flags here: " << std::strerror(errno);
    }
    const std::string result = outcome(check_removable_tree(home("work/item")));
    ASSERT_TRUE(set_flag(home(path), flag, false));
    EXPECT_EQ(result, refusal("'" + home(path) + "' is immutable or append-only"));
  }
}

TEST_F(RemovableCheck, AnotherFileSystemMountedInsideIsRefused) {
  write_file(home("work/item/a"), "a");
  make_dirs(home("work/item/mnt"));
  const std::string report = in_child([&] {
    // A private mount namespace: the mount is seen by this child alone and goes with it.
    if (unshare(CLONE_NEWNS) != 0 ||
        mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount("orvc-test", home("work/item/mnt").c_str(), "tmpfs", 0, "size=1m") != 0) {
      return "skip: " + std::string(std::strerror(errno));
    }
    return outcome(check_removable_tree(home("work/item")));
  });
  if (report.starts_with("skip: ")) GTEST_SKIP() << "no private tmpfs mount here: " << report;
  EXPECT_EQ(report,
            refusal("'" + home("work/item/mnt") + "' is the mount point of another file system"));
  EXPECT_EQ(outcome(check_removable_tree(home("work/item"))), "ok");
}

TEST_F(RemovableCheck, RemovingAPartialCopyOpensUpItsReadOnlyFolders) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to hand the tree to another user";
  ASSERT_EQ(chmod(home_.path().c_str(), 0755), 0);
  write_file(home("trash/partial/ro/inner/f"), "f");
  write_file(home("trash/partial/g"), "g");
  chown_tree(home("trash"), kNobody);
  for (const char* folder : {"trash/partial/ro/inner", "trash/partial/ro", "trash/partial"}) {
    ASSERT_EQ(chmod(home(folder).c_str(), 0555), 0);
  }
  EXPECT_EQ(in_child([&] { return outcome(remove_tree(home("trash/partial"))); }, true), "ok");
  EXPECT_FALSE(exists_no_follow(home("trash/partial")));
}

}  // namespace
}  // namespace orvc::removal
