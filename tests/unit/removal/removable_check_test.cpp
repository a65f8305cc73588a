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

#include "../fixture_tree.hpp"
#include "removal/copy_tree.hpp"
#include "removal_fixture.hpp"
#include "util/unique_fd.hpp"

namespace orvc::removal {
namespace {

constexpr uid_t kNobody = 65534;

// Runs `arrange` (what it reports, if anything) then `body` in a child process, the body as the
// user nobody when asked.
std::string in_child(const std::function<std::string()>& arrange,
                     const std::function<std::string()>& body, bool as_nobody) {
  int ends[2];
  if (pipe(ends) != 0) return "no pipe";
  const pid_t pid = fork();
  if (pid == 0) {
    std::string report = arrange();
    const bool became =
        !as_nobody || (setgroups(0, nullptr) == 0 && setresgid(kNobody, kNobody, kNobody) == 0 &&
                       setresuid(kNobody, kNobody, kNobody) == 0);
    if (report.empty()) report = became ? body() : "cannot become nobody";
    _exit(write(ends[1], report.data(), report.size()) < 0);
  }
  close(ends[1]);
  const std::string report = testing::read_file("/proc/self/fd/" + std::to_string(ends[0]));
  close(ends[0]);
  waitpid(pid, nullptr, 0);
  return report;
}

// Sets or clears inode flags, keeping the others; "skip: ..." where the file system keeps none.
std::string set_flag(const std::string& path, int flag, bool on) {
  const UniqueFd fd(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  int flags = 0;
  if (fd && ioctl(fd.get(), FS_IOC_GETFLAGS, &flags) == 0) {
    flags = on ? flags | flag : flags & ~flag;
    if (ioctl(fd.get(), FS_IOC_SETFLAGS, &flags) == 0) return "";
  }
  return "skip: inode flags: " + std::string(std::strerror(errno));
}

using RemovableCheck = testing::RemovalTest;

TEST_F(RemovableCheck, RefusedBeforeAnythingIsCopied) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root: trees of another user, inode flags, mounts";
  const std::string sub = "work/item/sub";
  const auto refusal = [&](const std::string& path, const std::string& why) {
    return "'" + home("work/item") + "' cannot be removed after copying: '" + home(path) + "' " +
           why;
  };
  using Arrange = std::function<std::string()>;  // run in the child; "skip: ..." when impossible
  const auto chmods = [&](unsigned mode, std::vector<std::string> paths) -> Arrange {
    return [=, this] {
      for (const auto& path : paths) chmod(home(path).c_str(), mode);
      return "";
    };
  };
  const auto flag = [&](const std::string& path, int flag) -> Arrange {
    return [=, this] { return set_flag(home(path), flag, true); };
  };
  const Arrange sticky = [&] {
    testing::make_tree(home("work/item/shared"), {"theirs=x"});
    chmod(home("work/item/shared").c_str(), 01777);
    return "";
  };
  const Arrange mounted = [&] {
    // A private mount namespace: the mount is seen by this child alone and goes with it.
    if (unshare(CLONE_NEWNS) != 0 ||
        mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount("orvc-test", home("work/item/mnt").c_str(), "tmpfs", 0, "size=1m") != 0)
      return "skip: private tmpfs mount: " + std::string(std::strerror(errno));
    return std::string();
  };
  const auto outcome = [](const Status& status) { return status ? "ok" : status.error(); };
  const std::string no_write = "is not writable", locked = "is immutable or append-only";
  const struct {
    const char* name;
    bool as_nobody;
    Arrange arrange;
    std::string expected;
    bool remove_partial = false;
  } table[] = {
      {"everything removable", true, chmods(0755, {}), "ok"},
      {"read-only sub-folder", true, chmods(0555, {sub}), refusal(sub, no_write)},
      {"no search permission", true, chmods(0666, {sub}), refusal(sub, no_write)},
      {"unreadable folder", true, chmods(0300, {sub}),
       "cannot read '" + home(sub) + "': Permission denied (os error 13)"},
      {"read-only parent", true, chmods(0555, {"work"}), refusal("work", no_write)},
      {"another user's file in a sticky folder", true, sticky,
       refusal("work/item/shared/theirs",
               "belongs to another user in a folder with the sticky bit")},
      {"mode bits do not stop root", false, chmods(0555, {sub, "work"}), "ok"},
      {"immutable file", false, flag(sub + "/f", FS_IMMUTABLE_FL), refusal(sub + "/f", locked)},
      {"append-only file", false, flag(sub + "/f", FS_APPEND_FL), refusal(sub + "/f", locked)},
      {"append-only folder", false, flag(sub, FS_APPEND_FL), refusal(sub, locked)},
      {"immutable item", false, flag("work/item", FS_IMMUTABLE_FL), refusal("work/item", locked)},
      {"append-only parent", false, flag("work", FS_APPEND_FL), refusal("work", locked)},
      {"file system mounted inside", false, mounted,
       refusal("work/item/mnt", "is the mount point of another file system")},
      {"read-only folders of a partial copy", true,
       chmods(0555, {"trash/partial/ro/inner", "trash/partial/ro", "trash/partial"}), "ok", true},
  };
  ASSERT_EQ(chmod(home_.path().c_str(), 0755), 0);  // nobody reaches the fixture through it
  std::string skipped;
  for (const auto& [name, as_nobody, arrange, expected, remove_partial] : table) {
    SCOPED_TRACE(name);
    for (const char* folder : {"work", "trash"}) testing::remove_tree(home(folder));
    testing::make_tree(home_.path(), {"work/item/sub/f=f", "work/item/g=g", "work/item/mnt/",
                                      "trash/partial/ro/inner/f=f", "trash/partial/g=g"});
    for (const auto& entry : std::filesystem::recursive_directory_iterator(home_.path()))
      ASSERT_EQ(lchown(entry.path().c_str(), kNobody, kNobody), 0) << entry.path();
    const std::string report = in_child(
        arrange,
        [&] {
          if (remove_partial) return outcome(remove_tree(home("trash/partial")));
          const auto copied = copy_tree(home("work/item"), home("trash/item"));
          return copied ? outcome(remove_copied(home("work/item"), *copied)) : copied.error();
        },
        as_nobody);
    for (const char* path : {"work", "work/item", "work/item/sub", "work/item/sub/f"})
      set_flag(home(path), FS_IMMUTABLE_FL | FS_APPEND_FL, false);
    if (report.starts_with("skip: ")) {
      skipped += std::string(" ") + name + " (" + report + ")";
      continue;
    }
    // The report, whether the copy is there, whether what was to go is still there.
    const bool moved = expected == "ok";
    EXPECT_EQ(
        std::tuple(report, testing::exists_no_follow(home("trash/item")),
                   testing::exists_no_follow(home(remove_partial ? "trash/partial" : "work/item"))),
        std::tuple(expected, moved && !remove_partial, !moved));
  }
  if (!skipped.empty()) GTEST_SKIP() << "not possible here:" << skipped;
}

}  // namespace
}  // namespace orvc::removal
